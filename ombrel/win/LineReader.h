// Standard input read a line at a time on a thread of its own, so that a verb waiting
// for a typed answer still sees Ctrl+C and the library's messages. A console does not
// echo a hidden line.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace ombrel_cli {

class LineReader {
public:
    LineReader();
    // Cuts a read short that still waits; a thread that does not let go is left to the
    // process's end (it holds its own share of the state).
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Started() const { return thread_ != nullptr; }
    // Starts reading the next line; Ready() is signalled when it is there.
    void Request(bool hidden);
    HANDLE Ready() const;
    // The line read (without its end), or nothing at the end of input.
    std::optional<std::string> Take();

private:
    struct State;
    static DWORD WINAPI Run(void* state);
    void RestoreEcho();

    std::shared_ptr<State> state_;
    HANDLE thread_ = nullptr;
    DWORD consoleMode_ = 0;
    bool echoOff_ = false;
};

}  // namespace ombrel_cli
