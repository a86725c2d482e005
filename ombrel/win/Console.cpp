#include "Console.h"

#include "ExitCodes.h"
#include "TextOutput.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace ombrel_cli {
namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

std::wstring Widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// False when the stream has gone (a pipe whose reader has ended). `codePage`: the text's.
bool Write(DWORD stream, std::string_view text, UINT codePage = CP_ACP) {
    const HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    if (text.empty()) return true;
    if (IsConsole(handle)) {
        const std::wstring wide = Widen(text, codePage);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    }
    // A pipe may take less than asked.
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool WriteOut(std::string_view text) { return Write(STD_OUTPUT_HANDLE, text); }

bool WriteOutUtf8(std::string_view utf8) {
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (IsConsole(handle)) return Write(STD_OUTPUT_HANDLE, utf8, CP_UTF8);
    // Files and pipes take the system code page, as every other text of the program.
    const std::wstring wide = Widen(utf8, CP_UTF8);
    std::string ansi;
    if (!wide.empty()) {
        const int size = static_cast<int>(wide.size());
        const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
        ansi.resize(static_cast<std::size_t>(std::max(length, 0)));
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, ansi.data(), length, nullptr, nullptr);
    }
    return Write(STD_OUTPUT_HANDLE, ansi);
}
void WriteErr(std::string_view text) { Write(STD_ERROR_HANDLE, text); }

int WriteResult(std::string_view text) {
    if (WriteOut(text)) return kExitOk;
    ReportError("the output could not be written");
    return kExitFailed;
}

int WriteResultUtf8(std::string_view utf8) {
    if (WriteOutUtf8(utf8)) return kExitOk;
    ReportError("the output could not be written");
    return kExitFailed;
}

void ReportError(std::string_view message) { WriteErr("ombrel: " + std::string(message) + "\n"); }

int ReportFailure(int exitCode, std::string_view message) {
    ReportError(message);
    if (const std::string_view next = NextStep(exitCode); !next.empty()) WriteErr(std::string(next) + "\n");
    return exitCode;
}

void ReportUsageError(std::string_view verb, std::string_view message) {
    ReportError(message);
    const std::string help = verb.empty() ? "ombrel --help" : "ombrel " + std::string(verb) + " --help";
    WriteErr("Try '" + help + "'.\n");
}

bool OutIsConsole() { return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }
bool InputIsConsole() { return IsConsole(GetStdHandle(STD_INPUT_HANDLE)); }

std::optional<std::string> ReadInputLine() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string line;
    bool any = false;
    for (;;) {
        char c = 0;
        DWORD read = 0;
        if (!ReadFile(input, &c, 1, &read, nullptr) || read == 0) break;
        any = true;
        if (c == '\n') break;
        if (c != '\r') line += c;
    }
    if (!any) return std::nullopt;
    return line;
}

std::string LocalClockText(bool milliseconds) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ClockText(now.wHour, now.wMinute, now.wSecond,
                     milliseconds ? std::optional<unsigned>(now.wMilliseconds) : std::nullopt);
}

std::string AnsiToUtf8(std::string_view ansi) {
    const std::wstring wide = Widen(ansi, CP_ACP);
    if (wide.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

}  // namespace ombrel_cli
