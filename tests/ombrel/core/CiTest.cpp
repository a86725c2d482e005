// 'ombrel ci': its actions and options, the status and info reports, and the module's
// menus on the console: how MMI objects (as the module sends them) are shown, and how a
// typed or scripted answer becomes the reply.
#include <gtest/gtest.h>

#include "CiArguments.h"
#include "CiOutput.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonReader.h"
#include "MmiDialogue.h"
#include "Verbs.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace ombrel_cli;
using ombrel_test::JsonValue;
using ombrel_test::ReadJson;

namespace {

std::optional<CiArguments> Ci(std::vector<std::string> rest, std::string& error) {
    std::vector<std::string> arguments{"ci", "2"};
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    EXPECT_TRUE(parsed.invocation) << parsed.error;
    if (!parsed.invocation) return std::nullopt;
    error.clear();
    return ParseCiArguments(*parsed.invocation, error);
}

using Bytes = std::vector<std::uint8_t>;

// An EN 50221 object as a module writes it: three tag bytes, the length field in its
// shortest form, the body.
Bytes Object(std::uint32_t tag, const Bytes& body) {
    Bytes out{static_cast<std::uint8_t>(tag >> 16), static_cast<std::uint8_t>(tag >> 8), static_cast<std::uint8_t>(tag)};
    if (body.size() < 0x80) {
        out.push_back(static_cast<std::uint8_t>(body.size()));
    } else if (body.size() < 0x100) {
        out.push_back(0x81);
        out.push_back(static_cast<std::uint8_t>(body.size()));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<std::uint8_t>(body.size() >> 8));
        out.push_back(static_cast<std::uint8_t>(body.size()));
    }
    for (std::uint8_t byte : body) out.push_back(byte);
    return out;
}

Bytes Text(const std::string& text) { return Object(0x9F8803, Bytes(text.begin(), text.end())); }

// A menu_last or list_last body: the entry count, title, subtitle, bottom, the entries.
Bytes Choices(const std::string& title, const std::string& subtitle, const std::string& bottom,
              const std::vector<std::string>& entries) {
    Bytes body{static_cast<std::uint8_t>(entries.size())};
    for (const std::string& text : {title, subtitle, bottom}) {
        const Bytes object = Text(text);
        body.insert(body.end(), object.begin(), object.end());
    }
    for (const std::string& entry : entries) {
        const Bytes object = Text(entry);
        body.insert(body.end(), object.begin(), object.end());
    }
    return body;
}

Bytes Enquiry(bool blind, std::uint8_t length, const std::string& text) {
    Bytes body{static_cast<std::uint8_t>(blind ? 1 : 0), length};
    for (char c : text) body.push_back(static_cast<std::uint8_t>(c));
    return body;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::optional<MmiReply> Reply(const MmiScreen& screen, const std::string& input, std::string& error) {
    error.clear();
    return ReadMmiReply(screen, input, error);
}

}  // namespace

TEST(CiArguments, ActionsTakeTheirOwnOptions) {
    std::string error;
    auto ci = Ci({"status"}, error);
    ASSERT_TRUE(ci) << error;
    EXPECT_EQ(ci->action, CiAction::Status);
    EXPECT_FALSE(ci->json);
    EXPECT_FALSE(ci->answers);
    ci = Ci({"info", "--json", "--timeout", "2.5"}, error);
    ASSERT_TRUE(ci) << error;
    EXPECT_EQ(ci->action, CiAction::Info);
    EXPECT_TRUE(ci->json);
    EXPECT_EQ(ci->timeout.count(), 2500);
    ci = Ci({"menu"}, error);
    ASSERT_TRUE(ci) << error;
    EXPECT_EQ(ci->action, CiAction::Menu);
    EXPECT_EQ(ci->timeout.count(), 10000);
    EXPECT_FALSE(ci->answers);
    ci = Ci({"menu", "--answers=3,1234,2,0,0,q"}, error);
    ASSERT_TRUE(ci) << error;
    EXPECT_EQ(*ci->answers, (std::vector<std::string>{"3", "1234", "2", "0", "0", "q"}));
    // Options before the action are options all the same.
    ci = Ci({"--answers", "deu", "menu"}, error);
    ASSERT_TRUE(ci) << error;
    EXPECT_EQ(*ci->answers, std::vector<std::string>{"deu"});
    for (CiAction action : {CiAction::Status, CiAction::Info, CiAction::Menu}) {
        EXPECT_EQ(Ci({std::string(CiActionText(action))}, error)->action, action);
    }

    // What an action does not take, and values that cannot be read.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"show"}, "unknown ci action 'show' (status, info or menu)"},
        {{"Status"}, "unknown ci action 'Status' (status, info or menu)"},
        {{"menu", "--json"}, "option --json is not for 'ci menu'"},
        {{"status", "--timeout", "3"}, "option --timeout is not for 'ci status'"},
        {{"info", "--answers", "1"}, "option --answers is not for 'ci info'"},
        {{"menu", "--timeout", "0"}, "--timeout '0' is not a number of seconds above 0 and up to 3600"},
        {{"menu", "--answers", "2,,1"}, "--answers '2,,1': entry 2 is empty (\"q\" closes the menu)"},
        {{"menu", "--answers", "2,"}, "--answers '2,': entry 2 is empty (\"q\" closes the menu)"},
        {{"menu", "--answers", ",2"}, "--answers ',2': entry 1 is empty (\"q\" closes the menu)"},
        {{"menu", "--answers", "1,q,0"}, "--answers '1,q,0': \"q\" closes the menu, so nothing may follow it"},
        {{"menu", "--answers", "1," + std::string(256, 'x')}, "--answers: entry 2 is longer than 255 characters"},
    };
    for (const auto& [arguments, message] : refused) {
        EXPECT_FALSE(Ci(arguments, error)) << arguments[0];
        EXPECT_EQ(error, message);
    }
    // Not even a tuner: the command line itself refuses.
    EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"ci", "2"}).error, "missing <action>");
    EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"ci", "2", "menu", "extra"}).error,
              "unexpected argument 'extra'");
    // --answers needs a value of its own, even an empty one is none.
    EXPECT_EQ(ParseCommandLine(std::vector<std::string>{"ci", "2", "menu", "--answers="}).error,
              "option --answers needs a value (LIST)");
    std::string parseError;
    EXPECT_EQ(ParseAnswerList(std::string(255, '7'), parseError)->front().size(), 255u);
}

TEST(CiMenus, MenusListsAndEnquiriesAreShownAsTheModuleSendsThem) {
    // A main menu whose body needs the 0x81 length form; entries numbered from 1.
    const Bytes menu = Choices("Kestrel Conditional Access", "Main menu", "Choose an entry",
                               {"Module information", "Subscriptions", "Parental control", "Language"});
    ASSERT_GE(menu.size(), 0x80u);
    MmiScreen screen = ReadMmiScreen(0x9F8809, menu);
    ASSERT_EQ(screen.kind, MmiKind::Menu);
    EXPECT_EQ(MmiScreenText(screen),
              "\nKestrel Conditional Access\nMain menu\n"
              "  1. Module information\n  2. Subscriptions\n  3. Parental control\n  4. Language\n"
              "Choose an entry\n");
    EXPECT_EQ(MmiPrompt(screen), "Choice [1-4, 0 back, q close]: ");
    EXPECT_EQ(MmiEcho(screen, "3"), "3\n");

    // A list long enough for the 0x82 form, without a subtitle: its entries are not
    // choices, so they are not numbered; numbers of ten and more line up.
    std::vector<std::string> services;
    for (int i = 0; i < 14; ++i) services.push_back("Service " + std::to_string(101 + i) + "  Kestrel channel");
    const Bytes list = Choices("Subscriptions", "", "Press OK to go back", services);
    ASSERT_GE(list.size(), 0x100u);
    screen = ReadMmiScreen(0x9F880C, list);
    ASSERT_EQ(screen.kind, MmiKind::List);
    std::string expected = "\nSubscriptions\n";
    for (const std::string& service : services) expected += "    " + service + "\n";
    EXPECT_EQ(MmiScreenText(screen), expected + "Press OK to go back\n");
    EXPECT_EQ(MmiPrompt(screen), "Choice [0 back, q close]: ");
    screen = ReadMmiScreen(0x9F8809, Choices("Ratings", "", "", services));
    EXPECT_EQ(Lines(MmiScreenText(screen))[2], "   1. Service 101  Kestrel channel");
    EXPECT_EQ(Lines(MmiScreenText(screen))[15], "  14. Service 114  Kestrel channel");

    // Enquiries: the text, whether the answer is hidden, and how long it is to be.
    screen = ReadMmiScreen(0x9F8807, Enquiry(true, 4, "Enter the parental PIN (4 digits)"));
    ASSERT_EQ(screen.kind, MmiKind::Enquiry);
    EXPECT_EQ(MmiScreenText(screen), "\nEnter the parental PIN (4 digits)\n(hidden answer, 4 characters)\n");
    EXPECT_EQ(MmiPrompt(screen), "Answer [q close]: ");
    EXPECT_EQ(MmiEcho(screen, "1234"), "(hidden)\n");
    EXPECT_EQ(MmiEcho(screen, "q"), "q\n");
    screen = ReadMmiScreen(0x9F8807, Enquiry(false, 0xFF, "Menu language?"));
    EXPECT_EQ(MmiScreenText(screen), "\nMenu language?\n(answer)\n");
    EXPECT_EQ(MmiEcho(screen, "deu"), "deu\n");

    // A lone text, and objects that cannot be shown.
    screen = ReadMmiScreen(0x9F8803, Bytes{'H', 'i'});
    EXPECT_EQ(screen.kind, MmiKind::Text);
    EXPECT_EQ(MmiScreenText(screen), "\nHi\n");
    EXPECT_EQ(MmiPrompt(screen), "Choice [0 back, q close]: ");
    Bytes broken = menu;
    broken.resize(broken.size() - 3);  // the last entry breaks off
    EXPECT_EQ(ReadMmiScreen(0x9F8809, broken).kind, MmiKind::Unreadable);
    EXPECT_EQ(ReadMmiScreen(0x9F8801, Bytes{1, 2}).kind, MmiKind::Unreadable);
    EXPECT_EQ(UnreadableObjectText(0x9F8801, 2), "the module sent an object that ombrel cannot show (tag 0x9F8801, 2 bytes)");

    // The module's texts: a DVB character-table selector is dropped, control characters
    // (which would move a console's cursor) become spaces.
    EXPECT_EQ(ModuleText("\x05" "Caf\xE9"), "Caf\xE9");
    EXPECT_EQ(ModuleText(std::string("\x10\x00\x02" "Men\xFC", 7)), "Men\xFC");
    EXPECT_EQ(ModuleText("\x1F\x01" "x"), "x");
    EXPECT_EQ(ModuleText("a\x1B[2Jb\rc\x7F"), "a [2Jb c ");
    EXPECT_EQ(ModuleText("\x10"), "");
    screen = ReadMmiScreen(0x9F8809, Choices("T\x1B[1m", "", "", {"\x05" "One\n"}));
    EXPECT_EQ(MmiScreenText(screen), "\nT [1m\n  1. One \n");
}

TEST(CiMenus, AnswersBecomeRepliesOrAreRefusedWithTheReason) {
    std::string error;
    const MmiScreen menu = ReadMmiScreen(0x9F8809, Choices("Main", "", "", {"A", "B", "C", "D"}));
    // Entries 1 to 4 and 0 (back), with blanks around them.
    for (const auto& [input, choice] : std::vector<std::pair<std::string, int>>{
             {"0", 0}, {"1", 1}, {"4", 4}, {" 2 ", 2}, {"\t3", 3}, {"004", 4}}) {
        const auto reply = Reply(menu, input, error);
        ASSERT_TRUE(reply) << input << ": " << error;
        EXPECT_EQ(reply->kind, MmiReply::Kind::Choice);
        EXPECT_EQ(reply->choice, choice) << input;
    }
    // Empty, q and Q close the menu wherever they are typed.
    for (const char* quit : {"", "q", "Q"}) {
        EXPECT_EQ(Reply(menu, quit, error)->kind, MmiReply::Kind::Close) << quit;
    }
    for (const char* wrong : {"5", "256", "-1", "1.0", "one", "1 2", "0x1", "1000"}) {
        EXPECT_FALSE(Reply(menu, wrong, error)) << wrong;
        EXPECT_EQ(error, "'" + std::string(wrong) + "' is no choice of this menu: 1 to 4 chooses an entry, 0 goes back, q closes it");
    }
    const MmiScreen empty = ReadMmiScreen(0x9F8809, Choices("Nothing", "", "", {}));
    EXPECT_EQ(MmiPrompt(empty), "Choice [0 back, q close]: ");
    EXPECT_EQ(Reply(empty, "0", error)->choice, 0);
    EXPECT_FALSE(Reply(empty, "1", error));
    EXPECT_EQ(error, "'1' is no choice of this menu: it has no entries; 0 goes back, q closes it");

    // A list has nothing to choose: 0 goes back.
    const MmiScreen list = ReadMmiScreen(0x9F880C, Choices("Info", "", "", {"x", "y"}));
    EXPECT_EQ(Reply(list, "0", error)->kind, MmiReply::Kind::Choice);
    EXPECT_EQ(Reply(list, "0", error)->choice, 0);
    EXPECT_FALSE(Reply(list, "1", error));
    EXPECT_EQ(error, "'1' is no choice here: 0 goes back, q closes the menu");
    EXPECT_EQ(Reply(list, "q", error)->kind, MmiReply::Kind::Close);

    // An enquiry takes the text as typed, blanks and digits alike, up to 255 bytes.
    const MmiScreen pin = ReadMmiScreen(0x9F8807, Enquiry(true, 4, "PIN"));
    for (const std::string& text : {std::string("1234"), std::string(" 12 "), std::string("0"), std::string(255, '9')}) {
        const auto reply = Reply(pin, text, error);
        ASSERT_TRUE(reply) << error;
        EXPECT_EQ(reply->kind, MmiReply::Kind::Answer);
        EXPECT_EQ(reply->text, text);
    }
    EXPECT_EQ(Reply(pin, "", error)->kind, MmiReply::Kind::Close);
    EXPECT_FALSE(Reply(pin, std::string(256, '9'), error));
    EXPECT_EQ(error, "the answer is longer than 255 characters");
    // The answer is never part of a refusal's text.
    EXPECT_EQ(error.find("999"), std::string::npos);

    EXPECT_FALSE(Reply(MmiScreen{}, "1", error));
    EXPECT_EQ(error, "this object cannot be answered");
}

TEST(CiReports, StatusAndInfoAsTextAndJson) {
    TunerLine s2;
    s2.index = 2;
    s2.model = "Talvex S2";
    s2.guid = "0100e5d4c3b2a100";
    s2.attached = true;
    const auto same = [](std::string_view text) { return std::string(text); };
    const CiApplication kestrel{0x4B45, 0x0241, "Kestrel \"CAM\""};

    CiStatusReport ready{true, false, CiModule::Ready, kestrel};
    EXPECT_EQ(CiStatusText(2, s2, ready),
              "Tuner:              2, Talvex S2 (?), GUID 0100E5D4C3B2A100\n"
              "CI slot:            yes\n"
              "Session:            free\n"
              "Module:             ready\n"
              "Menu string:        Kestrel \"CAM\"\n"
              "Manufacturer:       0x4B45\n"
              "Manufacturer code:  0x0241\n");
    JsonValue json = ReadJson(CiStatusJson(s2, ready, same));
    EXPECT_EQ(json["tuner"]["guid"].Text(), "0100E5D4C3B2A100");
    EXPECT_EQ(json["tuner"]["index"].Integer(), 2);
    EXPECT_TRUE(json["slot"].Bool());
    EXPECT_FALSE(json["sessionInUse"].Bool());
    EXPECT_EQ(json["module"].Text(), "ready");
    EXPECT_EQ(json["application"]["menuString"].Text(), "Kestrel \"CAM\"");
    EXPECT_EQ(json["application"]["manufacturer"].Integer(), 0x4B45);
    EXPECT_EQ(json["application"]["manufacturerCode"].Integer(), 0x0241);

    // Another program's session: the module is known only when it answers.
    const CiStatusReport held{true, true, CiModule::Unknown, std::nullopt};
    const std::string heldText = CiStatusText(2, s2, held);
    EXPECT_NE(heldText.find("Session:            in use by another program\n"), std::string::npos) << heldText;
    EXPECT_NE(heldText.find("Module:             unknown (the other program's session watches it)\n"), std::string::npos);
    EXPECT_EQ(heldText.find("Menu string"), std::string::npos);
    json = ReadJson(CiStatusJson(s2, held, same));
    EXPECT_TRUE(json["sessionInUse"].Bool());
    EXPECT_TRUE(json["module"].IsNull());
    EXPECT_TRUE(json["application"].IsNull());
    for (const auto& [module, text, word] : std::vector<std::tuple<CiModule, std::string, std::string>>{
             {CiModule::None, "none", "none"}, {CiModule::Starting, "present, starting up", "starting"}}) {
        const CiStatusReport report{true, false, module, std::nullopt};
        EXPECT_NE(CiStatusText(2, s2, report).find("Module:             " + text + "\n"), std::string::npos);
        EXPECT_EQ(ReadJson(CiStatusJson(s2, report, same))["module"].Text(), word);
    }
    // No slot: nothing more to say.
    const CiStatusReport none{};
    EXPECT_EQ(CiStatusText(2, s2, none),
              "Tuner:              2, Talvex S2 (?), GUID 0100E5D4C3B2A100\nCI slot:            no\n");
    json = ReadJson(CiStatusJson(s2, none, same));
    EXPECT_FALSE(json["slot"].Bool());
    EXPECT_TRUE(json["sessionInUse"].IsNull());
    EXPECT_TRUE(json["module"].IsNull());

    // Info, with the driver's date-time reply and without one.
    CiInfoReport info{kestrel, std::uint8_t{60}};
    EXPECT_EQ(CiInfoText(2, s2, info),
              "Tuner:              2, Talvex S2 (?), GUID 0100E5D4C3B2A100\n"
              "Menu string:        Kestrel \"CAM\"\n"
              "Manufacturer:       0x4B45\n"
              "Manufacturer code:  0x0241\n"
              "Date-time info:     60 (0x3C)\n");
    json = ReadJson(CiInfoJson(s2, info, same));
    EXPECT_EQ(json["application"]["menuString"].Text(), "Kestrel \"CAM\"");
    EXPECT_EQ(json["dateTimeInfo"].Integer(), 60);
    info.dateTime.reset();
    EXPECT_NE(CiInfoText(2, s2, info).find("Date-time info:     unavailable\n"), std::string::npos);
    EXPECT_TRUE(ReadJson(CiInfoJson(s2, info, same))["dateTimeInfo"].IsNull());

    // The refusals of the session's open.
    const CiRefusal noSlot = CiOpenRefusal(ci_session::kNoSlot, "tuner 0 (Pellary SATV)");
    EXPECT_EQ(noSlot.exitCode, kExitCiNoSlot);
    EXPECT_EQ(noSlot.message, "tuner 0 (Pellary SATV) has no Common Interface slot");
    const CiRefusal inUse = CiOpenRefusal(ci_session::kInUse, "tuner 2 (Talvex S2)");
    EXPECT_EQ(inUse.exitCode, kExitCiInUse);
    EXPECT_EQ(inUse.message, "another program has the Common Interface session of tuner 2 (Talvex S2) open; "
                             "end it there first (the CI companion, another 'ombrel ci')");
    const CiRefusal failed = CiOpenRefusal(ci_session::kFailed, "tuner 2 (Talvex S2)");
    EXPECT_EQ(failed.exitCode, kExitFailed);
    EXPECT_NE(failed.message.find("(OB_CI_Open returned 1)"), std::string::npos);

    // The verb's help lists its exit codes, the new ones among them.
    const std::string help = VerbHelp(*FindVerb("ci"));
    for (int code = kExitCiNoSlot; code <= kExitCiInterrupted; ++code) {
        EXPECT_NE(help.find("\n  " + std::to_string(code) + "  "), std::string::npos) << code;
    }
    EXPECT_NE(help.find("Usage: ombrel ci <tuner> status|info|menu [options]\n"), std::string::npos);
}
