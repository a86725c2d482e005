// 'keys': the tuner's remote-control reader, started with a hidden window as the place of
// its messages, and a line per key that the library posts there, until Ctrl+C, --count
// keys or the tuner's going. The reader is stopped however the verb ends.
#include "Commands.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "MessageWindow.h"
#include "RemoteKeys.h"
#include "Tuners.h"

#include <windows.h>

#include <OmbrelApi.h>

#include <cstdint>

namespace ombrel_cli {
namespace {

static_assert(remote::kStarted == OB_SUCCESS && remote::kAlreadyRunning == OB_FAILED && remote::kInUse == OB_IN_USE);

constexpr const wchar_t* kWindowClass = L"OmbrelCliKeys";

// The device's reader, started through `handle` with the handle's messages going to
// `window`; stopped, and the handle's window unset, when the object goes.
class KeyReader {
public:
    KeyReader(unsigned long handle, HWND window) : handle_(handle) {
        OB_RegisterNotifications(handle_, window);
        result_ = OB_RemoteControl_Start(handle_);
    }
    ~KeyReader() {
        Stop();
        OB_UnregisterNotifications(handle_);
    }
    KeyReader(const KeyReader&) = delete;
    KeyReader& operator=(const KeyReader&) = delete;

    unsigned long StartResult() const { return result_; }

    // No key is posted once this has returned; the keys posted before are still queued.
    void Stop() {
        if (result_ == OB_SUCCESS && !stopped_) OB_RemoteControl_Stop(handle_);
        stopped_ = true;
    }

private:
    unsigned long handle_;
    unsigned long result_ = OB_FAILED;
    bool stopped_ = false;
};

class KeyPrinter {
public:
    explicit KeyPrinter(const KeysArguments& arguments) : arguments_(arguments) {}

    // Prints a key; false when no further key is wanted: --count is reached, or nobody
    // reads the lines any more.
    bool Print(std::uint16_t code) {
        const std::string clock = LocalClockText(true);
        if (!WriteOut(arguments_.json ? KeyJson(code, clock) : KeyLine(code, clock))) return false;
        ++printed_;
        return !arguments_.count || printed_ < *arguments_.count;
    }

private:
    const KeysArguments& arguments_;
    std::uint32_t printed_ = 0;
};

std::uint16_t KeyCode(const MSG& message) { return static_cast<std::uint16_t>(message.lParam); }

// After the stop: the keys that were read before it and wait in the queue.
void PrintQueuedKeys(HWND window, unsigned long handle, KeyPrinter& printer) {
    MSG message{};
    while (PeekMessageW(&message, window, OMBREL_MSG_REMOTE_KEY, OMBREL_MSG_REMOTE_KEY, PM_REMOVE)) {
        if (message.wParam == handle && !printer.Print(KeyCode(message))) return;
    }
}

int PrintKeys(unsigned long handle, const std::string& name, HWND window, KeyReader& reader, KeyPrinter& printer,
              HANDLE interrupt) {
    for (;;) {
        if (MsgWaitForMultipleObjects(1, &interrupt, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) {
            reader.Stop();
            PrintQueuedKeys(window, handle, printer);
            return kExitOk;
        }
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool ours = message.hwnd == window && message.wParam == handle;
            if (ours && message.message == OMBREL_MSG_REMOTE_KEY) {
                if (!printer.Print(KeyCode(message))) return kExitOk;
            } else if (ours && message.message == OMBREL_MSG_DETACHED) {
                // The driver fails the reader's waiting read as the tuner goes; the stop
                // that follows returns at once.
                ReportError(name + " went away");
                return kExitNoTuner;
            } else {
                DispatchMessageW(&message);
            }
        }
    }
}

}  // namespace

int RunKeys(const Invocation& invocation) {
    int exitCode = kExitOk;
    const auto opened = ReadArgumentsAndOpenTuner(invocation, &ParseKeysArguments, exitCode);
    if (!opened) return exitCode;
    const auto& [arguments, tuner] = *opened;
    const unsigned long handle = tuner.handle.get();
    const std::string name = TunerName(tuner);

    // From here Ctrl+C ends the reading, not the process, so that the reader is stopped.
    InterruptWatch interrupts;
    MessageWindow window(kWindowClass);
    if (!window.get()) {
        ReportError("cannot create the window for the keys (error " + std::to_string(GetLastError()) + ")");
        return kExitFailed;
    }
    KeyReader reader(handle, window.get());
    if (reader.StartResult() != remote::kStarted) {
        const ReaderRefusal refusal = ReaderStartRefusal(reader.StartResult(), name);
        ReportError(refusal.message);
        return refusal.exitCode;
    }
    // Gone before its window was registered: no message would say so.
    if (!IsAttached(handle)) {
        ReportError(name + " went away");
        return kExitNoTuner;
    }
    WriteErr(KeysBanner(name, arguments.count));
    KeyPrinter printer(arguments);
    return PrintKeys(handle, name, window.get(), reader, printer, interrupts.Event());
}

}  // namespace ombrel_cli
