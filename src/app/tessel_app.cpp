#include "app/tessel_app.h"

#include "app/desktop_shortcut.h"
#include "app/notification.h"
#include "common/log.h"
#include "framework/dll_search.h"
#include "framework/occ.h"
#include "framework/wnd.h"
#include "game/wnd_game.h"
#include "web/custom_occ_manager.h"
#include "web/imp_idispatch.h"

#include <commctrl.h>
#include <cstdlib>
#include <ctime>
#include <new>

const wchar_t kGameWndClassName[] = L"TesselGameWndClass_QRBT_ZANDO";
const wchar_t kGameWndTitle[] = L"Quillmoor";

namespace {
constexpr UINT kIdHelp = 57670;
const wchar_t kProfileRoot[] = L"应用程序向导生成的本地应用程序";
} // namespace

CTesselApp* GetTesselApp() noexcept
{
    return static_cast<CTesselApp*>(AfxGetApp());
}

CWndGame* CreateGameWindow(CWinApp* app)
{
    WNDCLASSW wc{};
    wc.style = CS_SAVEBITS; // the game window sets its own style when created
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = AfxGetInstanceHandle();
    wc.lpszClassName = kGameWndClassName;
    if (!AfxRegisterClass(&wc))
        AfxThrowResourceException();

    auto* const game = new CWndGame;
    if (app)
        app->m_pMainWnd = game; // already while the window is being created
    // The window is given its real size when the game is entered.
    const RECT initial{0, 100, 0, 200};
    if (!game->CreateEx(WS_EX_APPWINDOW, kGameWndClassName, kGameWndTitle, WS_OVERLAPPEDWINDOW,
                        initial, nullptr, 0, nullptr)) {
        if (app)
            app->m_pMainWnd = nullptr;
        return nullptr;
    }
    return game;
}

BOOL CTesselApp::InitInstance()
{
    if (ProcessDllSearch() != DllSearch::SystemFolderOnly)
        WriteLog(L"No SetDefaultDllDirectories (Windows 7 without KB2533623): DLLs are still "
                 L"looked for in the program's folder");
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    // Every browser control made from here on is sited by this manager, and
    // every page gets the script object; both live as long as the process.
    auto* const occManager = new CCustomOccManager;
    m_pImpIDispatch = new (std::nothrow) CImpIDispatch;
    AfxEnableControlContainer(occManager);

    SetRegistryKey(kProfileRoot);
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    if (!CreateGameWindow(this))
        return FALSE;

    Notification checkUpdate(NT_CHECK_UPDATE, 0, 0, 0);
    NotificationCenter::Instance().Post(&checkUpdate);

    EnsureDesktopShortcut();
    return TRUE;
}

BOOL CTesselApp::OnCommand(UINT id)
{
    if (id == kIdHelp) {
        OnHelp();
        return TRUE;
    }
    return CWinApp::OnCommand(id);
}
