#include "login/dlg_layer.h"

#include "common/log.h"
#include "framework/dispatch.h"
#include "framework/event_map.h"
#include "framework/handles.h"
#include "framework/variant.h"
#include "login/default_browser.h"
#include "login/dialog_keys.h"
#include "login/game_entry.h"
#include "login/web_addresses.h"
#include "resource.h"
#include "skin/button_faces.h"
#include "skin/screen_scale.h"
#include "web/popup_handlers.h"

#include <exdispid.h>

namespace {

constexpr DWORD kBrowserStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// The page browser's place on the login picture at 96 DPI.
constexpr RECT kPage = {385, 232, 385 + 650, 232 + 330};

// One image button: where it sits on the login picture at 96 DPI and its
// faces (PNG ids; 0 for no pressed face). Its size is its normal face's.
struct ButtonPlace {
    GTButton CDlgLayer::*button;
    UINT id;
    int x;
    int y;
    UINT normal;
    UINT hover;
    UINT pressed;
};

// In creation order, which is also the tab order.
constexpr ButtonPlace kButtons[] = {
    {&CDlgLayer::m_btnMinimize, CDlgLayer::kIdMinimize, 950, 120, 148, 147, 149},
    {&CDlgLayer::m_btnClose, CDlgLayer::kIdClose, 1000, 120, 145, 144, 146},
    {&CDlgLayer::m_btnOfficialSite, CDlgLayer::kIdOfficialSite, 455, 190, 185, 184, 0},
    {&CDlgLayer::m_btnPay, CDlgLayer::kIdPay, 595, 190, 183, 182, 0},
    {&CDlgLayer::m_btnService, CDlgLayer::kIdService, 735, 190, 187, 186, 0},
    {&CDlgLayer::m_btnForum, CDlgLayer::kIdForum, 875, 190, 181, 180, 0},
};

void LogDispatchFailure(const wchar_t* what, const COleDispatchException& e) noexcept
{
    WriteLog(L"%s [Error Code = 0x%08X]", what, static_cast<unsigned>(e.m_scError));
}

} // namespace

CDlgLayer::CDlgLayer() noexcept : CDialog(IDD_LAYER, nullptr) {}

CDlgLayer::~CDlgLayer()
{
    StopListeningForPageEntry();
}

LRESULT CDlgLayer::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CDlgLayer::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case kIdClose: OnBtnClose(); return TRUE;
    case kIdMinimize: OnBtnMinimize(); return TRUE;
    case kIdForum:
    case kIdOfficialSite: OnBtnHomePage(); return TRUE;
    case kIdPay: OnBtnPay(); return TRUE;
    case kIdService: OnBtnService(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

const EventSinkEntry* CDlgLayer::GetEventSinkMap() const
{
    static const EventSinkEntry map[] = {
        OnControlEvent<&CDlgLayer::OnPageBeforeNavigate2>(kIdPageBrowser, DISPID_BEFORENAVIGATE2),
        OnControlEvent<&CDlgLayer::OnPageNewWindow2>(kIdPageBrowser, DISPID_NEWWINDOW2),
        OnControlEvent<&CDlgLayer::OnPageNavigateError>(kIdPageBrowser, DISPID_NAVIGATEERROR),
        OnControlEvent<&CDlgLayer::OnPageNavigateComplete2>(kIdPageBrowser,
                                                            DISPID_NAVIGATECOMPLETE2),
        OnControlEvent<&CDlgLayer::OnPopupBeforeNavigate2>(kIdPopupBrowser, DISPID_BEFORENAVIGATE2),
        EndOfEventSinkMap(),
    };
    return map;
}

void CDlgLayer::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, kIdPageBrowser, m_browser);
}

BOOL CDlgLayer::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_scale = ScreenScale();

    // Only the children are seen; the key colour is see-through and
    // click-through, so the login picture shows around them.
    ModifyStyleEx(0, WS_EX_LAYERED);
    if (!::SetLayeredWindowAttributes(m_hWnd, kColorKey, 255, LWA_COLORKEY | LWA_ALPHA))
        WriteLog(L"SetLayeredWindowAttributes [Error Code = %d]",
                 static_cast<int>(::GetLastError()));

    RECT rc{};
    GetClientRect(&rc);
    const RECT page = m_scale.ScaleRect(kPage);
    m_browser.SetWindowPos(nullptr, rc.left + page.left, rc.top + page.top, page.right - page.left,
                           page.bottom - page.top, SWP_NOZORDER);
    CreateButtons(rc);

    if (m_strLoginPage.empty())
        m_strLoginPage = LoginPageAddress();
    // Set before the page browser first navigates.
    m_strEnterMarker = kGameEntryMarker;

    const RECT none{0, 0, 0, 0};
    if (!m_browserPopup.Create(nullptr, kBrowserStyle, none, this, kIdPopupBrowser))
        WriteLog(L"Popup browser not created");
    try {
        if (m_browserPopup.m_hWnd)
            m_browserPopup.SetSilent(TRUE);
    } catch (const COleDispatchException& e) {
        LogDispatchFailure(L"Popup browser not made silent", e);
    }
    try {
        m_browser.SetRegisterAsBrowser(TRUE);
    } catch (const COleDispatchException& e) {
        LogDispatchFailure(L"Page browser not registered as a browser", e);
    }

    if (m_pagePanel.Create(m_browser, IDC_LOGIN_PAGE_PANEL))
        m_pagePanel.SetRetryAddress(m_strLoginPage);
    else
        WriteLog(L"Page panel not created [Error Code = %d]", static_cast<int>(::GetLastError()));

    ListenForPageEntry();
    LoadLoginPage(m_strLoginPage);
    return TRUE;
}

void CDlgLayer::CreateButtons(const RECT& client)
{
    const RECT empty{0, 0, 0, 0};
    for (const ButtonPlace& place : kButtons) {
        GTButton& button = this->*place.button;
        if (!button.Create(L"", WS_CHILD | WS_VISIBLE, empty, this, place.id)) {
            WriteLog(L"Button %u not created [Error Code = %d]", place.id,
                     static_cast<int>(::GetLastError()));
            continue;
        }
        // Without its normal face a button keeps its empty size: unseen and
        // unclickable.
        SetButtonFaces(button, place.normal, place.hover, place.pressed);
        button.SetWindowPos(nullptr, client.left + m_scale.Length(place.x),
                            client.top + m_scale.Length(place.y), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

void CDlgLayer::LoadLoginPage(const std::wstring& address)
{
    UniqueVariant url(address.c_str());
    try {
        m_browser.Navigate2(url.get(), nullptr, nullptr, nullptr, nullptr);
    } catch (const COleDispatchException& e) {
        LogDispatchFailure(L"Login page not loaded", e);
    }
}

BOOL CDlgLayer::OnEraseBkgnd(HDC dc)
{
    RECT rc{};
    GetClientRect(&rc);
    const UniqueBrush key(::CreateSolidBrush(kColorKey));
    if (key)
        ::FillRect(dc, &rc, key.get());
    return 0;
}

BOOL CDlgLayer::PreTranslateMessage(MSG* msg)
{
    if (IsDialogEndingKey(*msg))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void CDlgLayer::OnBtnClose()
{
    // The login window ends the process when it is closed.
    if (const HWND login = GetParent())
        ::PostMessageW(login, WM_CLOSE, 0, 0);
}

void CDlgLayer::OnBtnMinimize()
{
    // Minimising the login window hides this layer with it, as it owns it.
    if (const HWND login = GetParent())
        ::PostMessageW(login, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void CDlgLayer::OnBtnHomePage()
{
    OpenInDefaultBrowser(HomePageAddress());
}

void CDlgLayer::OnBtnPay()
{
    OpenInDefaultBrowser(TopUpPageAddress());
}

void CDlgLayer::OnBtnService()
{
    OpenInDefaultBrowser(ServicePageAddress());
}

void CDlgLayer::OnPageBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*,
                                      VARIANT*, BOOL* Cancel)
{
    // Any frame counts as much as the page itself.
    const std::wstring url = VariantString(URL);
    if (!IsGameEntryAddress(url, m_strEnterMarker)) {
        m_pagePanel.OnBeforeNavigate(pDisp);
        return;
    }
    // The page stays where it is; the game window loads the address.
    *Cancel = TRUE;
    PostEnterGame(url);
}

void CDlgLayer::OnPageNewWindow2(IDispatch** ppDisp, BOOL* Cancel)
{
    OnNewWindow2(m_browserPopup, ppDisp, Cancel);
}

void CDlgLayer::OnPageNavigateError(IDispatch* pDisp, VARIANT*, VARIANT*, VARIANT* StatusCode,
                                    BOOL* Cancel)
{
    m_pagePanel.OnNavigateError(pDisp, StatusCode, Cancel);
}

void CDlgLayer::OnPageNavigateComplete2(IDispatch* pDisp, VARIANT*)
{
    m_pagePanel.OnNavigateComplete(pDisp);
}

void CDlgLayer::OnPopupBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                                       VARIANT* TargetFrameName, VARIANT* PostData,
                                       VARIANT* Headers, BOOL* Cancel)
{
    ::OnPopupBeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel);
}

void CDlgLayer::PostEnterGame(const std::wstring& url) noexcept
{
    StopListeningForPageEntry();
    try {
        // Delivery is synchronous: the text outlives every observer's call.
        Notification enter(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()), 0, 0);
        NotificationCenter::Instance().Post(&enter);
    } catch (...) {
        // The navigation stays cancelled; nothing else to undo.
    }
}

void CDlgLayer::OnNotify(INotification* notification)
{
    StopListeningForPageEntry();
    if (!notification || notification->Name() != NT_WEB_ENTER_GAME || !m_browser.m_hWnd)
        return;
    EnterGameFromPage();
}

void CDlgLayer::EnterGameFromPage()
{
    std::wstring url;
    try {
        url = m_browser.GetLocationURL();
    } catch (const COleDispatchException& e) {
        LogDispatchFailure(L"Page address not read", e);
    }
    try {
        // The page that asked leaves the login browser's history.
        m_browser.GoBack();
    } catch (const COleDispatchException& e) {
        LogDispatchFailure(L"GoBack failed", e);
    }
    // No address, nothing the game window could load.
    if (!url.empty())
        PostEnterGame(url);
}

bool CDlgLayer::IsSame(IObserver* other)
{
    return other == static_cast<IObserver*>(this);
}

void CDlgLayer::ListenForPageEntry()
{
    if (m_bListening)
        return;
    NotificationCenter::Instance().AddObserver(NT_WEB_ENTER_GAME, this);
    m_bListening = true;
}

void CDlgLayer::StopListeningForPageEntry() noexcept
{
    if (!m_bListening)
        return;
    m_bListening = false;
    try {
        NotificationCenter::Instance().RemoveObserver(NT_WEB_ENTER_GAME, this);
    } catch (...) {
        // RemoveObserver allocates only for the name's text.
    }
}
