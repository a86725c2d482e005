// Device information and firmware update: one driver request each; and what the model
// can do, from the device table.
#include "RecordRequests.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace ombrel;

static_assert(sizeof(_OMBREL_FIRMWARE_VERSION) == 8);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, ProductLine) == 0);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, ModelCode) == 1);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, HardwareRevision) == 2);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, VersionMajor) == 3);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, VersionMinor) == 4);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, VersionPatch) == 5);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, BuildHigh) == 6);
static_assert(offsetof(_OMBREL_FIRMWARE_VERSION, BuildLow) == 7);
static_assert(sizeof(_OMBREL_DRIVER_VERSION) == 21);
static_assert(sizeof(_OMBREL_SYSTEM_INFO) == 8);
static_assert(sizeof(_OMBREL_BOARD_TEMPERATURE) == 4);
static_assert(sizeof(_OMBREL_FIRMWARE_UPDATE_STATUS) == 3);
static_assert(offsetof(_OMBREL_FIRMWARE_UPDATE_STATUS, Progress) == 0);
static_assert(offsetof(_OMBREL_FIRMWARE_UPDATE_STATUS, State) == 1);
static_assert(offsetof(_OMBREL_FIRMWARE_UPDATE_STATUS, ErrorCode) == 2);
static_assert(sizeof(_OMBREL_GUID) == 8);
static_assert(offsetof(_OMBREL_GUID, GuidLow) == 0);
static_assert(offsetof(_OMBREL_GUID, GuidHigh) == 4);
static_assert(sizeof(OMBREL_TUNER_TYPE) == 4);

OMBREL_API unsigned long OMBREL_CALL OB_GetFirmwareVersion(unsigned long handle, _OMBREL_FIRMWARE_VERSION* version) {
    return GetRecord(handle, OMBREL_PROP_FIRMWARE_VERSION, version);
}

OMBREL_API unsigned long OMBREL_CALL OB_GetDriverVersion(unsigned long handle, _OMBREL_DRIVER_VERSION* version) {
    return GetRecord(handle, OMBREL_PROP_DRIVER_VERSION, version);
}

OMBREL_API unsigned long OMBREL_CALL OB_GetSystemInfo(unsigned long handle, _OMBREL_SYSTEM_INFO* info) {
    return GetRecord(handle, OMBREL_PROP_SYSTEM_INFO, info);
}

OMBREL_API unsigned long OMBREL_CALL OB_GetBoardTemperature(unsigned long handle,
                                                         _OMBREL_BOARD_TEMPERATURE* temperature) {
    return GetRecord(handle, OMBREL_PROP_BOARD_TEMPERATURE, temperature);
}

OMBREL_API unsigned long OMBREL_CALL OB_GetRomfluxStatus(unsigned long handle, _OMBREL_FIRMWARE_UPDATE_STATUS* status) {
    return GetRecord(handle, OMBREL_PROP_UPDATE_STATUS, status);
}

OMBREL_API unsigned long OMBREL_CALL OB_UpdateFirmware(unsigned long handle, const unsigned char* image) {
    return WithPropertySet(handle, [&](IKsPropertySet* properties) -> unsigned long {
        if (!image) return OB_INVALID_PARAMETER;
        // The driver gets a copy of its own: the caller's image is read only, and
        // nothing of it is kept once the call returns.
        std::vector<unsigned char> copy(image, image + OMBREL_IMAGE_SIZE);
        return SetProperty(properties, OMBREL_PROP_UPDATE_FIRMWARE, copy.data(), OMBREL_IMAGE_SIZE);
    });
}

static_assert(sizeof(_OMBREL_TUNER_CAPABILITIES) == OMBREL_TUNER_CAPABILITIES_SIZE_V1);
static_assert(offsetof(_OMBREL_TUNER_CAPABILITIES, Reception) == 4);
static_assert(offsetof(_OMBREL_TUNER_CAPABILITIES, CommonInterface) == 8);
static_assert(static_cast<unsigned long>(models::Reception::None) == OMBREL_RECEPTION_NONE);
static_assert(static_cast<unsigned long>(models::Reception::Satellite) == OMBREL_RECEPTION_SATELLITE);
static_assert(static_cast<unsigned long>(models::Reception::Terrestrial) == OMBREL_RECEPTION_TERRESTRIAL);
static_assert(static_cast<unsigned long>(models::Reception::Atsc) == OMBREL_RECEPTION_ATSC);
static_assert(static_cast<unsigned long>(models::Reception::Cable) == OMBREL_RECEPTION_CABLE);

OMBREL_API unsigned long OMBREL_CALL OB_GetTunerCapabilities(unsigned long handle, _OMBREL_TUNER_CAPABILITIES* caps) {
    return Guarded([&](Library& library) {
        return library.Table().WithHandle(handle, [&](DeviceEntry& entry, HandleRecord&) -> unsigned long {
            if (!caps || caps->Size < OMBREL_TUNER_CAPABILITIES_SIZE_V1) return OB_INVALID_PARAMETER;
            _OMBREL_TUNER_CAPABILITIES known{};
            known.Size = static_cast<unsigned long>(std::min<std::size_t>(caps->Size, sizeof known));
            known.Reception = static_cast<unsigned long>(entry.reception);
            known.CommonInterface = entry.ciCapable ? 1 : 0;
            // A caller's record of a later version keeps what this library does not know.
            std::memcpy(caps, &known, known.Size);
            return OB_SUCCESS;
        });
    });
}
