#include "web/web_browser2.h"

#include "framework/dispatch.h"
#include "framework/handles.h"

#include <ole2.h>

namespace {
// IWebBrowser2 members by DISPID.
constexpr DISPID kDispIdGoBack = 100;
constexpr DISPID kDispIdApplication = 200;
constexpr DISPID kDispIdLocationUrl = 211;
constexpr DISPID kDispIdNavigate2 = 500;
constexpr DISPID kDispIdSilent = 551;
constexpr DISPID kDispIdRegisterAsBrowser = 552;
constexpr DISPID kDispIdRefresh = -550;
} // namespace

BOOL CWebBrowser2::Create(LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(CLSID_WebBrowser, windowName, style, rect, parent, id);
}

std::wstring CWebBrowser2::GetLocationURL() const
{
    std::wstring url;
    InvokeHelper(kDispIdLocationUrl, DISPATCH_PROPERTYGET, VT_BSTR, &url);
    return url;
}

void CWebBrowser2::SetSilent(BOOL newValue)
{
    InvokeHelper(kDispIdSilent, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr,
                 {CDispArg::Bool(newValue)});
}

void CWebBrowser2::SetRegisterAsBrowser(BOOL newValue)
{
    InvokeHelper(kDispIdRegisterAsBrowser, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr,
                 {CDispArg::Bool(newValue)});
}

void CWebBrowser2::Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName,
                             VARIANT* PostData, VARIANT* Headers)
{
    InvokeHelper(kDispIdNavigate2, DISPATCH_METHOD, VT_EMPTY, nullptr,
                 {URL, Flags, TargetFrameName, PostData, Headers});
}

void CWebBrowser2::GoBack()
{
    InvokeHelper(kDispIdGoBack, DISPATCH_METHOD, VT_EMPTY, nullptr);
}

IDispatch* CWebBrowser2::GetApplication() const
{
    IDispatch* application = nullptr;
    InvokeHelper(kDispIdApplication, DISPATCH_PROPERTYGET, VT_DISPATCH, &application);
    return application;
}

void CWebBrowser2::Refresh()
{
    InvokeHelper(kDispIdRefresh, DISPATCH_METHOD, VT_EMPTY, nullptr);
}

LRESULT CWebBrowser2::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_FORWARDMSG: return TranslateInPage(reinterpret_cast<MSG*>(lParam));
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CWebBrowser2::TranslateInPage(MSG* msg) const noexcept
{
    ComPtr<IUnknown> control(GetControlUnknown());
    ComPtr<IOleInPlaceActiveObject> active;
    if (!msg || !control || FAILED(control.query(IID_IOleInPlaceActiveObject, active)) || !active)
        return FALSE;
    return active->TranslateAccelerator(msg) == S_OK;
}
