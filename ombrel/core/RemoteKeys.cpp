#include "RemoteKeys.h"

#include "ExitCodes.h"
#include "JsonOutput.h"
#include "RemoteKeymap.h"
#include "TextOutput.h"

#include <charconv>

namespace ombrel_cli {

std::optional<KeysArguments> ParseKeysArguments(const Invocation& invocation, std::string& error) {
    KeysArguments keys;
    keys.json = invocation.Has("--json");
    if (const std::string* text = invocation.Value("--count")) {
        std::uint32_t count = 0;
        const char* end = text->data() + text->size();
        // Digits only: from_chars would take a sign, and a count of 0 would end before it began.
        const bool digits = text->find_first_not_of("0123456789") == std::string::npos;
        const auto [stop, failure] = std::from_chars(text->data(), end, count);
        if (!digits || failure != std::errc() || stop != end || count == 0) {
            error = "--count: '" + *text + "' is no number of keys (1 to 4294967295)";
            return std::nullopt;
        }
        keys.count = count;
    }
    return keys;
}

std::string KeysBanner(std::string_view tunerName, std::optional<std::uint32_t> count) {
    std::string text = "Reading the remote control of " + std::string(tunerName);
    if (count) text += " for " + std::to_string(*count) + (*count == 1 ? " key" : " keys");
    return text + "; Ctrl+C ends.\n";
}

std::string KeyLine(std::uint16_t code, std::string_view clock) {
    const keymap::Key* key = keymap::FindByCode(code);
    return std::string(clock) + "  " + Hex16Text(code) + "  " + (key ? std::string(key->label) : "(unknown key)") + "\n";
}

std::string KeyJson(std::uint16_t code, std::string_view clock) {
    const keymap::Key* key = keymap::FindByCode(code);
    const Json object = {{"time", clock},
                         {"code", code},
                         {"hex", Hex16Text(code)},
                         {"key", key ? Json(key->name) : Json(nullptr)},
                         {"label", key ? Json(key->label) : Json(nullptr)}};
    return JsonText(object) + "\n";
}

ReaderRefusal ReaderStartRefusal(unsigned long result, std::string_view tunerName) {
    const std::string tuner(tunerName);
    const std::string call = " (OB_RemoteControl_Start returned " + std::to_string(result) + ")";
    switch (result) {
    case remote::kInUse:
        return {kExitRemoteInUse, "another program reads the remote control of " + tuner +
                                      "; end it there first (the remote-control companion, another 'ombrel keys')"};
    case remote::kAlreadyRunning:
        return {kExitRemoteRefused, "the library did not start the remote-control reader of " + tuner +
                                        ": one runs already in this program, or its thread did not start" + call};
    default:
        return {kExitFailed, "the library did not start the remote-control reader of " + tuner + call};
    }
}

}  // namespace ombrel_cli
