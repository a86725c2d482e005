// The remote-control companion's part of the window: it runs the reader of the tuner that
// the user chooses in the list and shows each key that arrives. The reader is stopped
// whenever the choice changes, before the list's handles are closed, and on the end.
#pragma once

#include <windows.h>

#include <optional>

#include "CompanionWindow.h"
#include "RemoteView.h"

namespace companion {

class RemotePanel final : public CompanionFeature {
public:
    int Create(HWND window, HFONT font) override;
    void Layout(const RECT& area) override;
    void Select(const TunerInfo* tuner) override;
    void Release() override;
    void End() override { Release(); }
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Show(ReaderState state, const TunerInfo* tuner);
    void AddKey(uint16_t code);

    HWND window_ = nullptr;
    HWND readerLine_ = nullptr;
    HWND caption_ = nullptr;
    HWND keys_ = nullptr;
    unsigned long readerHandle_ = 0;      // the handle whose reader runs; 0: none
    std::optional<TunerKey> keysOf_;      // the tuner whose keys the list shows
};

}  // namespace companion
