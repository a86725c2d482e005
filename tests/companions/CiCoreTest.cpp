// The CI companion's plain parts: MMI objects read into what it shows, and its texts.
#include <gtest/gtest.h>

#include <OmbrelApi.h>

#include "CiTexts.h"
#include "MmiScreen.h"

namespace companion::ci {
namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendText(Bytes& body, const std::string& text) {
    body.insert(body.end(), {0x9F, 0x88, 0x03});
    if (text.size() < 0x80) {
        body.push_back(static_cast<std::uint8_t>(text.size()));
    } else if (text.size() < 0x100) {
        body.insert(body.end(), {0x81, static_cast<std::uint8_t>(text.size())});
    } else {
        body.insert(body.end(), {0x82, static_cast<std::uint8_t>(text.size() >> 8),
                                 static_cast<std::uint8_t>(text.size() & 0xFF)});
    }
    body.insert(body.end(), text.begin(), text.end());
}

Bytes ChoicesBody(const std::vector<std::string>& texts) {
    Bytes body{static_cast<std::uint8_t>(texts.size() - 3)};
    for (const std::string& text : texts) AppendText(body, text);
    return body;
}

TEST(MmiScreen, MenusAndListsWithTextsInEveryLengthForm) {
    const std::string longEntry(200, 'e');
    const std::string longerEntry(300, 'f');
    const Bytes menu = ChoicesBody({"Title", "Subtitle", "", "First", longEntry, longerEntry});
    const MmiScreen shown = ReadMmiScreen(0x9F8809, menu);
    EXPECT_EQ(shown.kind, MmiKind::Menu);
    EXPECT_EQ(shown.title, "Title");
    EXPECT_EQ(shown.subtitle, "Subtitle");
    EXPECT_EQ(shown.bottom, "");
    EXPECT_EQ(shown.entries, (std::vector<std::string>{"First", longEntry, longerEntry}));

    const MmiScreen list = ReadMmiScreen(0x9F880C, ChoicesBody({"Info", "", "Press OK"}));
    EXPECT_EQ(list.kind, MmiKind::List);
    EXPECT_EQ(list.bottom, "Press OK");
    EXPECT_TRUE(list.entries.empty());

    // Broken off (as a body cut at the reply's end is), or not text objects: unreadable.
    EXPECT_EQ(ReadMmiScreen(0x9F8809, Bytes(menu.begin(), menu.end() - 1)).kind, MmiKind::Unreadable);
    EXPECT_EQ(ReadMmiScreen(0x9F8809, Bytes{1, 0x9F, 0x88, 0x04, 0x00}).kind, MmiKind::Unreadable);
    EXPECT_EQ(ReadMmiScreen(0x9F8809, ChoicesBody({"Only", "two", ""})).kind, MmiKind::Menu);
    EXPECT_EQ(ReadMmiScreen(0x9F8809, Bytes{0}).kind, MmiKind::Unreadable);
    EXPECT_EQ(ReadMmiScreen(0x9F8809, Bytes{}).kind, MmiKind::Unreadable);
}

TEST(MmiScreen, EnquiriesTextsAndOtherObjects) {
    const Bytes blind{0x01, 4, 'P', 'I', 'N', '?'};
    const MmiScreen pin = ReadMmiScreen(0x9F8807, blind);
    EXPECT_EQ(pin.kind, MmiKind::Enquiry);
    EXPECT_TRUE(pin.blind);
    EXPECT_EQ(pin.answerLength, 4);
    EXPECT_EQ(pin.title, "PIN?");
    const MmiScreen visible = ReadMmiScreen(0x9F8807, Bytes{0x00, 0, 'L'});
    EXPECT_FALSE(visible.blind);
    EXPECT_EQ(visible.answerLength, 0);
    EXPECT_EQ(ReadMmiScreen(0x9F8807, Bytes{0x01}).kind, MmiKind::Unreadable);

    const MmiScreen text = ReadMmiScreen(0x9F8803, Bytes{'H', 'i'});
    EXPECT_EQ(text.kind, MmiKind::Text);
    EXPECT_EQ(text.title, "Hi");
    const MmiScreen other = ReadMmiScreen(0x9F880D, Bytes{1, 2, 3});
    EXPECT_EQ(other.kind, MmiKind::Unreadable);
    EXPECT_EQ(other.tag, 0x9F880Du);
}

TEST(CiTexts, SessionModuleAndListTexts) {
    EXPECT_EQ(SessionText(OB_SUCCESS), "Common Interface session open.");
    EXPECT_EQ(SessionText(OB_NOT_SUPPORTED), "This tuner has no Common Interface slot.");
    EXPECT_EQ(SessionText(OB_IN_USE), "Another program is using this tuner's Common Interface.");
    EXPECT_EQ(SessionText(OB_FAILED), "The Common Interface session could not be opened.");
    const ApplicationInfo info{0x4B45, 0x0241, "Kestrel CAM"};
    EXPECT_EQ(ModuleReadyText(&info), "Module ready: Kestrel CAM (manufacturer 0x4B45, code 0x0241).");
    EXPECT_EQ(ModuleReadyText(nullptr), "Module ready.");
    EXPECT_EQ(EventText(0x0100), "The module reports event 0x0100.");

    TunerInfo tuner;
    tuner.opened = true;
    tuner.model = "Talvex C/CI";
    tuner.guid = "11100f0e0d0c0b0a";
    tuner.bda = true;
    tuner.commonInterface = true;
    EXPECT_EQ(CiRow(tuner), "Talvex C/CI\t11100f0e0d0c0b0a\tBDA");
    TunerInfo noSlot = tuner;
    noSlot.model = "Pellary SATV";
    noSlot.bda = false;
    noSlot.commonInterface = false;
    EXPECT_EQ(CiRow(noSlot), "Pellary SATV\t11100f0e0d0c0b0a\tWDM (no CI slot)");
    EXPECT_EQ(CiRow(TunerInfo{}), "(could not be opened)");  // nothing known of it
    EXPECT_EQ(CiStatus({}), "No tuner attached.");
    EXPECT_EQ(CiStatus({tuner, tuner}), "2 tuners attached. Choose a tuner to open its Common Interface.");
}

}  // namespace
}  // namespace companion::ci
