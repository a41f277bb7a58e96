#include "framework/app.h"

#include "framework/wnd.h"

#include <cassert>

namespace {
CWinApp* g_app = nullptr;

std::wstring ModuleBaseName(HINSTANCE instance)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(instance, path, MAX_PATH);
    std::wstring name(path);
    const auto slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const auto dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

// Walks from the message's window up to its top-level window, offering the
// message to every bound window on the way.
BOOL WalkPreTranslateTree(HWND stop, MSG* msg)
{
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd); wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
        if (hwnd == stop || !(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return FALSE;
}

HWND TopLevelOf(HWND hwnd)
{
    while (hwnd && (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
        hwnd = ::GetParent(hwnd);
    return hwnd;
}
} // namespace

CWinApp::CWinApp(LPCWSTR appName)
{
    assert(g_app == nullptr);
    g_app = this;
    m_hInstance = ::GetModuleHandleW(nullptr);
    m_strAppName = appName ? appName : ModuleBaseName(m_hInstance);
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

int CWinApp::Run()
{
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            m_nExitCode = -1;
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return ExitInstance();
}

BOOL CWinApp::PreTranslateMessage(MSG* msg)
{
    const HWND mainHwnd = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (WalkPreTranslateTree(mainHwnd, msg))
        return TRUE;
    // Messages of other top-level windows (modeless dialogs) get a last
    // chance through the main window.
    if (m_pMainWnd && mainHwnd && TopLevelOf(msg->hwnd) != mainHwnd)
        return m_pMainWnd->PreTranslateMessage(msg);
    return FALSE;
}

BOOL CWinApp::OnCommand(UINT)
{
    return FALSE;
}

void CWinApp::SetRegistryKey(LPCWSTR key)
{
    m_strRegistryKey = key ? key : L"";
}

void CWinApp::OnHelp()
{
    // The launcher ships no help file; the command is accepted and ignored.
}

CWinApp* AfxGetApp() noexcept
{
    return g_app;
}

CWnd* AfxGetMainWnd() noexcept
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() noexcept
{
    return g_app ? g_app->m_hInstance : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() noexcept
{
    return AfxGetInstanceHandle();
}

BOOL AfxRegisterClass(WNDCLASSW* wndClass) noexcept
{
    WNDCLASSW existing{};
    if (::GetClassInfoW(wndClass->hInstance, wndClass->lpszClassName, &existing))
        return TRUE;
    if (::RegisterClassW(wndClass))
        return TRUE;
    // Another module may have registered it between the two calls.
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT)
{
    CWnd* const main = AfxGetMainWnd();
    const HWND owner = main && ::IsWindowVisible(main->m_hWnd) ? main->m_hWnd : nullptr;
    const wchar_t* caption = g_app ? g_app->m_strAppName.c_str() : L"";
    return ::MessageBoxW(owner, text, caption, type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId)
{
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(AfxGetResourceHandle(), stringId, reinterpret_cast<LPWSTR>(&text), 0);
    const std::wstring message =
        length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
    return AfxMessageBox(message.c_str(), type, helpId);
}

void AfxReportUnexpectedException() noexcept
{
    try {
        AfxMessageBox(L"An unexpected error occurred.", MB_ICONEXCLAMATION);
    } catch (...) {
    }
}

int AfxWinMain(HINSTANCE instance)
{
    CWinApp* const app = AfxGetApp();
    if (!app)
        return 1;
    app->m_hInstance = instance;
    try {
        if (!app->InitInstance()) {
            if (CWnd* main = app->m_pMainWnd; main && main->m_hWnd)
                main->DestroyWindow();
            app->ExitInstance();
            return 1; // start-up failed: never report success to the caller
        }
        return app->Run();
    } catch (const CException& e) {
        e.ReportError(MB_ICONSTOP);
    } catch (...) {
        AfxReportUnexpectedException();
    }
    return 1;
}
