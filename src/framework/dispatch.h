// Automation calls by DISPID: the arguments of a call, the call itself, and
// the exception that reports a failed one.
#pragma once

#include "framework/object.h"

#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <utility>

// An Automation call failed: the HRESULT and, when the object raised an
// exception, its code and description.
class COleDispatchException : public CException {
public:
    explicit COleDispatchException(HRESULT error, std::wstring description = {},
                                   WORD code = 0) noexcept
        : m_scError(error), m_wCode(code), m_strDescription(std::move(description))
    {
    }
    bool GetErrorMessage(std::wstring& text) const override;

    HRESULT m_scError;
    WORD m_wCode;
    std::wstring m_strDescription;
};

// One argument of an Automation call. It refers to the caller's data and
// owns nothing, so it lives only for the call.
class CDispArg {
public:
    // By reference (VT_BYREF | VT_VARIANT); a null pointer leaves an optional
    // argument out.
    CDispArg(VARIANT* value) noexcept; // implicit: a call lists its VARIANT pointers
    // VT_BOOL.
    static CDispArg Bool(BOOL value) noexcept;

    const VARIANTARG& get() const noexcept { return m_arg; }

private:
    CDispArg() noexcept;
    VARIANTARG m_arg;
};

// Calls `dispid` on `target` with `flags` (DISPATCH_METHOD, _PROPERTYGET,
// _PROPERTYPUT) and the arguments in declaration order, and stores the
// result as `vtRet` in *pvRet: VT_EMPTY (none), VT_BSTR (std::wstring),
// VT_DISPATCH (IDispatch*, one reference for the caller), VT_BOOL (BOOL).
// Throws COleDispatchException when the call or the conversion fails.
void AfxInvokeHelper(IDispatch* target, DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                     std::initializer_list<CDispArg> args);
