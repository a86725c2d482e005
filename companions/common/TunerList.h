// The attached tuners as the library sees them, with one open handle per tuner that
// could be opened. The handles stay open until the next reading or Clear(), so that
// the companions' device functions can use them; destruction closes them.
#pragma once

#include <vector>

#include "TunerView.h"

namespace companion {

// One library device handle; closes it when destroyed.
class DeviceHandle {
public:
    explicit DeviceHandle(unsigned long value) noexcept : value_(value) {}
    DeviceHandle(DeviceHandle&& other) noexcept : value_(other.value_) { other.value_ = 0; }
    DeviceHandle& operator=(DeviceHandle&& other) noexcept;
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;
    ~DeviceHandle() { Close(); }

    unsigned long get() const noexcept { return value_; }

private:
    void Close() noexcept;
    unsigned long value_;
};

class TunerList {
public:
    // Closes the handles of the previous reading, then opens and reads every attached
    // device in the library's order.
    void Refresh();
    // Closes every handle and forgets the tuners.
    void Clear();

    const std::vector<TunerInfo>& tuners() const noexcept { return tuners_; }

private:
    std::vector<DeviceHandle> handles_;
    std::vector<TunerInfo> tuners_;
};

}  // namespace companion
