#include "Interrupts.h"

namespace ombrel_cli {
namespace {

// The handler runs on a thread of the system's and gets no context.
std::atomic<InterruptWatch*> g_watch{nullptr};

}  // namespace

InterruptWatch::InterruptWatch() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    g_watch.store(this);
    SetConsoleCtrlHandler(&InterruptWatch::Handler, TRUE);
}

InterruptWatch::~InterruptWatch() {
    SetConsoleCtrlHandler(&InterruptWatch::Handler, FALSE);
    g_watch.store(nullptr);
    if (event_) CloseHandle(event_);
}

BOOL WINAPI InterruptWatch::Handler(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    InterruptWatch* watch = g_watch.load();
    if (!watch) return FALSE;
    ++watch->count_;
    SetEvent(watch->event_);
    return TRUE;
}

}  // namespace ombrel_cli
