// What the programs do with input they cannot use: malformed arguments; empty, cut,
// random and huge files; a damaged state file. Each must say what is wrong and end
// with a non-zero exit code, in bounded time, without a crash and without leaving
// anything half done. Romflux takes no command line and must ignore whatever it gets;
// ombrel refuses what it cannot use before anything reaches a tuner.
#include <gtest/gtest.h>

#include <windows.h>

#include <ConsoleRun.h>
#include <FirmwareImage.h>
#include <TunerSimControl.h>
#include <UiDriver.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// Generous for a loaded machine; a program that reads a huge file whole takes minutes.
constexpr DWORD kProgramMs = 60000;
constexpr std::uint64_t kHugeSize = 5ull << 30;  // past 32 bits, kept sparse

std::string BinDir() { return uidriver::Narrow(uidriver::BinDirectory()); }

consolerun::Run RunProgram(const std::string& program, const std::string& arguments) {
    consolerun::Run run = consolerun::RunProgram("\"" + BinDir() + program + "\" " + arguments, kProgramMs);
    EXPECT_FALSE(run.timedOut) << program << " " << arguments.substr(0, 200) << " did not end";
    return run;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A folder of files made for one test, removed with them afterwards.
class Files {
public:
    Files() {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "ombrel-bad-input-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
    }
    Files(const Files&) = delete;
    Files& operator=(const Files&) = delete;
    ~Files() {
        for (const std::string& file : made_) DeleteFileA(file.c_str());
        RemoveDirectoryA((dir_ + "folder").c_str());
        RemoveDirectoryA(dir_.c_str());
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = Made(name);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }
    // `start` followed by a hole up to `size` bytes (zeros, taking no disk space).
    std::string Huge(const std::string& name, const std::string& start, std::uint64_t size) {
        const std::string path = Write(name, start);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file)) << path;
        CloseHandle(file);
        return path;
    }
    std::string Folder() {
        CreateDirectoryA((dir_ + "folder").c_str(), nullptr);
        return dir_ + "folder";
    }
    std::string Missing() const { return dir_ + "missing.hex"; }

private:
    std::string Made(const std::string& name) {
        made_.push_back(dir_ + name);
        return made_.back();
    }
    std::string dir_;
    std::vector<std::string> made_;
};

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Lines that look like records but are not: ':' and hex digits in random lengths.
std::string RandomRecords(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += ':';
        for (unsigned n = random() % 50; n > 0; --n) text += "0123456789ABCDEF"[random() % 16];
        text += "\r\n";
    }
    text.resize(size);
    return text;
}

const std::string& GoodImage() {
    static const std::string image = firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013404"));
    return image;
}

bool Says(const consolerun::Run& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

TEST(BadInput, FwgenCheckNamesTheFaultOfEveryBadFileAndReadsNoMoreOfAHugeOneThanAnImage) {
    Files files;
    struct Case {
        std::string path;
        std::string says;
    };
    const std::string good = GoodImage();
    const Case cases[] = {
        {files.Missing(), "cannot open: no such file"},
        {files.Folder(), "cannot open: it is a directory"},
        {files.Write("empty.hex", ""), "line 1: image ends after line 0"},
        {files.Write("cut.hex", good.substr(0, 1000)), "line 24: the text ends inside this line: it is cut short"},
        {files.Write("random.bin", RandomBytes(firmware::kImageSize, 1)), "line 1: "},
        {files.Write("records.hex", RandomRecords(firmware::kImageSize, 2)), "line 1: "},
        {files.Write("longer.hex", good + "\r\n"), "line 8199: 2 bytes follow the trailer record"},
        {files.Huge("huge.bin", "", kHugeSize), "line 1: line is longer than any record"},
        {files.Huge("huge.hex", good, kHugeSize),
         "line 8199: " + std::to_string(kHugeSize - firmware::kImageSize) + " bytes follow the trailer record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ULONGLONG began = GetTickCount64();
        const auto run = RunProgram("fwgen.exe", "--check " + Quoted(c.path));
        EXPECT_EQ(run.exitCode, 1u) << run.output;
        EXPECT_TRUE(Says(run, c.path + ": " + c.says)) << run.output;
        // Printed, not judged: reading 5 GB whole took minutes and gigabytes.
        std::printf("fwgen --check %s: %llu ms\n", c.path.c_str(), GetTickCount64() - began);
    }

    // Several files at once: each gets its verdict, and one bad file fails the run.
    const std::string goodPath = files.Write("good.hex", good);
    auto run = RunProgram("fwgen.exe", "--check " + Quoted(goodPath) + " " + Quoted(files.Missing()) + " " + Quoted(goodPath));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Says(run, goodPath + ": ok")) << run.output;
    EXPECT_TRUE(Says(run, files.Missing() + ": cannot open")) << run.output;
    EXPECT_EQ(RunProgram("fwgen.exe", "--check " + Quoted(goodPath)).exitCode, 0u);

    // Malformed command lines get the usage and exit code 2.
    const std::vector<std::string> usages = {"", "--check", "--verify x.hex", "-x", "a b", std::string(20000, 'A') + " b"};
    for (const std::string& arguments : usages) {
        run = RunProgram("fwgen.exe", arguments);
        EXPECT_EQ(run.exitCode, 2u) << arguments.substr(0, 40);
        EXPECT_TRUE(Says(run, "usage: fwgen")) << run.output;
    }
}

class SimulatedBox : public ::testing::Test {
protected:
    void SetUp() override {
        tunersim::Reset(false);
        tunersim::Plug(Box(), false);
    }
    void TearDown() override { tunersim::Reset(false); }

    static tunersim::DeviceProfile Box() {
        tunersim::DeviceProfile box = tunersim::Preset("talvex-s2");
        box.id = "00000000000bad01";
        return box;
    }
};

TEST_F(SimulatedBox, TunersimFlashRefusesBadFilesWithTheirReasonAndSendsNoMoreThanAnImage) {
    Files files;
    const std::string id = Box().id;
    struct Case {
        std::string path;
        const char* says;
        bool sent;  // whether the box got an image (and refused it)
    };
    const Case cases[] = {
        {files.Missing(), "cannot read", false},
        {files.Folder(), "cannot read", false},
        {files.Write("empty.hex", ""), "holds 0 bytes, fewer than an image's 368754", false},
        {files.Write("cut.hex", GoodImage().substr(0, 1000)), "holds 1000 bytes, fewer than an image's 368754", false},
        {files.Write("random.bin", RandomBytes(firmware::kImageSize, 3)), "the box refused the image with error ", true},
        {files.Huge("huge.bin", RandomRecords(4096, 4), kHugeSize), "the box refused the image with error ", true},
        {files.Write("other.hex", firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013401"))),
         "the box refused the image with error 9: the image is for other hardware", true},
    };
    std::uint32_t received = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto run = RunProgram("tunersim.exe", "flash " + id + " " + Quoted(c.path));
        EXPECT_EQ(run.exitCode, 1u) << run.output;
        EXPECT_TRUE(Says(run, "tunersim flash: ")) << run.output;
        EXPECT_TRUE(Says(run, c.says)) << run.output;
        received += c.sent;
        EXPECT_EQ(tunersim::LastImage(id).count, received);
        EXPECT_EQ(tunersim::LastImage(id).length, received ? firmware::kImageSize : 0u);
    }
    // The box is as it was: plugged, its version unchanged, and it takes a good image.
    const auto info = tunersim::Find(id);
    ASSERT_TRUE(info && info->plugged);
    EXPECT_EQ(info->profile.versionMinor, Box().versionMinor);
    tunersim::SetUpdateTiming(id, 600000, 1000);  // no reboot during the test
    const auto run = RunProgram("tunersim.exe", "flash " + id + " " + Quoted(files.Write("good.hex", GoodImage())));
    EXPECT_EQ(run.exitCode, 0u) << run.output;
}

TEST_F(SimulatedBox, TunersimRefusesMalformedCommandLinesAndLeavesNothingHalfPlugged) {
    const auto before = tunersim::List();
    const std::string huge(20000, 'A');
    const std::string many = [] {
        std::string words;
        for (int i = 0; i < 500; ++i) words += " --no-broadcast";
        return words;
    }();
    const std::string cases[] = {
        huge,
        "plug --id " + huge,
        "plug --preset " + huge,
        "plug --wdm-name " + huge,
        "plug --model bda --tuner-name " + huge,
        "plug --id 00000000000bad02 --model both --receiver-name " + huge,
        "plug --id 00000000000bad03 --driver " + huge,
        "plug --id 00000000000bad04 --ident 1,0x34" + many,
        "plug --id \xff\xfe\x80\x81",
        "set-driver 00000000000bad01 " + huge,
        "fault 00000000000bad01 11 get short:99999999999999999999",
        "script-update 00000000000bad01 fail:50:1:2:3",
        "plug" + many + " --id",
    };
    for (const std::string& arguments : cases) {
        const auto run = RunProgram("tunersim.exe", arguments);
        EXPECT_NE(run.exitCode, 0u) << arguments.substr(0, 60);
        EXPECT_TRUE(Says(run, "tunersim")) << run.output.substr(0, 300);
    }
    // Nothing was plugged, changed or left registered by the refused commands.
    const auto after = tunersim::List();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0].displayNames, before[0].displayNames);
    EXPECT_EQ(after[0].profile.driverVersion, before[0].profile.driverVersion);
    const auto listed = RunProgram("tunersim.exe", "enum");
    EXPECT_EQ(listed.exitCode, 0u);
    for (const char* id : {"00000000000bad02", "00000000000bad03", "00000000000bad04"}) {
        EXPECT_FALSE(Says(listed, id)) << listed.output;
    }
}

TEST_F(SimulatedBox, ADamagedStateFileIsStartedAfreshNotReadPastItsFields) {
    char data[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("ProgramData", data, MAX_PATH);
    const std::string state = (n > 0 && n < MAX_PATH ? std::string(data, n) : "C:\\ProgramData") + "\\TunerSim\\state.bin";
    const std::string header = [&] {
        HANDLE file = CreateFileA(state.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        std::string bytes(16, '\0');
        DWORD got = 0;
        ReadFile(file, bytes.data(), 16, &got, nullptr);
        CloseHandle(file);
        return bytes;
    }();
    for (unsigned seed : {5u, 6u}) {
        // A file whose header is right and whose records are noise: ids and names
        // without their NUL, flags and counts out of range.
        std::string noise = header + RandomBytes(64 * 1024, seed);
        HANDLE file = CreateFileA(state.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, noise.data(), static_cast<DWORD>(noise.size()), &written, nullptr);
        CloseHandle(file);

        auto run = RunProgram("tunersim.exe", "list");
        EXPECT_EQ(run.exitCode, 0u) << run.output.substr(0, 300);
        EXPECT_EQ(run.output, "");  // started afresh: nothing to list, no garbage
        run = RunProgram("tunersim.exe", "plug --id 00000000000bad05 --no-broadcast");
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        run = RunProgram("tunersim.exe", "list");
        EXPECT_TRUE(Says(run, "00000000000bad05  plugged")) << run.output;
        EXPECT_EQ(tunersim::List().size(), 1u);
    }
}

#ifdef WITH_OMBREL
// Every request of every property the library uses, as the simulated driver counted them.
std::array<tunersim::RequestCount, 31> RequestsOf(const std::string& id) {
    std::array<tunersim::RequestCount, 31> counts{};
    for (unsigned property = 0; property < counts.size(); ++property) counts[property] = tunersim::Requests(id, property);
    return counts;
}

// The requests (sets, and gets when asked) that reached the driver between the two
// counts, as "set 17, get 11"; empty when none did.
std::string Sent(const std::array<tunersim::RequestCount, 31>& before, const std::array<tunersim::RequestCount, 31>& after,
                 bool gets) {
    std::string sent;
    for (std::size_t property = 0; property < before.size(); ++property) {
        if (after[property].sets != before[property].sets) sent += " set " + std::to_string(property);
        if (gets && after[property].gets != before[property].gets) sent += " get " + std::to_string(property);
    }
    return sent;
}

// Words of random bytes that a command line can carry (no quotes, backslashes or NUL).
std::string RandomWords(std::size_t words, unsigned seed) {
    std::mt19937 random(seed);
    std::string line;
    for (std::size_t i = 0; i < words; ++i) {
        line += i == 0 ? "" : " ";
        for (unsigned n = 1 + random() % 30; n > 0; --n) {
            char c = static_cast<char>(0x21 + random() % 0xDE);
            if (c == '"' || c == '\\') c = '-';
            line += c;
        }
    }
    return line;
}

TEST_F(SimulatedBox, OmbrelRefusesMalformedCommandLinesWithAReasonAndUsageExitAndSendsNothing) {
    const std::string id = Box().id;
    const std::string huge(20000, 'A');
    const std::string manyJson = [] {
        std::string words;
        for (int i = 0; i < 500; ++i) words += " --json";
        return words;
    }();
    struct Case {
        std::string arguments;
        std::string says;
        // A <tuner> that is no index or GUID is found out once the library has started,
        // and it reads every tuner's identification (get 11) as it starts.
        bool identifies = false;
    };
    const Case cases[] = {
        {"", "no verb given"},
        {"frobnicate", "unknown verb 'frobnicate'"},
        {"--frob", "unknown option '--frob'"},
        {"LIST", "unknown verb 'LIST'"},
        {"list --frob", "unknown option '--frob' for 'list'"},
        {"list" + manyJson, "option --json given twice"},
        {"info", "missing <tuner>"},
        {"info 0 1", "unexpected argument '1'"},
        {"info zzzz", "'zzzz' is neither a tuner index nor a GUID", true},
        {"info 0x", "'0x' is neither a tuner index nor a GUID", true},
        {"info 00000000000bad01ff", "is neither a tuner index nor a GUID", true},
        {"info " + huge, "is neither a tuner index nor a GUID", true},
        {huge, "unknown verb"},
        {"help " + huge, "unknown verb"},
        {"--version extra", "unexpected argument 'extra'"},
        {"update 0 --image", "option --image needs a value (FILE)"},
        {"update 0 --image=", "option --image needs a value (FILE)"},
        {"update 0 --yes=1", "option --yes takes no value"},
        {"tune 0", "missing <frequency>"},
        {"tune 0 abc", "frequency 'abc' is no frequency"},
        {"tune 0 99999999999999999999999", "is no frequency"},
        {"tune 0 11623 --pol X", "--pol 'X' is not one of H, V, L or R"},
        {"tune 0 11623 --pids 0,8193", "--pids: '8193' is no PID"},
        {"tune 0 11623 --pids " + std::string(5000, ','), "is no PID"},
        {"tune 0 11623 --timeout 0", "--timeout '0' is not a number of seconds"},
        {"status 0 --interval 5", "--interval needs --follow"},
        {"keys 0 --count 0", "--count: '0' is no number of keys"},
        {"keys 0 --count 99999999999999999999", "is no number of keys"},
        {"watch now", "unexpected argument 'now'"},
        {"\xe4\xf6\xfc \xff\xfe", "unknown verb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.substr(0, 60));
        const auto before = RequestsOf(id);
        const auto run = RunProgram("ombrel.exe", c.arguments);
        EXPECT_EQ(Sent(before, RequestsOf(id), !c.identifies), "") << "a refused command line reached the tuner";
        EXPECT_EQ(run.exitCode, 2u) << run.output.substr(0, 300);
        EXPECT_TRUE(Says(run, "ombrel: ")) << run.output.substr(0, 300);
        EXPECT_TRUE(Says(run, c.says)) << run.output.substr(0, 300);
        EXPECT_TRUE(Says(run, "Try 'ombrel")) << run.output.substr(0, 300);
    }
    // Random words: a reason and the usage exit, or (when they happen to spell a verb and
    // a tuner that does not exist) the missing tuner's; never a crash.
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const std::string words = RandomWords(1 + seed % 5, seed);
        SCOPED_TRACE(words);
        const auto before = RequestsOf(id);
        const auto run = RunProgram("ombrel.exe", words);
        EXPECT_EQ(Sent(before, RequestsOf(id), false), "") << "a refused command line reached the tuner";
        EXPECT_TRUE(run.exitCode == 2u || run.exitCode == 3u) << run.exitCode << " " << run.output.substr(0, 300);
        EXPECT_TRUE(Says(run, "ombrel: ")) << run.output.substr(0, 300);
    }
    EXPECT_EQ(tunersim::LastImage(id).count, 0u);
}

TEST_F(SimulatedBox, OmbrelUpdateRefusesBadImageFilesWithTheirReasonAndSendsNoImage) {
    Files files;
    const std::string id = Box().id;
    struct Case {
        std::string path;
        DWORD exitCode;
        std::string says;
    };
    const std::string good = GoodImage();
    const std::string cut = good.substr(0, good.size() / 2);
    const Case cases[] = {
        {files.Missing(), 5, "missing.hex: "},
        {files.Folder(), 5, "folder: "},
        {files.Write("empty.hex", ""), 5, "empty.hex"},
        {files.Write("cut.hex", cut), 5, "cut.hex"},
        {files.Write("longer.hex", good + "\r\n"), 5, "longer.hex"},
        {files.Write("random.bin", RandomBytes(firmware::kImageSize, 7)), 5, "random.bin"},
        {files.Write("records.hex", RandomRecords(firmware::kImageSize, 8)), 5, "records.hex"},
        {files.Huge("huge.bin", "", kHugeSize), 5, std::to_string(kHugeSize) + " bytes is no firmware image"},
        {files.Huge("huge.hex", good, kHugeSize), 5, "bytes is no firmware image"},
        {files.Write("other.hex", firmware::BuildImage(*firmware::FindCatalogueEntry("FW_013401"))), 6, "other.hex"},
    };
    const auto before = RequestsOf(id);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ULONGLONG began = GetTickCount64();
        const auto run = RunProgram("ombrel.exe", "update 0 --image " + Quoted(c.path) + " --yes");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output.substr(0, 400);
        EXPECT_TRUE(Says(run, "ombrel: ")) << run.output.substr(0, 400);
        EXPECT_TRUE(Says(run, c.says)) << run.output.substr(0, 400);
        std::printf("ombrel update --image %s: exit %lu in %llu ms\n", c.path.c_str(), run.exitCode,
                    GetTickCount64() - began);
    }
    // A file that cannot be an image is refused before the library is asked anything; an
    // image for other hardware after the tuner's identification is read; neither is sent.
    const auto after = RequestsOf(id);
    EXPECT_EQ(Sent(before, after, false), "") << "a set reached the tuner";
    EXPECT_EQ(tunersim::LastImage(id).count, 0u);
    EXPECT_EQ(after[17].sets, before[17].sets);

    // The right image unconfirmed (no answer on the console): nothing is sent either.
    const auto unconfirmed = RunProgram("ombrel.exe", "update 0 --image " + Quoted(files.Write("good.hex", good)));
    EXPECT_EQ(unconfirmed.exitCode, 7u) << unconfirmed.output;
    EXPECT_EQ(tunersim::LastImage(id).count, 0u);
    const auto info = tunersim::Find(id);
    ASSERT_TRUE(info && info->plugged);
    EXPECT_EQ(info->profile.versionMinor, Box().versionMinor);
}
#endif

#ifdef WITH_ROMFLUX
TEST_F(SimulatedBox, RomfluxIgnoresAnyCommandLine) {
    Files files;
    const std::wstring huge(20000, L'A');
    const std::wstring hugeFile = uidriver::Widen(files.Huge("huge.hex", "", kHugeSize));
    const std::wstring cases[] = {
        L"/?",
        L"--help --update --image \"" + hugeFile + L"\"",
        huge,
        L"\x00e4\x00f6\x00fc \x4e2d\x6587 \"unterminated",
    };
    for (const std::wstring& arguments : cases) {
        SCOPED_TRACE(uidriver::Narrow(arguments.substr(0, 40)));
        uidriver::Process app = uidriver::Process::Launch(uidriver::BinDirectory() + L"Romflux.exe", arguments, uidriver::BinDirectory());
        HWND dialog = uidriver::WaitForTopLevelWindow(app.Id(), L"#32770", L"Talvex Firmware Update", kProgramMs);
        ASSERT_NE(dialog, nullptr) << "Romflux did not show its dialog";
        HWND list = uidriver::Control(dialog, 1001);
        EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::ComboLines(list).size() == 1; }, kProgramMs));
        EXPECT_EQ(uidriver::FindMessageBox(app.Id(), dialog), nullptr);
        uidriver::RequestClose(dialog);
        const auto code = app.WaitForExit(kProgramMs);
        ASSERT_TRUE(code.has_value()) << "Romflux did not end";
        EXPECT_EQ(*code, 0u);
    }
}
#endif

}  // namespace
