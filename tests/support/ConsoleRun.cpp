#include "ConsoleRun.h"

#include <memory>

namespace consolerun {
namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Moves what the pipe holds now into `output`; false when the pipe is closed.
bool Drain(HANDLE pipe, std::string& output) {
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
        if (available == 0) return true;
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0) return false;
        output.append(buffer, got);
    }
    return false;
}

}  // namespace

Run RunProgram(const std::string& commandLine, DWORD timeoutMs) {
    Run run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return run;
    UniqueHandle read(readRaw), write(writeRaw);
    SetHandleInformation(readRaw, HANDLE_FLAG_INHERIT, 0);
    UniqueHandle nul(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = writeRaw;
    startup.hStdError = writeRaw;
    std::string command = commandLine;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
        return run;
    UniqueHandle process(info.hProcess), thread(info.hThread);
    write.reset();  // the child holds the only write end now

    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (Drain(readRaw, run.output)) {
        if (WaitForSingleObject(info.hProcess, 10) == WAIT_OBJECT_0) {
            Drain(readRaw, run.output);
            break;
        }
        if (GetTickCount64() > end) {
            TerminateProcess(info.hProcess, 0xDEAD);
            WaitForSingleObject(info.hProcess, 5000);
            run.timedOut = true;
            break;
        }
    }
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    return run;
}

}  // namespace consolerun
