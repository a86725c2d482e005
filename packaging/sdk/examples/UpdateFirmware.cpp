// UpdateFirmware: shows a tuner's versions and, given a firmware image, updates the
// tuner's firmware with progress.
//
//   UpdateFirmware <tuner index>                show the versions
//   UpdateFirmware <tuner index> <image file>   then send the image and follow the update
//
// Shows: opening a tuner by index, the version records, OB_UpdateFirmware and polling
// OB_GetRomfluxStatus until the tuner reports success or failure.
#include <windows.h>

#include <OmbrelApi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The driver's reasons for a failed update.
const char* UpdateError(unsigned code) {
    switch (code) {
    case OMBREL_UPDATE_ERROR_SECTIONS: return "invalid max number of sections";
    case OMBREL_UPDATE_ERROR_COUNT: return "invalid count value";
    case OMBREL_UPDATE_ERROR_CRC: return "invalid crc value";
    case OMBREL_UPDATE_ERROR_HARDWARE: return "invalid hardware version (an image for another tuner?)";
    default: return "no reason given";
    }
}

void PrintVersions(unsigned long handle) {
    char model[OMBREL_DEVICE_STRING_SIZE] = {};  // stays empty if the tuner is gone by now
    OB_GetDeviceString(handle, model);
    std::printf("Tuner:    %s\n", model);

    _OMBREL_FIRMWARE_VERSION firmware;
    if (OB_GetFirmwareVersion(handle, &firmware) == OB_SUCCESS) {
        // The build number is big-endian; the first three bytes identify the hardware.
        std::printf("Firmware: %d.%d.%d build %u (hardware %d/0x%02X/%d)\n", firmware.VersionMajor,
                    firmware.VersionMinor, firmware.VersionPatch, firmware.BuildHigh * 256u + firmware.BuildLow,
                    firmware.ProductLine, firmware.ModelCode, firmware.HardwareRevision);
    }
    _OMBREL_DRIVER_VERSION driver;
    if (OB_GetDriverVersion(handle, &driver) == OB_SUCCESS) std::printf("Driver:   %s\n", driver.Version);
    std::fflush(stdout);
}

// Sends the image and polls the status every 400 ms until the tuner ends the update.
// Returns the program's exit code.
int Update(unsigned long handle, const char* imagePath) {
    std::ifstream file(imagePath, std::ios::binary);
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The library reads exactly OMBREL_IMAGE_SIZE bytes: never hand it less.
    if (!file.is_open() || image.size() < OMBREL_IMAGE_SIZE) {
        std::fprintf(stderr, "UpdateFirmware: %s is not a firmware image (%u bytes needed)\n", imagePath,
                     static_cast<unsigned>(OMBREL_IMAGE_SIZE));
        return 1;
    }
    if (OB_UpdateFirmware(handle, image.data()) != OB_SUCCESS) {
        std::fprintf(stderr, "UpdateFirmware: the driver refused the image\n");
        return 1;
    }

    // The driver programs the tuner on its own; a stalled update must not hang us.
    const DWORD kStallLimitMs = 60000;
    DWORD lastChange = GetTickCount();
    int lastProgress = -1;
    for (;;) {
        _OMBREL_FIRMWARE_UPDATE_STATUS status;
        if (OB_GetRomfluxStatus(handle, &status) != OB_SUCCESS) {
            std::fprintf(stderr, "\nUpdateFirmware: the tuner stopped answering (detached?)\n");
            return 1;
        }
        if (status.State == OMBREL_UPDATE_STATE_FAILED || status.State == OMBREL_UPDATE_STATE_FAILED_ALT) {
            std::fprintf(stderr, "\nUpdateFirmware: the update failed: %s\n", UpdateError(status.ErrorCode));
            return 1;
        }
        if (status.Progress != lastProgress) {
            lastProgress = status.Progress;
            lastChange = GetTickCount();
            std::printf("\rUpdating: %3d %%", lastProgress);
            std::fflush(stdout);
        }
        if (status.Progress >= 100) {
            std::printf("\nFirmware update succeeded\n");
            return 0;
        }
        if (GetTickCount() - lastChange > kStallLimitMs) {
            std::fprintf(stderr, "\nUpdateFirmware: no progress for %lu s\n", kStallLimitMs / 1000);
            return 1;
        }
        Sleep(400);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: UpdateFirmware <tuner index> [image file]\n");
        return 2;
    }
    const unsigned long index = std::strtoul(argv[1], nullptr, 10);

    if (OB_Initialize() != OB_SUCCESS) {
        std::fprintf(stderr, "UpdateFirmware: the library could not start\n");
        return 1;
    }
    unsigned long handle = 0;
    if (OB_OpenDeviceHandle(index, &handle) != OB_SUCCESS) {
        unsigned long count = 0;
        OB_GetNumberOfDevices(&count);
        std::fprintf(stderr, "UpdateFirmware: no tuner %lu (%lu attached)\n", index, count);
        return 1;
    }
    PrintVersions(handle);
    const int result = argc == 3 ? Update(handle, argv[2]) : 0;
    OB_CloseDeviceHandle(handle);
    return result;
}
