// The link from a control's default event source to its site: a small
// IDispatch advised on the control's connection point that hands every event
// to the site, and is unadvised when the link is cut.
#pragma once

#include "framework/handles.h"

#include <ocidl.h>

class COleControlSite;

// The sink the control calls. It holds no reference to the site: the
// connection cuts it loose before the site goes.
class COleEventSink final : public IDispatch {
public:
    COleEventSink(COleControlSite* site, REFIID sourceIid) noexcept
        : m_pSite(site), m_iidSource(sourceIid)
    {
    }
    COleEventSink(const COleEventSink&) = delete;
    COleEventSink& operator=(const COleEventSink&) = delete;

    void Disconnect() noexcept { m_pSite = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    ~COleEventSink() = default;

    COleControlSite* m_pSite;
    const IID m_iidSource;
    LONG m_refCount = 1;
};

class CEventConnection {
public:
    CEventConnection() noexcept = default;
    CEventConnection(const CEventConnection&) = delete;
    CEventConnection& operator=(const CEventConnection&) = delete;
    ~CEventConnection() { Disconnect(); }

    // Advises a sink for `site` on the control's default source interface
    // (from IProvideClassInfo2). S_FALSE when the control names none.
    HRESULT Connect(IUnknown* control, COleControlSite* site);
    void Disconnect() noexcept;
    bool IsConnected() const noexcept { return m_dwCookie != 0; }

private:
    ComPtr<COleEventSink> m_pSink;
    ComPtr<IConnectionPoint> m_pPoint;
    DWORD m_dwCookie = 0;
};
