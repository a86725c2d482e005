#include "CompanionWindow.h"

#include <OmbrelApi.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "CompanionIds.h"
#include "TunerList.h"
#include "WideText.h"

namespace companion {
namespace {

constexpr int kMargin = 8;
constexpr int kLineHeight = 16;
constexpr int kStatusHeight = 20;
constexpr int kInitialWidth = 460;
constexpr int kInitialHeight = 240;
constexpr int kMinimumWidth = 300;
constexpr int kMinimumHeight = 160;
// Tab stops of the list rows, in dialog units: model, GUID, last field.
constexpr int kTabStops[] = {80, 170};

struct FontDeleter {
    void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
using FontPtr = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

FontPtr CreateMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return nullptr;
    }
    return FontPtr(CreateFontIndirectW(&metrics.lfMessageFont));
}

class CompanionWindow {
public:
    explicit CompanionWindow(const CompanionKind& kind) : kind_(kind) {}

    bool Create(HINSTANCE instance);
    void Start(int showCommand);
    int RunMessageLoop();
    void Shutdown();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateChildren();
    void Layout();
    void ShowTuners();
    std::optional<TunerKey> SelectedTuner() const;
    const TunerInfo* SelectedTunerInfo() const;
    void Select(const std::optional<TunerKey>& key);
    void EndFeature();
    int FeatureSpace() const { return featureHeight_ > 0 ? featureHeight_ + kMargin : 0; }

    const CompanionKind& kind_;
    HWND window_ = nullptr;
    HWND caption_ = nullptr;
    HWND list_ = nullptr;
    HWND status_ = nullptr;
    FontPtr font_;
    int featureHeight_ = 0;
    TunerList tuners_;
    bool libraryStarted_ = false;
    bool ending_ = false;
    bool featureEnded_ = false;
};

bool CompanionWindow::Create(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CompanionWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kind_.className;
    if (!RegisterClassExW(&windowClass)) {
        return false;
    }
    window_ = CreateWindowExW(0, kind_.className, kind_.title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, kInitialWidth, kInitialHeight, nullptr, nullptr,
                              instance, this);
    // The feature's height is known once its controls exist (WM_CREATE).
    if (window_ != nullptr && featureHeight_ > 0) {
        SetWindowPos(window_, nullptr, 0, 0, kInitialWidth, kInitialHeight + FeatureSpace(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window_ != nullptr;
}

void CompanionWindow::Start(int showCommand) {
    // Shown first, so that the window is there while the library scans for tuners.
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    // Register before the first reading: a change between the two then still causes
    // a refresh, and nothing is missed.
    libraryStarted_ = OB_Initialize() == OB_SUCCESS;
    if (libraryStarted_) {
        OB_RegisterGeneralNotifications(window_);
        tuners_.Refresh();
    }
    ShowTuners();
}

int CompanionWindow::RunMessageLoop() {
    MSG message{};
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            return 1;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void CompanionWindow::Shutdown() {
    ending_ = true;
    EndFeature();
    tuners_.Clear();
    // A WM_DESTROY sent by another program does not destroy the window itself.
    if (window_ != nullptr && IsWindow(window_)) {
        DestroyWindow(window_);
    }
    window_ = nullptr;
}

LRESULT CALLBACK CompanionWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CompanionWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CompanionWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT CompanionWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateChildren();
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SETFOCUS:
        if (list_ != nullptr) {
            SetFocus(list_);
        }
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = kMinimumWidth;
        info->ptMinTrackSize.y = kMinimumHeight + FeatureSpace();
        return 0;
    }
    case OMBREL_MSG_DEVICES_CHANGED:
        // Sent while the library's thread waits; once ending, no handle is reopened.
        if (!ending_ && libraryStarted_) {
            const std::optional<TunerKey> selected = SelectedTuner();
            if (kind_.feature != nullptr) {
                kind_.feature->Release();
            }
            tuners_.Refresh();
            ShowTuners();
            Select(selected);
            if (kind_.feature != nullptr) {
                kind_.feature->Select(SelectedTunerInfo());
            }
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kTunerListId) {
            if (HIWORD(wParam) == LBN_SELCHANGE && kind_.feature != nullptr && !featureEnded_) {
                kind_.feature->Select(SelectedTunerInfo());
            }
            return 0;
        }
        break;  // a feature's control
    case WM_DESTROY:
        // Also when another program sends it: the sender (Romflux, before an update) waits
        // for the tuners to be let go.
        EndFeature();
        if (!ending_) {
            ending_ = true;
            PostQuitMessage(0);
        }
        return 0;
    default:
        break;
    }
    if (kind_.feature != nullptr && !featureEnded_ && kind_.feature->Handle(message, wParam, lParam)) {
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void CompanionWindow::EndFeature() {
    if (kind_.feature != nullptr && !featureEnded_) {
        featureEnded_ = true;
        kind_.feature->End();
    }
}

void CompanionWindow::CreateChildren() {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    caption_ = CreateWindowExW(0, L"STATIC", kind_.listCaption, WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                               0, 0, 0, 0, window_, nullptr, instance, nullptr);
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT |
                                LBS_USETABSTOPS | LBS_NOTIFY,
                            0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTunerListId)),
                            instance, nullptr);
    status_ = CreateWindowExW(0, L"STATIC", Widen(std::string(kSearchingStatus)).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0,
                              0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)),
                              instance, nullptr);
    font_ = CreateMessageFont();
    if (font_) {
        SendMessageW(caption_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    SendMessageW(list_, LB_SETTABSTOPS, static_cast<WPARAM>(std::size(kTabStops)),
                 reinterpret_cast<LPARAM>(kTabStops));
    if (kind_.feature != nullptr) {
        featureHeight_ = kind_.feature->Create(window_, font_.get());
    }
}

void CompanionWindow::Layout() {
    RECT client{};
    GetClientRect(window_, &client);
    const int width = client.right - 2 * kMargin;
    const int listTop = kMargin + kLineHeight;
    const int listHeight = client.bottom - listTop - 2 * kMargin - kStatusHeight - FeatureSpace();
    MoveWindow(caption_, kMargin, kMargin, width > 0 ? width : 0, kLineHeight, TRUE);
    MoveWindow(list_, kMargin, listTop, width > 0 ? width : 0, listHeight > 0 ? listHeight : 0, TRUE);
    if (kind_.feature != nullptr) {
        const int top = listTop + (listHeight > 0 ? listHeight : 0) + kMargin;
        kind_.feature->Layout(RECT{kMargin, top, kMargin + (width > 0 ? width : 0), top + featureHeight_});
    }
    MoveWindow(status_, kMargin, client.bottom - kMargin - kStatusHeight, width > 0 ? width : 0, kStatusHeight,
               TRUE);
}

std::optional<TunerKey> CompanionWindow::SelectedTuner() const {
    const TunerInfo* tuner = SelectedTunerInfo();
    return tuner != nullptr ? KeyOf(*tuner) : std::nullopt;
}

const TunerInfo* CompanionWindow::SelectedTunerInfo() const {
    const LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    const auto& tuners = tuners_.tuners();
    if (index < 0 || static_cast<size_t>(index) >= tuners.size()) {
        return nullptr;
    }
    return &tuners[static_cast<size_t>(index)];
}

// The selection follows its tuner to wherever the new reading lists it.
void CompanionWindow::Select(const std::optional<TunerKey>& key) {
    if (!key) {
        return;
    }
    if (const auto index = IndexOf(tuners_.tuners(), *key)) {
        SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(*index), 0);
    }
}

void CompanionWindow::ShowTuners() {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    for (const TunerInfo& tuner : tuners_.tuners()) {
        const std::wstring row = Widen(kind_.row(tuner));
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    const std::wstring status =
        Widen(libraryStarted_ ? kind_.status(tuners_.tuners()) : std::string(kLibraryFailedStatus));
    SetWindowTextW(status_, status.c_str());
}

}  // namespace

int RunCompanion(HINSTANCE instance, int showCommand, const CompanionKind& kind) {
    CompanionWindow window(kind);
    if (!window.Create(instance)) {
        return 1;
    }
    window.Start(showCommand);
    const int exitCode = window.RunMessageLoop();
    window.Shutdown();
    return exitCode;
}

}  // namespace companion
