// What 'ombrel ci status' and 'ombrel ci info' print, as text and as JSON, and the
// reasons why a tuner's Common Interface session could not be opened.
#pragma once

#include "JsonOutput.h"
#include "TunerRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ombrel_cli {

// The results of OB_CI_Open that ombrel tells apart (the program checks them against
// the header).
namespace ci_session {
inline constexpr unsigned long kOpened = 0;
inline constexpr unsigned long kFailed = 1;        // open in this process, or its thread did not start
inline constexpr unsigned long kInUse = 4;         // another process has it open
inline constexpr unsigned long kNoSlot = 5;        // the model has no Common Interface
}  // namespace ci_session

struct CiApplication {
    std::uint16_t manufacturer = 0;
    std::uint16_t manufacturerCode = 0;
    std::string menuString;  // the module's, ANSI
};

// What the slot's session tells of the module; Unknown when another program holds it.
enum class CiModule { Unknown, None, Starting, Ready };

struct CiStatusReport {
    bool slot = false;
    bool inUse = false;  // another program holds the session
    CiModule module = CiModule::Unknown;
    std::optional<CiApplication> application;  // when the module answered
};

struct CiInfoReport {
    CiApplication application;
    std::optional<std::uint8_t> dateTime;  // the driver's date-time reply, when it gave one
};

std::string_view CiModuleText(CiModule module);  // "ready", "starting up", "none", "unknown"

// 'ombrel ci status': labelled lines after the tuner's.
std::string CiStatusText(unsigned long index, const TunerLine& tuner, const CiStatusReport& report);
std::string CiStatusJson(const TunerLine& tuner, const CiStatusReport& report, const TextDecoder& decode);
// 'ombrel ci info'.
std::string CiInfoText(unsigned long index, const TunerLine& tuner, const CiInfoReport& report);
std::string CiInfoJson(const TunerLine& tuner, const CiInfoReport& report, const TextDecoder& decode);

struct CiRefusal {
    int exitCode = 0;
    std::string message;
};
// Why the session of `tunerName` did not open, for a result other than kOpened.
CiRefusal CiOpenRefusal(unsigned long result, std::string_view tunerName);

}  // namespace ombrel_cli
