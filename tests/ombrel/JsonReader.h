// JSON texts read back by nlohmann/json (strict: one value, no comments, valid UTF-8),
// for tests that check the program's --json output.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ombrel_test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;  // UTF-8
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    bool IsNull() const { return kind == Kind::Null; }
    bool Has(std::string_view key) const;
    // Throws std::out_of_range for a missing member or item, or a value of another kind.
    const JsonValue& operator[](std::string_view key) const;
    const JsonValue& operator[](std::size_t index) const;
    long long Integer() const;
    const std::string& Text() const;
    bool Bool() const;
    std::vector<long long> Integers() const;  // an array of numbers
};

// The whole text must be one JSON value (blanks around it allowed); a text that is not
// JSON throws std::runtime_error with the reason and the text.
JsonValue ReadJson(std::string_view text);

}  // namespace ombrel_test
