#include "JsonReader.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace ombrel_test {
namespace {

// nlohmann/json's strict reading, turned into the tests' plain value.
JsonValue From(const nlohmann::json& json) {
    JsonValue value;
    switch (json.type()) {
    case nlohmann::json::value_t::object:
        value.kind = JsonValue::Kind::Object;
        for (const auto& [key, member] : json.items()) value.members.emplace_back(key, From(member));
        break;
    case nlohmann::json::value_t::array:
        value.kind = JsonValue::Kind::Array;
        for (const nlohmann::json& item : json) value.items.push_back(From(item));
        break;
    case nlohmann::json::value_t::string:
        value.kind = JsonValue::Kind::String;
        value.text = json.get<std::string>();
        break;
    case nlohmann::json::value_t::boolean:
        value.kind = JsonValue::Kind::Bool;
        value.boolean = json.get<bool>();
        break;
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
    case nlohmann::json::value_t::number_float:
        value.kind = JsonValue::Kind::Number;
        value.number = json.get<double>();
        break;
    default:
        value.kind = JsonValue::Kind::Null;
        break;
    }
    return value;
}

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

JsonValue ReadJson(std::string_view text) {
    try {
        return From(nlohmann::json::parse(text));
    } catch (const nlohmann::json::parse_error& failure) {
        throw std::runtime_error("not JSON (" + std::string(failure.what()) + "): " + std::string(text));
    }
}

}  // namespace ombrel_test
