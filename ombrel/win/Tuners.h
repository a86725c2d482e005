// The tuners as the library shows them, through the public exports only: open handles
// (closed when their owner goes) and what ombrel reads of each tuner.
#pragma once

#include "CommandLine.h"
#include "TunerRecord.h"

#include <optional>
#include <string>
#include <vector>

namespace ombrel_cli {

// One library device handle; closes it when destroyed.
class DeviceHandle {
public:
    DeviceHandle() = default;
    explicit DeviceHandle(unsigned long value) : value_(value) {}
    DeviceHandle(DeviceHandle&& other) noexcept : value_(other.value_) { other.value_ = 0; }
    DeviceHandle& operator=(DeviceHandle&& other) noexcept;
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;
    ~DeviceHandle() { Close(); }

    unsigned long get() const { return value_; }

private:
    void Close();
    unsigned long value_ = 0;
};

struct OpenTuner {
    DeviceHandle handle;
    unsigned long index = 0;  // the index under which it was opened
    std::string displayName;  // identifies the tuner across readings
    TunerLine line;
};

// "tuner 2 (Talvex S2)", for messages.
std::string TunerName(const OpenTuner& tuner);

// OB_Initialize; false when the library could not start.
bool StartLibrary();

// Opens and reads every attached tuner, in the library's index order. A tuner that
// goes away between counting and opening is left out.
std::vector<OpenTuner> OpenAttachedTuners();

// The list line of an open tuner; `index` is its index if it is attached.
TunerLine ReadTunerLine(unsigned long handle, std::optional<unsigned long> index);
std::string ReadDisplayName(unsigned long handle);
std::optional<FirmwareBytes> ReadFirmware(unsigned long handle);
bool IsAttached(unsigned long handle);

// Everything 'info' shows, apart from the update image.
TunerDetails ReadTunerDetails(const OpenTuner& tuner);

// Resolves the verb's <tuner> argument against the attached tuners and hands over the
// chosen one's open handle (the others are closed). On failure prints the reason and
// sets `exitCode`.
std::optional<OpenTuner> OpenSelectedTuner(const Invocation& invocation, int& exitCode);

}  // namespace ombrel_cli
