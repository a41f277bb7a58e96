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
    if (iid == IID_IHttpSecurity)
        return static_cast<IHttpSecurity*>(&m_xHttpSecurity);
    return COleControlSite::GetInterface(iid);
}

DWORD CCustomControlSite::TakeRefusedSecurityProblem() noexcept
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
    // The browser's downloads ask their host how to treat a certificate;
    // every other service is the browser's own.
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
    *phwnd = nullptr; // nothing is asked of the player
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CCustomControlSite::XHttpSecurity::OnSecurityProblem(DWORD dwProblem)
{
    // A redirect from http up to https is as the browser's settings say.
    if (dwProblem == ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR)
        return S_FALSE;
    // Anything else (a certificate the system does not trust, a redirect from
    // https to http, a client certificate asked for) ends the download here,
    // with no question to the player and nothing more sent to that host; the
    // page then fails and the panel says why.
    m_pSite->m_dwRefusedProblem = dwProblem;
    return E_ABORT;
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
