// The stress runs' own rules: what a settled run requires of its figures, the key
// handle limit, the figures' report and their way from the second process to the
// first, and the command line.
#include <gtest/gtest.h>

#include <stdexcept>

#include "Figures.h"
#include "SessionLedger.h"
#include "StressOptions.h"

namespace {

using namespace stress;

Sample Taken(long keys, long events, long threads, long filters, std::uint64_t privateBytes) {
    Sample s;
    s.handlesByType = {{"Key", keys}, {"Event", events}};
    s.threads = threads;
    s.filterObjects = filters;
    s.privateBytes = privateBytes;
    return s;
}

TEST(StressFigures, ASettledRunIsBackToItsThreadsAndFilterObjectsAndKeyGrowthIsJudgedPerCycle) {
    ProcessFigures f{"this process", 100, Taken(58, 10, 5, 0, 9 << 20), Taken(800, 30, 9, 12, 15 << 20),
                     Taken(1558, 10, 5, 0, 21 << 20)};
    EXPECT_TRUE(SettledProblems(f).empty());
    EXPECT_DOUBLE_EQ(PerCycle(58, 1558, 100), 15.0);
    EXPECT_FALSE(KeyGrowthProblem(f, std::nullopt).has_value());  // printed, not judged
    EXPECT_FALSE(KeyGrowthProblem(f, 15.0).has_value());
    const auto tooMany = KeyGrowthProblem(f, 1.0);
    ASSERT_TRUE(tooMany.has_value());
    EXPECT_NE(tooMany->find("from 58 to 1558, 15.00 a cycle"), std::string::npos) << *tooMany;

    f.end.threads = 7;
    f.end.filterObjects = 2;
    const auto problems = SettledProblems(f);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "this process: 7 threads at the end, 5 at the start");
    EXPECT_EQ(problems[1], "this process: 2 live filter objects at the end, 0 at the start");

    // A process whose filter objects cannot be counted (another program) is judged on
    // its threads alone; one whose threads cannot be counted is not settled.
    f.end = f.start;
    f.start.filterObjects = f.end.filterObjects = kUnknown;
    EXPECT_TRUE(SettledProblems(f).empty());
    f.end.threads = kUnknown;
    EXPECT_EQ(SettledProblems(f).size(), 1u);
    f.start.handlesByType.clear();
    EXPECT_TRUE(KeyGrowthProblem(f, 1.0).has_value());  // a limit that cannot be checked fails
}

TEST(StressFigures, TheReportListsEveryTypeWithItsGrowthAndTheSecondProcessHandsItsSamplesOver) {
    ProcessFigures f{"second process", 10, Taken(50, 4, 3, 0, 4096 * 1024), Taken(70, 6, 7, 3, 8192 * 1024),
                     Taken(90, 4, 3, 0, 5120 * 1024)};
    f.end.handlesByType["Mutant"] = 2;  // a type seen only at the end
    const std::string table = FormatFigures(f);
    EXPECT_NE(table.find("second process, 10 cycles:"), std::string::npos) << table;
    EXPECT_NE(table.find("handles Key"), std::string::npos);
    EXPECT_NE(table.find("4.00"), std::string::npos) << table;  // keys per cycle
    EXPECT_NE(table.find("handles Mutant"), std::string::npos);
    const std::string lines = FormatFigureLines("plug", f);
    EXPECT_NE(lines.find("figure plug second_process handles_Key 50 70 90 4.00\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("figure plug second_process handles_Mutant 0 0 2 0.20\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("figure plug second_process handles_total 54 76 96 4.20\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("figure plug second_process private_memory_KiB 4096 8192 5120 102.40\n"), std::string::npos) << lines;

    const Sample back = DecodeSample(EncodeSample(f.end));
    EXPECT_EQ(back.handlesByType, f.end.handlesByType);
    EXPECT_EQ(back.threads, 3);
    EXPECT_EQ(back.filterObjects, 0);
    EXPECT_EQ(back.privateBytes, 5120u * 1024);
    const Sample garbled = DecodeSample("threads=x handles:Key=12 junk");
    EXPECT_EQ(garbled.threads, kUnknown);
    EXPECT_EQ(garbled.HandlesOf("Key"), 12);
    EXPECT_EQ(Sample{}.Handles(), kUnknown);
}

TEST(StressOptionsTest, RunsAndOptionsAreReadAndBadOnesRefusedWithAReason) {
    const Options defaults = ParseOptions({"plug"});
    EXPECT_EQ(defaults.run, Run::Plug);
    EXPECT_EQ(defaults.cycles, 1000);
    EXPECT_EQ(defaults.tuners, 8);
    EXPECT_EQ(defaults.threads, 4);
    EXPECT_TRUE(defaults.secondProcess);
    EXPECT_FALSE(defaults.maxKeyGrowthPerCycle.has_value());

    const Options o = ParseOptions({"romflux", "--cycles", "20", "--tuners", "6", "--threads", "2", "--no-second-process",
                                    "--broadcast-each", "--hang-seconds", "30", "--max-key-growth", "0.5", "--stall-driver"});
    EXPECT_EQ(o.run, Run::Romflux);
    EXPECT_EQ(o.cycles, 20);
    EXPECT_EQ(o.tuners, 6);
    EXPECT_EQ(o.threads, 2);
    EXPECT_FALSE(o.secondProcess);
    EXPECT_TRUE(o.broadcastEach);
    EXPECT_TRUE(o.stallDriver);
    EXPECT_FALSE(defaults.stallDriver);
    EXPECT_EQ(o.hangSeconds, 30);
    EXPECT_DOUBLE_EQ(*o.maxKeyGrowthPerCycle, 0.5);
    EXPECT_EQ(ParseOptions({"worker", "--events", "E"}).events, "E");
    EXPECT_EQ(ParseOptions({"worker", "--events", "E"}).storm, Run::Plug);
    EXPECT_EQ(ParseOptions({"ci"}).run, Run::Ci);
    EXPECT_EQ(ParseOptions({"remote", "--tuners", "3"}).run, Run::Remote);
    EXPECT_EQ(ParseOptions({"worker", "--events", "E", "--storm", "ci"}).storm, Run::Ci);
    EXPECT_EQ(ParseOptions({"control", "--storm", "remote"}).storm, Run::Remote);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"storm"},
        {"plug", "--cycles"},
        {"plug", "--cycles", "12x"},
        {"plug", "--cycles", "1"},
        {"plug", "--tuners", "99"},
        {"plug", "--max-key-growth", "-1"},
        {"plug", "--colour", "red"},
        {"worker"},
        {"ci", "--storm", "remote"},
        {"control", "--storm", "romflux"},
        {"worker", "--events", "E", "--storm"},
    };
    for (const auto& arguments : bad) {
        EXPECT_THROW(ParseOptions(arguments), std::invalid_argument) << (arguments.empty() ? "" : arguments.back());
    }
    try {
        ParseOptions({"plug", "--cycles", "12x"});
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "--cycles needs a number 2..1000000, not \"12x\"");
    }
}

// A thread that opens sessions on handles 7 and then 9 and starts a reader on 12: what
// its window may receive, and what it must report.
TEST(StressSessionLedger, MessagesAreRightOnlyForTheOwnersOpenSessionInTheModulesOrderAndKeysOnlyRising) {
    SessionLedger ledger;
    EXPECT_EQ(*ledger.Received(kMsgCiPresent, 7, 0), "message 0x404 for handle 7 that owns no session of this thread");

    ledger.Opened(7);
    EXPECT_FALSE(ledger.Received(kMsgCiFlag40, 7, 0));  // flags at any time
    EXPECT_EQ(*ledger.Received(kMsgCiReady, 7, 0), "message 0x405 for handle 7: ready without present");
    EXPECT_EQ(*ledger.Received(kMsgCiGone, 7, 0), "message 0x406 for handle 7: gone without present");
    EXPECT_FALSE(ledger.Received(kMsgCiPresent, 7, 0));
    EXPECT_EQ(*ledger.Received(kMsgCiPresent, 7, 0), "message 0x404 for handle 7: present while the module was present");
    EXPECT_FALSE(ledger.Received(kMsgCiReady, 7, 0));
    EXPECT_EQ(*ledger.Received(kMsgCiReady, 7, 0), "message 0x405 for handle 7: ready twice");
    EXPECT_FALSE(ledger.Received(kMsgCiFlag100, 7, 0));
    EXPECT_FALSE(ledger.Received(kMsgCiGone, 7, 0));  // gone from ready
    EXPECT_FALSE(ledger.Received(kMsgCiPresent, 7, 0));  // the next module
    EXPECT_FALSE(ledger.Received(kMsgCiGone, 7, 0));     // gone from present
    EXPECT_EQ(*ledger.Received(kMsgCiFlag80, 7, 5), "message 0x409 for handle 7 with lParam 5");
    EXPECT_EQ(*ledger.Received(0x403, 7, 0), "message 0x403 for handle 7: no message of a session");

    // Closed and drained: nothing more for it. A new session starts from no module.
    ledger.Closed(7);
    EXPECT_EQ(*ledger.Received(kMsgCiFlag40, 7, 0), "message 0x408 for handle 7 after its session was closed");
    ledger.Opened(9);
    EXPECT_EQ(*ledger.Received(kMsgCiGone, 9, 0), "message 0x406 for handle 9: gone without present");
    EXPECT_FALSE(ledger.Received(kMsgCiPresent, 9, 0));
    EXPECT_EQ(*ledger.Received(kMsgCiPresent, 7, 0), "message 0x404 for handle 7 after its session was closed");

    // Keys: rising within one reader, each reader on its own; a reopened handle starts over.
    ledger.Opened(12);
    EXPECT_FALSE(ledger.Received(kMsgRemoteKey, 12, 0x0005));
    EXPECT_FALSE(ledger.Received(kMsgRemoteKey, 12, 0x1234));
    EXPECT_EQ(*ledger.Received(kMsgRemoteKey, 12, 0x1234), "key 0x1234 after key 0x1234 on handle 12");
    EXPECT_EQ(*ledger.Received(kMsgRemoteKey, 12, 0x0100), "key 0x100 after key 0x1234 on handle 12");
    ledger.Closed(12);
    ledger.Opened(12);
    EXPECT_FALSE(ledger.Received(kMsgRemoteKey, 12, 0x0006));

    const auto& counts = ledger.Counts();
    EXPECT_EQ(counts.at(kMsgCiPresent), 6);
    EXPECT_EQ(counts.at(kMsgCiGone), 4);
    EXPECT_EQ(counts.at(kMsgRemoteKey), 5);
    EXPECT_EQ(counts.at(0x403), 1);
}

}  // namespace
