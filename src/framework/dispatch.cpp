#include "framework/dispatch.h"

#include "framework/variant.h"

#include <vector>

namespace {

[[noreturn]] void ThrowInvokeFailure(HRESULT hr, EXCEPINFO& info)
{
    if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn)
        info.pfnDeferredFillIn(&info);
    UniqueBstr source(info.bstrSource);
    UniqueBstr description(info.bstrDescription);
    UniqueBstr helpFile(info.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION && FAILED(info.scode))
        hr = info.scode;
    throw COleDispatchException(hr, description.str(), info.wCode);
}

void StoreResult(VARIANT* result, VARTYPE vtRet, void* pvRet)
{
    if (vtRet == VT_EMPTY)
        return;
    if (!pvRet)
        throw COleDispatchException(E_POINTER);
    if (V_VT(result) != vtRet) {
        const HRESULT hr = ::VariantChangeType(result, result, 0, vtRet);
        if (FAILED(hr))
            throw COleDispatchException(hr);
    }
    switch (vtRet) {
    case VT_BSTR:
        *static_cast<std::wstring*>(pvRet) =
            V_BSTR(result) ? std::wstring(V_BSTR(result)) : std::wstring();
        break;
    case VT_DISPATCH:
        // The reference moves from the VARIANT to the caller.
        *static_cast<IDispatch**>(pvRet) = V_DISPATCH(result);
        V_VT(result) = VT_EMPTY;
        break;
    case VT_BOOL: *static_cast<BOOL*>(pvRet) = V_BOOL(result) != VARIANT_FALSE; break;
    default: throw COleDispatchException(DISP_E_BADVARTYPE);
    }
}

} // namespace

bool COleDispatchException::GetErrorMessage(std::wstring& text) const
{
    if (!m_strDescription.empty()) {
        text = m_strDescription;
        return true;
    }
    wchar_t buffer[64] = {};
    ::wsprintfW(buffer, L"Automation call failed (0x%08lX).",
                static_cast<unsigned long>(m_scError));
    text = buffer;
    return true;
}

CDispArg::CDispArg() noexcept
{
    ::VariantInit(&m_arg);
}

CDispArg::CDispArg(VARIANT* value) noexcept : CDispArg()
{
    if (value) {
        V_VT(&m_arg) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&m_arg) = value;
    } else {
        V_VT(&m_arg) = VT_ERROR;
        V_ERROR(&m_arg) = DISP_E_PARAMNOTFOUND; // Automation's "argument left out"
    }
}

CDispArg CDispArg::Bool(BOOL value) noexcept
{
    CDispArg arg;
    V_VT(&arg.m_arg) = VT_BOOL;
    V_BOOL(&arg.m_arg) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return arg;
}

void AfxInvokeHelper(IDispatch* target, DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                     std::initializer_list<CDispArg> args)
{
    if (!target)
        throw COleDispatchException(E_POINTER);
    // Automation takes the arguments last first.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(args.size());
    for (auto it = args.end(); it != args.begin();)
        reversed.push_back((--it)->get());
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &namedPut;
        params.cNamedArgs = 1;
    }
    UniqueVariant result;
    EXCEPINFO info{};
    UINT argError = 0;
    const HRESULT hr = target->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      vtRet == VT_EMPTY ? nullptr : result.put(), &info, &argError);
    if (FAILED(hr))
        ThrowInvokeFailure(hr, info);
    StoreResult(result.get(), vtRet, pvRet);
}
