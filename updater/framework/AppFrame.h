// The application object: one global instance per program. The program's entry
// point hands control to RunApplication, which prepares the common controls and runs
// the start-up step; a start-up step that returns FALSE ends the process without a
// message loop of its own.
#pragma once

#include <windows.h>

class CDialogFrame;

class CAppFrame {
public:
    CAppFrame();
    CAppFrame(const CAppFrame&) = delete;
    CAppFrame& operator=(const CAppFrame&) = delete;
    virtual ~CAppFrame();

    virtual BOOL InitInstance() = 0;
    // Message loop for a program that goes on after its start-up step.
    virtual int Run();

    static CAppFrame* Get() { return s_app; }
    static int RunApplication();

    void SetMainWindow(CDialogFrame* window) { m_pMainWnd = window; }
    CDialogFrame* GetMainWindow() const { return m_pMainWnd; }

private:
    static CAppFrame* s_app;
    CDialogFrame* m_pMainWnd = nullptr;
};
