// The About box: product name, program version, copyright, the driver line composed
// by its creator, and the versions of the carried firmware images.
#pragma once

#include "Controls.h"
#include "DialogFrame.h"

#include <OmbrelVersion.h>

#include <string>

class CAboutDlg : public CDialogFrame {
public:
    CAboutDlg(std::wstring driverLine, HWND parent);
    ~CAboutDlg() override;

    // The program version compiled in; the version resource is made from the same numbers.
    static constexpr int kVersionMajor = ROMFLUX_VERSION_MAJOR;
    static constexpr int kVersionMinor = ROMFLUX_VERSION_MINOR;
    static constexpr unsigned kVersionBuild = ROMFLUX_VERSION_BUILD;
    static constexpr unsigned kVersionRevision = ROMFLUX_VERSION_REVISION;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;

private:
    void FillFirmwareList();

    std::wstring m_driverLine;
    CListBoxCtl m_firmwareList;
};
