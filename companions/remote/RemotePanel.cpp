#include "RemotePanel.h"

#include <OmbrelApi.h>

#include <iterator>

#include "RemoteIds.h"

namespace companion {
namespace {

constexpr int kLineHeight = 16;
constexpr int kReaderHeight = 20;
constexpr int kKeysHeight = 120;
constexpr int kGap = 4;
// Older rows go: the list is a view of what arrives, not a record.
constexpr LRESULT kMostKeys = 200;
constexpr int kKeyTabStops[] = {50};

ReaderState StateAfterStart(unsigned long result) {
    if (result == OB_SUCCESS) {
        return ReaderState::Reading;
    }
    return result == OB_IN_USE ? ReaderState::InUse : ReaderState::Failed;
}

HWND Child(HWND parent, const wchar_t* windowClass, DWORD style, DWORD exStyle, int id, const wchar_t* text) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    return CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

int RemotePanel::Create(HWND window, HFONT font) {
    window_ = window;
    readerLine_ = Child(window, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, kReaderLineId, L"");
    caption_ = Child(window, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, -1, L"Keys received (code, key):");
    keys_ = Child(window, L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS | LBS_NOSEL,
                  WS_EX_CLIENTEDGE, kKeyListId, nullptr);
    for (HWND control : {readerLine_, caption_, keys_}) {
        if (font != nullptr) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }
    SendMessageW(keys_, LB_SETTABSTOPS, static_cast<WPARAM>(std::size(kKeyTabStops)),
                 reinterpret_cast<LPARAM>(kKeyTabStops));
    Show(ReaderState::NoTuner, nullptr);
    return kReaderHeight + kGap + kLineHeight + kKeysHeight;
}

void RemotePanel::Layout(const RECT& area) {
    const int width = area.right - area.left;
    int top = area.top;
    MoveWindow(readerLine_, area.left, top, width, kReaderHeight, TRUE);
    top += kReaderHeight + kGap;
    MoveWindow(caption_, area.left, top, width, kLineHeight, TRUE);
    top += kLineHeight;
    MoveWindow(keys_, area.left, top, width, area.bottom > top ? area.bottom - top : 0, TRUE);
}

void RemotePanel::Select(const TunerInfo* tuner) {
    Release();
    const std::optional<TunerKey> key = tuner != nullptr ? KeyOf(*tuner) : std::nullopt;
    if (key != keysOf_) {
        SendMessageW(keys_, LB_RESETCONTENT, 0, 0);
        keysOf_ = key;
    }
    if (tuner == nullptr) {
        Show(ReaderState::NoTuner, nullptr);
        return;
    }
    if (!tuner->opened) {
        Show(ReaderState::NotOpened, tuner);
        return;
    }
    // The keys come to the window registered on the handle that starts the reader.
    OB_RegisterNotifications(tuner->handle, window_);
    const unsigned long result = OB_RemoteControl_Start(tuner->handle);
    if (result == OB_SUCCESS) {
        readerHandle_ = tuner->handle;
    }
    Show(StateAfterStart(result), tuner);
}

void RemotePanel::Release() {
    if (readerHandle_ != 0) {
        OB_RemoteControl_Stop(readerHandle_);
        readerHandle_ = 0;
    }
}

bool RemotePanel::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != OMBREL_MSG_REMOTE_KEY) {
        return false;
    }
    // Keys of a reader stopped since they were posted are not shown.
    if (readerHandle_ != 0 && wParam == readerHandle_) {
        AddKey(static_cast<uint16_t>(lParam));
    }
    return true;
}

void RemotePanel::Show(ReaderState state, const TunerInfo* tuner) {
    SetWindowTextA(readerLine_, ReaderLine(state, tuner).c_str());
}

void RemotePanel::AddKey(uint16_t code) {
    SendMessageA(keys_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(KeyRow(code).c_str()));
    const LRESULT count = SendMessageW(keys_, LB_GETCOUNT, 0, 0);
    if (count > kMostKeys) {
        SendMessageW(keys_, LB_DELETESTRING, 0, 0);
    }
    SendMessageW(keys_, LB_SETTOPINDEX, static_cast<WPARAM>(count > 0 ? count - 1 : 0), 0);
}

}  // namespace companion
