// The script object: the IDispatch every hosted page sees as window.external.
// Four names; a call either answers true or becomes a notification on the
// bus. One instance, owned by the application and never destroyed.
#pragma once

#include "framework/win32.h"

#include <oaidl.h>

// The script names and the DISPIDs they are given.
constexpr DISPID kDispIdGetGsName = 100;
constexpr DISPID kDispIdGetNewMsg = 101;
constexpr DISPID kDispIdIsMc = 102;
constexpr DISPID kDispIdEnterGame = 103;

class CImpIDispatch final : public IDispatch {
public:
    CImpIDispatch() noexcept = default;
    CImpIDispatch(const CImpIDispatch&) = delete;
    CImpIDispatch& operator=(const CImpIDispatch&) = delete;

    // IUnknown. The count is kept for the script engine's bookkeeping only:
    // reaching zero (or below) never frees the object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch. No type information; names are matched by GetIDsOfNames.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    // Signed on purpose: more Releases than AddRefs show as a negative count.
    LONG m_refCount = 0;
};
