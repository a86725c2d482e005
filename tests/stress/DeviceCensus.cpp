#include "DeviceCensus.h"

#include <stdexcept>

namespace stress {

DeviceCensus::DeviceCensus(const std::string& stem, bool create) {
    const std::string name = stem + "-census";
    const DWORD size = sizeof(Device) * kMaxDevices;
    mapping_ = create ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str())
                      : OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (!mapping_) throw std::runtime_error("cannot " + std::string(create ? "create" : "open") + " the section " + name);
    devices_ = static_cast<Device*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, size));
    if (!devices_) {
        CloseHandle(mapping_);
        throw std::runtime_error("cannot map the section " + name);
    }
}

DeviceCensus::~DeviceCensus() {
    UnmapViewOfFile(devices_);
    CloseHandle(mapping_);
}

DeviceCensus::Device& DeviceCensus::At(int device) {
    if (device < 0 || device >= kMaxDevices) throw std::out_of_range("no census slot for device " + std::to_string(device));
    return devices_[device];
}

long DeviceCensus::Join(int device) { return InterlockedIncrement(&At(device).holders); }

long DeviceCensus::Leave(int device) { return InterlockedDecrement(&At(device).holders); }

bool DeviceCensus::FirstReceipt(int device, std::uint16_t code) {
    const LONG bit = 1L << (code % 32);
    return (InterlockedOr(&At(device).received[code / 32], bit) & bit) == 0;
}

}  // namespace stress
