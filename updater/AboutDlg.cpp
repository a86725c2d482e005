#include "AboutDlg.h"

#include "AboutText.h"
#include "FileVersionInfo.h"
#include "ImageCatalogue.h"
#include "ImageResources.h"
#include "TextConvert.h"
#include "resource.h"

CAboutDlg::CAboutDlg(std::wstring driverLine, HWND parent)
    : CDialogFrame(IDD_ABOUTBOX, parent), m_driverLine(std::move(driverLine))
{
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange() { BindControl(IDC_ABOUT_FIRMWARE, m_firmwareList); }

BOOL CAboutDlg::OnInitDialog()
{
    CDialogFrame::OnInitDialog();

    CFileVersionInfo info;
    info.ReadFromModule(GetModuleHandleA(nullptr));  // a failed read leaves empty strings

    const std::string product = info.GetProductName();
    SetDlgItemText(IDC_ABOUT_PRODUCT, WidenAnsi(product));
    SetWindowTextW(GetSafeHwnd(), (L"About " + WidenAnsi(product)).c_str());

    const std::string versionLine =
        FormatAboutVersionLine(kVersionMajor, kVersionMinor, kVersionBuild, kVersionRevision, info.GetSpecialBuild());
    SetDlgItemText(IDC_ABOUT_VERSION, WidenAnsi(versionLine));
    SetDlgItemText(IDC_ABOUT_COPYRIGHT, WidenAnsi(info.GetLegalCopyright()));
    SetDlgItemText(IDC_ABOUT_DRIVER, m_driverLine);

    FillFirmwareList();
    return TRUE;
}

void CAboutDlg::FillFirmwareList()
{
    for (const AboutRow& row : kAboutRows) {
        std::string version;
        if (GetImageVersionText(FindImageResource(row.resourceId), version))
            m_firmwareList.AddString(WidenAnsi(FormatAboutRow(version, row.modelText)));
    }
}
