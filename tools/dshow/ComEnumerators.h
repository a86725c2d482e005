// IEnumPins and IEnumMediaTypes over a snapshot taken when the enumerator is made (a
// filter's pins and a pin's types do not change while it is enumerated).
#pragma once

#include <windows.h>
#include <strmif.h>
#include <wrl/client.h>

#include <atomic>
#include <vector>

#include "OwnedMediaType.h"

namespace dshow {

// Both return E_POINTER without `out`, E_OUTOFMEMORY when the enumerator cannot be made.
// A DLL passes its count of live objects as `liveObjects`: each enumerator (its clones
// too) is counted in it while it lives, so that the DLL is not unloaded under it.
HRESULT MakePinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, IEnumPins** out,
                          std::atomic<long>* liveObjects = nullptr);
HRESULT MakeMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out,
                                std::atomic<long>* liveObjects = nullptr);

}  // namespace dshow
