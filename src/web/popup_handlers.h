// The browser-event handlers every window that hosts browsers shares: a page's
// request for a new window is caught by the window's hidden popup browser,
// and whatever the popup browser is asked to load goes to the system's
// default web browser instead. Hosting windows enter them in their
// event-sink tables through thin members that name their popup browser.
#pragma once

#include "framework/win32.h"

#include <oaidl.h>

class CWebBrowser2;

// NewWindow2 of a page browser: the new window becomes `popup`. When the
// popup browser has no window, or its Application cannot be had, both
// parameters are left as they came.
void OnNewWindow2(CWebBrowser2& popup, IDispatch** ppDisp, BOOL* Cancel);

// BeforeNavigate2 of a popup browser: cancelled, and a web address (http or
// https) is opened with ShellExecuteW "open". Never throws.
void OnPopupBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                            VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                            BOOL* Cancel) noexcept;

// True for an absolute http: or https: address, the only kind handed to the
// default web browser: a page must not get local programs or files opened.
bool IsWebAddress(const wchar_t* url) noexcept;
