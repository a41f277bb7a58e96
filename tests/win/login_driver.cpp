// Starts the launcher as far as its login window, the way start-up does once
// the update check found nothing newer: the hidden game window is created
// and NT_START_UP is posted, so the game window shows the login window. The
// process then ends only as the launcher would: closing the login window
// ends it with exit code 0, a login picture that cannot be shown with exit
// code 1. Tests use it for the ways the process ends.
//
//   login_driver.exe [ready-file]
//
// Writes ready-file (a Windows path) once the login window is shown. Built
// with the launcher's resources, and with two other resource sets: without
// the login picture and with a picture of 24 bits per pixel. Gives up with
// exit code 4 after two minutes.
#include "app/notification.h"
#include "app/tessel_app.h"
#include "framework/handles.h"
#include "framework/occ.h"
#include "game/wnd_game.h"
#include "web/custom_occ_manager.h"
#include "web/imp_idispatch.h"

#include <shellapi.h>

#include <commctrl.h>

#include <memory>
#include <string>

namespace {

constexpr UINT kRunLimitMs = 120000;
constexpr int kExitRanOutOfTime = 4;

std::wstring g_readyFile;

void CALLBACK RunLimitReached(HWND, UINT, UINT_PTR, DWORD)
{
    ::PostQuitMessage(kExitRanOutOfTime);
}

class LoginDriverApp final : public CTesselApp {
public:
    BOOL InitInstance() override
    {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_WIN95_CLASSES;
        ::InitCommonControlsEx(&controls);

        // Process-wide, as in the launcher.
        AfxEnableControlContainer(new CCustomOccManager);
        m_pImpIDispatch = new CImpIDispatch;

        if (!CreateGameWindow(this))
            return FALSE;

        Notification startUp(NT_START_UP, 0, 0, 0);
        NotificationCenter::Instance().Post(&startUp);

        ::SetTimer(nullptr, 0, kRunLimitMs, RunLimitReached);
        if (!g_readyFile.empty()) {
            UniqueHandle ready(::CreateFileW(g_readyFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        }
        return TRUE;
    }
};

LoginDriverApp theDriver;

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const noexcept { ::LocalFree(p); }
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(
        ::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (argv && argc > 1)
        g_readyFile = argv.get()[1];
    return AfxWinMain(instance);
}
