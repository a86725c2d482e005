// Romflux.exe's resources as built: the two dialog templates control by control, the
// About string, the icon, the manifest and the thirteen carried images.
#include "FirmwareImage.h"
#include "UiDriver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Item {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className;  // ordinals as "#128"
    std::wstring text;       // ordinals as "#128"
};

struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<Item> items;
};

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items).
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    bool Read(Template& out)
    {
        if (Word() != 1 || Word() != 0xFFFF) return false;
        Dword();  // help id
        out.exStyle = Dword();
        out.style = Dword();
        const WORD count = Word();
        Word(), Word();  // x, y
        out.cx = static_cast<short>(Word());
        out.cy = static_cast<short>(Word());
        SzOrOrd();  // menu
        SzOrOrd();  // class
        out.caption = SzOrOrd();
        if (out.style & DS_SETFONT) {
            out.pointSize = Word();
            Word();        // weight
            Word();        // italic, charset
            out.font = SzOrOrd();
        }
        for (WORD i = 0; i < count && m_ok; ++i) {
            Align();
            Item item;
            Dword();  // help id
            item.exStyle = Dword();
            item.style = Dword();
            item.x = static_cast<short>(Word());
            item.y = static_cast<short>(Word());
            item.cx = static_cast<short>(Word());
            item.cy = static_cast<short>(Word());
            item.id = static_cast<int>(Dword());
            item.className = SzOrOrd();
            item.text = SzOrOrd();
            m_at += Word();  // creation data
            out.items.push_back(item);
        }
        return m_ok;
    }

private:
    WORD Word()
    {
        if (m_at + 2 > m_size) {
            m_ok = false;
            return 0;
        }
        WORD value;
        std::memcpy(&value, m_data + m_at, 2);
        m_at += 2;
        return value;
    }
    DWORD Dword()
    {
        const DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    void Align() { m_at = (m_at + 3) & ~static_cast<size_t>(3); }
    std::wstring SzOrOrd()
    {
        const WORD first = Word();
        if (first == 0) return {};
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring text(1, static_cast<wchar_t>(first));
        while (m_ok) {
            const WORD c = Word();
            if (c == 0) break;
            text += static_cast<wchar_t>(c);
        }
        return text;
    }

    const BYTE* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_ok = true;
};

class RomfluxResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_module = LoadLibraryExW((uidriver::BinDirectory() + L"Romflux.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite()
    {
        if (s_module) FreeLibrary(s_module);
        s_module = nullptr;
    }

    static std::string Bytes(const wchar_t* type, int id)
    {
        HRSRC found = FindResourceW(s_module, MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        const void* data = LockResource(LoadResource(s_module, found));
        return std::string(static_cast<const char*>(data), SizeofResource(s_module, found));
    }

    static Template Dialog(int id)
    {
        const std::string bytes = Bytes(RT_DIALOG, id);
        Template out;
        EXPECT_TRUE(TemplateReader(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()).Read(out))
            << "template " << id;
        return out;
    }

    static HMODULE s_module;
};

HMODULE RomfluxResources::s_module = nullptr;

constexpr const wchar_t* kButton = L"Button";
constexpr const wchar_t* kStatic = L"Static";
constexpr const wchar_t* kListBox = L"ListBox";
constexpr const wchar_t* kComboBox = L"ComboBox";

// A template names the predefined classes by ordinal or by name; both mean the same.
std::wstring ClassName(const std::wstring& stored)
{
    if (stored == L"#128") return kButton;
    if (stored == L"#130") return kStatic;
    if (stored == L"#131") return kListBox;
    if (stored == L"#133") return kComboBox;
    return stored;
}

struct Expected {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD styleBits;  // must all be set
};

void ExpectItems(const Template& dialog, const std::vector<Expected>& expected)
{
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Item& item = dialog.items[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " (id " << want.id << ")");
        EXPECT_EQ(item.id & 0xFFFF, want.id & 0xFFFF);
        EXPECT_EQ(CompareStringOrdinal(ClassName(item.className).c_str(), -1, want.className, -1, TRUE), CSTR_EQUAL)
            << uidriver::Narrow(item.className);
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.style & want.styleBits, want.styleBits);
        EXPECT_TRUE(item.style & WS_CHILD);
    }
}

TEST_F(RomfluxResources, MainDialogTemplateHoldsEveryControlInTabOrder)
{
    ASSERT_NE(s_module, nullptr);
    const Template dialog = Dialog(102);
    EXPECT_EQ(dialog.caption, L"Talvex Firmware Update");
    EXPECT_EQ(dialog.font, L"MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.cx, 223);
    EXPECT_EQ(dialog.cy, 135);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    EXPECT_EQ(dialog.style & frame, frame);
    EXPECT_TRUE(dialog.exStyle & WS_EX_APPWINDOW);

    const DWORD group = BS_GROUPBOX;
    ExpectItems(dialog, {
                            {1001, kComboBox, L"", 7, 19, 210, 79, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
                            {-1, kStatic, L"Available Tuners:", 7, 8, 56, 8, 0},
                            {-1, kButton, L"Tuner Info", 7, 35, 209, 41, group},
                            {-1, kStatic, L"GUID:", 15, 47, 21, 8, 0},
                            {-1, kStatic, L"Firmware Version:", 16, 60, 56, 8, 0},
                            {1003, kStatic, L"TUNER_GUID", 39, 47, 78, 8, 0},
                            {1000, kStatic, L"FIRMWARE_VERSION", 74, 60, 79, 8, 0},
                            {1004, kButton, L"Update Firmware", 7, 114, 65, 14, WS_TABSTOP},
                            {1005, L"msctls_progress32", L"", 83, 114, 133, 14, PBS_SMOOTH | WS_BORDER},
                            {1010, kStatic, L"VERSION_STRING", 16, 94, 192, 8, 0},
                            {-1, kButton, L"This update contains", 7, 82, 209, 26, group},
                            {-1, kStatic, L"Revision:", 162, 47, 30, 8, 0},
                            {1006, kStatic, L"REV", 194, 47, 20, 8, 0},
                        });
    // The update button is a plain push button, not the default one.
    EXPECT_EQ(dialog.items[7].style & 0x0F, static_cast<DWORD>(BS_PUSHBUTTON));
}

TEST_F(RomfluxResources, AboutTemplateHoldsItsControlsAndTheDriverLine)
{
    ASSERT_NE(s_module, nullptr);
    const Template dialog = Dialog(100);
    EXPECT_EQ(dialog.caption, L"About Talvex Firmware Update");
    EXPECT_EQ(dialog.font, L"MS Sans Serif");
    EXPECT_EQ(dialog.cx, 241);
    EXPECT_EQ(dialog.cy, 206);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(dialog.style & frame, frame);

    ASSERT_EQ(dialog.items.size(), 10u);
    EXPECT_EQ(dialog.items[4].id & 0xFFFF, 0xFFFF);
    EXPECT_FALSE(dialog.items[4].text.empty());  // the maker's line
    Template known = dialog;
    known.items[4].text = L"";
    known.items[0].text = known.items[1].text = known.items[6].text = known.items[9].text = L"";
    ExpectItems(known, {
                           {1015, kStatic, L"", 60, 43, 165, 8, SS_NOPREFIX},
                           {1017, kStatic, L"", 60, 58, 165, 8, 0},
                           {1, kButton, L"Close", 96, 185, 50, 14, BS_DEFPUSHBUTTON},
                           {-1, kButton, L"", 7, 7, 227, 171, BS_GROUPBOX},
                           {-1, kStatic, L"", 16, 14, 158, 8, 0},
                           {-1, kStatic, L"#128", 26, 35, 20, 20, SS_ICON},
                           {1018, kStatic, L"", 60, 28, 165, 8, 0},
                           {1019, kListBox, L"", 16, 92, 209, 76,
                            LBS_SORT | LBS_NOSEL | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_TABSTOP},
                           {-1, kStatic, L"Firmware versions in this update:", 16, 81, 209, 11, 0},
                           {1020, kStatic, L"", 60, 69, 165, 8, SS_NOPREFIX},
                       });
    EXPECT_TRUE(dialog.items[7].exStyle & WS_EX_STATICEDGE);
}

TEST_F(RomfluxResources, StringIconAndManifest)
{
    ASSERT_NE(s_module, nullptr);
    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(s_module, 101, text, 64), 0);
    EXPECT_STREQ(text, L"&About \"Romflux\"");

    EXPECT_NE(FindResourceW(s_module, MAKEINTRESOURCEW(128), RT_GROUP_ICON), nullptr);
    const std::string manifest = Bytes(RT_MANIFEST, 1);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST_F(RomfluxResources, CarriesTheThirteenImagesUnderTheirIds)
{
    ASSERT_NE(s_module, nullptr);
    for (const auto& entry : firmware::Catalogue()) {
        SCOPED_TRACE(entry.key);
        const std::string stored = Bytes(L"UPDATES", entry.resourceId);
        ASSERT_EQ(stored.size(), firmware::kImageSize);
        EXPECT_TRUE(stored == firmware::BuildImage(entry));
    }
    for (int unused : {140, 143, 146}) EXPECT_EQ(FindResourceW(s_module, MAKEINTRESOURCEW(unused), L"UPDATES"), nullptr);
}

}  // namespace
