// The module's menus walked from the console: the session is opened and the module
// awaited, its menu entered, and every MMI object shown and answered until the module
// closes the menu or the user does. Whatever ends the walk (Ctrl+C, the answers running
// out, the module's or the tuner's going), the menu is closed while the module can still
// take it, and the session always.
#include "CiMenuWalk.h"

#include "CiSession.h"
#include "Console.h"
#include "ExitCodes.h"
#include "Interrupts.h"
#include "LineReader.h"
#include "MmiDialogue.h"

#include <OmbrelApi.h>

#include <algorithm>
#include <vector>

namespace ombrel_cli {
namespace {

constexpr unsigned long kTagCloseMmi = 0x9F8800;
// The reply to an answer may take the driver a moment; past this the module is taken to
// have closed its menu (the driver then has no object for the host).
constexpr DWORD kObjectWaitMs = 1500;
constexpr DWORD kObjectPollMs = 50;
constexpr unsigned short kNoLength = 0xFFFF;
constexpr unsigned char kAnswerId = 1;  // EN 50221 answ: an answer follows

std::string Entries(std::size_t count) { return std::to_string(count) + (count == 1 ? " entry" : " entries"); }

struct MmiObject {
    unsigned long tag = 0;
    std::vector<unsigned char> body;
    bool lengthRead = false;  // the library read the length field's form
};

// Where the answers come from: --answers, or the console.
class Answers {
public:
    explicit Answers(const std::optional<std::vector<std::string>>& script) : script_(script) {}
    bool Scripted() const { return script_.has_value(); }
    std::size_t Left() const { return script_ ? script_->size() - next_ : 0; }
    std::size_t Used() const { return next_; }
    const std::string& Next() { return (*script_)[next_++]; }

private:
    const std::optional<std::vector<std::string>>& script_;
    std::size_t next_ = 0;
};

class MenuWalk {
public:
    MenuWalk(CiSession& session, const std::string& tunerName, const CiArguments& arguments, HANDLE interrupt)
        : session_(session),
          handle_(session.Handle()),
          name_(tunerName),
          answers_(arguments.answers),
          interrupt_(interrupt) {}

    int Run();

private:
    enum class Fetch { Object, Closed, Failed, Interrupted };
    Fetch FetchObject(MmiObject& object);
    // The reply to `screen`; no value when the walk ends, with `exitCode` set.
    std::optional<MmiReply> Ask(const MmiScreen& screen, int& exitCode);
    std::optional<std::string> ReadTyped(const MmiScreen& screen, int& exitCode);
    bool Send(const MmiReply& reply);
    int CloseMenu(int exitCode);
    int Interrupted();

    CiSession& session_;
    unsigned long handle_;
    std::string name_;
    Answers answers_;
    HANDLE interrupt_;
    std::optional<LineReader> reader_;
};

int MenuWalk::Run() {
    if (OB_CI_EnterMenu(handle_) != OB_SUCCESS) {
        if (!ReadApplication(handle_)) return ReportModuleOrTunerGone(session_, name_, interrupt_);
        ReportError("the module in the Common Interface slot of " + name_ + " did not open its menu");
        return kExitFailed;
    }
    for (;;) {
        // A scripted walk may not wait anywhere in between.
        if (WaitForSingleObject(interrupt_, 0) == WAIT_OBJECT_0) return Interrupted();
        MmiObject object;
        switch (FetchObject(object)) {
        case Fetch::Interrupted: return Interrupted();
        case Fetch::Failed: return ReportModuleOrTunerGone(session_, name_, interrupt_);
        case Fetch::Closed:
            WriteOut("\nThe module closed its menu.\n");
            if (answers_.Left() > 0) {
                ReportError("the module closed its menu with " + Entries(answers_.Left()) + " of --answers left");
                return kExitCiAnswers;
            }
            return kExitOk;
        case Fetch::Object: break;
        }
        const MmiScreen screen = object.lengthRead ? ReadMmiScreen(object.tag, object.body) : MmiScreen{};
        WriteOut(MmiScreenText(screen));
        if (screen.kind == MmiKind::Unreadable) {
            ReportError(UnreadableObjectText(object.tag, object.body.size()));
            return CloseMenu(kExitFailed);
        }
        int exitCode = kExitOk;
        const auto reply = Ask(screen, exitCode);
        if (!reply) return exitCode;
        if (reply->kind == MmiReply::Kind::Close) {
            const int closed = CloseMenu(kExitOk);
            if (closed == kExitOk) WriteOut("Menu closed.\n");
            return closed;
        }
        if (!Send(*reply)) {
            if (!ReadApplication(handle_)) return ReportModuleOrTunerGone(session_, name_, interrupt_);
            ReportError("the module in the Common Interface slot of " + name_ + " did not take the answer");
            return CloseMenu(kExitFailed);
        }
    }
}

MenuWalk::Fetch MenuWalk::FetchObject(MmiObject& object) {
    const ULONGLONG deadline = GetTickCount64() + kObjectWaitMs;
    std::vector<unsigned char> body(OMBREL_CI_MMI_BODY_SIZE);
    for (;;) {
        unsigned short length = kNoLength;
        unsigned long tag = 0;
        if (OB_CI_GetMMIObject(handle_, &length, &tag, body.data()) == OB_SUCCESS) {
            if (tag == kTagCloseMmi) return Fetch::Closed;
            object.tag = tag;
            object.lengthRead = length != kNoLength;
            if (object.lengthRead) object.body.assign(body.begin(), body.begin() + std::min<std::size_t>(length, body.size()));
            return Fetch::Object;
        }
        if (session_.ModuleLeft() || session_.TunerLeft()) return Fetch::Failed;
        if (GetTickCount64() >= deadline) break;
        const auto end = session_.Wait(interrupt_, nullptr, kObjectPollMs,
                                       [&] { return session_.ModuleLeft() || session_.TunerLeft(); });
        if (end == CiSession::WaitEnd::Interrupted) return Fetch::Interrupted;
    }
    // No object for the host: the menu is closed if the module still answers at all.
    return ReadApplication(handle_) ? Fetch::Closed : Fetch::Failed;
}

std::optional<MmiReply> MenuWalk::Ask(const MmiScreen& screen, int& exitCode) {
    for (;;) {
        WriteOut(MmiPrompt(screen));
        std::string input;
        if (answers_.Scripted()) {
            if (answers_.Left() == 0) {
                WriteOut("\n");
                ReportError("the module still asks, but --answers (" + Entries(answers_.Used()) +
                            ") has run out; the menu was closed");
                exitCode = CloseMenu(kExitCiAnswers);
                return std::nullopt;
            }
            input = answers_.Next();
            WriteOut(MmiEcho(screen, input));
        } else {
            const auto typed = ReadTyped(screen, exitCode);
            if (!typed) return std::nullopt;
            input = *typed;
        }
        std::string error;
        if (auto reply = ReadMmiReply(screen, input, error)) return reply;
        if (answers_.Scripted()) {
            ReportError("--answers, entry " + std::to_string(answers_.Used()) + ": " + error + "; the menu was closed");
            exitCode = CloseMenu(kExitCiAnswers);
            return std::nullopt;
        }
        WriteErr(error + "\n");
    }
}

std::optional<std::string> MenuWalk::ReadTyped(const MmiScreen& screen, int& exitCode) {
    if (!reader_) reader_.emplace();
    if (!reader_->Started()) {
        ReportError("cannot read the console (error " + std::to_string(GetLastError()) + ")");
        exitCode = CloseMenu(kExitFailed);
        return std::nullopt;
    }
    reader_->Request(screen.kind == MmiKind::Enquiry && screen.blind);
    const auto end = session_.Wait(interrupt_, reader_->Ready(), INFINITE,
                                   [&] { return session_.ModuleLeft() || session_.TunerLeft(); });
    if (end == CiSession::WaitEnd::Interrupted) {
        exitCode = Interrupted();
        return std::nullopt;
    }
    if (end != CiSession::WaitEnd::Signalled) {
        WriteOut("\n");
        exitCode = ReportModuleOrTunerGone(session_, name_, interrupt_);
        return std::nullopt;
    }
    auto line = reader_->Take();
    // A console's read that Ctrl+C cut short ends like the input.
    if (!line && WaitForSingleObject(interrupt_, 0) == WAIT_OBJECT_0) {
        exitCode = Interrupted();
        return std::nullopt;
    }
    if (!line) {
        WriteOut("\n");
        return std::string();  // the end of the input closes the menu
    }
    if (!InputIsConsole()) WriteOut(MmiEcho(screen, *line));
    return line;
}

bool MenuWalk::Send(const MmiReply& reply) {
    if (reply.kind == MmiReply::Kind::Choice) return OB_CI_SendMenuAnswer(handle_, reply.choice) == OB_SUCCESS;
    const auto* text = reinterpret_cast<const unsigned char*>(reply.text.data());
    return OB_CI_SendEnqAnswer(handle_, kAnswerId, static_cast<unsigned char>(reply.text.size()), text) == OB_SUCCESS;
}

int MenuWalk::CloseMenu(int exitCode) {
    if (OB_CI_CloseMMI(handle_) == OB_SUCCESS || session_.ModuleLeft() || session_.TunerLeft()) return exitCode;
    if (!ReadApplication(handle_)) return ReportModuleOrTunerGone(session_, name_, interrupt_);
    ReportError("the module in the Common Interface slot of " + name_ + " did not close its menu");
    return exitCode == kExitOk ? kExitFailed : exitCode;
}

int MenuWalk::Interrupted() {
    WriteOut("\n");
    ReportError("stopped (Ctrl+C); the module's menu and the session of " + name_ + " are closed");
    return CloseMenu(kExitCiInterrupted);
}

std::string Banner(const std::string& tunerName, const std::optional<CiApplication>& application,
                   const std::optional<std::vector<std::string>>& answers) {
    const std::string module = application && !application->menuString.empty()
                                   ? "\"" + ModuleText(application->menuString) + "\""
                                   : std::string("the module");
    const std::string text = "Menu of " + module + " in " + tunerName;
    if (answers) return text + ", answered from --answers (" + Entries(answers->size()) + ").\n";
    return text + "; an empty answer or q closes it, Ctrl+C too.\n";
}

}  // namespace

int WalkCiMenu(const OpenTuner& tuner, const CiArguments& arguments) {
    const std::string name = TunerName(tuner);
    // From here Ctrl+C ends the walk, not the process, so that menu and session are closed.
    InterruptWatch interrupts;
    CiSession session(tuner.handle.get());
    if (ReportWithoutWindow(session)) return kExitFailed;
    if (!session.IsOpen()) {
        const CiRefusal refusal = CiOpenRefusal(session.OpenResult(), name);
        return ReportFailure(refusal.exitCode, refusal.message);
    }
    // Also a module that answers at once is awaited: only a module that the session has
    // seen ready is reported when it leaves.
    const int waited =
        AwaitReadyModule(session, name, static_cast<DWORD>(arguments.timeout.count()), interrupts.Event());
    if (waited != kExitOk) return waited;
    WriteErr(Banner(name, ReadApplication(tuner.handle.get()), arguments.answers));
    MenuWalk walk(session, name, arguments, interrupts.Event());
    return walk.Run();
}

}  // namespace ombrel_cli
