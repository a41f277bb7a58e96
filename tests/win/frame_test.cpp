// The borderless frame under Wine with real windows: hand resizing, hit
// tests, cursors, maximised geometry, style and self-deletion.
#include "framework/app.h"
#include "game/skin_flat_panel.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kFrameClass[] = L"QmTestFrame";

class TestPanel : public CSkinFlatPanel {
public:
    bool* deleted = nullptr;
    ~TestPanel() override
    {
        if (deleted)
            *deleted = true;
    }
};

class Frame : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kFrameClass;
        ASSERT_TRUE(AfxRegisterClass(&wc));
        panel = new TestPanel;
        panel->deleted = &deleted;
        const RECT r{100, 80, 100 + 1000, 80 + 700};
        ASSERT_TRUE(panel->CreateEx(0, kFrameClass, L"frame", WS_OVERLAPPEDWINDOW, r, nullptr, 0));
        hwnd = panel->m_hWnd;
        panel->ShowWindow(SW_SHOWNORMAL);
        panel->SetWindowPos(nullptr, 100, 80, 1000, 700, SWP_NOZORDER);
        qmtest::PumpPending();
    }
    void TearDown() override
    {
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
    }

    RECT WindowRect() const
    {
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        return r;
    }
    void Press(int x, int y) { ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void MoveTo(int x, int y) { ::SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Release(int x, int y) { ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

    TestPanel* panel = nullptr;
    HWND hwnd = nullptr;
    bool deleted = false;
};

TEST_F(Frame, CreationStripsTheSystemFrameAndSetsFivePixelZones)
{
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    EXPECT_EQ(style & WS_CAPTION, 0u);
    EXPECT_EQ(style & WS_BORDER, 0u);
    EXPECT_EQ(style & WS_THICKFRAME, 0u);
    EXPECT_NE(style & WS_SYSMENU, 0u);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0u);
    EXPECT_NE(style & WS_MAXIMIZEBOX, 0u);
    EXPECT_EQ(panel->m_nBorderLeft, 5);
    EXPECT_EQ(panel->m_nBorderBottom, 5);
    EXPECT_EQ(panel->m_nSizingEdge, kEdgeNone);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const RECT w = WindowRect();
    EXPECT_EQ(client.right, w.right - w.left) << "no frame: the client area is the window";
}

TEST_F(Frame, APressInEachZoneStartsSizingAndMovesSetTheNamedSides)
{
    // The window lies at (100,80)-(1100,780); each drag goes to a screen
    // point that moves the named sides and would move the others too.
    struct Case {
        int x, y, edge;
        POINT target;
        RECT expected;
    };
    const Case cases[] = {{0, 300, kEdgeLeft, {150, 120}, {150, 80, 1100, 780}},
                          {500, 0, kEdgeTop, {150, 120}, {100, 120, 1100, 780}},
                          {999, 300, kEdgeRight, {1200, 850}, {100, 80, 1200, 780}},
                          {500, 699, kEdgeBottom, {1200, 850}, {100, 80, 1100, 850}},
                          {0, 0, kEdgeTopLeft, {150, 120}, {150, 120, 1100, 780}},
                          {999, 0, kEdgeTopRight, {1200, 120}, {100, 120, 1200, 780}},
                          {0, 699, kEdgeBottomLeft, {150, 850}, {150, 80, 1100, 850}},
                          {999, 699, kEdgeBottomRight, {1200, 850}, {100, 80, 1200, 850}}};
    for (const Case& c : cases) {
        panel->SetWindowPos(nullptr, 100, 80, 1000, 700, SWP_NOZORDER);
        Press(c.x, c.y);
        EXPECT_EQ(panel->m_nSizingEdge, c.edge) << c.x << "," << c.y;
        EXPECT_EQ(::GetCapture(), hwnd);
        POINT client = c.target;
        ::ScreenToClient(hwnd, &client);
        MoveTo(client.x, client.y);
        const RECT after = WindowRect();
        EXPECT_TRUE(::EqualRect(&after, &c.expected)) << "edge " << c.edge;
        Release(client.x, client.y);
        EXPECT_EQ(panel->m_nSizingEdge, kEdgeNone);
        EXPECT_NE(::GetCapture(), hwnd);
    }
}

TEST_F(Frame, DraggingTheTopLeftCornerToAScreenPoint)
{
    const RECT before = WindowRect();
    Press(1, 1);
    POINT p{100, 50};
    ::ScreenToClient(hwnd, &p);
    MoveTo(p.x, p.y);
    const RECT after = WindowRect();
    EXPECT_EQ(after.left, 100);
    EXPECT_EQ(after.top, 50);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    Release(0, 0);
}

TEST_F(Frame, APressOutsideTheZonesLeavesSizingIdle)
{
    const RECT before = WindowRect();
    Press(500, 300);
    EXPECT_EQ(panel->m_nSizingEdge, kEdgeNone);
    MoveTo(600, 400);
    const RECT after = WindowRect();
    EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(Frame, LosingTheMouseCaptureEndsAHandResize)
{
    Press(0, 300);
    ASSERT_EQ(panel->m_nSizingEdge, kEdgeLeft);
    HWND thief = ::CreateWindowExW(0, kFrameClass, L"thief", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetCapture(thief);
    EXPECT_EQ(panel->m_nSizingEdge, kEdgeNone);
    const RECT before = WindowRect();
    MoveTo(-50, 300);
    const RECT after = WindowRect();
    EXPECT_TRUE(::EqualRect(&before, &after)) << "moves after the capture loss resize nothing";
    ::ReleaseCapture();
    ::DestroyWindow(thief);
}

TEST_F(Frame, HitTestReportsCaptionInsideAndZonesOnTheEdges)
{
    RECT w = WindowRect();
    EXPECT_EQ(::SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(w.left + 500, w.top + 300)),
              HTCAPTION);
    EXPECT_EQ(panel->HitTestBorder(w.left + 1, w.top + 1, true), kHitTopLeft);
    EXPECT_EQ(panel->HitTestBorder(1, 1, false), kHitTopLeft);
    EXPECT_EQ(panel->HitTestBorder(500, 300, false), kHitClient);
    // A zone is answered by default processing: the client area, so the press
    // reaches the window as a client mouse message.
    EXPECT_EQ(::SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(w.left + 1, w.top + 300)), HTCLIENT);
}

TEST_F(Frame, CursorsFollowTheZones)
{
    const RECT w = WindowRect();
    struct Case {
        int dx, dy;
        LPCWSTR cursor;
        LRESULT result;
    };
    const Case cases[] = {
        {1, 300, IDC_SIZEWE, TRUE},   {500, 1, IDC_SIZENS, TRUE},     {1, 1, IDC_SIZENWSE, TRUE},
        {998, 1, IDC_SIZENESW, TRUE}, {998, 698, IDC_SIZENWSE, TRUE}, {1, 698, IDC_SIZENESW, TRUE},
    };
    for (const Case& c : cases) {
        ::SetCursorPos(w.left + c.dx, w.top + c.dy);
        EXPECT_EQ(::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
                  c.result);
        EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, c.cursor)) << c.dx << "," << c.dy;
    }
    ::SetCursorPos(w.left + 500, w.top + 300);
    ::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
}

RECT ExpectedMaximizedRect()
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

TEST_F(Frame, MaximizeFitsTheWorkAreaAndActivationReappliesIt)
{
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE | 0x2, 0); // low bits are ignored
    ASSERT_TRUE(::IsZoomed(hwnd));
    const RECT expected = ExpectedMaximizedRect();
    RECT r = WindowRect();
    EXPECT_TRUE(::EqualRect(&r, &expected))
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    // On the primary monitor it starts at the origin and never overhangs the
    // screen (Wine's SM_CYMAXIMIZED less two frames would be taller than it).
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_LE(r.bottom, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_LE(r.right, ::GetSystemMetrics(SM_CXSCREEN));

    // Something moves the maximised window; activation puts it back.
    ::SetWindowPos(hwnd, nullptr, 30, 30, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    r = WindowRect();
    EXPECT_TRUE(::EqualRect(&r, &expected));

    // While maximised no zone is active and the whole surface is a caption.
    EXPECT_EQ(panel->HitTestBorder(0, 0, false), kHitClient);
    Press(0, 0);
    EXPECT_EQ(panel->m_nSizingEdge, kEdgeNone);
}

TEST_F(Frame, ActivatingANormalWindowChangesNothing)
{
    const RECT before = WindowRect();
    ::SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    const RECT after = WindowRect();
    EXPECT_TRUE(::EqualRect(&before, &after));
}

TEST_F(Frame, RestoreFromMaximisedGetsTheNormalRectangleBack)
{
    const RECT normal = WindowRect();
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(::IsZoomed(hwnd));
    ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(::IsZoomed(hwnd));
    const RECT restored = WindowRect();
    EXPECT_TRUE(::EqualRect(&normal, &restored));
}

TEST_F(Frame, TheObjectDeletesItselfAfterItsWindowIsDestroyed)
{
    ::DestroyWindow(hwnd);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(::IsWindow(hwnd));
}

} // namespace
