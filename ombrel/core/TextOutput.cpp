#include "TextOutput.h"

#include "ImageCatalogue.h"
#include "TunerSelector.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace ombrel_cli {
namespace {

constexpr std::size_t kColumns = 7;
using Row = std::array<std::string, kColumns>;

const Row kHeading{"Index", "Driver", "Model", "GUID", "Subunit", "Firmware", "State"};
// Usual widths: the longest model name the library gives, a whole GUID, a firmware text
// with a five-digit build.
constexpr std::array<std::size_t, kColumns> kUsualWidths{5, 6, 19, 16, 7, 18, 8};

Row CellsOf(const TunerLine& tuner) {
    return {tuner.index ? std::to_string(*tuner.index) : "-",
            DriverModelText(tuner.driverModel),
            tuner.model,
            NormalizeGuid(tuner.guid),
            tuner.subunit ? std::to_string(*tuner.subunit) : "-",
            FirmwareText(tuner.firmware),
            tuner.attached ? "attached" : "detached"};
}

std::string Join(const Row& row, const std::array<std::size_t, kColumns>& widths) {
    std::string line;
    for (std::size_t i = 0; i < kColumns; ++i) {
        line += row[i];
        if (i + 1 < kColumns) line.append(widths[i] - std::min(widths[i], row[i].size()) + 2, ' ');
    }
    return line + "\n";
}

std::string OrUnavailable(const std::optional<std::string>& value) { return value ? *value : "unavailable"; }

}  // namespace

std::string LabelledLine(std::string_view label, const std::string& value) {
    char head[32];
    std::snprintf(head, sizeof head, "%-20s", (std::string(label) + ":").c_str());
    return head + value + "\n";
}

std::string TunerSummary(unsigned long index, const TunerLine& tuner) {
    return std::to_string(index) + ", " + tuner.model + " (" + DriverModelText(tuner.driverModel) + "), GUID " +
           NormalizeGuid(tuner.guid);
}

std::string DriverModelText(DriverModel model) {
    switch (model) {
    case DriverModel::Wdm: return "WDM";
    case DriverModel::Bda: return "BDA";
    case DriverModel::Unknown: break;
    }
    return "?";
}

std::string FirmwareText(const std::optional<FirmwareBytes>& firmware) {
    if (!firmware) return "-";
    const FirmwareBytes& f = *firmware;
    return FormatFirmwareVersionText(f[3], f[4], f[5], f[6], f[7]);
}

std::string HexBytesText(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        if (!text.empty()) text += ' ';
        text += digits;
    }
    return text;
}

std::string Hex16Text(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::string ListTable(std::span<const TunerLine> tuners) {
    std::vector<Row> rows{kHeading};
    for (const TunerLine& tuner : tuners) rows.push_back(CellsOf(tuner));
    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < kColumns; ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string table;
    for (const Row& row : rows) table += Join(row, widths);
    return table;
}

std::string TunerLineText(const TunerLine& tuner) { return Join(CellsOf(tuner), kUsualWidths); }

std::string InfoText(const TunerDetails& d) {
    const TunerLine& line = d.line;
    std::string text = LabelledLine("Index", line.index ? std::to_string(*line.index) : "-");
    text += LabelledLine("Model", line.model);
    text += LabelledLine("Driver model", DriverModelText(line.driverModel));
    std::string guid = NormalizeGuid(line.guid);
    if (d.guidLow && d.guidHigh) {
        char identifier[48];
        std::snprintf(identifier, sizeof identifier, " (identifier 0x%08X%08X)", static_cast<unsigned>(*d.guidHigh),
                      static_cast<unsigned>(*d.guidLow));
        guid += identifier;
    }
    text += LabelledLine("GUID", guid);
    text += LabelledLine("Subunit", line.subunit ? std::to_string(*line.subunit) : "unavailable");
    text += LabelledLine("State", line.attached ? "attached" : "detached");
    text += LabelledLine("Display name", d.displayName);
    text += LabelledLine("Friendly name", d.friendlyName);
    if (line.firmware) {
        const FirmwareBytes& f = *line.firmware;
        text += LabelledLine("Firmware version", FirmwareText(line.firmware));
        // Model code and revision both in Romflux's revision form, "0x%X".
        text += LabelledLine("Hardware", "product line " + std::to_string(f[0]) + ", model code " +
                                     FormatRevisionText(f[1]) + ", revision " + FormatRevisionText(f[2]));
        text += LabelledLine("Firmware record", HexBytesText(f));
    } else {
        text += LabelledLine("Firmware version", "unavailable");
    }
    text += LabelledLine("Driver version", OrUnavailable(d.driverVersion));
    text += LabelledLine("System info", d.systemInfo ? HexBytesText(*d.systemInfo) : "unavailable");
    text += LabelledLine("Board temperature", d.boardTemperature ? HexBytesText(*d.boardTemperature) : "unavailable");
    text += LabelledLine("Common Interface", std::string(CommonInterfaceText(d.commonInterface)));
    text += LabelledLine("Update image", d.image ? d.image->key + ", " + d.image->releaseText : d.imageNote);
    return text;
}

std::string_view CommonInterfaceText(CommonInterface support) {
    switch (support) {
    case CommonInterface::Absent: return "no";
    case CommonInterface::Present: return "yes";
    case CommonInterface::InUse: return "yes, in use";
    case CommonInterface::Unknown: break;
    }
    return "unknown";
}

std::string_view TunerEventText(TunerEvent event) { return event == TunerEvent::Attached ? "attached" : "detached"; }

std::string ClockText(unsigned hour, unsigned minute, unsigned second, std::optional<unsigned> millisecond) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", hour, minute, second);
    std::string clock = text;
    if (millisecond) {
        std::snprintf(text, sizeof text, ".%03u", *millisecond);
        clock += text;
    }
    return clock;
}

std::string WatchLine(TunerEvent event, const TunerLine& tuner) {
    return std::string(TunerEventText(event)) + "  " + TunerLineText(tuner);
}

}  // namespace ombrel_cli
