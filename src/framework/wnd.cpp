#include "framework/wnd.h"

#include "framework/app.h"
#include "framework/handles.h"
#include "framework/ole_container.h"
#include "framework/ole_site.h"

#include <cstdio>

namespace {

// The property that links a window to its CWnd.
const wchar_t kWndProperty[] = L"QM.CWnd";

// The message being handled on this thread, for Default().
struct CurrentMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
thread_local CurrentMessage t_current;

// Creation hook state of this thread.
thread_local CWnd* t_wndInit = nullptr;
thread_local HHOOK t_cbtHook = nullptr;
thread_local int t_cbtDepth = 0;

LRESULT CALLBACK CbtFilterHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_wndInit) {
        CWnd* const wnd = t_wndInit;
        t_wndInit = nullptr; // only the first window made by the call is ours
        WindowCreateHook::BindCreatingWindow(wnd, reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(t_cbtHook, code, wParam, lParam);
}

} // namespace

CWnd::~CWnd()
{
    DestroyControlContainer(); // hosted controls go while their windows exist
    ReleaseControlSite();      // a control's wrapper takes the control with it
    if (m_hWnd) {
        // The object goes first: unbind so that no message reaches a
        // half-destroyed object, then take the window down with it.
        const HWND hwnd = UnsubclassWindow();
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) noexcept
{
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kWndProperty)) : nullptr;
}

void CWnd::Bind(HWND hwnd) noexcept
{
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kWndProperty, this);
    const auto ours = reinterpret_cast<LONG_PTR>(&AfxWndProc);
    const LONG_PTR previous = ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, ours);
    if (previous != ours)
        m_pfnSuper = reinterpret_cast<WNDPROC>(previous);
}

HWND CWnd::UnsubclassWindow() noexcept
{
    const HWND hwnd = m_hWnd;
    if (!hwnd)
        return nullptr;
    if (m_pfnSuper &&
        ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AfxWndProc))
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropW(hwnd, kWndProperty);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hwnd;
}

void WindowCreateHook::BindCreatingWindow(CWnd* wnd, HWND hwnd) noexcept
{
    wnd->m_hWnd = hwnd;
    wnd->PreSubclassWindow();
    wnd->Bind(hwnd);
}

WindowCreateHook::WindowCreateHook(CWnd* wnd) : m_wnd(wnd), m_previous(t_wndInit)
{
    if (t_cbtDepth++ == 0)
        t_cbtHook = ::SetWindowsHookExW(WH_CBT, CbtFilterHook, nullptr, ::GetCurrentThreadId());
    t_wndInit = wnd;
}

WindowCreateHook::~WindowCreateHook()
{
    if (t_wndInit == m_wnd)
        t_wndInit = m_previous;
    if (--t_cbtDepth == 0 && t_cbtHook) {
        ::UnhookWindowsHookEx(t_cbtHook);
        t_cbtHook = nullptr;
    }
}

bool WindowCreateHook::Fired() const noexcept
{
    return t_wndInit != m_wnd;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id, LPVOID param)
{
    HWND created = nullptr;
    bool bound = false;
    {
        WindowCreateHook hook(this);
        const HMENU menuOrId =
            (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
        created = ::CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top,
                                    parent ? parent->m_hWnd : nullptr, menuOrId,
                                    AfxGetInstanceHandle(), param);
        bound = hook.Fired();
    }
    if (!created && !bound) {
        // The window never existed, so no WM_NCDESTROY will come: clean up as
        // if it had, so self-deleting objects do not leak.
        PostNcDestroy();
    }
    return created != nullptr;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id)
{
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, nullptr);
}

BOOL CWnd::DestroyWindow()
{
    if (m_pCtrlSite && m_hWnd) {
        // A control's window is the control's: it goes when the control is closed.
        m_pCtrlSite->DestroyControl();
        return TRUE;
    }
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    m_hWnd = hwnd;
    PreSubclassWindow();
    Bind(hwnd);
    AttachControlSite();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    // Commands nobody in the window handled go to the application, as menu
    // and accelerator commands of the main window do.
    CWinApp* const app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        return app->OnCommand(LOWORD(wParam));
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND: child = reinterpret_cast<HWND>(lParam); break;
    case WM_DRAWITEM: child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem; break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: child = reinterpret_cast<HWND>(lParam); break;
    default: return FALSE;
    }
    CWnd* const wnd = FromHandlePermanent(child);
    return wnd && wnd != this && wnd->OnChildNotify(message, wParam, lParam, result);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0 && ReflectToChild(message, wParam, lParam, &result))
            return result;
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_DRAWITEM:
        if (wParam != 0 && ReflectToChild(message, wParam, lParam, &result))
            return TRUE;
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
        if (ReflectToChild(message, wParam, lParam, &result))
            return result;
        break;
    case WM_NCDESTROY: OnNcDestroy(); return 0;
    }
    return Default();
}

void CWnd::OnNcDestroy()
{
    DestroyControlContainer();
    if (m_pCtrlSite)
        m_pCtrlSite->DetachWindow(); // the control outlives its window until its container goes
    Default();
    CWinApp* const app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        // The main window is gone: the message loop ends with it.
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    UnsubclassWindow();
    PostNcDestroy(); // may delete this
}

DWORD CWnd::GetStyle() const noexcept
{
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const noexcept
{
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
}

namespace {
BOOL ModifyStyleBits(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags) noexcept
{
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, index));
    const DWORD updated = (style & ~remove) | add;
    if (style == updated)
        return FALSE;
    ::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(updated));
    if (swpFlags != 0)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}
} // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) noexcept
{
    return ModifyStyleBits(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) noexcept
{
    return ModifyStyleBits(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) noexcept
{
    if (m_pCtrlSite) // the control must learn its new place
        return m_pCtrlSite->SetWindowPos(insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy,
                                         flags);
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) noexcept
{
    if (m_pCtrlSite) {
        m_pCtrlSite->SetWindowPos(nullptr, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top,
                                  SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
        return;
    }
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 repaint);
}

void CWnd::CenterWindow(CWnd* alternateOwner) noexcept
{
    const DWORD style = GetStyle();
    HWND center = alternateOwner ? alternateOwner->m_hWnd : nullptr;
    if (!center)
        center = (style & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    if (center && !(style & WS_CHILD)) {
        // A hidden or minimised owner is no reference point.
        const auto ownerStyle = static_cast<DWORD>(::GetWindowLongPtrW(center, GWL_STYLE));
        if (!(ownerStyle & WS_VISIBLE) || (ownerStyle & WS_MINIMIZE))
            center = nullptr;
    }

    RECT self{};
    ::GetWindowRect(m_hWnd, &self);
    RECT area{};
    RECT around{};
    if (style & WS_CHILD) {
        HWND parent = ::GetParent(m_hWnd);
        ::GetClientRect(parent, &area);
        around = area;
        if (center && center != parent) {
            ::GetClientRect(center, &around);
            ::MapWindowPoints(center, parent, reinterpret_cast<POINT*>(&around), 2);
        }
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&self), 2);
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ::GetMonitorInfoW(::MonitorFromWindow(center ? center : m_hWnd, MONITOR_DEFAULTTOPRIMARY),
                          &info);
        area = info.rcWork;
        if (center)
            ::GetWindowRect(center, &around);
        else
            around = area;
    }

    const int width = self.right - self.left;
    const int height = self.bottom - self.top;
    int left = (around.left + around.right) / 2 - width / 2;
    int top = (around.top + around.bottom) / 2 - height / 2;
    // Keep the window inside the area as far as it fits.
    if (left + width > area.right)
        left = area.right - width;
    if (left < area.left)
        left = area.left;
    if (top + height > area.bottom)
        top = area.bottom - height;
    if (top < area.top)
        top = area.top;
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring CWnd::GetWindowText() const
{
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* const wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);

    const CurrentMessage saved = t_current;
    t_current = {message, wParam, lParam};
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
        // Hosted controls are closed while their windows still exist, after
        // the window's own WM_DESTROY handling.
        if (message == WM_DESTROY && CWnd::FromHandlePermanent(hwnd) == wnd)
            wnd->DestroyControlContainer();
    } catch (const CException& e) {
        // A framework exception must not unwind through the system's frames.
        e.ReportError(MB_ICONEXCLAMATION);
    } catch (...) {
        AfxReportUnexpectedException();
    }
    t_current = saved;
    return result;
}
