// The login window and its web layer under Wine, with real windows and the
// real WebBrowser control: the shaped picture, the layer over it, the page
// browser loading the login page from the game site, game entry, the links,
// the keys, minimising, and the ways the process ends (in child processes,
// since closing the login window ends its process).
//
// Wine has no HTML engine here: a navigation fires BeforeNavigate2 and sends
// its request, then ends in NavigateError. A navigation of the page itself
// is driven with Navigate2; a frame's navigation, which needs a page with
// frames, and NewWindow2 are delivered through the event routing with the
// argument types the control uses.
#include "app/notification.h"
#include "app/tessel_app.h"
#include "common/deploy_config.h"
#include "framework/dispatch.h"
#include "framework/event_map.h"
#include "framework/handles.h"
#include "framework/image.h"
#include "framework/occ.h"
#include "framework/ole_site.h"
#include "framework/variant.h"
#include "game/wnd_game.h"
#include "login/dlg_layer.h"
#include "login/tessel_dlg.h"
#include "login/web_addresses.h"
#include "resource.h"
#include "skin/png_resource.h"
#include "support/browser_event_args.h"
#include "support/browser_log.h"
#include "support/recording_http_server.h"
#include "support/test_files.h"
#include "support/test_support.h"
#include "web/custom_occ_manager.h"
#include "web/imp_idispatch.h"
#include "web/page_panel.h"

#include <urlmon.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 15000;
constexpr int kPictureWidth = 1194;
constexpr int kPictureHeight = 685;

using qmtest::Narrow;

// Stands in for the game site, on a free port whatever hosts the build was
// configured with: the layer is given its login page there.
using GameSite = qmtest::RecordingHttpServer;

// Records every NT_ENTER_GAME: a copy of the address it carries, taken while
// the post is delivered, and its other two arguments.
class EntryWitness final : public IObserver {
public:
    struct Entry {
        std::wstring url;
        NotificationArg arg2;
        NotificationArg arg3;
    };
    std::vector<Entry> entries;

    void OnNotify(INotification* notification) override
    {
        const auto* text = reinterpret_cast<const wchar_t*>(notification->Arg1());
        entries.push_back(
            {text ? text : L"(no address)", notification->Arg2(), notification->Arg3()});
    }
    bool IsSame(IObserver* other) override { return other == this; }
};

CCustomOccManager& LauncherManager()
{
    static CCustomOccManager manager; // outlives every control, as in the launcher
    return manager;
}

// True when `upper` lies above `lower` in the z-order of top-level windows.
bool IsAbove(HWND upper, HWND lower)
{
    for (HWND w = ::GetWindow(lower, GW_HWNDPREV); w; w = ::GetWindow(w, GW_HWNDPREV))
        if (w == upper)
            return true;
    return false;
}

RECT ScreenRect(HWND hwnd)
{
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child)
{
    RECT r = ScreenRect(child);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

POINT ClientOrigin(HWND hwnd)
{
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    return origin;
}

void Click(HWND button)
{
    ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

ComPtr<IWebBrowser2> WebBrowserOf(const CWnd& control)
{
    ComPtr<IWebBrowser2> browser;
    ComPtr<IUnknown>(control.GetControlUnknown()).query(IID_IWebBrowser2, browser);
    return browser;
}

using qmtest::BeforeNavigate2Args;
using qmtest::NavigateErrorArgs;
using qmtest::NewWindow2Args;

// A port nothing listens on (one a server just gave up), for a site that is down.
unsigned short ClosedPort()
{
    const GameSite probe;
    return probe.Port();
}

// The whole seconds of a countdown line, "Trying again in 8 s"; -1 for
// any other text.
int CountdownSeconds(const std::wstring& line)
{
    const std::wstring prefix = L"Trying again in ";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return -1;
    return std::stoi(line.substr(prefix.size()));
}

// The hidden window that stands for the game window as the login window's
// first owner.
class OwnerWnd : public CWnd {
public:
    bool Make()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QmLoginTestOwner";
        const RECT r{0, 0, 200, 100};
        return AfxRegisterClass(&wc) &&
               CreateEx(0, wc.lpszClassName, L"owner", WS_POPUP, r, nullptr, 0);
    }
};

class LoginWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.m_pImpIDispatch = &script;
        AfxEnableControlContainer(&LauncherManager());
        ASSERT_TRUE(owner.Make());
        NotificationCenter::Instance().AddObserver(NT_ENTER_GAME, &witness);
    }
    void TearDown() override
    {
        login.reset();
        NotificationCenter::Instance().RemoveObserver(NT_ENTER_GAME, &witness);
    }

    // Creates and shows the login window as the game window does, with its
    // login page on `site` when one is given.
    void Open(const GameSite* site = nullptr) { OpenAt(site ? site->Url(L"/client") : L""); }
    // The same with the login page at `loginPage` (empty: the configured one).
    void OpenAt(const std::wstring& loginPage)
    {
        login = std::make_unique<CTesselDlg>();
        Layer().m_strLoginPage = loginPage;
        ASSERT_TRUE(login->Create(IDD_UPDATE_LOGIN, &owner));
        login->CenterWindow();
        login->BringWindowToTop();
        ASSERT_NE(Layer().m_hWnd, nullptr);
        Layer().ShowWindow(SW_SHOW);
        login->ShowWindow(SW_SHOW);
        qmtest::PumpPending();
    }

    CDlgLayer& Layer() { return login->m_layer; }

    void NavigatePage(const std::wstring& url)
    {
        UniqueVariant address(url.c_str());
        UniqueVariant empty;
        Layer().m_browser.Navigate2(address.get(), empty.get(), empty.get(), empty.get(),
                                    empty.get());
    }

    // Navigates somewhere harmless and waits for that request: every
    // request sent before it has arrived by then.
    void AwaitRequestsUpTo(GameSite& site, const std::string& path)
    {
        NavigatePage(site.Url(qmtest::Widen(path)));
        ASSERT_TRUE(
            qmtest::PumpUntil([&] { return site.Saw("GET " + path + " HTTP/1.1"); }, kWaitMs))
            << "requests seen: " << site.Requests().size();
    }

    CTesselApp app;
    CImpIDispatch script;
    OwnerWnd owner;
    EntryWitness witness;
    std::unique_ptr<CTesselDlg> login;
};

TEST_F(LoginWindow, TakesThePicturesSizeIsLayeredAndStandsAlone)
{
    Open();
    const HWND hwnd = login->m_hWnd;
    const RECT r = ScreenRect(hwnd);
    EXPECT_EQ(r.right - r.left, kPictureWidth);
    EXPECT_EQ(r.bottom - r.top, kPictureHeight);
    EXPECT_NE(login->GetExStyle() & WS_EX_LAYERED, 0u);
    EXPECT_TRUE(login->IsWindowVisible());
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), nullptr) << "created owned, then made unowned";
    EXPECT_EQ(login->GetWindowText(), L"Quillmoor");

    const HICON appIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    ASSERT_NE(appIcon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)), appIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0)), appIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_QUERYDRAGICON, 0, 0)), appIcon);

    // Centred on the work area, as no owner is left to centre on.
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info);
    EXPECT_EQ(r.left, (info.rcWork.left + info.rcWork.right) / 2 - kPictureWidth / 2);
    EXPECT_EQ(r.top, (info.rcWork.top + info.rcWork.bottom) / 2 - kPictureHeight / 2);
}

TEST_F(LoginWindow, ShowsThePicturePremultipliedOnceAndKeepsNoCopy)
{
    Open();
    EXPECT_TRUE(login->m_image.IsNull()) << "the layered window holds the picture";
    CImage straight;
    ASSERT_TRUE(LoadPngResource(&straight, 140));
    // Read from the screen: with no compositor, X shows a layered window's
    // colour bytes as they are, premultiplied, and ignores their alpha.
    const RECT window = ScreenRect(login->m_hWnd);
    const HDC shown = ::GetDC(nullptr);
    ASSERT_NE(shown, nullptr);
    int checked = 0;
    for (int y = 0; y < kPictureHeight && checked < 50; y += 7) {
        const auto* in = static_cast<const BYTE*>(straight.GetBits()) + y * straight.GetPitch();
        for (int x = 0; x < kPictureWidth && checked < 50; ++x) {
            const BYTE* p = in + x * 4;
            const BYTE a = p[3];
            if (a == 0 || a == 255 || (p[0] | p[1] | p[2]) == 0)
                continue;
            const COLORREF pixel = ::GetPixel(shown, window.left + x, window.top + y);
            ASSERT_EQ(GetBValue(pixel), p[0] * a / 255) << x << "," << y;
            ASSERT_EQ(GetGValue(pixel), p[1] * a / 255) << x << "," << y;
            ASSERT_EQ(GetRValue(pixel), p[2] * a / 255) << x << "," << y;
            ++checked;
        }
    }
    ::ReleaseDC(nullptr, shown);
    EXPECT_EQ(checked, 50) << "the picture has half-transparent pixels to check";
}

TEST_F(LoginWindow, LayerLiesExactlyOverTheLoginWindowWithItsColourKey)
{
    Open();
    const HWND layer = Layer().m_hWnd;
    EXPECT_EQ(::GetWindow(layer, GW_OWNER), login->m_hWnd);
    EXPECT_TRUE(::IsWindowVisible(layer));
    const RECT window = ScreenRect(login->m_hWnd);
    const POINT origin = ClientOrigin(layer);
    EXPECT_EQ(origin.x, window.left);
    EXPECT_EQ(origin.y, window.top);
    RECT client{};
    ::GetClientRect(layer, &client);
    EXPECT_EQ(client.right, kPictureWidth);
    EXPECT_EQ(client.bottom, kPictureHeight);

    EXPECT_NE(Layer().GetExStyle() & WS_EX_LAYERED, 0u);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(layer, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(255, 0, 255));
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(flags, DWORD(LWA_COLORKEY | LWA_ALPHA));
}

TEST_F(LoginWindow, LayerPaintsItsBackgroundInTheKeyColour)
{
    Open();
    const WindowDC screen(nullptr);
    const UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
    const UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 40, 40));
    ASSERT_TRUE(memory && bitmap);
    const SelectObjectScope select(memory.get(), bitmap.get());
    ::SetPixel(memory.get(), 5, 5, RGB(1, 2, 3));
    EXPECT_EQ(
        ::SendMessageW(Layer().m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.get()), 0),
        0);
    EXPECT_EQ(::GetPixel(memory.get(), 5, 5), RGB(255, 0, 255));
    EXPECT_EQ(::GetPixel(memory.get(), 39, 39), RGB(255, 0, 255));
}

TEST_F(LoginWindow, LayerFollowsWhenTheLoginWindowMoves)
{
    Open();
    const HWND layer = Layer().m_hWnd;
    const POINT places[] = {{100, 50}, {-40, 30}, {700, -20}, {333, 211}};
    for (const POINT& at : places) {
        ASSERT_TRUE(login->SetWindowPos(nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
        const RECT window = ScreenRect(login->m_hWnd);
        EXPECT_EQ(window.left, at.x);
        EXPECT_EQ(window.top, at.y);
        const POINT origin = ClientOrigin(layer);
        EXPECT_EQ(origin.x, at.x) << "moved to " << at.x << "," << at.y;
        EXPECT_EQ(origin.y, at.y) << "moved to " << at.x << "," << at.y;
    }
    RECT client{};
    ::GetClientRect(layer, &client);
    EXPECT_EQ(client.right, kPictureWidth) << "moving keeps the size";
}

TEST_F(LoginWindow, EveryPointDragsTheWindow)
{
    Open();
    const RECT r = ScreenRect(login->m_hWnd);
    const POINT points[] = {{r.left, r.top},
                            {r.left + 2, r.bottom - 3},
                            {r.left + 600, r.top + 400},
                            {r.left + 300, r.top + 200},
                            {r.left + 1020, r.top + 138}};
    for (const POINT& p : points)
        EXPECT_EQ(::SendMessageW(login->m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTCAPTION)
            << p.x - r.left << "," << p.y - r.top;
}

TEST_F(LoginWindow, KeyboardFocusGoesToTheLayer)
{
    Open();
    // The picture takes no input; the page does. (Wine also raises the
    // focused window on screen, so this keeps the layer visible there.)
    ::SetFocus(login->m_hWnd);
    qmtest::PumpPending();
    const HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == Layer().m_hWnd || ::IsChild(Layer().m_hWnd, focus))
        << "focus is on " << focus << ", the login window is " << login->m_hWnd;
    EXPECT_TRUE(IsAbove(Layer().m_hWnd, login->m_hWnd));
}

TEST_F(LoginWindow, PageAndPopupBrowsersAreWhereTheyBelong)
{
    Open();
    const HWND layer = Layer().m_hWnd;
    const HWND page = ::GetDlgItem(layer, 1000);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page, Layer().m_browser.m_hWnd);
    const RECT placed = ChildRect(layer, page);
    const RECT expected{385, 232, 385 + 650, 232 + 330};
    EXPECT_TRUE(::EqualRect(&placed, &expected))
        << placed.left << "," << placed.top << " " << placed.right << "," << placed.bottom;

    const HWND popup = ::GetDlgItem(layer, 1001);
    ASSERT_NE(popup, nullptr) << "the popup browser exists";
    EXPECT_EQ(popup, Layer().m_browserPopup.m_hWnd);
    const RECT popupRect = ScreenRect(popup);
    EXPECT_EQ(popupRect.right - popupRect.left, 0);
    EXPECT_EQ(popupRect.bottom - popupRect.top, 0);

    const ComPtr<IWebBrowser2> pageBrowser = WebBrowserOf(Layer().m_browser);
    const ComPtr<IWebBrowser2> popupBrowser = WebBrowserOf(Layer().m_browserPopup);
    ASSERT_TRUE(pageBrowser && popupBrowser);
    VARIANT_BOOL value = VARIANT_FALSE;
    ASSERT_EQ(popupBrowser->get_Silent(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
    value = VARIANT_FALSE;
    ASSERT_EQ(pageBrowser->get_RegisterAsBrowser(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
    EXPECT_EQ(Layer().m_strEnterMarker, L"login.php");
    EXPECT_EQ(Layer().m_strLoginPage, LoginPageAddress()) << "on the configured game site";
}

TEST_F(LoginWindow, SixButtonsSitAtTheirPlacesInTheirFacesSizes)
{
    Open();
    struct Expected {
        int id;
        RECT rect;
    };
    const Expected buttons[] = {
        {110, {950, 120, 991, 156}}, {109, {1000, 120, 1041, 156}}, {184, {455, 190, 597, 226}},
        {182, {595, 190, 737, 226}}, {186, {735, 190, 877, 226}},   {180, {875, 190, 1017, 226}},
    };
    const HWND layer = Layer().m_hWnd;
    for (const Expected& b : buttons) {
        const HWND button = ::GetDlgItem(layer, b.id);
        ASSERT_NE(button, nullptr) << b.id;
        const RECT placed = ChildRect(layer, button);
        EXPECT_TRUE(::EqualRect(&placed, &b.rect))
            << b.id << ": " << placed.left << "," << placed.top << " " << placed.right << ","
            << placed.bottom;
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(button, GWL_STYLE));
        EXPECT_EQ(style & BS_TYPEMASK, DWORD(BS_OWNERDRAW)) << b.id;
        EXPECT_TRUE(::IsWindowVisible(button)) << b.id;
    }
    EXPECT_EQ(Layer().m_btnClose.m_hWnd, ::GetDlgItem(layer, 109));
    EXPECT_EQ(Layer().m_btnMinimize.m_hWnd, ::GetDlgItem(layer, 110));
    EXPECT_EQ(Layer().m_btnForum.m_hWnd, ::GetDlgItem(layer, 180));
}

TEST_F(LoginWindow, PageBrowserLoadsTheLoginPageFromTheGameSite)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    Open(&site);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return site.Saw("GET /client HTTP/1.1"); }, kWaitMs))
        << "requests seen: " << site.Requests().size();
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] { return Layer().m_browser.GetLocationURL() == site.Url(L"/client"); }, kWaitMs))
        << Narrow(Layer().m_browser.GetLocationURL());
    EXPECT_TRUE(witness.entries.empty());
}

TEST_F(LoginWindow, UnreachableLoginPageGivesWayToThePanelUntilTheSiteIsBack)
{
    const unsigned short port = ClosedPort();
    OpenAt(L"http://127.0.0.1:" + std::to_wstring(port) + L"/client");
    CPagePanel& panel = Layer().m_pagePanel;
    ASSERT_TRUE(qmtest::PumpUntil([&] { return panel.IsShown(); }, kWaitMs));
    EXPECT_FALSE(Layer().m_browser.IsWindowVisible()) << "the browser's own error page is not seen";
    const RECT placed = ChildRect(Layer().m_hWnd, panel.m_hWnd);
    const RECT page{385, 232, 385 + 650, 232 + 330};
    EXPECT_TRUE(::EqualRect(&placed, &page))
        << placed.left << "," << placed.top << " " << placed.right << "," << placed.bottom;
    EXPECT_EQ(panel.CauseText(), L"Cannot reach the game's servers.");
    EXPECT_EQ(qmtest::WindowText(panel.m_hWnd), panel.CauseText() + L"\n" + panel.CountdownText());
    const HWND retry = ::GetDlgItem(panel.m_hWnd, IDC_PAGE_RETRY);
    ASSERT_NE(retry, nullptr);
    const RECT button = ChildRect(panel.m_hWnd, retry);
    EXPECT_EQ(button.right - button.left, 112);
    EXPECT_EQ(button.left, (650 - 112) / 2);

    // Back while the panel counts down: the page is asked for again before
    // the count has run out, and takes the panel's place again.
    int shown = -1;
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] { return (shown = CountdownSeconds(panel.CountdownText())) > 0; }, kWaitMs));
    EXPECT_LE(shown, 16) << "the first tries wait 4, 8 and 16 s at the most";
    const ULONGLONG back = ::GetTickCount64();
    GameSite site(port);
    ASSERT_TRUE(site.Running()) << site.Error();
    ASSERT_TRUE(qmtest::PumpUntil([&] { return site.Saw("GET /client HTTP/1.1"); },
                                  static_cast<DWORD>(shown) * 1000 + 500));
    EXPECT_LE(::GetTickCount64() - back, static_cast<ULONGLONG>(shown) * 1000 + 500);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return !panel.IsShown(); }, kWaitMs));
    EXPECT_TRUE(Layer().m_browser.IsWindowVisible());
    EXPECT_TRUE(witness.entries.empty());
}

TEST_F(LoginWindow, EachAnswerOfTheSiteShowsItsCauseOrNoPanel)
{
    const struct {
        int answer;
        const wchar_t* cause; // null: the page came, no panel
    } cases[] = {
        {503, L"The game's server answered with an error (HTTP 503)."},
        {0, L"Cannot reach the game's servers."},
        {404, L"The game's server answered with an error (HTTP 404)."},
        {200, nullptr},
    };
    for (const auto& c : cases) {
        GameSite site;
        ASSERT_TRUE(site.Running());
        site.SetAnswer(c.answer);
        Open(&site);
        CPagePanel& panel = Layer().m_pagePanel;
        ASSERT_TRUE(qmtest::PumpUntil([&] { return site.Saw("GET /client HTTP/1.1"); }, kWaitMs));
        if (c.cause) {
            ASSERT_TRUE(qmtest::PumpUntil([&] { return panel.IsShown(); }, kWaitMs)) << c.answer;
            EXPECT_EQ(panel.CauseText(), c.cause);
        }
        // Wine ends each of them with 0x800C0010 too: it must not hide the panel.
        AwaitRequestsUpTo(site, "/client"); // one more round trip of the same kind
        qmtest::PumpUntil([] { return false; }, 300);
        EXPECT_EQ(panel.IsShown(), c.cause != nullptr) << c.answer;
        EXPECT_EQ(Layer().m_browser.IsWindowVisible() != FALSE, c.cause == nullptr) << c.answer;
        login.reset();
    }
}

TEST_F(LoginWindow, RetryAsksForTheLoginPageAtOnce)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    site.SetAnswer(503);
    Open(&site);
    CPagePanel& panel = Layer().m_pagePanel;
    ASSERT_TRUE(qmtest::PumpUntil([&] { return panel.IsShown(); }, kWaitMs));
    ASSERT_GT(CountdownSeconds(panel.CountdownText()), 0);
    const std::size_t before = site.Requests().size();
    Click(::GetDlgItem(panel.m_hWnd, IDC_PAGE_RETRY));
    EXPECT_EQ(panel.CountdownText(), L"Trying again\u2026");
    // Well before the shortest automatic wait, 2 s.
    EXPECT_TRUE(qmtest::PumpUntil([&] { return site.Requests().size() > before; }, 1500));
    EXPECT_EQ(site.Requests().back(), "GET /client HTTP/1.1");
    EXPECT_TRUE(
        qmtest::PumpUntil([&] { return CountdownSeconds(panel.CountdownText()) > 0; }, kWaitMs))
        << "the failed try counts down again";
}

TEST_F(LoginWindow, AFailingFrameAndTheNormalEndOfAServedPageShowNoPanel)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    Open(&site);
    AwaitRequestsUpTo(site, "/client");
    ComPtr<IDispatch> frame, page;
    ASSERT_EQ(ComPtr<IUnknown>(Layer().m_browserPopup.GetControlUnknown()).query(frame), S_OK);
    ASSERT_EQ(ComPtr<IUnknown>(Layer().m_browser.GetControlUnknown()).query(page), S_OK);
    for (const LONG code : {LONG(0x800C0008), LONG(503), LONG(0)}) {
        NavigateErrorArgs event(frame.get(), L"http://games.example/frame", code);
        ASSERT_EQ(AfxRouteControlEvent(&Layer(), 1000, DISPID_NAVIGATEERROR, &event.params), S_OK);
        EXPECT_EQ(event.cancel, VARIANT_FALSE) << "a frame keeps its own error page";
    }
    NavigateErrorArgs served(page.get(), site.Url(L"/client").c_str(), LONG(0x800C0010));
    ASSERT_EQ(AfxRouteControlEvent(&Layer(), 1000, DISPID_NAVIGATEERROR, &served.params), S_OK);
    EXPECT_FALSE(Layer().m_pagePanel.IsShown());
    EXPECT_TRUE(Layer().m_browser.IsWindowVisible());
}

TEST_F(LoginWindow, ACertificateProblemIsRefusedAndThePanelSaysTheSecureConnectionFailed)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    Open(&site);
    AwaitRequestsUpTo(site, "/client");
    // What the browser's download asks its host when a certificate does not hold.
    ComPtr<IServiceProvider> services;
    ComPtr<IHttpSecurity> security;
    ASSERT_EQ(ComPtr<IUnknown>(Layer().m_browser.m_pCtrlSite->GetControllingUnknown())
                  .query(IID_IServiceProvider, services),
              S_OK);
    ASSERT_EQ(services->QueryService(IID_IHttpSecurity, IID_IHttpSecurity,
                                     reinterpret_cast<void**>(security.put())),
              S_OK);
    EXPECT_EQ(security->OnSecurityProblem(ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR), S_FALSE);
    EXPECT_EQ(security->OnSecurityProblem(ERROR_INTERNET_SEC_CERT_CN_INVALID), E_ABORT)
        << "no way past a certificate for another name";
    // The stopped download ends in a code that need not say why.
    ComPtr<IDispatch> page;
    ASSERT_EQ(ComPtr<IUnknown>(Layer().m_browser.GetControlUnknown()).query(page), S_OK);
    NavigateErrorArgs event(page.get(), L"https://games.example/client", LONG(E_ABORT));
    ASSERT_EQ(AfxRouteControlEvent(&Layer(), 1000, DISPID_NAVIGATEERROR, &event.params), S_OK);
    EXPECT_EQ(event.cancel, VARIANT_TRUE);
    ASSERT_TRUE(Layer().m_pagePanel.IsShown());
    EXPECT_EQ(Layer().m_pagePanel.CauseText(),
              L"The secure connection to the game's server failed.");
}

TEST_F(LoginWindow, PageNavigationToTheEntryAddressIsCancelledAndPostedOnce)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    Open(&site);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return site.Saw("GET /client HTTP/1.1"); }, kWaitMs));
    const std::string paths[] = {"/login.php?user=a", "/sub/login.php"};
    for (const std::string& path : paths) {
        const std::size_t before = witness.entries.size();
        const std::wstring entry = site.Url(qmtest::Widen(path));
        // Wine fires BeforeNavigate2 once the page's own navigation has ended.
        NavigatePage(entry);
        ASSERT_TRUE(qmtest::PumpUntil([&] { return witness.entries.size() > before; }, kWaitMs))
            << path;
        ASSERT_EQ(witness.entries.size(), before + 1);
        EXPECT_EQ(witness.entries.back().url, entry);
        EXPECT_EQ(witness.entries.back().arg2, 0);
        EXPECT_EQ(witness.entries.back().arg3, 0);
        EXPECT_EQ(Layer().m_browser.GetLocationURL(), site.Url(L"/client")) << "the page stays";
    }
    AwaitRequestsUpTo(site, "/after");
    for (const std::string& path : paths)
        EXPECT_FALSE(site.Saw("GET " + path + " HTTP/1.1")) << "the navigation was cancelled";
    EXPECT_EQ(witness.entries.size(), 2u);
}

TEST_F(LoginWindow, OtherAddressesLoadAndPostNothing)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    Open(&site);
    for (const std::string path : {"/news?id=3", "/Login.php?user=x", "/client/login.ph",
                                   "/reset?next=login.php", "/x/login.php.html"}) {
        NavigatePage(site.Url(qmtest::Widen(path)));
        EXPECT_TRUE(
            qmtest::PumpUntil([&] { return site.Saw("GET " + path + " HTTP/1.1"); }, kWaitMs))
            << path << " was not let through";
    }
    EXPECT_TRUE(witness.entries.empty());
}

TEST_F(LoginWindow, FrameNavigationToTheEntryAddressIsCancelledAndPostedToo)
{
    Open();
    // A frame's navigation names the frame's own browser object, not the
    // page browser; the popup browser's object stands in for one.
    ComPtr<IDispatch> frame;
    ASSERT_EQ(ComPtr<IUnknown>(Layer().m_browserPopup.GetControlUnknown()).query(frame), S_OK);
    const struct {
        const wchar_t* url;
        bool entry;
    } cases[] = {
        {L"http://games.example/login.php?user=a", true},
        {L"http://other.example/sub/login.php", true},
        {L"http://games.example/reset?next=login.php", false},
        {L"http://games.example/x/login.php.html", false},
    };
    for (const auto& c : cases) {
        const std::size_t before = witness.entries.size();
        BeforeNavigate2Args event(frame.get(), c.url);
        ASSERT_EQ(AfxRouteControlEvent(&Layer(), 1000, DISPID_BEFORENAVIGATE2, &event.params),
                  S_OK);
        EXPECT_EQ(event.cancel, c.entry ? VARIANT_TRUE : VARIANT_FALSE) << Narrow(c.url);
        ASSERT_EQ(witness.entries.size(), before + (c.entry ? 1 : 0)) << Narrow(c.url);
        if (c.entry) {
            EXPECT_EQ(witness.entries.back().url, c.url);
        }
    }
}

TEST_F(LoginWindow, NewWindowsEndInTheDefaultBrowser)
{
    qmtest::BrowserLog browserLog;
    ASSERT_TRUE(browserLog.Known()) << "QM_BROWSER_LOG names the browser stub's log";
    Open();
    NewWindow2Args event;
    ASSERT_EQ(AfxRouteControlEvent(&Layer(), 1000, DISPID_NEWWINDOW2, &event.params), S_OK);
    EXPECT_EQ(event.cancel, VARIANT_FALSE);
    ASSERT_NE(event.disp, nullptr);
    ComPtr<IUnknown> popup, given;
    ComPtr<IUnknown>(Layer().m_browserPopup.GetControlUnknown()).query(IID_IUnknown, popup);
    ComPtr<IUnknown>(event.disp).query(IID_IUnknown, given);
    EXPECT_EQ(popup.get(), given.get()) << "the new window is the popup browser";
    event.disp->Release(); // the control's reference, given back as the control would

    // What the control does next: the popup browser is told to load the page.
    const std::string marker = "http://127.0.0.1:9/popup?t=" + std::to_string(::GetTickCount64());
    UniqueVariant url(std::wstring(marker.begin(), marker.end()).c_str());
    Layer().m_browserPopup.Navigate2(url.get(), nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] {
            const auto lines = browserLog.Lines();
            return std::find(lines.begin(), lines.end(), marker) != lines.end();
        },
        kWaitMs));
    EXPECT_EQ(Layer().m_browserPopup.GetLocationURL(), L"") << "the popup browser never loads";
    EXPECT_TRUE(witness.entries.empty());
}

TEST_F(LoginWindow, LinkButtonsOpenTheirPagesInTheDefaultBrowser)
{
    qmtest::BrowserLog browserLog;
    ASSERT_TRUE(browserLog.Known()) << "QM_BROWSER_LOG names the browser stub's log";
    Open();
    for (int id : {184, 182, 186, 180})
        Click(::GetDlgItem(Layer().m_hWnd, id));
    // The compiled-in hosts carry their scheme.
    std::vector<std::string> expected = {
        Narrow(QM_GAME_HOST) + "/",
        Narrow(QM_PAY_HOST) + "/?gameid=223",
        Narrow(QM_PORTAL_HOST) + "/view-2.html",
        Narrow(QM_GAME_HOST) + "/",
    };
    ASSERT_TRUE(qmtest::PumpUntil([&] { return browserLog.Lines().size() >= 4; }, kWaitMs))
        << "lines seen: " << browserLog.Lines().size();
    // Each opens in a process of its own, so they may arrive in any order.
    std::vector<std::string> lines = browserLog.Lines();
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(login->IsWindowVisible()) << "the login window stays";
}

TEST_F(LoginWindow, CloseButtonPostsCloseToTheLoginWindow)
{
    Open();
    Click(Layer().m_btnClose.m_hWnd);
    // Taken off the queue before it is dispatched: handling it would end
    // this process.
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, login->m_hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "only one";
}

TEST_F(LoginWindow, MinimiseButtonMinimisesTheLoginWindowAndTheLayerGoesWithIt)
{
    Open();
    const HWND layer = Layer().m_hWnd;
    const RECT before = ScreenRect(login->m_hWnd);
    Click(Layer().m_btnMinimize.m_hWnd);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return login->IsIconic() != FALSE; }, kWaitMs));
    EXPECT_TRUE(qmtest::PumpUntil([&] { return !::IsWindowVisible(layer); }, kWaitMs))
        << "the owned layer is hidden with its owner";

    login->ShowWindow(SW_RESTORE);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return !login->IsIconic(); }, kWaitMs));
    EXPECT_TRUE(qmtest::PumpUntil([&] { return ::IsWindowVisible(layer) != FALSE; }, kWaitMs))
        << "and shown again with it";
    const RECT after = ScreenRect(login->m_hWnd);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    const POINT origin = ClientOrigin(layer);
    EXPECT_EQ(origin.x, after.left);
    EXPECT_EQ(origin.y, after.top);
}

TEST_F(LoginWindow, EnterAndEscapeEndNeitherDialog)
{
    Open();
    const HWND targets[] = {login->m_hWnd, Layer().m_hWnd, Layer().m_browser.m_hWnd,
                            Layer().m_btnForum.m_hWnd};
    for (const HWND target : targets) {
        for (const WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE)}) {
            MSG msg{target, WM_KEYDOWN, key, 0, 0, {}};
            EXPECT_TRUE(app.PreTranslateMessage(&msg)) << "the message loop does not dispatch it";
            qmtest::PumpPending();
            EXPECT_TRUE(login->IsWindowVisible());
            EXPECT_TRUE(Layer().IsWindowVisible());
        }
    }
    EXPECT_TRUE(witness.entries.empty());
}

TEST_F(LoginWindow, PageCallingEntergameEntersTheGameOnce)
{
    GameSite site;
    ASSERT_TRUE(site.Running());
    Open(&site);
    const std::wstring page = site.Url(L"/client");
    ASSERT_TRUE(
        qmtest::PumpUntil([&] { return Layer().m_browser.GetLocationURL() == page; }, kWaitMs));

    // window.external.entergame(), as the page's script engine calls it.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(script.Invoke(kDispIdEnterGame, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                            nullptr),
              S_OK);
    ASSERT_EQ(witness.entries.size(), 1u);
    EXPECT_EQ(witness.entries[0].url, page) << "the address the page shows";
    EXPECT_EQ(witness.entries[0].arg2, 0);

    ASSERT_EQ(script.Invoke(kDispIdEnterGame, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                            nullptr),
              S_OK);
    EXPECT_EQ(witness.entries.size(), 1u) << "the layer reacts once";
}

TEST_F(LoginWindow, EntergameAfterTheGameWasEnteredChangesNothing)
{
    Open();
    BeforeNavigate2Args event(nullptr, L"http://games.example/login.php");
    ASSERT_EQ(AfxRouteControlEvent(&Layer(), 1000, DISPID_BEFORENAVIGATE2, &event.params), S_OK);
    ASSERT_EQ(witness.entries.size(), 1u);
    Notification fromPage(NT_WEB_ENTER_GAME, 0, 0, 0);
    NotificationCenter::Instance().Post(&fromPage);
    EXPECT_EQ(witness.entries.size(), 1u) << "a game page's entergame reaches no login layer";
}

TEST_F(LoginWindow, LayerThatIsGoneLeavesNoRegistration)
{
    NotificationCenter& bus = NotificationCenter::Instance();
    Notification fromPage(NT_WEB_ENTER_GAME, 0, 0, 0);
    // Each post first drops the entries removed before it.
    bus.Post(&fromPage);
    bus.Post(&fromPage);
    const std::size_t before = bus.EntryCount(NT_WEB_ENTER_GAME);
    Open();
    EXPECT_EQ(bus.EntryCount(NT_WEB_ENTER_GAME), before + 1) << "listening from its creation";
    login.reset();
    bus.Post(&fromPage); // would reach the destroyed layer if it were still registered
    EXPECT_EQ(bus.EntryCount(NT_WEB_ENTER_GAME), before);
    EXPECT_TRUE(witness.entries.empty());
}

TEST_F(LoginWindow, GameWindowShowsTheLoginWindowAtStartUp)
{
    // Not the main window: its end must not end this test's message loop.
    CWndGame* const game = CreateGameWindow(nullptr); // deletes itself with its window
    ASSERT_NE(game, nullptr);
    const HWND gameHwnd = game->m_hWnd;

    Notification startUp(NT_START_UP, 0, 0, 0);
    NotificationCenter::Instance().Post(&startUp);
    const HWND loginHwnd = game->m_dlgLogin.m_hWnd;
    ASSERT_NE(loginHwnd, nullptr);
    const HWND layerHwnd = game->m_dlgLogin.m_layer.m_hWnd;
    ASSERT_NE(layerHwnd, nullptr);
    EXPECT_TRUE(::IsWindowVisible(loginHwnd));
    EXPECT_TRUE(::IsWindowVisible(layerHwnd));
    EXPECT_FALSE(::IsWindowVisible(gameHwnd)) << "the game window stays hidden";
    EXPECT_EQ(::GetWindow(loginHwnd, GW_OWNER), nullptr);
    EXPECT_EQ(::GetWindow(layerHwnd, GW_OWNER), loginHwnd);
    EXPECT_TRUE(IsAbove(layerHwnd, loginHwnd)) << "the layer lies on the picture";
    EXPECT_EQ(qmtest::FindProcessWindow(::GetCurrentProcessId(), L"#32770", L"Quillmoor"),
              loginHwnd);
    const POINT origin = ClientOrigin(layerHwnd);
    const RECT window = ScreenRect(loginHwnd);
    EXPECT_EQ(origin.x, window.left);
    EXPECT_EQ(origin.y, window.top);

    // Hidden and started up again: the same windows are shown again.
    ::ShowWindow(layerHwnd, SW_HIDE);
    ::ShowWindow(loginHwnd, SW_HIDE);
    NotificationCenter::Instance().Post(&startUp);
    EXPECT_EQ(game->m_dlgLogin.m_hWnd, loginHwnd);
    EXPECT_TRUE(::IsWindowVisible(loginHwnd));
    EXPECT_TRUE(::IsWindowVisible(layerHwnd));

    ::DestroyWindow(gameHwnd);
    EXPECT_FALSE(::IsWindow(loginHwnd))
        << "the loginHwnd window goes with the game window's object";
    EXPECT_FALSE(::IsWindow(layerHwnd));
}

// The ways the launcher ends while the login window is up, each in a child
// process that runs the start-up as far as the login window.
class LoginProcess : public ::testing::Test {
protected:
    // Starts driver `name` and waits for its top-level window of `title`.
    HWND Start(const wchar_t* name, const wchar_t* title)
    {
        if (!child.Start(qmtest::ExeDirectory() + name))
            return nullptr;
        HWND found = nullptr;
        qmtest::PumpUntil(
            [&] {
                found = qmtest::FindProcessWindow(child.Id(), L"#32770", title);
                return found && ::IsWindowVisible(found);
            },
            30000);
        return found;
    }

    // The child window of `parent` whose text is `text`, or null.
    static HWND FindChildWithText(HWND parent, const wchar_t* text)
    {
        for (const HWND child : qmtest::ChildWindows(parent))
            if (qmtest::WindowText(child) == text)
                return child;
        return nullptr;
    }

    // The window that `owner` owns, or null.
    static HWND FindOwnedWindow(HWND owner)
    {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(owner, &processId);
        for (const HWND hwnd : qmtest::ProcessWindows(processId))
            if (::GetWindow(hwnd, GW_OWNER) == owner)
                return hwnd;
        return nullptr;
    }

    // Answers the message box with `text` and returns the exit code.
    void ExpectMessageThenExitCode(const wchar_t* driver, const wchar_t* text)
    {
        const std::wstring title = std::wstring(driver).substr(0, std::wstring(driver).find(L'.'));
        const HWND box = Start(driver, title.c_str());
        ASSERT_NE(box, nullptr) << "no message box appeared";
        EXPECT_NE(FindChildWithText(box, text), nullptr) << "the message box says something else";
        EXPECT_TRUE(child.IsRunning()) << "the box waits for the player";
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        DWORD code = 0xFFFF;
        ASSERT_TRUE(child.WaitExit(30000, &code)) << "the launcher did not end";
        EXPECT_EQ(code, 1u);
    }

    qmtest::ChildProcess child;
};

TEST_F(LoginProcess, ClosingTheLoginWindowEndsTheProcessWithCodeZero)
{
    const HWND login = Start(L"login_driver.exe", L"Quillmoor");
    ASSERT_NE(login, nullptr) << "the login window did not appear";
    ASSERT_NE(FindOwnedWindow(login), nullptr) << "its layer is there";
    ::PostMessageW(login, WM_CLOSE, 0, 0);
    DWORD code = 0xFFFF;
    ASSERT_TRUE(child.WaitExit(30000, &code)) << "the process did not end";
    EXPECT_EQ(code, 0u);
}

TEST_F(LoginProcess, CloseButtonEndsTheProcessWithCodeZero)
{
    const HWND login = Start(L"login_driver.exe", L"Quillmoor");
    ASSERT_NE(login, nullptr) << "the login window did not appear";
    const HWND layer = FindOwnedWindow(login);
    ASSERT_NE(layer, nullptr);
    const HWND close = ::GetDlgItem(layer, 109);
    ASSERT_NE(close, nullptr);
    ::PostMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::PostMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    DWORD code = 0xFFFF;
    ASSERT_TRUE(child.WaitExit(30000, &code)) << "the process did not end";
    EXPECT_EQ(code, 0u);
}

TEST_F(LoginProcess, MissingPictureIsReportedAndEndsWithCodeOne)
{
    ExpectMessageThenExitCode(L"login_driver_no_picture.exe", L"启动界面图像装载失败!");
}

TEST_F(LoginProcess, PictureWithoutAlphaIsReportedAndEndsWithCodeOne)
{
    ExpectMessageThenExitCode(L"login_driver_rgb24_picture.exe",
                              L"启动界面图像文件不是有效的32位像素色彩位图!");
}

} // namespace
