// The game window's face: layout of its children and its painting.
#include "game/title_layout.h"
#include "game/wnd_game.h"
#include "skin/mem_dc.h"
#include "skin/tile_image.h"

#include <algorithm>

namespace {
constexpr COLORREF kBorderColour = RGB(22, 78, 121);
constexpr int kLogoOffset = 5;
// The smallest size a player can drag the window to, at 96 DPI.
constexpr int kMinWidth = 1253;
constexpr int kMinHeight = 768;
} // namespace

void CWndGame::GetBrowserRect(RECT* out) const
{
    RECT client{};
    GetClientRect(&client);
    const BrowserRect r =
        GameBrowserRect(client.right, client.bottom,
                        m_imgTitleLeft.IsNull() ? 0 : m_imgTitleLeft.GetHeight(), m_scale);
    *out = {r.left, r.top, r.right, r.bottom};
}

void CWndGame::OnSize(UINT, int cx, int cy)
{
    Default();
    LayOut(cx, cy);
}

void CWndGame::LayOut(int cx, int cy)
{
    if (cx == 0 || cy == 0)
        return; // minimised: nothing to lay out
    if (m_browserGame.m_hWnd) {
        RECT r{};
        GetBrowserRect(&r);
        m_browserGame.SetWindowPos(nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
        m_pagePanel.FollowBrowser();
    }
    if (m_btnClose.m_hWnd) {
        RECT client{};
        GetClientRect(&client);
        const DpiScale& scale = m_scale;
        const int y = client.top + scale.Length(kTitleButtonTop);
        for (const unsigned id : {kBtnClose, kBtnMaximize, kBtnRestore, kBtnMinimize, kBtnToTray,
                                  kBtnBossKey, kBtnRefresh, kBtnLink, kBtnHome}) {
            TitleButton(id)->SetWindowPos(nullptr, TitleButtonX(id, client.right, scale), y, 0, 0,
                                          SWP_NOSIZE);
        }
    }
}

void CWndGame::OnPaint()
{
    CPaintDC paint(this);
    RECT r{};
    GetClientRect(&r);
    {
        // Everything below lands in one off-screen bitmap, copied in one go.
        CMemDC2005 dc(&paint, &r);
        dc.FillSolidRect(r, kBorderColour);
        const DpiScale& scale = m_scale;
        const int inset = scale.Length(kGameBorder);
        ::InflateRect(&r, -inset, -inset);
        m_imgTitleLeft.Draw(dc, r.left, r.top);
        m_imgTitleRight.Draw(dc, r.right - m_imgTitleRight.GetWidth(), r.top);
        TileImage(&m_imgTitleMid, dc, r.left + m_imgTitleLeft.GetWidth(), r.top,
                  r.right - m_imgTitleRight.GetWidth() - m_imgTitleLeft.GetWidth() - r.left,
                  m_imgTitleMid.GetHeight());
        const int logo = scale.Length(kLogoOffset);
        m_imgLogo.Draw(dc, r.left + logo, r.top + logo);
    }
}

void CWndGame::OnGetMinMaxInfo(MINMAXINFO* info)
{
    const DpiScale& scale = m_scale;
    info->ptMinTrackSize.x = std::min(::GetSystemMetrics(SM_CXMAXIMIZED), scale.Length(kMinWidth));
    info->ptMinTrackSize.y = std::min(::GetSystemMetrics(SM_CYMAXIMIZED), scale.Length(kMinHeight));
    Default();
}
