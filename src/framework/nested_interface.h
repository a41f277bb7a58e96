// An interface implemented by a member object of a COM object: identity and
// lifetime are the outer object's, so QueryInterface, AddRef and Release go
// to the outer object's IUnknown.
#pragma once

#include "framework/win32.h"

#include <unknwn.h>

template <typename Interface> class CNestedInterface : public Interface {
public:
    explicit CNestedInterface(IUnknown* outer) noexcept : m_pOuter(outer) {}
    CNestedInterface(const CNestedInterface&) = delete;
    CNestedInterface& operator=(const CNestedInterface&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return m_pOuter->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_pOuter->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_pOuter->Release(); }

protected:
    ~CNestedInterface() = default;

private:
    IUnknown* const m_pOuter;
};
