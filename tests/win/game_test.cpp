// The game window under Wine with real windows: creation, layout, painting,
// entering the game, commands, keys and new windows of the page, the boss
// key, the tray icon and the exit sequence.
#include "app/notification.h"
#include "app/tessel_app.h"
#include "framework/app.h"
#include "framework/event_map.h"
#include "framework/handles.h"
#include "framework/occ.h"
#include "framework/variant.h"
#include "game/title_layout.h"
#include "game/wnd_game.h"
#include "login/web_addresses.h"
#include "support/browser_event_args.h"
#include "support/browser_log.h"
#include "support/recording_http_server.h"
#include "support/test_files.h"
#include "support/test_server.h"
#include "support/test_support.h"
#include "web/custom_occ_manager.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <exdispid.h>

#include <string>
#include <vector>

namespace {

std::vector<DWORD> g_trayMessages;
BOOL WINAPI RecordTray(DWORD message, PNOTIFYICONDATAW)
{
    g_trayMessages.push_back(message);
    return TRUE;
}

// Answers WM_FORWARDMSG with g_forwardAnswer and notes the message offered.
const MSG* g_forwarded = nullptr;
LRESULT g_forwardAnswer = 0;
LRESULT CALLBACK AnswerForwardedMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR)
{
    if (message != WM_FORWARDMSG)
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    g_forwarded = reinterpret_cast<const MSG*>(lParam);
    return g_forwardAnswer;
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT WorkArea()
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

// Sends one notification the way posters do.
void Post(const char* name, NotificationArg arg1 = 0)
{
    Notification n(name, arg1, 0, 0);
    NotificationCenter::Instance().Post(&n);
}

class GameWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static CCustomOccManager manager; // every browser gets the launcher's site
        AfxEnableControlContainer(&manager);
    }

    void SetUp() override
    {
        game = CreateGameWindow(&app);
        ASSERT_NE(game, nullptr);
        ASSERT_EQ(app.m_pMainWnd, game);
        hwnd = game->m_hWnd;
        game->m_tray.SetNotifyFunction(RecordTray);
        g_trayMessages.clear();
    }
    void TearDown() override
    {
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        qmtest::PumpPending();
        ::UnregisterHotKey(nullptr, 1);
    }

    void PlaceNormal(int width, int height)
    {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
        ::SetWindowPos(hwnd, nullptr, 40, 30, width, height, SWP_NOZORDER);
        qmtest::PumpPending();
    }

    RECT Rect() const
    {
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        return r;
    }

    CWinApp app{L"test"};
    CWndGame* game = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(GameWindow, CreationLeavesTheFaceToTheFirstShow)
{
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetClassLongPtrW(hwnd, GCL_STYLE),
              static_cast<ULONG_PTR>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
    EXPECT_EQ(game->GetWindowText(), L"Quillmoor");
    EXPECT_NE(game->m_hIcon, nullptr);
    EXPECT_EQ(game->m_nBorderLeft, 2);
    EXPECT_EQ(game->m_nBorderBottom, 2);
    EXPECT_EQ(game->GetStyle() & (WS_CAPTION | WS_THICKFRAME), 0u);
    // Hidden behind the splash and the login window, it holds no browser,
    // button or picture yet.
    EXPECT_EQ(game->m_browserGame.m_hWnd, nullptr);
    EXPECT_EQ(game->m_browserPopup.m_hWnd, nullptr);
    EXPECT_EQ(game->m_btnClose.m_hWnd, nullptr);
    EXPECT_TRUE(game->m_imgTitleLeft.IsNull());

    PlaceNormal(1253, 768);
    ::ShowWindow(hwnd, SW_HIDE);
    PlaceNormal(1253, 768); // a second show builds nothing twice
    int children = 0;
    for (HWND c = ::GetWindow(hwnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, 12) << "two browsers, the page panel and nine buttons";
    ASSERT_NE(game->m_browserGame.m_hWnd, nullptr);
    ASSERT_NE(game->m_browserPopup.m_hWnd, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(game->m_browserGame.m_hWnd), 100);
    EXPECT_EQ(::GetDlgCtrlID(game->m_browserPopup.m_hWnd), 101);
    const RECT popup = ChildRect(hwnd, game->m_browserPopup.m_hWnd);
    EXPECT_EQ(popup.right - popup.left, 0);

    EXPECT_EQ(game->m_imgTitleLeft.GetWidth(), 322);
    EXPECT_EQ(game->m_imgTitleMid.GetWidth(), 173);
    EXPECT_EQ(game->m_imgTitleRight.GetWidth(), 260);
    EXPECT_EQ(game->m_imgLogo.GetWidth(), 89);

    struct Expect {
        GTButton* button;
        int id, width, height;
    };
    const Expect buttons[] = {
        {&game->m_btnClose, 104, 23, 23},    {&game->m_btnMinimize, 105, 23, 23},
        {&game->m_btnMaximize, 106, 23, 23}, {&game->m_btnRestore, 107, 23, 23},
        {&game->m_btnToTray, 188, 23, 23},   {&game->m_btnRefresh, 190, 73, 18},
        {&game->m_btnBossKey, 192, 80, 18},  {&game->m_btnHome, 194, 46, 18},
        {&game->m_btnLink, 196, 46, 18},
    };
    for (const Expect& e : buttons) {
        ASSERT_NE(e.button->m_hWnd, nullptr) << e.id;
        EXPECT_EQ(::GetDlgCtrlID(e.button->m_hWnd), e.id);
        const RECT r = ChildRect(hwnd, e.button->m_hWnd);
        EXPECT_EQ(r.right - r.left, e.width) << e.id;
        EXPECT_EQ(r.bottom - r.top, e.height) << e.id;
    }
    EXPECT_FALSE(game->m_tray.IsShown()) << "no icon before the game is entered";
    EXPECT_EQ(game->m_tray.Data().hWnd, hwnd);
    EXPECT_EQ(game->m_tray.Data().uCallbackMessage, static_cast<UINT>(WM_TRAYNOTIFY));
}

TEST_F(GameWindow, LayoutPlacesButtonsFromTheRightAndTheBrowserUnderTheStrip)
{
    PlaceNormal(1253, 768);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    ASSERT_EQ(client.right, 1253);
    EXPECT_EQ(ChildRect(hwnd, game->m_btnHome.m_hWnd).left, 834);
    EXPECT_EQ(ChildRect(hwnd, game->m_btnClose.m_hWnd).right, 1241);
    EXPECT_EQ(ChildRect(hwnd, game->m_btnClose.m_hWnd).top, 3);
    EXPECT_EQ(ChildRect(hwnd, game->m_btnMaximize.m_hWnd).left,
              ChildRect(hwnd, game->m_btnRestore.m_hWnd).left);
    const RECT browser = ChildRect(hwnd, game->m_browserGame.m_hWnd);
    EXPECT_EQ(browser.left, 2);
    EXPECT_EQ(browser.top, 29);
    EXPECT_EQ(browser.right, 1251);
    EXPECT_EQ(browser.bottom, 766);
}

TEST_F(GameWindow, SizeLimitsAndPaintingWithTheBorderColour)
{
    MINMAXINFO info{};
    ::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, std::min(::GetSystemMetrics(SM_CXMAXIMIZED), 1253));
    EXPECT_EQ(info.ptMinTrackSize.y, std::min(::GetSystemMetrics(SM_CYMAXIMIZED), 768));

    PlaceNormal(1253, 768);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = ::GetDC(hwnd);
    const COLORREF border = ::GetPixel(dc, 0, 400);
    const COLORREF rightBorder = ::GetPixel(dc, 1252, 400);
    const COLORREF strip = ::GetPixel(dc, 600, 12);
    ::ReleaseDC(hwnd, dc);
    EXPECT_EQ(border, RGB(22, 78, 121));
    EXPECT_EQ(rightBorder, RGB(22, 78, 121));
    EXPECT_NE(strip, RGB(22, 78, 121)) << "the tiled middle piece covers the strip";
}

TEST_F(GameWindow, EnterGameWithoutAnAddressChangesNothing)
{
    Post(NT_ENTER_GAME, 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(g_trayMessages.empty());
}

TEST_F(GameWindow, EnterGameShowsTheGamePageMaximisedWithIconAndBossKey)
{
    qmtest::TestServer server;
    ASSERT_TRUE(server.Started());
    const std::wstring url = server.Url(L"/login.php?user=moonwalker");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()));

    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::IsZoomed(hwnd));
    const RECT r = Rect();
    const RECT work = WorkArea();
    EXPECT_TRUE(::EqualRect(&r, &work));
    EXPECT_FALSE(::IsWindowVisible(game->m_btnMaximize.m_hWnd));
    EXPECT_TRUE(::IsWindowVisible(game->m_btnRestore.m_hWnd));
    ASSERT_EQ(g_trayMessages.size(), 1u);
    EXPECT_EQ(g_trayMessages[0], static_cast<DWORD>(NIM_ADD));
    // F9 now belongs to the game window.
    EXPECT_FALSE(::RegisterHotKey(nullptr, 1, 0, VK_F9));

    const bool requested = qmtest::PumpUntil(
        [&] { return server.Log().find("/login.php?user=moonwalker") != std::string::npos; },
        10000);
    EXPECT_TRUE(requested) << server.Log();
}

TEST_F(GameWindow, ASecondEntryWhileAPageIsShownIsIgnored)
{
    qmtest::TestServer server;
    const std::wstring first = server.Url(L"/login.php?n=1");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(first.c_str()));
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] {
            try {
                return !game->m_browserGame.GetLocationURL().empty();
            } catch (const CException&) {
                return false;
            }
        },
        10000));
    ::ShowWindow(hwnd, SW_HIDE);
    const std::wstring second = server.Url(L"/login.php?n=2");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(second.c_str()));
    qmtest::PumpUntil([] { return false; }, 500);
    EXPECT_FALSE(::IsWindowVisible(hwnd)) << "not even the visibility changes";
    EXPECT_EQ(server.Log().find("n=2"), std::string::npos);
    EXPECT_EQ(g_trayMessages.size(), 1u);
}

TEST_F(GameWindow, AGamePageThatCannotBeReachedGivesWayToThePanelUntilTheSiteIsBack)
{
    unsigned short port = 0;
    {
        const qmtest::RecordingHttpServer probe; // a port nothing listens on once it goes
        port = probe.Port();
    }
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/login.php?user=a";
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()));
    CPagePanel& panel = game->m_pagePanel;
    ASSERT_TRUE(qmtest::PumpUntil([&] { return panel.IsShown(); }, 15000));
    EXPECT_EQ(panel.CauseText(), L"Cannot reach the game's servers.");
    EXPECT_FALSE(game->m_browserGame.IsWindowVisible());
    RECT browser{};
    game->GetBrowserRect(&browser);
    const RECT placed = ChildRect(hwnd, panel.m_hWnd);
    EXPECT_TRUE(::EqualRect(&placed, &browser)) << placed.right << "x" << placed.bottom;
    // The window around it works as before: F9 is the game window's, the icon is there.
    EXPECT_FALSE(::RegisterHotKey(nullptr, 1, 0, VK_F9));
    EXPECT_EQ(g_trayMessages.size(), 1u);
    PlaceNormal(1300, 800);
    game->GetBrowserRect(&browser);
    const RECT moved = ChildRect(hwnd, panel.m_hWnd);
    EXPECT_TRUE(::EqualRect(&moved, &browser)) << "the panel follows the browser's place";

    const qmtest::RecordingHttpServer site(port);
    ASSERT_TRUE(site.Running()) << site.Error();
    EXPECT_TRUE(
        qmtest::PumpUntil([&] { return site.Saw("GET /login.php?user=a HTTP/1.1"); }, 17000))
        << "the entry address is tried again";
    EXPECT_TRUE(qmtest::PumpUntil([&] { return !panel.IsShown(); }, 15000));
    EXPECT_TRUE(game->m_browserGame.IsWindowVisible());
}

TEST_F(GameWindow, OnlyARestoreToTheNormalStateCentresTheWindow)
{
    const RECT work = WorkArea();
    const auto centred = [&] {
        const RECT r = Rect();
        return (r.left + r.right) / 2 == (work.left + work.right) / 2 &&
               (r.top + r.bottom) / 2 == (work.top + work.bottom) / 2;
    };
    PlaceNormal(1253, 768); // restored and moved by the player: off centre
    const RECT placed = Rect();
    const struct {
        WPARAM command;
        LPARAM lParam;
    } keepPlace[] = {{SC_KEYMENU, 0}, {SC_SCREENSAVE, 0}, {SC_MONITORPOWER, 2}, {SC_RESTORE, 0}};
    for (const auto& c : keepPlace) {
        ::PostMessageW(hwnd, WM_CANCELMODE, 0, 0); // ends the menu loop the Alt key starts
        ::SendMessageW(hwnd, WM_SYSCOMMAND, c.command, c.lParam);
        const RECT r = Rect();
        EXPECT_TRUE(::EqualRect(&r, &placed)) << std::hex << c.command << " moved the window";
    }
    // Restored from minimised and from maximised: centred, the buttons swapped back.
    for (const WPARAM away : {WPARAM(SC_MINIMIZE), WPARAM(SC_MAXIMIZE)}) {
        PlaceNormal(1253, 768);
        ::SendMessageW(hwnd, WM_SYSCOMMAND, away, 0);
        ASSERT_TRUE(away == SC_MINIMIZE ? ::IsIconic(hwnd) : ::IsZoomed(hwnd));
        // Maximised, it fills the work area; minimised, it is not centred.
        EXPECT_EQ(centred(), away == SC_MAXIMIZE);
        EXPECT_EQ(::IsWindowVisible(game->m_btnRestore.m_hWnd) != FALSE, away == SC_MAXIMIZE);
        ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        ASSERT_FALSE(::IsZoomed(hwnd) || ::IsIconic(hwnd));
        EXPECT_TRUE(centred()) << std::hex << away;
        EXPECT_TRUE(::IsWindowVisible(game->m_btnMaximize.m_hWnd));
        EXPECT_FALSE(::IsWindowVisible(game->m_btnRestore.m_hWnd));
    }
}

TEST_F(GameWindow, MaximiseAndRestoreButtonsPostTheirSystemCommands)
{
    PlaceNormal(1253, 768);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(106, BN_CLICKED), 0);
    EXPECT_TRUE(qmtest::PumpUntil([&] { return ::IsZoomed(hwnd) != FALSE; }, 5000));
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(107, BN_CLICKED), 0);
    EXPECT_TRUE(qmtest::PumpUntil([&] { return !::IsZoomed(hwnd); }, 5000));
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(105, BN_CLICKED), 0);
    EXPECT_TRUE(qmtest::PumpUntil([&] { return ::IsIconic(hwnd) != FALSE; }, 5000));
}

TEST_F(GameWindow, BossKeyTrayAndHideButtonsToggleTheWindow)
{
    PlaceNormal(1253, 768);
    ::SendMessageW(hwnd, WM_HOTKEY, 119, MAKELPARAM(0, VK_F9));
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    ::SendMessageW(hwnd, WM_HOTKEY, 119, MAKELPARAM(0, VK_F9));
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::IsZoomed(hwnd)) << "it always comes back maximised";
    const RECT r = Rect();
    const RECT work = WorkArea();
    EXPECT_TRUE(::EqualRect(&r, &work));
    EXPECT_TRUE(::IsWindowVisible(game->m_btnRestore.m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(game->m_btnMaximize.m_hWnd));

    EXPECT_EQ(::SendMessageW(hwnd, WM_TRAYNOTIFY, 10, WM_LBUTTONDOWN), 1);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::SendMessageW(hwnd, WM_TRAYNOTIFY, 10, WM_RBUTTONDOWN), 0);
    EXPECT_EQ(::SendMessageW(hwnd, WM_TRAYNOTIFY, 10, WM_MOUSEMOVE), 0);
    EXPECT_EQ(::SendMessageW(hwnd, WM_TRAYNOTIFY, 10, WM_LBUTTONDBLCLK), 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));

    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(188, BN_CLICKED), 0);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(192, BN_CLICKED), 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
}

TEST_F(GameWindow, KeysInThePageAreOfferedToItsBrowserAndF5GoesOn)
{
    qmtest::TestServer server;
    const std::wstring url = server.Url(L"/login.php");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()));
    const HWND browser = game->m_browserGame.m_hWnd;
    // A window inside the browser holds the focus, as the page's own do.
    const HWND inner = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 9, 9,
                                         browser, nullptr, nullptr, nullptr);
    ::SetFocus(inner);
    ASSERT_EQ(::GetFocus(), inner);
    ASSERT_TRUE(::SetWindowSubclass(browser, AnswerForwardedMessage, 1, 0));
    // F5 refreshes the page first. Wine has no document to refresh, so its
    // Refresh fails: that failure stays inside, and the key still goes on.
    for (const LRESULT answer : {0, 1}) {
        g_forwardAnswer = answer;
        g_forwarded = nullptr;
        MSG f5{inner, WM_KEYDOWN, VK_F5, 0, 0, {}};
        EXPECT_EQ(game->PreTranslateMessage(&f5), answer != 0) << "the browser's answer counts";
        EXPECT_EQ(g_forwarded, &f5) << "offered to the child that holds the focus";
    }
    ::RemoveWindowSubclass(browser, AnswerForwardedMessage, 1);
    ::SetFocus(nullptr);
    MSG f5{inner, WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_FALSE(game->PreTranslateMessage(&f5)) << "the focus is not in the game window";
}

TEST_F(GameWindow, PageNewWindowsEndInTheSystemBrowser)
{
    qmtest::BrowserLog log;
    ASSERT_TRUE(log.Known());
    PlaceNormal(1253, 768); // the browsers come with the first show
    // Wine fires no NewWindow2: it is delivered as the game browser (100) would.
    qmtest::NewWindow2Args event;
    ASSERT_EQ(AfxRouteControlEvent(game, 100, DISPID_NEWWINDOW2, &event.params), S_OK);
    EXPECT_EQ(event.cancel, VARIANT_FALSE);
    IDispatch* const popup = game->m_browserPopup.GetApplication();
    EXPECT_EQ(event.disp, popup) << "the new window is the popup browser";
    popup->Release();
    if (event.disp)
        event.disp->Release(); // the control's reference, given back as the control would
    // The popup browser (101) then loads the page: its own BeforeNavigate2
    // cancels that and opens the address in the system's browser.
    const std::string marker = "http://127.0.0.1:9/popup?t=" + std::to_string(::GetTickCount64());
    UniqueVariant address(qmtest::Widen(marker).c_str());
    game->m_browserPopup.Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(qmtest::PumpUntil([&] { return log.Has(marker); }, 15000));
    EXPECT_EQ(game->m_browserPopup.GetLocationURL(), L"") << "the popup browser never loads";
}

TEST_F(GameWindow, HomeButtonsOpenTheHomePageInTheSystemBrowser)
{
    qmtest::BrowserLog log;
    ASSERT_TRUE(log.Known());
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(194, BN_CLICKED), 0);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(196, BN_CLICKED), 0);
    EXPECT_TRUE(qmtest::PumpUntil([&] { return log.Lines().size() >= 2; }, 15000));
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    // The game site's home page of the hosts this build was configured with.
    const std::string home = qmtest::Narrow(HomePageAddress());
    EXPECT_EQ(lines[0], home);
    EXPECT_EQ(lines[1], home);
}

TEST_F(GameWindow, CloseButtonShowsOneExitBoxCentredAgainAndAgain)
{
    PlaceNormal(1253, 768);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(104, BN_CLICKED), 0);
    const HWND box = game->m_dlgMsgBox.m_hWnd;
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(::IsWindowVisible(box));
    EXPECT_EQ(::GetWindow(box, GW_OWNER), hwnd);
    ::ShowWindow(box, SW_HIDE);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(104, BN_CLICKED), 0);
    EXPECT_EQ(game->m_dlgMsgBox.m_hWnd, box);
    EXPECT_TRUE(::IsWindowVisible(box));
    EXPECT_TRUE(::IsWindowVisible(hwnd)) << "the game goes on while the box asks";
}

TEST_F(GameWindow, ConfirmingTheExitBoxClosesTheGameAndEndsTheLoop)
{
    PlaceNormal(1253, 768);
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(104, BN_CLICKED), 0);
    const HWND box = game->m_dlgMsgBox.m_hWnd;
    ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(::IsWindowVisible(box)) << "the box hides before the game closes";
    EXPECT_TRUE(::IsWindow(hwnd)) << "closing is posted, not done inside the box's handler";

    MSG msg{};
    bool quit = false;
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    while (!quit && ::GetTickCount64() < deadline) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
    EXPECT_TRUE(quit) << "the application's loop ends with its main window";
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(::IsWindow(box));
    // The deleted window left the bus.
    Post(NT_GAME_QUIT);
    EXPECT_EQ(NotificationCenter::Instance().EntryCount(NT_GAME_QUIT), 0u);
}

TEST_F(GameWindow, KeyboardCloseClosesAtOnceWithoutTheBox)
{
    PlaceNormal(1253, 768);
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    Post(NT_START_UP);
    EXPECT_EQ(NotificationCenter::Instance().EntryCount(NT_START_UP), 0u);
}

TEST_F(GameWindow, ClosingAfterEntryRemovesTheIconAndFreesF9)
{
    qmtest::TestServer server;
    const std::wstring url = server.Url(L"/login.php");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()));
    ASSERT_FALSE(::RegisterHotKey(nullptr, 1, 0, VK_F9));
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    ASSERT_EQ(g_trayMessages.size(), 2u);
    EXPECT_EQ(g_trayMessages[1], static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(::RegisterHotKey(nullptr, 1, 0, VK_F9)) << "F9 is free for other programs";
}

TEST_F(GameWindow, ARestartedNotificationAreaGetsTheIconAgain)
{
    qmtest::TestServer server;
    const std::wstring url = server.Url(L"/login.php");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()));
    ASSERT_EQ(g_trayMessages.size(), 1u);
    ::SendMessageW(hwnd, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(g_trayMessages.size(), 2u);
    EXPECT_EQ(g_trayMessages[1], static_cast<DWORD>(NIM_ADD));
}

TEST_F(GameWindow, ScreenshotOfTheEnteredGame)
{
    qmtest::TestServer server;
    const std::wstring url = server.Url(L"/login.php");
    Post(NT_ENTER_GAME, reinterpret_cast<NotificationArg>(url.c_str()));
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    qmtest::PumpPending();
    // On screen: the border, and the title strip's left piece beside the
    // wordmark as the picture has it (an opaque pixel, so as drawn).
    const CImage& left = game->m_imgTitleLeft;
    const BYTE* px = static_cast<const BYTE*>(left.GetBits()) + 13 * left.GetPitch() + 200 * 4;
    ASSERT_EQ(px[3], 255) << "the sample point is opaque in the picture";
    HDC screen = ::GetDC(nullptr);
    const COLORREF border = ::GetPixel(screen, 0, 400);
    const COLORREF strip = ::GetPixel(screen, 2 + 200, 2 + 13);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(border, RGB(22, 78, 121));
    EXPECT_EQ(strip, RGB(px[2], px[1], px[0]));
    EXPECT_TRUE(qmtest::SaveScreenshot(L"game-window"));
}

} // namespace
