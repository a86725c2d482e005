// JSON output of list, info and watch. The output is pure ASCII: every other character
// is written as a \u escape, so it reads the same in any code page and as UTF-8.
#pragma once

#include "TextOutput.h"
#include "TunerRecord.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

// Turns a text of the library (ANSI) into UTF-8. The program converts from the system
// code page; tests may pass texts through unchanged.
using TextDecoder = std::function<std::string(std::string_view)>;

// A JSON string literal of UTF-8 text; bytes that are not valid UTF-8 become U+FFFD.
std::string JsonQuote(std::string_view utf8);

// Members in the order they are added.
class JsonObject {
public:
    JsonObject& Text(std::string_view key, std::string_view utf8);
    JsonObject& Number(std::string_view key, long long value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Raw(std::string_view key, std::string_view json);  // a value written already
    JsonObject& Maybe(std::string_view key, const std::optional<std::string>& json);  // null when empty
    std::string str() const;

private:
    JsonObject& Member(std::string_view key, std::string_view json);
    std::string members_;
};

std::string JsonArray(std::span<const std::string> values);  // values written already
std::string JsonBytes(std::span<const std::uint8_t> bytes);   // [1,52,4]

// One tuner's object, as list shows it.
std::string TunerLineJson(const TunerLine& tuner, const TextDecoder& decode);

// 'ombrel list --json': {"tuners":[{...},...]} and a line end.
std::string ListJson(std::span<const TunerLine> tuners, const TextDecoder& decode);
// 'ombrel info --json': one object and a line end.
std::string InfoJson(const TunerDetails& details, const TextDecoder& decode);
// 'ombrel watch --json': {"event":"attached","tuner":{...}} on one line.
std::string WatchJson(TunerEvent event, const TunerLine& tuner, const TextDecoder& decode);

}  // namespace ombrel_cli
