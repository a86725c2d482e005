#include "ConsoleProcess.h"

#include "UiDriver.h"

#include <mutex>
#include <stdexcept>
#include <thread>

namespace ombrel_test {
namespace {

using uidriver::BinDirectory;
using uidriver::Widen;

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// Quoting as the C runtime splits a command line.
std::wstring Quote(const std::string& argument) {
    const std::wstring wide = Widen(argument);
    if (!wide.empty() && wide.find_first_of(L" \t\"") == std::wstring::npos) return wide;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : wide) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

void MakePipe(Handle& readEnd, Handle& writeEnd, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) throw std::runtime_error("CreatePipe failed");
    // Only the child's end is inherited.
    SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0);
    readEnd.reset(read);
    writeEnd.reset(write);
}

BOOL WINAPI KeepRunning(DWORD) { return TRUE; }

// A console of the test's own that the started programs share, so that Ctrl+C can
// reach them. (Wine gives a program started from a pipe a console that takes no
// control events; Ctrl+Break to one process group is not supported there.) The test
// outlives the Ctrl+C it sends through a handler: ignoring the event instead would be
// inherited by the programs it starts.
void EnsureConsole() {
    static std::once_flag once;
    std::call_once(once, [] {
        FreeConsole();
        AllocConsole();
        SetConsoleCtrlHandler(&KeepRunning, TRUE);
    });
}

}  // namespace

struct ConsoleProcess::State {
    Handle job;
    Handle process;
    DWORD id = 0;
    Handle input;
    mutable std::mutex lock;
    std::string out;
    std::string err;
    std::thread outReader;
    std::thread errReader;
    // Set when a reader has seen the end of its stream.
    Handle outDone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    Handle errDone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    void Read(Handle pipe, std::string State::*into, HANDLE done) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(pipe.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
            std::lock_guard<std::mutex> guard(lock);
            (this->*into).append(buffer, read);
        }
        SetEvent(done);
    }

    ~State() {
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 10000);
        }
        input.reset();
        // Ends whatever the program started, which may hold the pipes' write ends.
        job.reset();
        if (outReader.joinable()) outReader.join();
        if (errReader.joinable()) errReader.join();
    }
};

ConsoleProcess::ConsoleProcess(std::unique_ptr<State> state) : state_(std::move(state)) {}
ConsoleProcess::ConsoleProcess(ConsoleProcess&&) noexcept = default;
ConsoleProcess& ConsoleProcess::operator=(ConsoleProcess&&) noexcept = default;
ConsoleProcess::~ConsoleProcess() = default;

ConsoleProcess ConsoleProcess::Start(const std::string& exe, const std::vector<std::string>& arguments,
                                     const std::string& input, bool keepInputOpen) {
    EnsureConsole();
    auto state = std::make_unique<State>();
    state->job.reset(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(state->job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));

    Handle inRead, inWrite, outRead, outWrite, errRead, errWrite;
    MakePipe(inRead, inWrite, true);
    MakePipe(outRead, outWrite, false);
    MakePipe(errRead, errWrite, false);

    const bool absolute = exe.find(':') != std::string::npos || exe.rfind("\\", 0) == 0;
    const std::wstring path = absolute ? Widen(exe) : BinDirectory() + Widen(exe);
    std::wstring commandLine = L"\"" + path + L"\"";
    for (const std::string& argument : arguments) commandLine += L" " + Quote(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED, nullptr, BinDirectory().c_str(), &startup,
                        &info)) {
        throw std::runtime_error("cannot start " + exe + ", error " + std::to_string(GetLastError()));
    }
    AssignProcessToJobObject(state->job.get(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    state->process.reset(info.hProcess);
    state->id = info.dwProcessId;
    // The child's ends belong to the child now; the readers see the end of its output.
    inRead.reset();
    outWrite.reset();
    errWrite.reset();
    State* raw = state.get();
    state->outReader = std::thread(
        [raw, pipe = std::move(outRead)]() mutable { raw->Read(std::move(pipe), &State::out, raw->outDone.get()); });
    state->errReader = std::thread(
        [raw, pipe = std::move(errRead)]() mutable { raw->Read(std::move(pipe), &State::err, raw->errDone.get()); });
    state->input = std::move(inWrite);

    ConsoleProcess process(std::move(state));
    if (!input.empty()) process.WriteInput(input);
    if (!keepInputOpen) process.state_->input.reset();
    return process;
}

DWORD ConsoleProcess::Id() const { return state_->id; }

std::optional<DWORD> ConsoleProcess::WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(state_->process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(state_->process.get(), &code);
    // All it wrote is read once its streams are closed; a program it started may hold
    // them open longer, so this wait is bounded.
    const HANDLE done[] = {state_->outDone.get(), state_->errDone.get()};
    WaitForMultipleObjects(2, done, TRUE, 10000);
    return code;
}

bool ConsoleProcess::IsRunning() const { return WaitForSingleObject(state_->process.get(), 0) == WAIT_TIMEOUT; }

std::string ConsoleProcess::Out() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->out;
}

std::string ConsoleProcess::Err() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->err;
}

bool ConsoleProcess::WaitForOutput(const std::function<bool(const std::string&, const std::string&)>& done,
                                   DWORD timeoutMs) const {
    return uidriver::WaitUntil([&] { return done(Out(), Err()); }, timeoutMs);
}

bool ConsoleProcess::WaitForOut(const std::string& text, DWORD timeoutMs) const {
    return WaitForOutput([&](const std::string& out, const std::string&) { return out.find(text) != std::string::npos; },
                         timeoutMs);
}

bool ConsoleProcess::WaitForErr(const std::string& text, DWORD timeoutMs) const {
    return WaitForOutput([&](const std::string&, const std::string& err) { return err.find(text) != std::string::npos; },
                         timeoutMs);
}

void ConsoleProcess::WriteInput(const std::string& text) {
    DWORD written = 0;
    if (state_->input) WriteFile(state_->input.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool ConsoleProcess::Interrupt() { return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0; }

Result Finish(ConsoleProcess& process, DWORD timeoutMs) {
    Result result;
    if (const auto code = process.WaitForExit(timeoutMs)) result.exitCode = *code;
    result.out = process.Out();
    result.err = process.Err();
    return result;
}

Result RunOmbrel(const std::vector<std::string>& arguments, const std::string& input, DWORD timeoutMs) {
    ConsoleProcess process = ConsoleProcess::Start("ombrel.exe", arguments, input);
    return Finish(process, timeoutMs);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace ombrel_test
