#include "RomfluxDlg.h"

#include "AboutDlg.h"
#include "ImageCatalogue.h"
#include "ImageResources.h"
#include "TextConvert.h"
#include "UpdatePoll.h"
#include "resource.h"

#include <OmbrelApi.h>

#include <commctrl.h>

#include <cstring>
#include <memory>

namespace {

constexpr const wchar_t* kProgramName = L"Romflux";
constexpr const char* kNoUpdateText = "No update for this device available";

}  // namespace

CRomfluxDlg::CRomfluxDlg(HWND parent)
    : CDialogFrame(IDD_ROMFLUX_DIALOG, parent),
      m_hIcon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0,
                                            0, LR_DEFAULTSIZE | LR_SHARED)))
{
}

CRomfluxDlg::~CRomfluxDlg()
{
    // Handles are closed here too when the dialog ended without WM_CLOSE.
    ReleaseTuners();
}

void CRomfluxDlg::DoDataExchange()
{
    BindControl(IDC_PROGRESS, m_progress);
    BindControl(IDC_FIRMWARE_VERSION, m_firmwareVersion);
    BindControl(IDC_TUNER_GUID, m_guid);
    BindControl(IDC_TUNER_LIST, m_tunerList);
}

BOOL CRomfluxDlg::OnInitDialog()
{
    CDialogFrame::OnInitDialog();

    AppendSystemMenuCommand(ID_SYSCMD_ABOUT, IDS_ABOUTBOX);

    SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // No update may start before an image has been chosen for the selected tuner.
    SetUpdateAvailable(false);

    OB_Initialize();
    OB_RegisterGeneralNotifications(GetSafeHwnd());

    RebuildAll();
    return TRUE;
}

bool CRomfluxDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == ID_SYSCMD_ABOUT) {
            OnAbout();
            result = 0;
            return true;
        }
        return false;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_TUNER_LIST && HIWORD(wParam) == CBN_SELCHANGE) {
            RefreshTunerInfo();
            return true;
        }
        if (LOWORD(wParam) == IDC_UPDATE_FIRMWARE && HIWORD(wParam) == BN_CLICKED) {
            OnUpdateFirmware();
            return true;
        }
        return false;
    case WM_TIMER:
        if (wParam == kPollTimerId) OnPollTimer();
        return false;
    case WM_CLOSE:
        OnClose();
        return true;
    case OMBREL_MSG_DEVICES_CHANGED:
        if (!m_tornDown) RebuildAll();
        return false;
    default:
        (void)lParam;
        return false;
    }
}

// Enter and Escape would end the dialog through the default buttons; they take the
// same way out as the close command, so that every handle is released.
void CRomfluxDlg::OnOK() { OnClose(); }

void CRomfluxDlg::OnCancel() { OnClose(); }

void CRomfluxDlg::RebuildAll()
{
    EnumerateTuners();
    FillTunerList();
    RefreshTunerInfo();
}

void CRomfluxDlg::EnumerateTuners() { RebuildTunerList(m_tuners, m_tunerUnderUpdate, m_source); }

void CRomfluxDlg::ReleaseTuners() { ReleaseTunerList(m_tuners, m_source); }

void CRomfluxDlg::FillTunerList()
{
    m_tunerList.ResetContent();
    for (size_t index = 0; index < m_tuners.size(); ++index) {
        const TUNER_ENTRY& entry = *m_tuners[index];
        char device[256] = {};
        char guid[256] = {};
        OB_GetDeviceString(entry.Handle, device);
        OB_GetGUIDString(entry.Handle, guid);
        const std::string line = FormatTunerLine(FieldText(device), FieldText(guid));
        const int position = m_tunerList.AddString(WidenAnsi(line));
        // The line carries the entry's index in the tuner list: it stays valid until the
        // next rebuild, which refills the list box before anything reads it again.
        if (position >= 0) m_tunerList.SetItemData(position, static_cast<LPARAM>(index));
    }
    if (m_tunerList.GetCount() != 0) m_tunerList.SetCurSel(0);
}

TUNER_ENTRY* CRomfluxDlg::SelectedEntry() const
{
    const int selection = m_tunerList.GetCurSel();
    if (selection == CB_ERR) return nullptr;
    const LPARAM index = m_tunerList.GetItemData(selection);
    if (index < 0 || static_cast<size_t>(index) >= m_tuners.size()) return nullptr;
    return m_tuners[static_cast<size_t>(index)].get();
}

void CRomfluxDlg::RefreshTunerInfo()
{
    const TUNER_ENTRY* entry = SelectedEntry();
    if (!entry) {
        m_guid.SetWindowText(L"");
        m_firmwareVersion.SetWindowText(L"");
        SetDlgItemText(IDC_REVISION, L"");
        SetDlgItemText(IDC_VERSION_STRING, L"");
        SetUpdateAvailable(false);
        return;
    }

    OMBREL_FIRMWARE_VERSION version{};
    if (OB_GetFirmwareVersion(entry->Handle, &version) != OB_SUCCESS) {
        // The texts stay, but the image chosen for another tuner must not be offered.
        SetUpdateAvailable(false);
        return;
    }

    m_guid.SetWindowText(WidenAnsi(FormatGuidText(FieldText(entry->GuidText))));
    const std::string revision = FormatRevisionText(version.HardwareRevision);
    SelectImageForTuner(version.ProductLine, version.ModelCode, version.HardwareRevision);
    m_firmwareVersion.SetWindowText(WidenAnsi(FormatFirmwareVersionText(
        version.VersionMajor, version.VersionMinor, version.VersionPatch, version.BuildHigh, version.BuildLow)));
    SetDlgItemText(IDC_REVISION, WidenAnsi(revision));
}

void CRomfluxDlg::SelectImageForTuner(std::uint8_t productLine, std::uint8_t modelCode,
                                      std::uint8_t hardwareRevision)
{
    if (const auto carried = FindCarriedImage(nullptr, productLine, modelCode, hardwareRevision)) {
        m_pSelectedImage = reinterpret_cast<const unsigned char*>(carried->image.text);
        SetDlgItemText(IDC_VERSION_STRING, WidenAnsi(FormatReleaseText(carried->version)));
        SetUpdateAvailable(true);
        return;
    }
    SetDlgItemText(IDC_VERSION_STRING, WidenAnsi(kNoUpdateText));
    SetUpdateAvailable(false);
}

void CRomfluxDlg::SetUpdateAvailable(bool available)
{
    m_imageFitsSelection = available;
    ::EnableWindow(GetDlgItem(IDC_UPDATE_FIRMWARE), available ? TRUE : FALSE);
}

void CRomfluxDlg::OnUpdateFirmware()
{
    if (m_tunerList.GetCurSel() == CB_ERR) return;
    // A click that reaches us while no image fits the selection (a message sent by
    // another program to the disabled button) must not send an earlier tuner's image.
    if (!m_imageFitsSelection || !m_pSelectedImage) return;

    CloseCompanionTools();

    const TUNER_ENTRY* entry = SelectedEntry();
    if (!entry) return;
    std::memcpy(&m_tunerUnderUpdate, entry, sizeof(TUNER_ENTRY));

    m_progress.SetRange(0, 100);

    if (OB_UpdateFirmware(m_tunerUnderUpdate.Handle, m_pSelectedImage) != OB_SUCCESS) {
        ShowMessage(romflux::kUpdateStartFailedText);
        return;
    }
    SetTimer(GetSafeHwnd(), kPollTimerId, kPollPeriodMs, nullptr);
}

void CRomfluxDlg::OnPollTimer()
{
    OMBREL_FIRMWARE_UPDATE_STATUS status{};
    const bool read = OB_GetRomfluxStatus(m_tunerUnderUpdate.Handle, &status) == OB_SUCCESS;
    const romflux::PollDecision decision =
        romflux::DecidePoll(read, romflux::UpdateStatus{status.Progress, status.State, status.ErrorCode});

    if (decision.outcome == romflux::PollOutcome::Detached) {
        KillTimer(GetSafeHwnd(), kPollTimerId);
        ShowMessage(decision.message);
        m_progress.SetPos(decision.barPosition);
        return;
    }

    m_progress.SetPos(decision.barPosition);
    if (decision.stopTimer) KillTimer(GetSafeHwnd(), kPollTimerId);
    if (decision.restartBeforeMessage) RestartCompanionTools();
    if (!decision.message.empty()) ShowMessage(decision.message);
    if (decision.resetBarAfterMessage) m_progress.SetPos(0);
    if (decision.restartAfterMessage) RestartCompanionTools();
}

void CRomfluxDlg::CloseCompanionTools() { m_companions.Close(); }

void CRomfluxDlg::RestartCompanionTools() { m_companions.Restart(GetSafeHwnd()); }

void CRomfluxDlg::ShowMessage(const std::string& text) const
{
    MessageBoxW(GetSafeHwnd(), WidenAnsi(text).c_str(), kProgramName, MB_OK | MB_ICONEXCLAMATION);
}

void CRomfluxDlg::OnAbout()
{
    std::optional<std::string> driverVersion;
    std::optional<int> tunerType;
    const TUNER_ENTRY* entry = SelectedEntry();
    if (entry) {
        OMBREL_DRIVER_VERSION driver{};
        if (OB_GetDriverVersion(entry->Handle, &driver) == OB_SUCCESS) {
            driverVersion = FieldText(driver.Version);
            OMBREL_TUNER_TYPE type = OMBREL_TUNER_TYPE_WDM;
            if (OB_GetTunerType(entry->Handle, &type) == OB_SUCCESS) tunerType = static_cast<int>(type);
        }
    }
    const std::string line = ComposeDriverLine(entry != nullptr, driverVersion, tunerType);

    auto about = std::make_unique<CAboutDlg>(WidenAnsi(line), GetSafeHwnd());
    about->DoModal();
}

bool CRomfluxDlg::OnPaint()
{
    HWND window = GetSafeHwnd();
    if (!IsIconic(window)) return false;

    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(window, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(window, &paint);
    return true;
}

void CRomfluxDlg::OnClose()
{
    if (m_tornDown) return;
    m_tornDown = true;
    KillTimer(GetSafeHwnd(), kPollTimerId);
    ReleaseTuners();
    EndDialog(IDCANCEL);
    PostQuitMessage(0);
}
