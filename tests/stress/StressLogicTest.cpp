// The stress runs' own rules: what a settled run requires of its figures, the key
// handle limit, the figures' report and their way from the second process to the
// first, and the command line.
#include <gtest/gtest.h>

#include <stdexcept>

#include "Figures.h"
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

}  // namespace
