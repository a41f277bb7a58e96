// The application object: start-up through InitInstance, then the message
// loop, which ends when the main window is destroyed.
#pragma once

#include "framework/object.h"

#include <string>

class CWnd;

class CWinApp : public CObject {
public:
    // There is one application object per process; it registers itself.
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();
    // Offers a queued message to the windows it is meant for before dispatch.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Commands that no window handled; TRUE when handled.
    virtual BOOL OnCommand(UINT id);

    void SetRegistryKey(LPCWSTR key);
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    std::wstring m_strAppName;     // derived from the module name when not given
    std::wstring m_strRegistryKey; // profile root; nothing is stored under it

protected:
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp() noexcept;
CWnd* AfxGetMainWnd() noexcept;
HINSTANCE AfxGetInstanceHandle() noexcept;
HINSTANCE AfxGetResourceHandle() noexcept;

// Registers a window class; also succeeds when the class already exists.
BOOL AfxRegisterClass(WNDCLASSW* wndClass) noexcept;

int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = 0);
// Reports an exception of unknown type that left a message handler.
void AfxReportUnexpectedException() noexcept;

// The body of the program's entry point.
int AfxWinMain(HINSTANCE instance);
