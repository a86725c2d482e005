// The tuner list's rebuild rule and line texts, over a fake library that records
// every handle it gives out and takes back.
#include "TunerList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct FakeDevice {
    std::string display;
    std::string guid;
};

class FakeSource : public ITunerSource {
public:
    std::vector<FakeDevice> wdm;
    std::vector<FakeDevice> bda;
    std::set<unsigned long> failingWdmIndexes;
    std::map<unsigned long, FakeDevice> open;  // handle -> device
    std::vector<unsigned long> closed;
    unsigned long nextHandle = 100;
    std::string unterminatedDisplay;  // when set, fills the whole 512-byte field

    unsigned long CountWdm() override { return static_cast<unsigned long>(wdm.size()); }
    unsigned long CountBda() override { return static_cast<unsigned long>(bda.size()); }
    unsigned long OpenWdm(unsigned long index) override
    {
        if (failingWdmIndexes.count(index)) return 0;
        return Open(wdm.at(index));
    }
    unsigned long OpenBda(unsigned long index) override { return Open(bda.at(index)); }
    void ReadDisplayString(unsigned long handle, char (&buffer)[512]) override
    {
        if (!unterminatedDisplay.empty()) {
            std::memset(buffer, 'X', sizeof(buffer));
            return;
        }
        const std::string& text = open.at(handle).display;
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    void ReadGuidText(unsigned long handle, char (&buffer)[17]) override
    {
        const std::string& text = open.at(handle).guid;
        std::memcpy(buffer, text.c_str(), std::min<size_t>(text.size() + 1, sizeof(buffer)));
    }
    void Close(unsigned long handle) override
    {
        ASSERT_EQ(open.erase(handle), 1u) << "handle " << handle << " closed twice or never opened";
        closed.push_back(handle);
    }

private:
    unsigned long Open(const FakeDevice& device)
    {
        const unsigned long handle = nextHandle++;
        open[handle] = device;
        return handle;
    }
};

std::vector<std::string> Displays(const TunerList& list)
{
    std::vector<std::string> out;
    for (const auto& entry : list) out.push_back(entry->DisplayString);
    return out;
}

TUNER_ENTRY UnderUpdate(const TUNER_ENTRY& entry)
{
    TUNER_ENTRY copy;
    std::memcpy(&copy, &entry, sizeof(copy));
    return copy;
}

// Every open handle belongs to exactly one listed entry.
void ExpectHandlesMatchList(const FakeSource& source, const TunerList& list)
{
    std::set<unsigned long> listed;
    for (const auto& entry : list) {
        EXPECT_NE(entry->Handle, 0u);
        EXPECT_TRUE(listed.insert(entry->Handle).second) << "handle listed twice";
    }
    std::set<unsigned long> open;
    for (const auto& [handle, device] : source.open) open.insert(handle);
    EXPECT_EQ(listed, open);
}

TEST(TunerListRebuild, OrdersBdaThenWdmEachFromTheHighestIndexAndSkipsFailedOpens)
{
    FakeSource source;
    source.wdm = {{"w0", "0000000000000001"}, {"w1", "0000000000000002"}, {"w2", "0000000000000003"}};
    source.bda = {{"b0", "00000000000000aa"}, {"b1", "00000000000000bb"}};
    source.failingWdmIndexes = {1};
    TunerList list;
    TUNER_ENTRY none{};
    RebuildTunerList(list, none, source);

    EXPECT_EQ(Displays(list), (std::vector<std::string>{"b1", "b0", "w2", "w0"}));
    EXPECT_STREQ(list[0]->GuidText, "00000000000000bb");
    ExpectHandlesMatchList(source, list);

    // A second rebuild closes every earlier handle.
    RebuildTunerList(list, none, source);
    EXPECT_EQ(source.closed.size(), 4u);
    ExpectHandlesMatchList(source, list);
}

TEST(TunerListRebuild, KeepsTheHandleOfTheTunerUnderUpdateAndClosesTheFreshDuplicate)
{
    FakeSource source;
    source.wdm = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
    TunerList list;
    TUNER_ENTRY none{};
    RebuildTunerList(list, none, source);
    const auto it = std::find_if(list.begin(), list.end(), [](auto& e) { return std::string(e->DisplayString) == "b"; });
    ASSERT_NE(it, list.end());
    const TUNER_ENTRY updating = UnderUpdate(**it);

    source.closed.clear();
    const unsigned long firstFresh = source.nextHandle;
    RebuildTunerList(list, updating, source);

    // The kept entry comes first, with its old handle; the fresh duplicate was closed.
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[0]->DisplayString, "b");
    EXPECT_EQ(list[0]->Handle, updating.Handle);
    EXPECT_EQ(Displays(list), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_NE(std::find(source.closed.begin(), source.closed.end(), firstFresh + 1), source.closed.end());
    ExpectHandlesMatchList(source, list);

    // Later rebuilds still keep that first handle while the tuner stays attached.
    RebuildTunerList(list, updating, source);
    EXPECT_EQ(list[0]->Handle, updating.Handle);
    ExpectHandlesMatchList(source, list);
}

TEST(TunerListRebuild, ClosesTheHandleUnderUpdateWhenItsTunerHasGone)
{
    FakeSource source;
    source.wdm = {{"a", "1"}, {"b", "2"}};
    TunerList list;
    TUNER_ENTRY none{};
    RebuildTunerList(list, none, source);
    const TUNER_ENTRY updating = UnderUpdate(*list[0]);  // "b"
    ASSERT_STREQ(updating.DisplayString, "b");

    source.wdm = {{"a", "1"}};
    RebuildTunerList(list, updating, source);
    EXPECT_EQ(Displays(list), (std::vector<std::string>{"a"}));
    EXPECT_EQ(source.open.count(updating.Handle), 0u);
    ExpectHandlesMatchList(source, list);
}

TEST(TunerListRebuild, AFreshMatchWithoutAnOldOneIsMovedToTheFront)
{
    FakeSource source;
    source.wdm = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
    TunerList list;
    TUNER_ENTRY remembered{};
    std::strcpy(remembered.DisplayString, "a");
    RebuildTunerList(list, remembered, source);
    EXPECT_EQ(Displays(list), (std::vector<std::string>{"a", "c", "b"}));
    ExpectHandlesMatchList(source, list);
}

TEST(TunerListRebuild, NoTunerUnderUpdateKeepsNothingEvenForEntriesWithoutDisplayString)
{
    // Two tuners whose display strings could not be read must not be taken for the
    // tuner under update: each rebuild gives each of them a fresh handle.
    FakeSource source;
    source.wdm = {{"", "1"}, {"", "2"}};
    TunerList list;
    TUNER_ENTRY none{};
    RebuildTunerList(list, none, source);
    const std::vector<unsigned long> before{list[0]->Handle, list[1]->Handle};
    RebuildTunerList(list, none, source);
    EXPECT_EQ(source.closed, before);
    ExpectHandlesMatchList(source, list);
}

TEST(TunerListRebuild, TerminatesFieldsThatTheLibraryFilledToTheBrim)
{
    FakeSource source;
    source.wdm = {{"x", "1"}};
    source.unterminatedDisplay = "yes";
    TunerList list;
    TUNER_ENTRY none{};
    RebuildTunerList(list, none, source);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::strlen(list[0]->DisplayString), 511u);
}

TEST(TunerListRelease, ClosesEveryHandleInListOrderAndEmptiesTheList)
{
    FakeSource source;
    source.wdm = {{"a", "1"}, {"b", "2"}};
    source.bda = {{"c", "3"}};
    TunerList list;
    TUNER_ENTRY none{};
    RebuildTunerList(list, none, source);
    std::vector<unsigned long> order;
    for (const auto& entry : list) order.push_back(entry->Handle);
    source.closed.clear();
    ReleaseTunerList(list, source);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(source.closed, order);
    EXPECT_TRUE(source.open.empty());
}

TEST(TunerListTexts, LineUpperCasesOnlyTheGuidSuffix)
{
    EXPECT_EQ(FormatTunerLine("Talvex S2 box", "00fedcba98765432"), "Talvex S2 box (00FEDCBA98765432)");
    EXPECT_EQ(FormatTunerLine("", "abc"), " (ABC)");
    EXPECT_EQ(FormatTunerLine("Nubrik", ""), "Nubrik ()");
    EXPECT_EQ(ToUpperAscii("aZ\xe9z"), "AZ\xe9Z");  // bytes outside ASCII are kept
}

TEST(TunerListTexts, FieldTextStopsAtTheTerminatorOrTheFieldEnd)
{
    const char withNul[5] = {'a', 'b', '\0', 'c', 'd'};
    EXPECT_EQ(FieldText(withNul), "ab");
    const char full[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(FieldText(full), "wxyz");
}

}  // namespace
