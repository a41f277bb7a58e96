// What the game window does when asked: its buttons, system commands,
// keyboard forwarding, entering the game and closing.
#include "framework/dispatch.h"
#include "game/title_layout.h"
#include "game/wnd_game.h"
#include "login/default_browser.h"
#include "login/web_addresses.h"
#include "resource.h"

namespace {
constexpr int kBossKeyId = 119;
constexpr UINT kExitBoxTemplate = IDD_MSGBOX;
} // namespace

BOOL CWndGame::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case kBtnClose: ShowExitBox(); return TRUE;
    case kBtnMaximize: PostMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0); return TRUE;
    case kBtnRestore: PostMessage(WM_SYSCOMMAND, SC_RESTORE, 0); return TRUE;
    case kBtnMinimize: PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0); return TRUE;
    case kBtnToTray: ToggleVisible(); return TRUE;
    case kBtnRefresh: RefreshGame(); return TRUE;
    case kBtnBossKey: ToggleVisible(); return TRUE;
    case kBtnHome:
    case kBtnLink: OpenHomePage(); return TRUE;
    }
    return CSkinFlatPanel::OnCommand(wParam, lParam);
}

void CWndGame::ShowExitBox()
{
    // One box, made on first use and shown again afterwards.
    if (!m_dlgMsgBox.m_hWnd)
        m_dlgMsgBox.Create(kExitBoxTemplate, this);
    m_dlgMsgBox.CenterWindow();
    m_dlgMsgBox.ShowWindow(SW_SHOW);
}

void CWndGame::OpenHomePage()
{
    OpenInDefaultBrowser(HomePageAddress());
}

void CWndGame::ShowRestoreButton(bool maximised)
{
    m_btnMaximize.ShowWindow(maximised ? SW_HIDE : SW_SHOW);
    m_btnRestore.ShowWindow(maximised ? SW_SHOW : SW_HIDE);
}

void CWndGame::OnSysCommand(UINT command)
{
    const bool wasNormal = !IsZoomed() && !IsIconic();
    Default();
    const UINT cmd = command & 0xFFF0;
    if (cmd == SC_CLOSE)
        return; // the window, and this object, may be gone
    if (!IsIconic() && cmd == SC_MAXIMIZE)
        FitMaximizedWindow(this);
    if (IsZoomed()) {
        ShowRestoreButton(true);
        return;
    }
    ShowRestoreButton(false);
    // Only a restore that brings the window back to its normal state puts it
    // in the middle of the work area. Every other command (the menu key, the
    // screen saver, monitor power, moving, minimising) leaves it where the
    // player put it.
    if (cmd == SC_RESTORE && !wasNormal && !IsIconic())
        CenterWindow();
}

void CWndGame::RefreshGame()
{
    if (!m_browserGame.m_hWnd)
        return;
    try {
        if (!m_browserGame.GetLocationURL().empty())
            m_browserGame.Refresh();
    } catch (const CException&) {
        // Nothing to refresh, or the page refused: the game goes on.
    }
}

void CWndGame::EnterGame(const wchar_t* url)
{
    if (!url)
        return;
    BuildFace();
    if (!m_browserGame.m_hWnd) {
        RECT r{};
        GetBrowserRect(&r);
        m_browserGame.Create(nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP, r, this, 100);
    }
    try {
        if (m_browserGame.m_hWnd && !m_browserGame.GetLocationURL().empty())
            return; // a game page is already shown: the new address is ignored
    } catch (const CException&) {
        // Read as "no page yet".
    }

    BringWindowToTop();
    ShowWindow(SW_SHOWMAXIMIZED);
    FitMaximizedWindow(this);
    ShowRestoreButton(true);
    HideLoginWindows();
    // Fails quietly when another program holds F9: the buttons and the tray
    // icon still toggle the window.
    ::RegisterHotKey(m_hWnd, kBossKeyId, 0, VK_F9);
    m_tray.SetIcon(m_hIcon, L"Quillmoor");

    // Kept for the panel's tries while the game page cannot be reached.
    m_pagePanel.SetRetryAddress(url);
    if (m_browserGame.m_hWnd) {
        VARIANT address;
        ::VariantInit(&address);
        V_VT(&address) = VT_BSTR;
        V_BSTR(&address) = ::SysAllocString(url);
        VARIANT empty;
        ::VariantInit(&empty);
        try {
            m_browserGame.Navigate2(&address, &empty, &empty, &empty, &empty);
        } catch (const CException&) {
            // The window is up; the player can refresh.
        }
        ::VariantClear(&address);
        ::VariantClear(&empty);
    }
}

BOOL CWndGame::PreTranslateMessage(MSG* msg)
{
    const bool keyboard = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    const bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
    if (!keyboard && !mouse)
        return CSkinFlatPanel::PreTranslateMessage(msg);

    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5)
        RefreshGame(); // and the key still goes on to the page

    HWND focus = ::GetFocus();
    if (!focus || !::IsChild(m_hWnd, focus))
        return FALSE;
    while (::GetParent(focus) != m_hWnd)
        focus = ::GetParent(focus);
    // The hosted page gets its accelerators before the message loop sees them.
    return ::SendMessageW(focus, WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(msg)) != 0;
}

void CWndGame::OnClose()
{
    ::UnregisterHotKey(m_hWnd, kBossKeyId);
    ShowWindow(SW_HIDE);
    HideLoginWindows();
    Default(); // destroys the window; the application ends with it
}
