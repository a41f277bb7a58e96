#include "game/wnd_game.h"

#include "common/log.h"
#include "framework/app.h"
#include "framework/event_map.h"
#include "game/title_layout.h"
#include "resource.h"
#include "skin/button_faces.h"
#include "skin/png_resource.h"
#include "skin/premultiply_image.h"
#include "web/popup_handlers.h"

#include <exdispid.h>

#include <string>

namespace {
// The names the game window observes, in the order it registers them.
const char* const kObservedNames[] = {NT_CHECK_UPDATE, NT_START_UP,   NT_ENTER_GAME,
                                      NT_GET_GSNAME,   NT_GET_NEWMSG, NT_GAME_QUIT};

constexpr UINT kGameBrowserId = 100;
constexpr UINT kPopupBrowserId = 101;
constexpr UINT kTrayIconId = 10;
constexpr UINT kIconId = 128;
constexpr DWORD kBrowserStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// The notification area says so when it starts again (after a crash of the
// shell, for instance); the icon must then be added anew.
UINT TaskbarCreatedMessage() noexcept
{
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}
} // namespace

CWndGame::CWndGame() noexcept : m_tray(sizeof(NOTIFYICONDATAW), kTrayIconId) {}

CWndGame::~CWndGame()
{
    for (const char* name : kObservedNames)
        NotificationCenter::Instance().RemoveObserver(name, this);
}

LRESULT CWndGame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TaskbarCreatedMessage() && message != 0) {
        m_tray.Restore();
        return 0;
    }
    switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_SHOWWINDOW: OnShowWindow(wParam != FALSE); break; // the frame handles it too
    case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wParam)); return 0;
    case WM_HOTKEY: ToggleVisible(); return 0;
    case WM_TRAYNOTIFY: return OnTrayNotify(lParam);
    case WM_DESTROY: OnDestroy(); return 0;
    }
    return CSkinFlatPanel::WindowProc(message, wParam, lParam);
}

const EventSinkEntry* CWndGame::GetEventSinkMap() const
{
    static const EventSinkEntry map[] = {
        OnControlEvent<&CWndGame::OnGameBeforeNavigate2>(kGameBrowserId, DISPID_BEFORENAVIGATE2),
        OnControlEvent<&CWndGame::OnGameNavigateError>(kGameBrowserId, DISPID_NAVIGATEERROR),
        OnControlEvent<&CWndGame::OnGameNavigateComplete2>(kGameBrowserId,
                                                           DISPID_NAVIGATECOMPLETE2),
        OnControlEvent<&CWndGame::OnGameNewWindow2>(kGameBrowserId, DISPID_NEWWINDOW2),
        OnControlEvent<&CWndGame::OnPopupNavigate>(kPopupBrowserId, DISPID_BEFORENAVIGATE2),
        EndOfEventSinkMap(),
    };
    return map;
}

int CWndGame::OnCreate(CREATESTRUCTW* create)
{
    if (CSkinFlatPanel::OnCreate(create) == -1)
        return -1;
    ::SetClassLongPtrW(m_hWnd, GCL_STYLE, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kIconId));
    SetWindowText(L"Quillmoor");
    for (const char* name : kObservedNames)
        NotificationCenter::Instance().AddObserver(name, this);
    m_nBorderLeft = m_nBorderTop = m_nBorderRight = m_nBorderBottom = m_scale.Length(kGameBorder);
    // The browsers, buttons and pictures wait for the window's first show:
    // the splash and the login window come first and need none of them.
    m_tray.SetOwner(m_hWnd);
    m_tray.SetCallbackMessage(WM_TRAYNOTIFY);
    return 0;
}

void CWndGame::OnShowWindow(bool shown)
{
    if (shown)
        BuildFace();
}

void CWndGame::BuildFace()
{
    if (m_bFaceBuilt)
        return;
    m_bFaceBuilt = true;
    CreateBrowsers();
    CreateTitleButtons();
    LoadTitlePictures();
    RECT client{};
    GetClientRect(&client);
    LayOut(client.right, client.bottom);
}

void CWndGame::CreateBrowsers()
{
    RECT client{};
    GetClientRect(&client);
    if (m_browserGame.Create(nullptr, kBrowserStyle, client, this, kGameBrowserId)) {
        try {
            m_browserGame.SetSilent(TRUE);
            m_browserGame.SetRegisterAsBrowser(TRUE);
        } catch (const CException&) {
            // A browser that refuses a property still shows pages.
        }
        if (!m_pagePanel.Create(m_browserGame, IDC_GAME_PAGE_PANEL))
            WriteLog(L"Page panel not created [Error Code = %d]",
                     static_cast<int>(::GetLastError()));
    }
    const RECT none{0, 0, 0, 0};
    if (m_browserPopup.Create(nullptr, kBrowserStyle, none, this, kPopupBrowserId)) {
        try {
            m_browserPopup.SetSilent(TRUE);
        } catch (const CException&) {
        }
    }
}

void CWndGame::CreateTitleButtons()
{
    const RECT empty{0, 0, 0, 0};
    for (const TitleButtonSpec& entry : kTitleButtons) {
        GTButton* button = TitleButton(entry.id);
        button->Create(L"", WS_CHILD | WS_VISIBLE, empty, this, entry.id);
        // Without its normal face a button stays 0x0: neither seen nor clicked.
        SetButtonFaces(*button, entry.normalPng, entry.hoverPng);
    }
}

void CWndGame::LoadTitlePictures()
{
    struct Picture {
        CImage* image;
        UINT id;
    };
    const Picture pictures[] = {
        {&m_imgTitleLeft, 150}, {&m_imgTitleMid, 151}, {&m_imgTitleRight, 152}, {&m_imgLogo, 164}};
    for (const Picture& p : pictures) {
        LoadPngResource(p.image, p.id);
        if (p.image->IsNull())
            WriteLog(L"加载图片失败 ：%d", static_cast<int>(p.id));
        PremultiplyAlpha(p.image);
    }
}

GTButton* CWndGame::TitleButton(unsigned id) noexcept
{
    switch (id) {
    case kBtnMinimize: return &m_btnMinimize;
    case kBtnMaximize: return &m_btnMaximize;
    case kBtnRestore: return &m_btnRestore;
    case kBtnClose: return &m_btnClose;
    case kBtnToTray: return &m_btnToTray;
    case kBtnBossKey: return &m_btnBossKey;
    case kBtnRefresh: return &m_btnRefresh;
    case kBtnLink: return &m_btnLink;
    case kBtnHome: return &m_btnHome;
    default: return nullptr;
    }
}

void CWndGame::OnNotify(INotification* notification)
{
    if (!notification)
        return;
    const std::string name = notification->Name();
    if (name == NT_CHECK_UPDATE) {
        ShowUpdateSplash();
    } else if (name == NT_START_UP) {
        HideUpdateSplash();
        ShowLogin();
    } else if (name == NT_ENTER_GAME) {
        EnterGame(reinterpret_cast<const wchar_t*>(notification->Arg1()));
    } else if (name == NT_GAME_QUIT) {
        // Posted, not done: the exit box is still inside its handler.
        PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

bool CWndGame::IsSame(IObserver* other)
{
    return other == static_cast<IObserver*>(this);
}

void CWndGame::OnGameBeforeNavigate2(IDispatch* pDisp, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                     VARIANT*, BOOL*)
{
    m_pagePanel.OnBeforeNavigate(pDisp);
}

void CWndGame::OnGameNavigateError(IDispatch* pDisp, VARIANT*, VARIANT*, VARIANT* StatusCode,
                                   BOOL* Cancel)
{
    m_pagePanel.OnNavigateError(pDisp, StatusCode, Cancel);
}

void CWndGame::OnGameNavigateComplete2(IDispatch* pDisp, VARIANT*)
{
    m_pagePanel.OnNavigateComplete(pDisp);
}

void CWndGame::OnGameNewWindow2(IDispatch** ppDisp, BOOL* Cancel)
{
    OnNewWindow2(m_browserPopup, ppDisp, Cancel);
}

void CWndGame::OnPopupNavigate(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                               VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                               BOOL* Cancel)
{
    OnPopupBeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel);
}

void CWndGame::OnDestroy()
{
    Default();
    m_hIcon = nullptr; // a shared resource icon: nothing to release
}

void CWndGame::ShowUpdateSplash()
{
    if (!m_dlgUpdate.m_hWnd)
        m_dlgUpdate.Create(IDD_UPDATE_LOGIN, nullptr);
    m_dlgUpdate.CenterWindow();
    m_dlgUpdate.BringWindowToTop();
    m_dlgUpdate.ShowWindow(SW_SHOW);
}

void CWndGame::HideUpdateSplash()
{
    if (!m_dlgUpdate.m_hWnd)
        return;
    m_dlgUpdate.ShowWindow(SW_HIDE);
    // Its layered window keeps what it showed; nothing draws the picture again.
    m_dlgUpdate.m_image.Destroy();
}

void CWndGame::ShowLogin()
{
    // Owned by this window while it is made; it then stands on its own.
    if (!m_dlgLogin.m_hWnd && !m_dlgLogin.Create(IDD_UPDATE_LOGIN, this))
        return;
    m_dlgLogin.CenterWindow();
    m_dlgLogin.BringWindowToTop();
    if (m_dlgLogin.m_layer.m_hWnd)
        m_dlgLogin.m_layer.ShowWindow(SW_SHOW);
    m_dlgLogin.ShowWindow(SW_SHOW);
}

void CWndGame::HideLoginWindows()
{
    // Both objects and windows stay; only the game is shown from now on.
    if (!m_dlgLogin.m_hWnd)
        return;
    if (m_dlgLogin.m_layer.m_hWnd)
        m_dlgLogin.m_layer.ShowWindow(SW_HIDE);
    m_dlgLogin.ShowWindow(SW_HIDE);
}
