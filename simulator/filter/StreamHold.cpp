#include "StreamHold.h"

#include "StreamClaim.h"
#include "StreamFormat.h"
#include "Text.h"

namespace tunersim {

HRESULT StreamHold::Take(const std::string& id) {
    if (handle_) return S_OK;
    const std::wstring name = Widen(claim::StreamObjectName(id));
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (!handle) return HRESULT_FROM_WIN32(GetLastError());
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(handle);
        return kStreamInUse;
    }
    handle_ = handle;
    return S_OK;
}

void StreamHold::Release() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

}  // namespace tunersim
