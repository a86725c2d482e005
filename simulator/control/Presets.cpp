// Preset boxes: one per row of the driver's model table, with plausible versions.
#include <array>
#include <string_view>

#include "TunerSimControl.h"

namespace tunersim {

namespace {

struct PresetRow {
    std::string_view name;
    uint8_t line, model, revision;
    uint8_t major, minor, patch;
    uint16_t build;
    std::string_view standard;  // the BDA friendly-name suffix
};

// Firmware versions lie below the releases the updater carries, so that a demo box has
// an update to take.
constexpr std::array<PresetRow, 24> kPresets{{
    {"talvex-s2", 1, 0x34, 4, 1, 3, 0, 44650, "DVBS2"},
    {"talvex-sci-r1", 1, 0x34, 1, 1, 2, 0, 40110, "DVBS"},
    {"talvex-sci-r2", 1, 0x34, 2, 2, 2, 0, 40110, "DVBS"},
    {"talvex-tci", 1, 0x35, 1, 1, 3, 0, 48200, "DVBT"},
    {"talvex-cci-r1", 1, 0x36, 1, 1, 3, 0, 48200, "DVBC"},
    {"talvex-cci-r2", 1, 0x36, 2, 2, 3, 0, 48200, "DVBC"},
    {"talvex-atsc", 1, 0x37, 1, 1, 0, 2, 30120, "DVBT"},
    {"nubrik-s2", 1, 0x24, 4, 1, 4, 0, 20100, "DVBS2"},
    {"nubrik-sci-r1", 1, 0x24, 1, 1, 2, 0, 40110, "DVBS"},
    {"nubrik-sci-r2", 1, 0x24, 2, 2, 2, 0, 40110, "DVBS"},
    {"nubrik-tci", 1, 0x25, 1, 1, 3, 0, 48200, "DVBT"},
    {"nubrik-tci-r2", 1, 0x25, 2, 1, 3, 0, 48200, "DVBT"},
    {"nubrik-cci-r1", 1, 0x26, 1, 1, 3, 0, 48200, "DVBC"},
    {"nubrik-cci-r2", 1, 0x26, 2, 2, 3, 0, 48200, "DVBC"},
    {"holtrim", 1, 0x28, 1, 1, 1, 0, 12000, "DVBS"},
    {"pellary", 1, 0x14, 1, 1, 0, 0, 10020, "DVBS"},
    {"ombrel-dvbs", 10, 0x1F, 1, 2, 1, 0, 3310, "DVBS"},
    {"ombrel-dvbt", 10, 0x20, 1, 2, 1, 0, 3310, "DVBT"},
    {"ombrel-dvbc", 10, 0x21, 1, 2, 1, 0, 3310, "DVBC"},
    {"ombrel-dvbs-ci", 10, 0x22, 1, 2, 1, 0, 3310, "DVBS"},
    {"ombrel-dvbt-ci", 10, 0x23, 1, 2, 1, 0, 3310, "DVBT"},
    {"ombrel-dvbc-ci", 10, 0x24, 1, 2, 1, 0, 3310, "DVBC"},
    {"ombrel-atsc", 10, 0x25, 1, 2, 1, 0, 3310, "DVBT"},
    {"unknown-line1", 1, 0x50, 1, 1, 0, 0, 1, "DVBS"},
}};

DeviceProfile FromRow(const PresetRow& row) {
    DeviceProfile profile;
    profile.productLine = row.line;
    profile.modelCode = row.model;
    profile.hardwareRevision = row.revision;
    profile.versionMajor = row.major;
    profile.versionMinor = row.minor;
    profile.versionPatch = row.patch;
    profile.build = row.build;
    profile.systemInfo = {row.line, row.model, row.revision, 0x00, 0x10, 0x20, 0x30, 0x40};
    const bool ombrelLine = row.line == 10;
    const std::string brand = ombrelLine ? "Ombrel" : "Talvex";
    const std::string standard(row.standard);
    profile.driverVersion = ombrelLine ? "OMB 2.0.0.512" : "TVX 4.2.1.1810";
    if (row.model == 0x28 && !ombrelLine) {
        profile.wdmFriendlyName = "Holtrim Capture";
    } else {
        profile.wdmFriendlyName = ombrelLine ? "OMBREL" : "Ombrel WDM";
    }
    profile.tunerFriendlyName = brand + " BDA Tuner " + standard;
    profile.receiverFriendlyName = brand + " BDA Receiver " + standard;
    return profile;
}

}  // namespace

DeviceProfile Preset(const std::string& name) {
    for (const auto& row : kPresets) {
        if (row.name == name) return FromRow(row);
    }
    throw Error("unknown preset \"" + name + "\" (tunersim help lists the presets)");
}

std::vector<std::string> PresetNames() {
    std::vector<std::string> names;
    for (const auto& row : kPresets) names.emplace_back(row.name);
    return names;
}

}  // namespace tunersim

namespace tunersim {

std::vector<DeviceProfile> DemoSet() {
    struct Row {
        const char* preset;
        const char* id;
        int subunit;
        unsigned models;
    };
    constexpr Row kRows[] = {
        {"talvex-s2", "00a1b2c3d4e50001", 0, kWdm},
        {"talvex-sci-r2", "00a1b2c3d4e50002", 0, kBda},
        {"nubrik-cci-r1", "00a1b2c3d4e50003", 0, kBoth},
        {"talvex-tci", "00a1b2c3d4e50004", 0, kWdm},
        {"talvex-tci", "00a1b2c3d4e50005", 1, kWdm},
        {"pellary", "00a1b2c3d4e50006", 0, kWdm},
    };
    std::vector<DeviceProfile> set;
    for (const auto& row : kRows) {
        DeviceProfile profile = Preset(row.preset);
        profile.id = row.id;
        profile.subunit = row.subunit;
        profile.models = row.models;
        set.push_back(profile);
    }
    return set;
}

}  // namespace tunersim
