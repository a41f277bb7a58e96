// CWnd: a C++ object bound to one window. One window procedure maps the HWND
// to its object and calls the virtual WindowProc; whatever a class does not
// handle ends in Default(), which reaches the window's original procedure.
#pragma once

#include "framework/object.h"

#include <oaidl.h>

#include <initializer_list>
#include <memory>

class CDispArg;
class COleControlContainer;
class COleControlSite;
struct EventSinkEntry;

class CWnd : public CObject {
public:
    CWnd() noexcept = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return GetSafeHwnd(); }

    // The object bound to a window by this framework, or null.
    static CWnd* FromHandlePermanent(HWND hwnd) noexcept;

    // Creation. The window is bound to this object before its first message,
    // so WM_NCCREATE and WM_CREATE already reach WindowProc.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id, LPVOID param = nullptr);
    BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id);
    BOOL DestroyWindow();

    // Binds an existing window (for instance a dialog control) to this object.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow() noexcept;

    // Message handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // A control's notification reflected back to it by its parent; TRUE when
    // the control handled it and *result holds the answer.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Styles.
    DWORD GetStyle() const noexcept;
    DWORD GetExStyle() const noexcept;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) noexcept;
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0) noexcept;

    // Show and position.
    BOOL ShowWindow(int cmdShow) noexcept { return ::ShowWindow(m_hWnd, cmdShow); }
    BOOL IsWindowVisible() const noexcept { return ::IsWindowVisible(m_hWnd); }
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) noexcept;
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE) noexcept;
    void CenterWindow(CWnd* alternateOwner = nullptr) noexcept;
    void BringWindowToTop() noexcept { ::BringWindowToTop(m_hWnd); }
    void GetClientRect(RECT* rect) const noexcept { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const noexcept { ::GetWindowRect(m_hWnd, rect); }
    void ClientToScreen(POINT* pt) const noexcept { ::ClientToScreen(m_hWnd, pt); }
    void ScreenToClient(POINT* pt) const noexcept { ::ScreenToClient(m_hWnd, pt); }
    void Invalidate(BOOL erase = TRUE) noexcept { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() noexcept { ::UpdateWindow(m_hWnd); }
    BOOL IsIconic() const noexcept { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const noexcept { return ::IsZoomed(m_hWnd); }

    // Text, relatives and messages.
    void SetWindowText(LPCWSTR text) noexcept { ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const noexcept { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const noexcept { return ::GetParent(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    HWND SetFocus() noexcept { return ::SetFocus(m_hWnd); }

    // ActiveX controls (framework/wnd_occ.cpp). This object becomes the
    // wrapper of a new control, a child of `parent` sited by the installed
    // control-container manager; `windowName` is its window text when given.
    BOOL CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect,
                       CWnd* parent, UINT id);
    // Automation call on this window's control by DISPID; see AfxInvokeHelper
    // for the result types. Throws COleDispatchException on failure.
    void InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                      std::initializer_list<CDispArg> args = {}) const;
    // The control's IUnknown (no reference added), or null.
    IUnknown* GetControlUnknown() const noexcept;
    // The container of the controls this window hosts, made on first use.
    COleControlContainer* InitControlContainer();
    COleControlContainer* GetControlContainer() const noexcept { return m_pCtrlCont.get(); }
    // The window's event-sink table (framework/event_map.h), or null.
    virtual const EventSinkEntry* GetEventSinkMap() const;

    // Set while this object wraps an ActiveX control's window.
    COleControlSite* m_pCtrlSite = nullptr;

protected:
    // Called before the window is bound: during creation, before its first
    // message, or before an existing window is subclassed.
    virtual void PreSubclassWindow();
    // Called after the window's last message; the window no longer exists.
    virtual void PostNcDestroy();

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend struct WindowCreateHook;

    void Bind(HWND hwnd) noexcept;
    void OnNcDestroy();
    // Control hosting: links a subclassed control window to its site, and
    // takes down the hosted controls or this wrapper's control.
    void AttachControlSite() noexcept;
    void DestroyControlContainer() noexcept;
    void ReleaseControlSite() noexcept;
    BOOL ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    WNDPROC m_pfnSuper = nullptr; // the procedure the window had before binding

    // Lets the header do without the container's definition.
    struct ContainerDeleter {
        void operator()(COleControlContainer* container) const noexcept;
    };
    std::unique_ptr<COleControlContainer, ContainerDeleter> m_pCtrlCont; // hosted controls
};

// The window procedure shared by every bound window.
LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Installs the creation hook for one CreateWindowEx-style call on this
// thread, so the next window created is bound to `wnd` before its first
// message. Nested scopes (creating a window while handling WM_CREATE) work.
struct WindowCreateHook {
    explicit WindowCreateHook(CWnd* wnd);
    WindowCreateHook(const WindowCreateHook&) = delete;
    WindowCreateHook& operator=(const WindowCreateHook&) = delete;
    ~WindowCreateHook();
    // True when the hook has bound the window.
    bool Fired() const noexcept;
    // Called by the hook for the window being created, before its first message.
    static void BindCreatingWindow(CWnd* wnd, HWND hwnd) noexcept;

private:
    CWnd* m_wnd;
    CWnd* m_previous;
};
