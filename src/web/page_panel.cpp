// rand_s, the CRT's draw from the system's random source.
#define _CRT_RAND_S
#include "web/page_panel.h"

#include "common/log.h"
#include "framework/app.h"
#include "framework/dc.h"
#include "framework/dispatch.h"
#include "framework/variant.h"
#include "resource.h"
#include "skin/button_faces.h"
#include "skin/mem_dc.h"
#include "skin/png_resource.h"
#include "skin/screen_scale.h"
#include "web/custom_control_site.h"
#include "web/web_browser2.h"

#include <cstdlib>

namespace {

constexpr UINT_PTR kTickTimer = 1;
// Often enough that the countdown changes within a quarter of a second of
// the true time, and the try starts as late.
constexpr UINT kTickMs = 250;
// How each of the two lines is written: its letters' height at 96 DPI, its
// weight and its ink.
struct LineFace {
    int height;
    int weight;
    COLORREF colour;
};
constexpr LineFace kCauseFace{17, FW_BOLD, RGB(236, 222, 186)};
constexpr LineFace kCountdownFace{14, FW_NORMAL, RGB(214, 170, 88)};

UniqueGdiObject<HFONT> SkinFont(const LineFace& face, const DpiScale& scale) noexcept
{
    return UniqueGdiObject<HFONT>(::CreateFontW(
        -scale.Length(face.height), 0, 0, 0, face.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Tahoma"));
}

bool SameObject(IUnknown* a, IUnknown* b) noexcept
{
    ComPtr<IUnknown> ua;
    ComPtr<IUnknown> ub;
    return a && b && SUCCEEDED(ComPtr<IUnknown>(a).query(IID_IUnknown, ua)) &&
           SUCCEEDED(ComPtr<IUnknown>(b).query(IID_IUnknown, ub)) && ua.get() == ub.get();
}

// A 32-bit number no other launcher draws at the same moment.
std::uint32_t RandomNumber() noexcept
{
    unsigned int value = 0;
    if (rand_s(&value) == 0)
        return value;
    return static_cast<std::uint32_t>(::GetTickCount64() * 2654435761u) ^ ::GetCurrentProcessId();
}

// A box of the layout as a RECT, in the panel's client coordinates.
RECT ToRect(const PanelBox& box) noexcept
{
    return {box.left, box.top, box.right, box.bottom};
}

} // namespace

bool CPagePanel::Create(CWebBrowser2& browser, UINT id)
{
    m_pBrowser = &browser;
    m_scale = ScreenScale();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = AfxGetResourceHandle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    CWnd* const parent = FromHandlePermanent(browser.GetParent());
    const RECT none{0, 0, 0, 0};
    // No WS_CLIPCHILDREN: the panel paints under the button's keyed pixels.
    if (!parent || !AfxRegisterClass(&wc) ||
        !CreateEx(0, kClassName, L"", WS_CHILD, none, parent, id))
        return false;

    if (!LoadPngResource(&m_imgFrame, IDB_PAGE_PANEL))
        WriteLog(L"加载图片失败 ：%d", IDB_PAGE_PANEL);
    m_fontCause = SkinFont(kCauseFace, m_scale);
    m_fontCountdown = SkinFont(kCountdownFace, m_scale);
    if (m_btnRetry.Create(L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, none, this, IDC_PAGE_RETRY))
        SetButtonFaces(m_btnRetry, IDB_PAGE_RETRY_NORMAL, IDB_PAGE_RETRY_HOVER,
                       IDB_PAGE_RETRY_PRESS);
    FollowBrowser();
    return true;
}

void CPagePanel::FollowBrowser() noexcept
{
    if (!m_hWnd || !m_pBrowser || !m_pBrowser->m_hWnd)
        return;
    RECT r{};
    m_pBrowser->GetWindowRect(&r);
    ::MapWindowPoints(nullptr, GetParent(), reinterpret_cast<POINT*>(&r), 2);
    // Above the browser, whatever the host created after it.
    ::SetWindowPos(m_hWnd, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOACTIVATE);
}

LRESULT CPagePanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE: LayOut(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_ERASEBKGND: return TRUE; // the paint covers every pixel
    case WM_PAINT: OnPaint(); return 0;
    case WM_TIMER: OnTick(); return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CPagePanel::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_PAGE_RETRY) {
        TryNow(); // the player's try: the back-off stays where it was
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

// The browser's events -------------------------------------------------------

bool CPagePanel::IsTopLevel(IDispatch* frame) const noexcept
{
    return m_pBrowser && SameObject(frame, m_pBrowser->GetControlUnknown());
}

void CPagePanel::OnBeforeNavigate(IDispatch* frame) noexcept
{
    if (!IsTopLevel(frame))
        return;
    m_bNavigationFailed = false;
    // A refusal belongs to the navigation it stopped, never to the next one.
    if (auto* site = dynamic_cast<CCustomControlSite*>(m_pBrowser->m_pCtrlSite))
        site->TakeRefusedSecurityProblem();
}

void CPagePanel::OnNavigateError(IDispatch* frame, VARIANT* status, BOOL* cancel)
{
    // A frame that fails leaves the page as it is.
    if (!IsTopLevel(frame))
        return;
    UniqueVariant code;
    // No code at all reads as 0: a failure without a word about it.
    const std::uint32_t given =
        status && SUCCEEDED(::VariantChangeType(code.put(), status, 0, VT_I4))
            ? static_cast<std::uint32_t>(V_I4(code.get()))
            : 0;
    std::uint32_t cause = given;
    // The code after a refused certificate need not say so.
    if (auto* site = dynamic_cast<CCustomControlSite*>(m_pBrowser->m_pCtrlSite))
        if (const DWORD refused = site->TakeRefusedSecurityProblem())
            cause = refused;
    const PageFailure failure = PageFailureOf(cause);
    if (failure == PageFailure::kNone) {
        // Wine ends every page it was served this way; a second error of a
        // navigation that already failed (Wine: after 503, after no
        // answer) changes nothing.
        if (!m_bNavigationFailed)
            PageArrived();
        return;
    }
    m_bNavigationFailed = true;
    if (cancel)
        *cancel = TRUE; // no error page of the browser's own
    ShowFailure(failure, cause);
}

void CPagePanel::OnNavigateComplete(IDispatch* frame) noexcept
{
    if (IsTopLevel(frame) && !m_bNavigationFailed)
        PageArrived();
}

// Showing, trying, hiding ----------------------------------------------------

void CPagePanel::ShowFailure(PageFailure failure, std::uint32_t status)
{
    if (!m_hWnd)
        return;
    m_strCause = PageFailureText(failure, status);
    ScheduleTry();
    if (!IsShown()) {
        FollowBrowser();
        m_pBrowser->ShowWindow(SW_HIDE);
        ShowWindow(SW_SHOWNA);
    }
    Invalidate(FALSE);
}

void CPagePanel::PageArrived() noexcept
{
    m_backoff.Reset();
    m_nDeadline = 0;
    if (!m_hWnd)
        return;
    ::KillTimer(m_hWnd, kTickTimer);
    if (!IsShown())
        return;
    ShowWindow(SW_HIDE);
    m_pBrowser->ShowWindow(SW_SHOW);
}

void CPagePanel::ScheduleTry()
{
    m_nDeadline = ::GetTickCount64() + m_backoff.NextWaitMs(RandomNumber());
    m_nShownSeconds = -1;
    ::SetTimer(m_hWnd, kTickTimer, kTickMs, nullptr);
    OnTick();
}

void CPagePanel::TryNow()
{
    m_nDeadline = 0;
    ::KillTimer(m_hWnd, kTickTimer);
    SetCountdown(RetryCountdownText(0));
    if (!m_pBrowser || m_strRetryAddress.empty())
        return;
    UniqueVariant address(m_strRetryAddress.c_str());
    try {
        m_pBrowser->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
    } catch (const COleDispatchException& e) {
        WriteLog(L"Page not tried again [Error Code = 0x%08X]", static_cast<unsigned>(e.m_scError));
        ScheduleTry(); // the browser refused at once: the next try comes later
    }
}

void CPagePanel::OnTick()
{
    if (m_nDeadline == 0) {
        ::KillTimer(m_hWnd, kTickTimer);
        return;
    }
    const ULONGLONG now = ::GetTickCount64();
    if (now >= m_nDeadline) {
        m_backoff.CountTry();
        TryNow();
        return;
    }
    // Whole seconds, rounded up: "in 1 s" until the very moment of the try.
    const int seconds = static_cast<int>((m_nDeadline - now + 999) / 1000);
    if (seconds != m_nShownSeconds) {
        m_nShownSeconds = seconds;
        SetCountdown(RetryCountdownText(seconds));
    }
}

void CPagePanel::SetCountdown(const std::wstring& text)
{
    m_strCountdown = text;
    // The window text carries both lines, for screen readers and tests.
    SetWindowText((m_strCause + L"\n" + m_strCountdown).c_str());
    const RECT line = ToRect(m_layout.countdown);
    ::InvalidateRect(m_hWnd, &line, FALSE);
}

// Face -----------------------------------------------------------------------

void CPagePanel::LayOut(int width, int height) noexcept
{
    RECT face{};
    if (m_btnRetry.m_hWnd)
        m_btnRetry.GetClientRect(&face);
    m_layout = LayOutPagePanel(width, height, face.right, face.bottom, m_scale);
    if (m_btnRetry.m_hWnd)
        m_btnRetry.SetWindowPos(nullptr, m_layout.retry.left, m_layout.retry.top, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate(FALSE);
}

void CPagePanel::OnPaint()
{
    CPaintDC paint(this);
    RECT r{};
    GetClientRect(&r);
    CMemDC2005 dc(&paint, &r);
    DrawFrame(dc, r);
    dc.SetBkMode(TRANSPARENT);
    const struct {
        const std::wstring& text;
        const PanelBox& box;
        HFONT font;
        COLORREF colour;
    } lines[] = {
        {m_strCause, m_layout.cause, m_fontCause.get(), kCauseFace.colour},
        {m_strCountdown, m_layout.countdown, m_fontCountdown.get(), kCountdownFace.colour}};
    for (const auto& line : lines) {
        RECT box = ToRect(line.box);
        const HGDIOBJ oldFont =
            dc.SelectObject(line.font ? line.font : ::GetStockObject(DEFAULT_GUI_FONT));
        dc.SetTextColor(line.colour);
        dc.DrawText(line.text, &box,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        dc.SelectObject(oldFont);
    }
}

void CPagePanel::DrawFrame(HDC dc, const RECT& r) const noexcept
{
    if (m_imgFrame.IsNull()) {
        ::FillRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        return;
    }
    // Thirds of the picture: its corners stay whole, its edges stretch
    // along, its middle both ways. An opaque picture, so blending copies.
    const int w = m_imgFrame.GetWidth();
    const int h = m_imgFrame.GetHeight();
    const int cw = w / 3;
    const int ch = h / 3;
    const int xs[] = {0, cw, w - cw};
    const int ws[] = {cw, w - 2 * cw, cw};
    const int ys[] = {0, ch, h - ch};
    const int hs[] = {ch, h - 2 * ch, ch};
    const int xd[] = {r.left, r.left + cw, r.right - cw};
    const int wd[] = {cw, r.right - r.left - 2 * cw, cw};
    const int yd[] = {r.top, r.top + ch, r.bottom - ch};
    const int hd[] = {ch, r.bottom - r.top - 2 * ch, ch};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            if (wd[col] > 0 && hd[row] > 0)
                m_imgFrame.Draw(dc, xd[col], yd[row], wd[col], hd[row], xs[col], ys[row], ws[col],
                                hs[row]);
}
