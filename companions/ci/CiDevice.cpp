#include "CiDevice.h"

#include <OmbrelApi.h>

#include <array>

namespace companion::ci {
namespace {

unsigned long OpenByDisplayName(const std::string& displayName) {
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    for (unsigned long index = 0; index < count; ++index) {
        unsigned long handle = 0;
        if (OB_OpenDeviceHandle(index, &handle) != OB_SUCCESS || handle == 0) {
            continue;
        }
        std::array<char, 2 * OMBREL_DISPLAY_STRING_SIZE> name{};
        if (OB_GetDisplayString(handle, name.data()) == OB_SUCCESS && displayName == name.data()) {
            return handle;
        }
        OB_CloseDeviceHandle(handle);
    }
    return 0;
}

}  // namespace

unsigned long CiDevice::Open(const std::string& displayName, HWND window) {
    Close();
    const unsigned long handle = OpenByDisplayName(displayName);
    if (handle == 0) {
        return kNoHandle;
    }
    // Registered first, so that the session's first poll is heard.
    OB_RegisterNotifications(handle, window);
    const unsigned long result = OB_CI_Open(handle);
    if (result == OB_SUCCESS) {
        handle_ = handle;
    } else {
        OB_CloseDeviceHandle(handle);
    }
    return result;
}

void CiDevice::Close() {
    if (handle_ == 0) {
        return;
    }
    OB_CI_Close(handle_);
    OB_CloseDeviceHandle(handle_);
    handle_ = 0;
}

}  // namespace companion::ci
