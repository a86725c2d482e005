// 'ombrel keys': its arguments, the key lines and objects named by the remote's keymap,
// and the refusals of a reader that did not start.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonReader.h"
#include "RemoteKeymap.h"
#include "RemoteKeys.h"
#include "Verbs.h"

#include <set>

using namespace ombrel_cli;

namespace {

std::optional<KeysArguments> Keys(std::vector<std::string> rest, std::string& error) {
    std::vector<std::string> arguments{"keys", "2"};
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    EXPECT_TRUE(parsed.invocation) << parsed.error;
    return ParseKeysArguments(*parsed.invocation, error);
}

}  // namespace

TEST(RemoteKeys, CountAndJsonAreRead) {
    std::string error;
    auto keys = Keys({}, error);
    ASSERT_TRUE(keys);
    EXPECT_FALSE(keys->json);
    EXPECT_FALSE(keys->count);
    keys = Keys({"--count", "3", "--json"}, error);
    ASSERT_TRUE(keys) << error;
    EXPECT_TRUE(keys->json);
    EXPECT_EQ(keys->count, 3u);
    keys = Keys({"--count=4294967295"}, error);
    ASSERT_TRUE(keys) << error;
    EXPECT_EQ(keys->count, 4294967295u);
    for (const std::string text : {"0", "-1", "+2", "1.5", "x", "3k", "4294967296", " 2"}) {
        error.clear();
        EXPECT_FALSE(Keys({"--count", text}, error)) << text;
        EXPECT_EQ(error, "--count: '" + text + "' is no number of keys (1 to 4294967295)");
    }
    // The command line itself: the tuner is needed, --count needs its value.
    EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"keys"}).error, "missing <tuner>");
    EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"keys", "0", "--count"}).error, "option --count needs a value (N)");

    EXPECT_EQ(KeysBanner("tuner 2 (Talvex S2)", std::nullopt), "Reading the remote control of tuner 2 (Talvex S2); Ctrl+C ends.\n");
    EXPECT_EQ(KeysBanner("tuner 0 (X)", 1u), "Reading the remote control of tuner 0 (X) for 1 key; Ctrl+C ends.\n");
    EXPECT_EQ(KeysBanner("tuner 0 (X)", 12u), "Reading the remote control of tuner 0 (X) for 12 keys; Ctrl+C ends.\n");
}

TEST(RemoteKeys, EveryKeyOfTheRemoteIsNamedAndOtherCodesAreUnknown) {
    // Every key of the keymap, as a line and as an object read back.
    std::set<std::string> labels;
    for (const keymap::Key& key : keymap::Keys()) {
        const std::string label(key.label);
        labels.insert(label);
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", key.code);
        EXPECT_EQ(KeyLine(key.code, "14:02:03.125"), "14:02:03.125  " + std::string(hex) + "  " + label + "\n");
        const std::string json = KeyJson(key.code, "14:02:03.125");
        ASSERT_EQ(json.back(), '\n');
        EXPECT_EQ(json.find('\n'), json.size() - 1) << json;
        const ombrel_test::JsonValue object = ombrel_test::ReadJson(json);
        EXPECT_EQ(object["time"].Text(), "14:02:03.125");
        EXPECT_EQ(object["code"].Integer(), key.code);
        EXPECT_EQ(object["hex"].Text(), hex);
        EXPECT_EQ(object["key"].Text(), key.name);
        EXPECT_EQ(object["label"].Text(), label);
    }
    EXPECT_EQ(labels.size(), keymap::Keys().size());
    EXPECT_EQ(KeyLine(0x2015, "00:00:00.000"), "00:00:00.000  0x2015  OK\n");
    EXPECT_EQ(KeyJson(0x2016, "t"), "{\"time\":\"t\",\"code\":8214,\"hex\":\"0x2016\",\"key\":\"vol+\",\"label\":\"Volume +\"}\n");

    // Codes of other remotes, and a command the Talvex remote does not have.
    for (std::uint16_t code : {0x0000, 0x1234, 0x20FF, 0xFFFF}) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", code);
        EXPECT_EQ(KeyLine(code, "10:00:00.000"), "10:00:00.000  " + std::string(hex) + "  (unknown key)\n");
        const ombrel_test::JsonValue object = ombrel_test::ReadJson(KeyJson(code, "10:00:00.000"));
        EXPECT_EQ(object["code"].Integer(), code);
        EXPECT_EQ(object["hex"].Text(), hex);
        EXPECT_TRUE(object["key"].IsNull());
        EXPECT_TRUE(object["label"].IsNull());
    }
}

TEST(RemoteKeys, AReaderThatDidNotStartHasItsReasonAndExitCode) {
    const ReaderRefusal inUse = ReaderStartRefusal(remote::kInUse, "tuner 2 (Talvex S2)");
    EXPECT_EQ(inUse.exitCode, kExitRemoteInUse);
    EXPECT_EQ(inUse.message,
              "another program reads the remote control of tuner 2 (Talvex S2); end it there first (the remote-control "
              "companion, another 'ombrel keys')");
    const ReaderRefusal running = ReaderStartRefusal(remote::kAlreadyRunning, "tuner 2 (Talvex S2)");
    EXPECT_EQ(running.exitCode, kExitRemoteRefused);
    EXPECT_EQ(running.message,
              "the library did not start the remote-control reader of tuner 2 (Talvex S2): one runs already in this "
              "program, or its thread did not start (OB_RemoteControl_Start returned 1)");
    const ReaderRefusal other = ReaderStartRefusal(2, "tuner 2 (Talvex S2)");
    EXPECT_EQ(other.exitCode, kExitFailed);
    EXPECT_EQ(other.message,
              "the library did not start the remote-control reader of tuner 2 (Talvex S2) (OB_RemoteControl_Start returned 2)");
    // The three are told apart, and the help names the one for a reader in use.
    EXPECT_NE(kExitRemoteInUse, kExitRemoteRefused);
    EXPECT_NE(kExitRemoteRefused, kExitFailed);
    EXPECT_NE(VerbHelp(*FindVerb("keys")).find("refused (exit code " + std::to_string(kExitRemoteInUse) + ")"),
              std::string::npos);
}
