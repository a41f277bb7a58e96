// The site every hosted browser gets: the framework's control site plus
// IDocHostUIHandler, which sets the page rules (no context menu, no 3-D
// border, no scroll bars, no browser UI) and hands out the application's
// script object as window.external; and, through IServiceProvider, the
// IHttpSecurity that refuses every security problem of a page's download: the
// player is never offered a way past a certificate that does not hold, nor a
// redirect out of https.
#pragma once

#include "framework/nested_interface.h"
#include "framework/ole_site.h"

#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

class CCustomControlSite : public COleControlSite {
public:
    explicit CCustomControlSite(COleControlContainer* container) noexcept;

    // The WinINet error of the last security problem refused since the last
    // call (ERROR_INTERNET_SEC_CERT_CN_INVALID, ...), or 0. The
    // navigation it stopped fails with a code that need not say why.
    DWORD TakeRefusedSecurityProblem() noexcept;

protected:
    void* GetInterface(REFIID iid) noexcept override;

private:
    class XDocHostUIHandler final : public CNestedInterface<IDocHostUIHandler> {
    public:
        using CNestedInterface::CNestedInterface;
        HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                                  IDispatch* pdispReserved) override;
        HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* pInfo) override;
        HRESULT STDMETHODCALLTYPE ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                         IOleCommandTarget* pCommandTarget,
                                         IOleInPlaceFrame* pFrame,
                                         IOleInPlaceUIWindow* pDoc) override;
        HRESULT STDMETHODCALLTYPE HideUI() override;
        HRESULT STDMETHODCALLTYPE UpdateUI() override;
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;
        HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) override;
        HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) override;
        HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                               BOOL fRameWindow) override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup,
                                                       DWORD nCmdID) override;
        HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
        HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* pDropTarget,
                                                IDropTarget** ppDropTarget) override;
        HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** ppDispatch) override;
        HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn,
                                               LPWSTR* ppchURLOut) override;
        HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* pDO,
                                                   IDataObject** ppDORet) override;
    };

    class XServiceProvider final : public CNestedInterface<IServiceProvider> {
    public:
        using CNestedInterface::CNestedInterface;
        HRESULT STDMETHODCALLTYPE QueryService(REFGUID guidService, REFIID riid,
                                               void** ppvObject) override;
    };

    class XHttpSecurity final : public CNestedInterface<IHttpSecurity> {
    public:
        explicit XHttpSecurity(CCustomControlSite* site) noexcept;
        HRESULT STDMETHODCALLTYPE GetWindow(REFGUID rguidReason, HWND* phwnd) override;
        HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD dwProblem) override;

    private:
        CCustomControlSite* const m_pSite;
    };

    XDocHostUIHandler m_xDocHostUIHandler;
    XServiceProvider m_xServiceProvider;
    XHttpSecurity m_xHttpSecurity;
    DWORD m_dwRefusedProblem = 0;
};
