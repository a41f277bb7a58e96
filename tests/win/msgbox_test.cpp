// The exit confirmation under Wine: its picture, its two image buttons, what
// confirming and declining post, and how the box looks over a window.
#include "app/notification.h"
#include "framework/app.h"
#include "game/dlg_msg_box.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class QuitWitness final : public IObserver {
public:
    explicit QuitWitness(HWND box) : m_box(box) {}
    int calls = 0;
    bool boxVisibleDuringPost = false;
    void OnNotify(INotification*) override
    {
        ++calls;
        boxVisibleDuringPost = ::IsWindowVisible(m_box) != FALSE;
    }
    bool IsSame(IObserver* other) override { return other == this; }

private:
    HWND m_box;
};

RECT ChildRect(HWND parent, HWND child)
{
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class ExitBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(box.Create(166, nullptr));
        witness = std::make_unique<QuitWitness>(box.m_hWnd);
        NotificationCenter::Instance().AddObserver(NT_GAME_QUIT, witness.get());
    }
    void TearDown() override
    {
        NotificationCenter::Instance().RemoveObserver(NT_GAME_QUIT, witness.get());
    }
    void ShowAndFocus()
    {
        box.CenterWindow();
        box.ShowWindow(SW_SHOW);
        ::SetForegroundWindow(box.m_hWnd);
        ::SetFocus(box.m_btnOK.m_hWnd);
    }

    CWinApp app{L"test"};
    CDlgMsgBox box;
    std::unique_ptr<QuitWitness> witness;
};

TEST_F(ExitBox, TakesThePicturesSizeAndHasNoFrame)
{
    RECT client{};
    box.GetClientRect(&client);
    EXPECT_EQ(client.right, 226);
    EXPECT_EQ(client.bottom, 104);
    const DWORD style = box.GetStyle();
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(box.GetExStyle() & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE), 0u);
    EXPECT_FALSE(box.IsWindowVisible()) << "created hidden; the game window shows it";
}

TEST_F(ExitBox, ButtonsArePlacedFromThePicturesSize)
{
    const RECT ok = ChildRect(box.m_hWnd, box.m_btnOK.m_hWnd);
    const RECT cancel = ChildRect(box.m_hWnd, box.m_btnCancel.m_hWnd);
    EXPECT_EQ(ok.left, 30);
    EXPECT_EQ(ok.right - 1, 99);
    EXPECT_EQ(ok.top, 64);
    EXPECT_EQ(ok.bottom - 1, 91);
    EXPECT_EQ(cancel.left, 130);
    EXPECT_EQ(cancel.right - 1, 199);
    EXPECT_EQ(cancel.top, 64);
    EXPECT_EQ(cancel.bottom - 1, 91);
    EXPECT_NE(box.m_btnOK.GetStyle() & BS_OWNERDRAW, 0u);
}

TEST_F(ExitBox, ConfirmPostsOneQuitThenHides)
{
    ShowAndFocus();
    ::SendMessageW(box.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(box.m_btnOK.m_hWnd));
    EXPECT_EQ(witness->calls, 1);
    EXPECT_TRUE(witness->boxVisibleDuringPost) << "the post comes before the box hides";
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_TRUE(::IsWindow(box.m_hWnd));
}

TEST_F(ExitBox, DeclinePostsNothingAndHides)
{
    ShowAndFocus();
    ::SendMessageW(box.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(box.m_btnCancel.m_hWnd));
    EXPECT_EQ(witness->calls, 0);
    EXPECT_FALSE(box.IsWindowVisible());
}

TEST_F(ExitBox, EnterConfirmsAndEscDeclines)
{
    ShowAndFocus();
    MSG esc{box.m_btnOK.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(app.PreTranslateMessage(&esc));
    qmtest::PumpPending();
    EXPECT_EQ(witness->calls, 0);
    EXPECT_FALSE(box.IsWindowVisible());

    ShowAndFocus();
    MSG enter{box.m_btnOK.m_hWnd, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(app.PreTranslateMessage(&enter));
    qmtest::PumpPending();
    EXPECT_EQ(witness->calls, 1);
    EXPECT_FALSE(box.IsWindowVisible());
}

TEST_F(ExitBox, AClickOnTheConfirmButtonConfirms)
{
    ShowAndFocus();
    const HWND ok = box.m_btnOK.m_hWnd;
    ::SendMessageW(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::SendMessageW(ok, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    qmtest::PumpPending();
    EXPECT_EQ(witness->calls, 1);
    EXPECT_FALSE(box.IsWindowVisible());
}

TEST_F(ExitBox, ShownAgainItIsTheSameWindowWithTheSameLook)
{
    const HWND first = box.m_hWnd;
    ShowAndFocus();
    ::SendMessageW(box.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ShowAndFocus();
    EXPECT_EQ(box.m_hWnd, first);
    EXPECT_TRUE(box.IsWindowVisible());
    RECT client{};
    box.GetClientRect(&client);
    EXPECT_EQ(client.right, 226);
}

TEST_F(ExitBox, PaintsItsPictureOverAWindowAndIsPhotographed)
{
    // A plain window for the box to sit over, as the game window would be.
    HWND backdrop = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 500, 300, 600, 300,
                                      nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(backdrop, nullptr);
    ShowAndFocus();
    ::UpdateWindow(box.m_hWnd);
    qmtest::PumpPending();

    // An opaque pixel of the picture's face shows on screen as drawn.
    RECT w{};
    box.GetWindowRect(&w);
    HDC screen = ::GetDC(nullptr);
    const COLORREF centre = ::GetPixel(screen, w.left + 113, w.top + 20);
    ::ReleaseDC(nullptr, screen);
    const BYTE* px = static_cast<const BYTE*>(box.m_imgBackground.GetBits()) +
                     20 * box.m_imgBackground.GetPitch() + 113 * 4;
    ASSERT_EQ(px[3], 255) << "the sample point is opaque in the picture";
    EXPECT_EQ(centre, RGB(px[2], px[1], px[0]));

    EXPECT_TRUE(qmtest::SaveScreenshot(L"exit-box"));
    ::DestroyWindow(backdrop);
}

} // namespace
