// JSON output of list, info and watch, and the writing of every JSON text of ombrel. The
// output is pure ASCII: every other character is written as a \u escape, so it reads the
// same in any code page and as UTF-8.
#pragma once

#include "TextOutput.h"
#include "TunerRecord.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ombrel_cli {

// Members in the order they are added.
using Json = nlohmann::ordered_json;

// Turns a text of the library (ANSI) into UTF-8. The program converts from the system
// code page; tests may pass texts through unchanged.
using TextDecoder = std::function<std::string(std::string_view)>;

// The value on one line, ASCII only; bytes of texts that are not valid UTF-8 become U+FFFD.
std::string JsonText(const Json& value);
// A JSON string literal of UTF-8 text.
std::string JsonQuote(std::string_view utf8);

// The value, or null when there is none.
template <class T>
Json OrNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

// One tuner's object, as list shows it.
Json TunerLineJson(const TunerLine& tuner, const TextDecoder& decode);

// 'ombrel list --json': {"tuners":[{...},...]} and a line end.
std::string ListJson(std::span<const TunerLine> tuners, const TextDecoder& decode);
// 'ombrel info --json': one object and a line end.
std::string InfoJson(const TunerDetails& details, const TextDecoder& decode);
// 'ombrel watch --json': {"event":"attached","tuner":{...}} on one line.
std::string WatchJson(TunerEvent event, const TunerLine& tuner, const TextDecoder& decode);

}  // namespace ombrel_cli
