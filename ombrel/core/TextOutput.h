// Text output of list, info and watch, and the short texts they share.
#pragma once

#include "TunerRecord.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

std::string DriverModelText(DriverModel model);  // "WDM", "BDA", "?"
// "1.3.0, Build 44650" (as Romflux shows it); "-" when unknown.
std::string FirmwareText(const std::optional<FirmwareBytes>& firmware);
// "01 34 04" of any bytes.
std::string HexBytesText(std::span<const std::uint8_t> bytes);
// "0x01AB": a 16-bit code (a PID, a key, a module's manufacturer) as the lines show it.
std::string Hex16Text(std::uint16_t value);

// 'ombrel list': a heading and one line per tuner, columns as wide as their widest entry.
std::string ListTable(std::span<const TunerLine> tuners);
// One tuner's line with the columns at their usual widths (for watch).
std::string TunerLineText(const TunerLine& tuner);

// "14:02:03", or "14:02:03.125" with the milliseconds: the local time that follow lines show.
std::string ClockText(unsigned hour, unsigned minute, unsigned second, std::optional<unsigned> millisecond = std::nullopt);

// "Label:" padded to the value column of info and status, the value, a line end.
std::string LabelledLine(std::string_view label, const std::string& value);
// "2, Talvex S2 (WDM), GUID 0100E5D4C3B2A100": a tuner in one line.
std::string TunerSummary(unsigned long index, const TunerLine& tuner);

// 'ombrel info': one "Label: value" line per item.
std::string InfoText(const TunerDetails& details);
// "yes", "no", "yes, in use" or "unknown".
std::string_view CommonInterfaceText(CommonInterface support);

enum class TunerEvent { Attached, Detached };
std::string_view TunerEventText(TunerEvent event);  // "attached", "detached"
// 'ombrel watch': "attached  <list line>".
std::string WatchLine(TunerEvent event, const TunerLine& tuner);

}  // namespace ombrel_cli
