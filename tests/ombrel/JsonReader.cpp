#include "JsonReader.h"

#include <cmath>
#include <cstdlib>

namespace ombrel_test {
namespace {

struct Failure {
    std::string what;
};

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    JsonValue Document() {
        JsonValue value = Value();
        Blanks();
        if (at_ != text_.size()) Fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw Failure{what + " at offset " + std::to_string(at_)};
    }

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool Take(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    JsonValue Value() {
        Blanks();
        if (at_ >= text_.size()) Fail("value expected");
        JsonValue value;
        const char c = text_[at_];
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++at_;
            Blanks();
            if (Take("}")) return value;
            do {
                Blanks();
                if (at_ >= text_.size() || text_[at_] != '"') Fail("member name expected");
                std::string key = String();
                Blanks();
                if (!Take(":")) Fail("':' expected");
                value.members.emplace_back(std::move(key), Value());
                Blanks();
            } while (Take(","));
            if (!Take("}")) Fail("'}' expected");
        } else if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++at_;
            Blanks();
            if (Take("]")) return value;
            do {
                value.items.push_back(Value());
                Blanks();
            } while (Take(","));
            if (!Take("]")) Fail("']' expected");
        } else if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = String();
        } else if (Take("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = true;
        } else if (Take("false")) {
            value.kind = JsonValue::Kind::Bool;
        } else if (Take("null")) {
            value.kind = JsonValue::Kind::Null;
        } else {
            value.kind = JsonValue::Kind::Number;
            value.number = Number();
        }
        return value;
    }

    double Number() {
        const std::size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        const auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            return at_ > from;
        };
        if (!digits()) Fail("number expected");
        if (at_ < text_.size() && text_[at_] == '.' && (++at_, !digits())) Fail("digits expected");
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (!digits()) Fail("exponent expected");
        }
        return std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
    }

    unsigned Hex4() {
        if (at_ + 4 > text_.size()) Fail("four hex digits expected");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else Fail("hex digit expected");
        }
        return value;
    }

    static void AppendUtf8(std::string& out, unsigned c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::string String() {
        ++at_;  // the opening quote
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) Fail("unterminated string");
            const char c = text_[at_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) Fail("unterminated escape");
            const char e = text_[at_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned c1 = Hex4();
                if (c1 >= 0xD800 && c1 <= 0xDBFF) {
                    if (!Take("\\u")) Fail("low surrogate expected");
                    const unsigned c2 = Hex4();
                    if (c2 < 0xDC00 || c2 > 0xDFFF) Fail("low surrogate expected");
                    c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                } else if (c1 >= 0xDC00 && c1 <= 0xDFFF) {
                    Fail("lone low surrogate");
                }
                AppendUtf8(out, c1);
                break;
            }
            default: Fail("unknown escape");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

[[noreturn]] void Wrong(const std::string& what) { throw std::out_of_range(what); }

}  // namespace

bool JsonValue::Has(std::string_view key) const {
    for (const auto& member : members) {
        if (member.first == key) return true;
    }
    return false;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
    if (kind != Kind::Object) Wrong("not an object: member " + std::string(key));
    for (const auto& member : members) {
        if (member.first == key) return member.second;
    }
    Wrong("no member " + std::string(key));
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
    if (kind != Kind::Array || index >= items.size()) Wrong("no item " + std::to_string(index));
    return items[index];
}

long long JsonValue::Integer() const {
    if (kind != Kind::Number || std::floor(number) != number) Wrong("not an integer");
    return static_cast<long long>(number);
}

const std::string& JsonValue::Text() const {
    if (kind != Kind::String) Wrong("not a string");
    return text;
}

bool JsonValue::Bool() const {
    if (kind != Kind::Bool) Wrong("not a boolean");
    return boolean;
}

std::vector<long long> JsonValue::Integers() const {
    if (kind != Kind::Array) Wrong("not an array");
    std::vector<long long> values;
    for (const JsonValue& item : items) values.push_back(item.Integer());
    return values;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string* error) {
    try {
        return Reader(text).Document();
    } catch (const Failure& failure) {
        if (error) *error = failure.what;
        return std::nullopt;
    }
}

JsonValue ReadJson(std::string_view text) {
    std::string error;
    auto value = ParseJson(text, &error);
    if (!value) throw std::runtime_error("not JSON (" + error + "): " + std::string(text));
    return std::move(*value);
}

}  // namespace ombrel_test
