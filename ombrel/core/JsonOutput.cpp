#include "JsonOutput.h"

#include "ImageCatalogue.h"
#include "TunerSelector.h"

#include <cstdio>

namespace ombrel_cli {
namespace {

Json FirmwareJson(const FirmwareBytes& f) {
    char version[16];
    std::snprintf(version, sizeof version, "%u.%u.%u", f[3], f[4], f[5]);
    return {{"productLine", f[0]},
            {"modelCode", f[1]},
            {"hardwareRevision", f[2]},
            {"version", version},
            {"build", 256 * f[6] + f[7]}};
}

// true or false by `test`, or null when the library's answer was unknown.
Json CommonInterfaceJson(CommonInterface support, CommonInterface trueFor, CommonInterface alsoTrue) {
    if (support == CommonInterface::Unknown) return nullptr;
    return support == trueFor || support == alsoTrue;
}

}  // namespace

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', /*ensure_ascii=*/true, Json::error_handler_t::replace);
}

std::string JsonQuote(std::string_view utf8) { return JsonText(Json(std::string(utf8))); }

Json TunerLineJson(const TunerLine& tuner, const TextDecoder& decode) {
    std::optional<Json> firmware;
    if (tuner.firmware) firmware = FirmwareJson(*tuner.firmware);
    return {{"index", OrNull(tuner.index)},
            {"driverModel", DriverModelText(tuner.driverModel)},
            {"model", decode(tuner.model)},
            {"guid", NormalizeGuid(decode(tuner.guid))},
            {"subunit", OrNull(tuner.subunit)},
            {"firmware", OrNull(firmware)},
            {"attached", tuner.attached}};
}

std::string ListJson(std::span<const TunerLine> tuners, const TextDecoder& decode) {
    Json lines = Json::array();
    for (const TunerLine& tuner : tuners) lines.push_back(TunerLineJson(tuner, decode));
    return JsonText({{"tuners", lines}}) + "\n";
}

std::string InfoJson(const TunerDetails& d, const TextDecoder& decode) {
    std::optional<std::string> driverVersion;
    if (d.driverVersion) driverVersion = decode(*d.driverVersion);
    std::optional<Json> image;
    if (d.image) image = Json{{"key", d.image->key}, {"release", d.image->releaseText}};
    const Json info = {
        {"tuner", TunerLineJson(d.line, decode)},
        {"displayName", decode(d.displayName)},
        {"friendlyName", decode(d.friendlyName)},
        {"guidLow", OrNull(d.guidLow)},
        {"guidHigh", OrNull(d.guidHigh)},
        {"firmwareRecord", OrNull(d.line.firmware)},
        {"driverVersion", OrNull(driverVersion)},
        {"systemInfo", OrNull(d.systemInfo)},
        {"boardTemperature", OrNull(d.boardTemperature)},
        {"commonInterface", CommonInterfaceJson(d.commonInterface, CommonInterface::Present, CommonInterface::InUse)},
        {"commonInterfaceInUse", CommonInterfaceJson(d.commonInterface, CommonInterface::InUse, CommonInterface::InUse)},
        {"updateImage", OrNull(image)},
    };
    return JsonText(info) + "\n";
}

std::string WatchJson(TunerEvent event, const TunerLine& tuner, const TextDecoder& decode) {
    return JsonText({{"event", TunerEventText(event)}, {"tuner", TunerLineJson(tuner, decode)}}) + "\n";
}

}  // namespace ombrel_cli
