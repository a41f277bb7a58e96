#include "framework/event_sink.h"

#include "framework/app.h"
#include "framework/ole_site.h"

#include <new>

HRESULT STDMETHODCALLTYPE COleEventSink::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != m_iidSource)
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE COleEventSink::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refCount));
}

ULONG STDMETHODCALLTYPE COleEventSink::Release()
{
    const LONG count = ::InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE COleEventSink::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD,
                                                DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO*,
                                                UINT*)
{
    if (!m_pSite)
        return S_OK; // the control fired after its site let go
    // A handler may destroy the hosting window, and with it the site.
    const ComPtr<COleControlSite> site(m_pSite);
    // A handler's exception must not unwind through the control: it is
    // reported as one leaving a message handler would be.
    try {
        return site->OnEvent(dispIdMember, pDispParams);
    } catch (const CException& e) {
        e.ReportError(MB_ICONEXCLAMATION);
    } catch (...) {
        AfxReportUnexpectedException();
    }
    return DISP_E_EXCEPTION;
}

HRESULT CEventConnection::Connect(IUnknown* control, COleControlSite* site)
{
    Disconnect();
    ComPtr<IUnknown> unknown(control);
    ComPtr<IProvideClassInfo2> classInfo;
    IID source{};
    if (FAILED(unknown.query(IID_IProvideClassInfo2, classInfo)) ||
        FAILED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)))
        return S_FALSE; // a control without events
    ComPtr<IConnectionPointContainer> points;
    HRESULT hr = unknown.query(IID_IConnectionPointContainer, points);
    if (FAILED(hr))
        return hr;
    ComPtr<IConnectionPoint> point;
    hr = points->FindConnectionPoint(source, point.put());
    if (FAILED(hr))
        return hr;
    ComPtr<COleEventSink> sink;
    sink.attach(new (std::nothrow) COleEventSink(site, source));
    if (!sink)
        return E_OUTOFMEMORY;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(sink.get()), &cookie);
    if (FAILED(hr)) {
        sink->Disconnect();
        return hr;
    }
    m_pSink = std::move(sink);
    m_pPoint = std::move(point);
    m_dwCookie = cookie;
    return S_OK;
}

void CEventConnection::Disconnect() noexcept
{
    if (m_pSink)
        m_pSink->Disconnect(); // no event reaches the site from here on
    if (m_pPoint && m_dwCookie != 0)
        m_pPoint->Unadvise(m_dwCookie);
    m_dwCookie = 0;
    m_pPoint.reset();
    m_pSink.reset();
}
