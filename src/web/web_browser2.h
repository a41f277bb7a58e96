// CWebBrowser2: a window wrapping the system's WebBrowser control, with the
// handful of IWebBrowser2 operations the launcher uses. Each is an
// Automation call by DISPID and throws COleDispatchException on failure.
#pragma once

#include "framework/wnd.h"

#include <exdisp.h>

#include <string>

// A message a container forwards to a hosted control for translation; its
// lParam is the MSG.
#ifndef WM_FORWARDMSG
#define WM_FORWARDMSG 0x037F
#endif

class CWebBrowser2 : public CWnd {
public:
    // Creates the control (CLSID_WebBrowser) as a child window, sited by the
    // installed manager; no persisted state, storage or licence key.
    BOOL Create(LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // The address of the page shown; empty when none is.
    std::wstring GetLocationURL() const;
    void SetSilent(BOOL newValue);
    void SetRegisterAsBrowser(BOOL newValue);
    // URL is a string VARIANT; each of the others may be null or VT_EMPTY,
    // both meaning the argument is absent.
    void Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                   VARIANT* Headers);
    void GoBack();
    // The control's Application object, with one reference for the caller.
    IDispatch* GetApplication() const;
    void Refresh();

    // WM_FORWARDMSG: a queued keyboard or mouse message offered to the page
    // first (its accelerators); non-zero when the page consumed it.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL TranslateInPage(MSG* msg) const noexcept;
};
