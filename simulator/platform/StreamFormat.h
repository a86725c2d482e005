// What the simulated filters' pins carry and the results by which they refuse: shared by
// the filter DLL and by the programs that build graphs on it.
#pragma once

#include <windows.h>

#include "StreamGuids.h"

namespace tunersim {

// The transport stream's media type, shared with the stream library's sink.
using dshow::kFormatNone;
using dshow::kMediaTypeStream;
using dshow::kSubtypeBdaTransport;
using dshow::kSubtypeMpeg2Transport;

// Pin names (IPin::QueryId and FindPin).
inline constexpr wchar_t kCapturePinId[] = L"MPEG2 Transport";   // WDM capture filter
inline constexpr wchar_t kTunerOutputPinId[] = L"Tuner Output";  // BDA network tuner
inline constexpr wchar_t kReceiverInputPinId[] = L"Receiver Input";
inline constexpr wchar_t kReceiverOutputPinId[] = L"MPEG2 Transport";

// The box's stream runs in another graph (of this process or another): Pause and Run
// of a second one fail with this.
inline constexpr HRESULT kStreamInUse = static_cast<HRESULT>(0x800700AAu);  // HRESULT_FROM_WIN32(ERROR_BUSY)
// The link of a BDA box joins only its network tuner's output and the input pin of the
// same box's receiver component: any other connection of either pin fails with this.
inline constexpr HRESULT kNotTheBoxReceiver = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0A01);
// A receiver whose output is connected cannot run without its box's tuner upstream.
inline constexpr HRESULT kReceiverWithoutTuner = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0A02);

}  // namespace tunersim
