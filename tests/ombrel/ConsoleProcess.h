// ombrel.exe as a user's shell runs it: a real process with its standard streams on
// pipes, read while it runs, its exit code, and Ctrl+C as a console delivers it. The
// process and everything it starts run in a job that ends them when the object goes.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ombrel_test {

class ConsoleProcess {
public:
    // Starts <exe> (a whole path, or a program in bin) with the arguments (quoted where
    // needed), in bin. `input` is written to
    // its standard input, which is then closed unless `keepInputOpen`.
    static ConsoleProcess Start(const std::string& exe, const std::vector<std::string>& arguments,
                                const std::string& input = "", bool keepInputOpen = false);

    ConsoleProcess(ConsoleProcess&&) noexcept;
    ConsoleProcess& operator=(ConsoleProcess&&) noexcept;
    ~ConsoleProcess();

    DWORD Id() const;
    // Its exit code once it has ended within the time.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
    bool IsRunning() const;

    // What it has written so far.
    std::string Out() const;
    std::string Err() const;
    // Waits until `done(out, err)` holds; false when the time ran out.
    bool WaitForOutput(const std::function<bool(const std::string& out, const std::string& err)>& done,
                       DWORD timeoutMs) const;
    bool WaitForOut(const std::string& text, DWORD timeoutMs) const;
    bool WaitForErr(const std::string& text, DWORD timeoutMs) const;

    void WriteInput(const std::string& text);
    // Ctrl+C on the console it shares with the test (every program started here that
    // still runs gets it).
    bool Interrupt();

private:
    struct State;
    explicit ConsoleProcess(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

struct Result {
    DWORD exitCode = 0xFFFFFFFF;  // stays so when the program did not end in time
    std::string out;
    std::string err;
};

// Waits for a started program's end (bounded by `timeoutMs`) and takes what it wrote.
// The program object stays, and with it whatever the program started.
Result Finish(ConsoleProcess& process, DWORD timeoutMs = 60000);

// Runs bin\ombrel.exe to its end (bounded by `timeoutMs`).
Result RunOmbrel(const std::vector<std::string>& arguments, const std::string& input = "", DWORD timeoutMs = 60000);

// Output lines without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace ombrel_test
