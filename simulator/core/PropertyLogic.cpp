#include "PropertyLogic.h"

#include <algorithm>
#include <cstring>

#include "CaModule.h"
#include "Crc32.h"
#include "FrontEndLogic.h"

namespace tunersim::property {

namespace {

// Property numbers and record lengths (the driver's own table).
constexpr unsigned kDriverVersion = 4;
constexpr unsigned kSystemInfo = 10;
constexpr unsigned kFirmwareVersion = 11;
constexpr unsigned kUpdateFirmware = 17;
constexpr unsigned kUpdateStatus = 18;
constexpr unsigned kBoardTemperature = 24;
constexpr uint32_t kImageSize = 368754;

enum FaultKindNumber : uint32_t { kNone = 0, kFail = 1, kFalse = 2, kShort = 3, kDelay = 4 };

struct GetRecord {
    unsigned property;
    uint32_t length;
};
constexpr GetRecord kGetRecords[] = {
    {kDriverVersion, 21}, {kSystemInfo, 8}, {kFirmwareVersion, 8},
    {kUpdateStatus, 3},   {kBoardTemperature, 4},
};

const GetRecord* FindGet(unsigned property) {
    for (const auto& record : kGetRecords) {
        if (record.property == property) return &record;
    }
    return nullptr;
}

// Fills `out` (exactly the record's length) with the device's answer.
Answer Fill(layout::DeviceRecord& device, unsigned property, uint8_t* out, int64_t nowMs) {
    switch (property) {
    case kDriverVersion: {
        std::memset(out, 0, 21);
        const std::size_t n = strnlen(device.driverVersion, 20);
        std::memcpy(out, device.driverVersion, n);
        return {Outcome::Ok, 21};
    }
    case kSystemInfo:
        std::memcpy(out, device.systemInfo, 8);
        return {Outcome::Ok, 8};
    case kFirmwareVersion:
        out[0] = device.productLine;
        out[1] = device.modelCode;
        out[2] = device.hardwareRevision;
        out[3] = device.versionMajor;
        out[4] = device.versionMinor;
        out[5] = device.versionPatch;
        out[6] = static_cast<uint8_t>(device.build >> 8);  // the record is big-endian
        out[7] = static_cast<uint8_t>(device.build & 0xFF);
        return {Outcome::Ok, 8};
    case kBoardTemperature:
        std::memcpy(out, device.boardTemperature, 4);
        return {Outcome::Ok, 4};
    case kUpdateStatus: {
        update::Advance(device, nowMs);
        const auto status = update::StatusAt(device.update, nowMs);
        if (!status) return {Outcome::NoStatus, 0};
        out[0] = status->progress;
        out[1] = status->state;
        out[2] = status->errorCode;
        return {Outcome::Ok, 3};
    }
    default:
        return {Outcome::Unsupported, 0};
    }
}

void Note(layout::DeviceRecord& device, unsigned property, Direction direction,
          const void* data, uint32_t length) {
    if (direction == kGet) {
        device.lastGetLengths[property] = length;
        return;
    }
    layout::NotedSet& noted = device.lastSets[property];
    noted.length = length;
    std::memset(noted.bytes, 0, sizeof noted.bytes);
    if (data) std::memcpy(noted.bytes, data, std::min<std::size_t>(length, sizeof noted.bytes));
}

}  // namespace

bool Supports(unsigned property, Direction direction) {
    if (frontend::Serves(property, direction == kSet)) return true;
    if (direction == kGet) return FindGet(property) != nullptr;
    return property == kUpdateFirmware;
}

layout::FaultSlot Admit(layout::DeviceRecord& device, unsigned property, Direction direction,
                        const Request& request) {
    if (property >= layout::kPropertySlots) return {};
    ++device.requests[property][direction];
    device.instanceLengths[property][direction] = request.instanceLength;
    Note(device, property, direction, request.data, request.length);
    return device.faults[property][direction];
}

Answer Get(layout::DeviceRecord& device, unsigned property, uint8_t* data, uint32_t length,
           const layout::FaultSlot& fault, int64_t nowMs) {
    if (!device.plugged) return {Outcome::Unplugged, 0};
    if (fault.kind == kFail) return {Outcome::Fail, 0};
    if (fault.kind == kFalse) return {Outcome::False, 0};
    // The module writes its answers in place: a get of 23 reads the query type from the
    // buffer it answers into.
    if (ca::IsCiProperty(property))
        return ca::Get(device.ci, property, data, length, fault.kind == kShort ? fault.bytes : length);
    uint8_t answer[64];
    Answer result;
    if (frontend::Serves(property, false)) {
        result = frontend::Get(device, property, data ? answer : nullptr, length, nowMs);
    } else {
        const GetRecord* record = FindGet(property);
        if (!record) return {Outcome::Unsupported, 0};
        if (length != record->length) return {Outcome::BadLength, 0};
        if (!data) return {Outcome::BadBuffer, 0};
        result = Fill(device, property, answer, nowMs);
    }
    if (result.outcome != Outcome::Ok) return result;
    if (fault.kind == kShort) result.bytes = std::min(fault.bytes, result.bytes);
    std::memcpy(data, answer, result.bytes);
    return result;
}

Answer Set(layout::DeviceRecord& device, unsigned property, const uint8_t* data,
           uint32_t length, const layout::FaultSlot& fault, int64_t nowMs, ImageCheck check) {
    if (!device.plugged) return {Outcome::Unplugged, 0};
    if (fault.kind == kFail) return {Outcome::Fail, 0};
    if (fault.kind == kFalse) return {Outcome::False, 0};
    if (ca::IsCiProperty(property)) return ca::Set(device.ci, property, data, length);
    if (frontend::Serves(property, true))
        return frontend::Set(device, property, data, length, nowMs);
    if (property != kUpdateFirmware || !check) return {Outcome::Unsupported, 0};
    if (length != kImageSize) return {Outcome::BadLength, 0};
    if (!data) return {Outcome::BadBuffer, 0};
    const std::string_view image(reinterpret_cast<const char*>(data), length);
    const update::ImageVerdict verdict =
        check(image, device.productLine, device.modelCode, device.hardwareRevision);
    update::Start(device, verdict, nowMs, length, Crc32(image));
    return {Outcome::Ok, 0};
}

}  // namespace tunersim::property
