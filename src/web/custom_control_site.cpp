#include "web/custom_control_site.h"

#include "app/tessel_app.h"
#include "web/imp_idispatch.h"

#include <utility>
#include <wininet.h>

CCustomControlSite::CCustomControlSite(COleControlContainer* container) noexcept
    : COleControlSite(container), m_xDocHostUIHandler(GetControllingUnknown()),
      m_xServiceProvider(GetControllingUnknown()), m_xHttpSecurity(this)
{
}

void* CCustomControlSite::GetInterface(REFIID iid) noexcept
{
    if (iid == IID_IDocHostUIHandler)
        return static_cast<IDocHostUIHandler*>(&m_xDocHostUIHandler);
    if (iid == IID_IServiceProvider)
        return static_cast<IServiceProvider*>(&m_xServiceProvider);
    if (iid == IID_IHttpSecurity || iid == IID_IWindowForBindingUI)
        return static_cast<IHttpSecurity*>(&m_xHttpSecurity);
    return COleControlSite::GetInterface(iid);
}

DWORD CCustomControlSite::TakeRefusedCertificateProblem() noexcept
{
    return std::exchange(m_dwRefusedProblem, 0);
}

// IServiceProvider ----------------------------------------------------------

HRESULT STDMETHODCALLTYPE CCustomControlSite::XServiceProvider::QueryService(REFGUID guidService,
                                                                             REFIID riid,
                                                                             void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    // The browser's downloads ask their host how to treat a certificate.
    if (guidService != IID_IHttpSecurity)
        return E_NOINTERFACE;
    return QueryInterface(riid, ppvObject);
}

// IHttpSecurity -------------------------------------------------------------

CCustomControlSite::XHttpSecurity::XHttpSecurity(CCustomControlSite* site) noexcept
    : CNestedInterface(site->GetControllingUnknown()), m_pSite(site)
{
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XHttpSecurity::GetWindow(REFGUID, HWND* phwnd)
{
    if (!phwnd)
        return E_POINTER;
    return static_cast<IOleInPlaceSite*>(m_pSite)->GetWindow(phwnd);
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XHttpSecurity::OnSecurityProblem(DWORD dwProblem)
{
    switch (dwProblem) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
        // Stopped, with no question to the player: the page then fails and
        // the panel says why.
        m_pSite->m_dwRefusedProblem = dwProblem;
        return E_ABORT;
    default: return S_FALSE; // redirects between http and https: as the browser's settings say
    }
}

// IDocHostUIHandler, in slot order ------------------------------------------

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::ShowContextMenu(DWORD, POINT*,
                                                                                 IUnknown*,
                                                                                 IDispatch*)
{
    return S_OK; // the host claims the menu and shows none
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    // Size, host CSS and namespace stay as the caller set them. The launcher
    // is DPI-aware, so pages are laid out at the screen's scale like the skin.
    pInfo->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_DPI_AWARE;
    pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::ShowUI(
    DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*, IOleInPlaceUIWindow*)
{
    return S_OK; // the host owns the UI: no menus or toolbars of the control's
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::HideUI()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::UpdateUI()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::EnableModeless(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::OnDocWindowActivate(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::OnFrameWindowActivate(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::ResizeBorder(LPCRECT,
                                                                              IOleInPlaceUIWindow*,
                                                                              BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::TranslateAccelerator(LPMSG,
                                                                                      const GUID*,
                                                                                      DWORD)
{
    return S_FALSE; // the control handles every keystroke as usual
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::GetOptionKeyPath(LPOLESTR* pchKey,
                                                                                  DWORD)
{
    if (pchKey)
        *pchKey = nullptr; // the default options
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE
CCustomControlSite::XDocHostUIHandler::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget)
{
    if (ppDropTarget)
        *ppDropTarget = nullptr; // the default drop target
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::GetExternal(IDispatch** ppDispatch)
{
    if (!ppDispatch)
        return E_POINTER;
    *ppDispatch = nullptr;
    // The same script object for every page, owned by the application.
    const auto* const app = dynamic_cast<CTesselApp*>(AfxGetApp());
    CImpIDispatch* const external = app ? app->m_pImpIDispatch : nullptr;
    if (!external)
        return E_NOTIMPL; // no script object: the page sees no window.external
    external->AddRef();
    *ppDispatch = external;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XDocHostUIHandler::TranslateUrl(DWORD, LPWSTR,
                                                                              LPWSTR* ppchURLOut)
{
    if (ppchURLOut)
        *ppchURLOut = nullptr; // addresses are used unchanged
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE
CCustomControlSite::XDocHostUIHandler::FilterDataObject(IDataObject*, IDataObject** ppDORet)
{
    if (ppDORet)
        *ppDORet = nullptr; // no filtering
    return E_NOTIMPL;
}
