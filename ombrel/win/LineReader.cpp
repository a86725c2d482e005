#include "LineReader.h"

#include "Console.h"

#include <atomic>
#include <mutex>

namespace ombrel_cli {

struct LineReader::State {
    HANDLE request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> stop{false};
    std::mutex lock;  // guards line
    std::optional<std::string> line;

    ~State() {
        if (request) CloseHandle(request);
        if (ready) CloseHandle(ready);
    }
};

LineReader::LineReader() : state_(std::make_shared<State>()) {
    if (!state_->request || !state_->ready) return;
    // The thread's own share keeps the state alive should it outlast this object.
    auto share = std::make_unique<std::shared_ptr<State>>(state_);
    thread_ = CreateThread(nullptr, 0, &LineReader::Run, share.get(), 0, nullptr);
    if (thread_) share.release();
}

LineReader::~LineReader() {
    RestoreEcho();
    if (!thread_) return;
    state_->stop = true;
    SetEvent(state_->request);
    CancelSynchronousIo(thread_);
    WaitForSingleObject(thread_, 2000);
    CloseHandle(thread_);
}

DWORD WINAPI LineReader::Run(void* parameter) {
    const std::unique_ptr<std::shared_ptr<State>> share(static_cast<std::shared_ptr<State>*>(parameter));
    State& state = **share;
    for (;;) {
        WaitForSingleObject(state.request, INFINITE);
        if (state.stop) return 0;
        std::optional<std::string> line = ReadInputLine();
        {
            const std::lock_guard<std::mutex> guard(state.lock);
            state.line = std::move(line);
        }
        SetEvent(state.ready);
    }
}

void LineReader::Request(bool hidden) {
    RestoreEcho();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (hidden && GetConsoleMode(input, &consoleMode_) &&
        SetConsoleMode(input, consoleMode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) {
        echoOff_ = true;
    }
    SetEvent(state_->request);
}

HANDLE LineReader::Ready() const { return state_->ready; }

std::optional<std::string> LineReader::Take() {
    const bool wasHidden = echoOff_;
    RestoreEcho();
    // The console echoed no line end either.
    if (wasHidden) WriteOut("\n");
    const std::lock_guard<std::mutex> guard(state_->lock);
    std::optional<std::string> line = std::move(state_->line);
    state_->line.reset();
    return line;
}

void LineReader::RestoreEcho() {
    if (echoOff_) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), consoleMode_);
    echoOff_ = false;
}

}  // namespace ombrel_cli
