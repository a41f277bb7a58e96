#include "web/popup_handlers.h"

#include "framework/dispatch.h"
#include "framework/variant.h"
#include "web/web_browser2.h"

#include <shellapi.h>
#include <shlwapi.h>

bool IsWebAddress(const wchar_t* url) noexcept
{
    if (!url || !*url)
        return false;
    PARSEDURLW parsed{};
    parsed.cbSize = sizeof parsed;
    return SUCCEEDED(::ParseURLW(url, &parsed)) &&
           (parsed.nScheme == URL_SCHEME_HTTP || parsed.nScheme == URL_SCHEME_HTTPS);
}

void OnNewWindow2(CWebBrowser2& popup, IDispatch** ppDisp, BOOL* Cancel)
{
    if (!popup.GetSafeHwnd() || !ppDisp || !Cancel)
        return; // the control opens its new window its own way
    IDispatch* application = nullptr;
    try {
        application = popup.GetApplication();
    } catch (const COleDispatchException&) {
        return;
    }
    if (!application)
        return;
    *Cancel = FALSE;
    // The new window is the popup browser; an object already in the slot is
    // replaced, so its reference is given back.
    if (*ppDisp)
        (*ppDisp)->Release();
    *ppDisp = application;
}

void OnPopupBeforeNavigate2(IDispatch*, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                            BOOL* Cancel) noexcept
{
    // First of all: the popup browser itself never navigates.
    if (Cancel)
        *Cancel = TRUE;
    try {
        const std::wstring url = VariantString(URL);
        if (IsWebAddress(url.c_str()))
            ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
    } catch (...) {
        // Nothing to report: the outcome is not looked at.
    }
}
