#include "CiOutput.h"

#include "ExitCodes.h"
#include "TextOutput.h"

#include <cstdio>

namespace ombrel_cli {
namespace {

std::string ApplicationLines(const CiApplication& application) {
    return LabelledLine("Menu string", application.menuString) +
           LabelledLine("Manufacturer", Hex16Text(application.manufacturer)) +
           LabelledLine("Manufacturer code", Hex16Text(application.manufacturerCode));
}

Json ApplicationJson(const CiApplication& application, const TextDecoder& decode) {
    return {{"menuString", decode(application.menuString)},
            {"manufacturer", application.manufacturer},
            {"manufacturerCode", application.manufacturerCode}};
}

Json ModuleJson(CiModule module) {
    if (module == CiModule::Unknown) return nullptr;
    return module == CiModule::Ready ? "ready" : module == CiModule::Starting ? "starting" : "none";
}

}  // namespace

std::string_view CiModuleText(CiModule module) {
    switch (module) {
    case CiModule::Ready: return "ready";
    case CiModule::Starting: return "present, starting up";
    case CiModule::None: return "none";
    case CiModule::Unknown: break;
    }
    return "unknown";
}

std::string CiStatusText(unsigned long index, const TunerLine& tuner, const CiStatusReport& report) {
    std::string text = LabelledLine("Tuner", TunerSummary(index, tuner));
    text += LabelledLine("CI slot", report.slot ? "yes" : "no");
    if (!report.slot) return text;
    text += LabelledLine("Session", report.inUse ? "in use by another program" : "free");
    std::string module(CiModuleText(report.module));
    if (report.module == CiModule::Unknown && report.inUse) module += " (the other program's session watches it)";
    text += LabelledLine("Module", module);
    if (report.application) text += ApplicationLines(*report.application);
    return text;
}

std::string CiStatusJson(const TunerLine& tuner, const CiStatusReport& report, const TextDecoder& decode) {
    std::optional<Json> application;
    if (report.application) application = ApplicationJson(*report.application, decode);
    const Json status = {{"tuner", TunerLineJson(tuner, decode)},
                         {"slot", report.slot},
                         {"sessionInUse", report.slot ? Json(report.inUse) : Json(nullptr)},
                         {"module", report.slot ? ModuleJson(report.module) : Json(nullptr)},
                         {"application", OrNull(application)}};
    return JsonText(status) + "\n";
}

std::string CiInfoText(unsigned long index, const TunerLine& tuner, const CiInfoReport& report) {
    std::string text = LabelledLine("Tuner", TunerSummary(index, tuner)) + ApplicationLines(report.application);
    std::string dateTime = "unavailable";
    if (report.dateTime) {
        char value[16];
        std::snprintf(value, sizeof value, "%u (0x%02X)", static_cast<unsigned>(*report.dateTime),
                      static_cast<unsigned>(*report.dateTime));
        dateTime = value;
    }
    return text + LabelledLine("Date-time info", dateTime);
}

std::string CiInfoJson(const TunerLine& tuner, const CiInfoReport& report, const TextDecoder& decode) {
    const Json info = {{"tuner", TunerLineJson(tuner, decode)},
                       {"application", ApplicationJson(report.application, decode)},
                       {"dateTimeInfo", OrNull(report.dateTime)}};
    return JsonText(info) + "\n";
}

CiRefusal CiOpenRefusal(unsigned long result, std::string_view tunerName) {
    const std::string tuner(tunerName);
    switch (result) {
    case ci_session::kNoSlot: return {kExitCiNoSlot, tuner + " has no Common Interface slot"};
    case ci_session::kInUse:
        return {kExitCiInUse, "another program has the Common Interface session of " + tuner +
                                  " open; end it there first (the CI companion, another 'ombrel ci')"};
    default:
        return {kExitFailed, "the library did not open the Common Interface session of " + tuner +
                                 " (OB_CI_Open returned " + std::to_string(result) + ")"};
    }
}

}  // namespace ombrel_cli
