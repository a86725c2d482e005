// Romflux's main dialog: the tuner list, the selected tuner's information and the
// image that fits it, and the firmware update run.
#pragma once

#include "CompanionTools.h"
#include "Controls.h"
#include "DialogFrame.h"
#include "OmbrelTunerSource.h"
#include "TunerList.h"

#include <cstdint>
#include <string>

class CRomfluxDlg : public CDialogFrame {
public:
    explicit CRomfluxDlg(HWND parent = nullptr);
    ~CRomfluxDlg() override;

    static constexpr UINT_PTR kPollTimerId = 1;
    static constexpr UINT kPollPeriodMs = 400;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnOK() override;
    void OnCancel() override;

private:
    // Tuner list.
    void EnumerateTuners();
    void FillTunerList();
    void ReleaseTuners();
    TUNER_ENTRY* SelectedEntry() const;  // entry of the selected line, or null
    void RebuildAll();                    // enumerate, fill, display

    // Display of the selection.
    void RefreshTunerInfo();
    void SelectImageForTuner(std::uint8_t productLine, std::uint8_t modelCode, std::uint8_t hardwareRevision);
    void SetUpdateAvailable(bool available);

    // Update run.
    void OnUpdateFirmware();
    void OnPollTimer();
    void CloseCompanionTools();
    void RestartCompanionTools();
    void ShowMessage(const std::string& text) const;

    // Window.
    void OnAbout();
    bool OnPaint();
    void OnClose();

    TunerList m_tuners;
    TUNER_ENTRY m_tunerUnderUpdate{};
    const unsigned char* m_pSelectedImage = nullptr;
    // True only while m_pSelectedImage was chosen for the line selected now.
    bool m_imageFitsSelection = false;
    romflux::CompanionTools m_companions;  // remote-control and CI flags, base prefix
    CProgressBarCtl m_progress;
    CStaticText m_firmwareVersion;
    CStaticText m_guid;
    CComboBoxCtl m_tunerList;
    HICON m_hIcon = nullptr;
    COmbrelTunerSource m_source;
    bool m_tornDown = false;
};
