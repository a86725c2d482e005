#include "TunerList.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <algorithm>
#include <array>

namespace companion {
namespace {

// The library copies up to the NUL without knowing the buffer size; its texts are
// shorter than its documented sizes, the margin only guards against surprises.
template <size_t N>
std::string TextFrom(const std::array<char, N>& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return std::string(buffer.begin(), end);
}

TunerInfo ReadTuner(unsigned long handle) {
    TunerInfo tuner;
    tuner.opened = true;
    tuner.handle = handle;

    std::array<char, 2 * OMBREL_DEVICE_STRING_SIZE> model{};
    if (OB_GetDeviceString(handle, model.data()) == OB_SUCCESS) {
        tuner.model = TextFrom(model);
    }
    std::array<char, 2 * OMBREL_GUID_STRING_SIZE> guid{};
    if (OB_GetGUIDString(handle, guid.data()) == OB_SUCCESS) {
        tuner.guid = TextFrom(guid);
    }
    OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_WDM;
    if (OB_GetTunerType(handle, &type) == OB_SUCCESS) {
        tuner.bda = type == OMBREL_TUNER_TYPE_BDA;
    }
    OMBREL_TUNER_CAPABILITIES caps{};
    caps.Size = sizeof caps;
    if (OB_GetTunerCapabilities(handle, &caps) == OB_SUCCESS) {
        tuner.commonInterface = caps.CommonInterface != 0;
    }
    return tuner;
}

}  // namespace

DeviceHandle& DeviceHandle::operator=(DeviceHandle&& other) noexcept {
    if (this != &other) {
        Close();
        value_ = other.value_;
        other.value_ = 0;
    }
    return *this;
}

void DeviceHandle::Close() noexcept {
    if (value_ != 0) {
        OB_CloseDeviceHandle(value_);
        value_ = 0;
    }
}

void TunerList::Refresh() {
    Clear();
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    for (unsigned long index = 0; index < count; ++index) {
        unsigned long handle = 0;
        // A device that went away since the count, or one that cannot be bound, is
        // shown as such; the next change notification reads the table again.
        if (OB_OpenDeviceHandle(index, &handle) != OB_SUCCESS || handle == 0) {
            tuners_.push_back(TunerInfo{});
            continue;
        }
        handles_.emplace_back(handle);
        tuners_.push_back(ReadTuner(handle));
    }
}

void TunerList::Clear() {
    handles_.clear();
    tuners_.clear();
}

}  // namespace companion
