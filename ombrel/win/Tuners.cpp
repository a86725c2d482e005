#include "Tuners.h"

#include "Console.h"
#include "ExitCodes.h"
#include "TunerSelector.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <cstring>

namespace ombrel_cli {
namespace {

// Library texts are NUL-terminated within the caller's buffer; a bounded read keeps a
// text without its NUL from running past the buffer.
template <std::size_t N>
std::string BufferText(const char (&buffer)[N]) {
    return std::string(buffer, strnlen(buffer, N));
}

// The library tells whether a tuner has a Common Interface by its answer to opening the
// tuner's session, as the CI companion reads it. A session opened here is closed at once.
CommonInterface ReadCommonInterface(unsigned long handle) {
    switch (OB_CI_Open(handle)) {
    case OB_SUCCESS:
        OB_CI_Close(handle);
        return CommonInterface::Present;
    case OB_FAILED:  // this process holds the session already
    case OB_IN_USE:  // another process holds it
        return CommonInterface::InUse;
    case OB_NOT_SUPPORTED:
        return CommonInterface::Absent;
    default:
        return CommonInterface::Unknown;
    }
}

// What the tuner receives, as the library identified its model.
Reception ReadReception(unsigned long handle) {
    OMBREL_TUNER_CAPABILITIES caps{};
    caps.Size = sizeof caps;
    if (OB_GetTunerCapabilities(handle, &caps) != OB_SUCCESS) return Reception::Unknown;
    switch (caps.Reception) {
    case OMBREL_RECEPTION_SATELLITE: return Reception::Satellite;
    case OMBREL_RECEPTION_TERRESTRIAL: return Reception::Terrestrial;
    case OMBREL_RECEPTION_ATSC: return Reception::Atsc;
    case OMBREL_RECEPTION_CABLE: return Reception::Cable;
    default: return Reception::Unknown;
    }
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

void DeviceHandle::Close() {
    if (value_ != 0) OB_CloseDeviceHandle(value_);
    value_ = 0;
}

std::string TunerName(const OpenTuner& tuner) {
    return "tuner " + std::to_string(tuner.index) + " (" + tuner.line.model + ")";
}

bool StartLibrary() { return OB_Initialize() == OB_SUCCESS; }

std::string ReadDisplayName(unsigned long handle) {
    char buffer[OMBREL_DISPLAY_STRING_SIZE] = {};
    OB_GetDisplayString(handle, buffer);
    return BufferText(buffer);
}

std::optional<FirmwareBytes> ReadFirmware(unsigned long handle) {
    OMBREL_FIRMWARE_VERSION version{};
    if (OB_GetFirmwareVersion(handle, &version) != OB_SUCCESS) return std::nullopt;
    static_assert(sizeof(version) == sizeof(FirmwareBytes));
    FirmwareBytes bytes{};
    std::memcpy(bytes.data(), &version, bytes.size());
    return bytes;
}

bool IsAttached(unsigned long handle) { return OB_IsDeviceAttached(handle) != 0; }

TunerLine ReadTunerLine(unsigned long handle, std::optional<unsigned long> index) {
    TunerLine line;
    line.attached = IsAttached(handle);
    line.index = line.attached ? index : std::nullopt;
    OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_WDM;
    if (OB_GetTunerType(handle, &type) == OB_SUCCESS) {
        line.driverModel = type == OMBREL_TUNER_TYPE_BDA ? DriverModel::Bda : DriverModel::Wdm;
    }
    char device[OMBREL_DEVICE_STRING_SIZE] = {};
    OB_GetDeviceString(handle, device);
    line.model = BufferText(device);
    char guid[OMBREL_GUID_STRING_SIZE] = {};
    OB_GetGUIDString(handle, guid);
    line.guid = BufferText(guid);
    unsigned int subunit = 0;
    if (OB_GetSubunitID(handle, &subunit) == OB_SUCCESS) line.subunit = subunit;
    line.firmware = ReadFirmware(handle);
    line.reception = ReadReception(handle);
    return line;
}

std::vector<OpenTuner> OpenAttachedTuners() {
    std::vector<OpenTuner> tuners;
    unsigned long count = 0;
    OB_GetNumberOfDevices(&count);
    for (unsigned long index = 0; index < count; ++index) {
        unsigned long value = 0;
        if (OB_OpenDeviceHandle(index, &value) != OB_SUCCESS || value == 0) continue;
        OpenTuner tuner{DeviceHandle(value), index, ReadDisplayName(value), ReadTunerLine(value, index)};
        tuners.push_back(std::move(tuner));
    }
    return tuners;
}

TunerDetails ReadTunerDetails(const OpenTuner& tuner) {
    const unsigned long handle = tuner.handle.get();
    TunerDetails details;
    details.line = tuner.line;
    details.displayName = tuner.displayName;
    char* friendly = nullptr;
    if (OB_GetFriendlyString(handle, &friendly) == OB_SUCCESS && friendly) details.friendlyName = friendly;
    OMBREL_GUID guid{};
    if (OB_GetGUID(handle, &guid) == OB_SUCCESS) {
        details.guidLow = static_cast<std::uint32_t>(guid.GuidLow);
        details.guidHigh = static_cast<std::uint32_t>(guid.GuidHigh);
    }
    OMBREL_DRIVER_VERSION driver{};
    if (OB_GetDriverVersion(handle, &driver) == OB_SUCCESS) details.driverVersion = BufferText(driver.Version);
    OMBREL_SYSTEM_INFO system{};
    if (OB_GetSystemInfo(handle, &system) == OB_SUCCESS) {
        details.systemInfo.emplace();
        std::memcpy(details.systemInfo->data(), system.Data, sizeof(system.Data));
    }
    OMBREL_BOARD_TEMPERATURE temperature{};
    if (OB_GetBoardTemperature(handle, &temperature) == OB_SUCCESS) {
        details.boardTemperature.emplace();
        std::memcpy(details.boardTemperature->data(), temperature.Data, sizeof(temperature.Data));
    }
    details.commonInterface = ReadCommonInterface(handle);
    return details;
}

std::optional<OpenTuner> OpenSelectedTuner(const Invocation& invocation, int& exitCode) {
    std::string error;
    const auto selector = ParseTunerSelector(invocation.positionals.at(0), error);
    if (!selector) {
        ReportUsageError(invocation.verb->name, error);
        exitCode = kExitUsage;
        return std::nullopt;
    }
    std::vector<OpenTuner> tuners = OpenAttachedTuners();
    std::vector<TunerIdentity> identities;
    for (const OpenTuner& tuner : tuners) identities.push_back({tuner.index, tuner.line.guid});
    const auto chosen = ResolveTuner(*selector, identities, error);
    if (!chosen) {
        ReportError(error);
        exitCode = kExitNoTuner;
        return std::nullopt;
    }
    return std::move(tuners[*chosen]);
}

}  // namespace ombrel_cli
