// IEnumPins and IEnumMediaTypes over a snapshot taken when the enumerator is made (a
// filter's pins never change after it is loaded; a pin's types never change).
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <vector>

#include "MediaType.h"

namespace tunersim {

// Both return E_OUTOFMEMORY when the enumerator cannot be made.
HRESULT MakePinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, IEnumPins** out);
HRESULT MakeMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out);

}  // namespace tunersim
