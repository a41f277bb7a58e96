#include "game/skin_flat_panel.h"

#include "skin/screen_scale.h"

#include <windowsx.h>

namespace {
// The resize zones of a window made with a sizing frame, at 96 DPI.
constexpr int kSizingZone = 5;

ZoneRect ToZoneRect(const RECT& r) noexcept
{
    return {r.left, r.top, r.right, r.bottom};
}

// The client rectangle in the coordinates of the window's parent (the screen
// for a top-level window); without a frame it is the window rectangle.
RECT ClientRectInParent(HWND hwnd) noexcept
{
    RECT r{};
    ::GetClientRect(hwnd, &r);
    ::MapWindowPoints(hwnd, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LPCWSTR CursorForHit(int hit) noexcept
{
    switch (hit) {
    case kHitLeft:
    case kHitRight: return IDC_SIZEWE;
    case kHitTop:
    case kHitBottom: return IDC_SIZENS;
    case kHitTopLeft:
    case kHitBottomRight: return IDC_SIZENWSE;
    case kHitTopRight:
    case kHitBottomLeft: return IDC_SIZENESW;
    default: return nullptr;
    }
}
} // namespace

LRESULT CSkinFlatPanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_ERASEBKGND: return TRUE; // the derived class paints every pixel
    case WM_SHOWWINDOW: OnShowWindow(); return 0;
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wParam)); return 0;
    case WM_ACTIVATE: OnActivate(LOWORD(wParam)); return 0;
    case WM_MOUSEMOVE: OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
    case WM_LBUTTONUP: OnLButtonUp(); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
    case WM_SETCURSOR: return OnSetCursor();
    case WM_NCHITTEST: return OnNcHitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_CAPTURECHANGED: OnCaptureChanged(reinterpret_cast<HWND>(lParam)); return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

int CSkinFlatPanel::HitTestBorder(int x, int y, bool screen)
{
    if (IsZoomed())
        return kHitClient;
    POINT pt{x, y};
    if (screen)
        ScreenToClient(&pt);
    RECT client{};
    GetClientRect(&client);
    const FrameZones zones{m_nBorderLeft, m_nBorderTop, m_nBorderRight, m_nBorderBottom};
    return HitTestFrameZones(ToZoneRect(client), zones, pt.x, pt.y);
}

int CSkinFlatPanel::OnCreate(CREATESTRUCTW* create)
{
    m_scale = ScreenScale();
    if (Default() == -1)
        return -1;
    if (create->style & WS_THICKFRAME) {
        m_nBorderLeft = m_nBorderTop = m_nBorderRight = m_nBorderBottom =
            m_scale.Length(kSizingZone);
    }
    ModifyStyle(WS_CAPTION, 0);
    ModifyStyle(WS_BORDER, 0);
    ModifyStyle(WS_THICKFRAME, 0);
    return 0;
}

void CSkinFlatPanel::OnShowWindow()
{
    Default();
    // Shown or hidden, the frame is recalculated for the stripped style.
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
}

void CSkinFlatPanel::OnSysCommand(UINT command)
{
    Default();
    const UINT cmd = command & 0xFFF0;
    if (cmd == SC_CLOSE)
        return; // the window, and this object, may be gone
    if (!IsIconic() && cmd == SC_MAXIMIZE)
        FitMaximizedWindow(this);
}

void CSkinFlatPanel::OnActivate(UINT state)
{
    Default();
    if ((state == WA_ACTIVE || state == WA_CLICKACTIVE) && IsZoomed())
        FitMaximizedWindow(this);
}

void CSkinFlatPanel::OnMouseMove(POINT point)
{
    if (m_nSizingEdge != kEdgeNone) {
        const RECT old = ClientRectInParent(m_hWnd);
        POINT p = point;
        ::MapWindowPoints(m_hWnd, GetParent(), &p, 1);
        const ZoneRect next = ResizeToPoint(ToZoneRect(old), m_nSizingEdge, p.x, p.y);
        if (next != ToZoneRect(old)) {
            SetWindowPos(nullptr, next.left, next.top, next.right - next.left,
                         next.bottom - next.top, SWP_FRAMECHANGED);
            if (ToZoneRect(ClientRectInParent(m_hWnd)) != ToZoneRect(old))
                ::RedrawWindow(m_hWnd, nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        }
    }
    Default();
}

void CSkinFlatPanel::OnLButtonUp()
{
    if (m_nSizingEdge != kEdgeNone) {
        m_nSizingEdge = kEdgeNone;
        ::ReleaseCapture();
    }
    Default();
}

void CSkinFlatPanel::OnLButtonDown(POINT point)
{
    const int edge = SizingEdgeForHit(HitTestBorder(point.x, point.y, false));
    if (edge != kEdgeNone) {
        SetFocus();
        ::SetCapture(m_hWnd);
        m_nSizingEdge = edge;
    }
    Default();
}

void CSkinFlatPanel::OnCaptureChanged(HWND newCapture)
{
    // Another window took the mouse (another application, a menu): a drag
    // without the capture would leave the window resizing on plain moves.
    if (newCapture != m_hWnd)
        m_nSizingEdge = kEdgeNone;
    Default();
}

LRESULT CSkinFlatPanel::OnSetCursor()
{
    POINT pt{};
    ::GetCursorPos(&pt);
    if (const LPCWSTR cursor = CursorForHit(HitTestBorder(pt.x, pt.y, true))) {
        ::SetCursor(::LoadCursorW(nullptr, cursor));
        return TRUE;
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    return Default();
}

LRESULT CSkinFlatPanel::OnNcHitTest(POINT screenPoint)
{
    if (HitTestBorder(screenPoint.x, screenPoint.y, true) == kHitClient)
        return HTCAPTION;
    return Default();
}

void CSkinFlatPanel::PostNcDestroy()
{
    delete this;
}

void FitMaximizedWindow(CWnd* wnd) noexcept
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(::MonitorFromWindow(wnd->m_hWnd, MONITOR_DEFAULTTONEAREST), &info)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    }
    const RECT& work = info.rcWork;
    wnd->SetWindowPos(nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                      SWP_FRAMECHANGED);
}
