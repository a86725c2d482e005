#include "RomfluxApp.h"

#include "RomfluxDlg.h"

#include <memory>

CRomfluxApp theApp;

BOOL CRomfluxApp::InitInstance()
{
    auto dialog = std::make_unique<CRomfluxDlg>();
    SetMainWindow(dialog.get());
    dialog->DoModal();
    SetMainWindow(nullptr);
    // The dialog is gone: the program ends without a message loop of its own.
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return CAppFrame::RunApplication(); }
