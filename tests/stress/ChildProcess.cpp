#include "ChildProcess.h"

#include <stdexcept>
#include <vector>

namespace stress {
namespace {

std::wstring ThisProgram() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw std::runtime_error("cannot find this program's file");
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) throw std::runtime_error("cannot create a pipe");
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = write;
    startup.hStdError = write;
    std::wstring command = L"\"" + ThisProgram() + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                                        nullptr, nullptr, &startup, &info);
    CloseHandle(write);  // the child holds the only write end now
    if (!started) {
        CloseHandle(read);
        throw std::runtime_error("cannot start the second process, error " + std::to_string(GetLastError()));
    }
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_) {
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        AssignProcessToJobObject(job_, info.hProcess);
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    reader_ = std::thread([this, read] { Read(read); });
}

ChildProcess::~ChildProcess() {
    Kill();
    if (reader_.joinable()) reader_.join();
    CloseHandle(process_);
    if (job_) CloseHandle(job_);
}

void ChildProcess::Read(HANDLE pipe) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::lock_guard<std::mutex> guard(lock_);
        output_.append(buffer, got);
    }
    CloseHandle(pipe);
}

std::optional<DWORD> ChildProcess::Wait(DWORD timeoutMs) {
    if (!PumpUntil([&] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, timeoutMs)) return std::nullopt;
    if (reader_.joinable()) reader_.join();  // the pipe ends with the process
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void ChildProcess::Kill() {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
}

std::string ChildProcess::Output() {
    std::lock_guard<std::mutex> guard(lock_);
    return output_;
}

}  // namespace stress
