// The About box: product name, program version, copyright, the driver line composed
// by its creator, and the versions of the carried firmware images.
#pragma once

#include "Controls.h"
#include "DialogFrame.h"

#include <string>

class CAboutDlg : public CDialogFrame {
public:
    CAboutDlg(std::wstring driverLine, HWND parent);
    ~CAboutDlg() override;

    // The program version compiled in; equal to the file version of the version resource.
    static constexpr int kVersionMajor = 3;
    static constexpr int kVersionMinor = 0;
    static constexpr unsigned kVersionBuild = 2182;
    static constexpr unsigned kVersionRevision = 0;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;

private:
    void FillFirmwareList();

    std::wstring m_driverLine;
    CListBoxCtl m_firmwareList;
};
