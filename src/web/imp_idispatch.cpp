#include "web/imp_idispatch.h"

#include "app/notification.h"
#include "framework/variant.h"

#include <new>
#include <string>

namespace {

struct ScriptName {
    const wchar_t* name;
    DISPID dispid;
};

// Compared in this order; the first match wins.
constexpr ScriptName kScriptNames[] = {
    {L"getGsName", kDispIdGetGsName},
    {L"getNewMsg", kDispIdGetNewMsg},
    {L"ismc", kDispIdIsMc},
    {L"entergame", kDispIdEnterGame},
};

// Case-sensitive, but blind to the difference between half-width and
// full-width forms of a character.
bool IsScriptName(LCID lcid, LPCOLESTR candidate, const wchar_t* name) noexcept
{
    return ::CompareStringW(lcid, NORM_IGNOREWIDTH, candidate, -1, name, -1) == CSTR_EQUAL;
}

void SetTrue(VARIANT* result) noexcept
{
    ::VariantClear(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = VARIANT_TRUE;
}

// Numbers and booleans have one obvious text; other kinds of value (objects,
// dates, arrays) do not, and converting an object would run page script.
bool HasPlainText(VARTYPE type) noexcept
{
    if (type & (VT_ARRAY | VT_VECTOR))
        return false;
    switch (type & VT_TYPEMASK) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_BOOL: return true;
    default: return false;
    }
}

// The text that getGsName posts: its last argument (element 0), taken up to
// the first NUL. A missing argument, or one that is neither a string nor a
// number or boolean, gives the empty string: the argument list is only read
// as far as the caller filled it.
std::wstring GsNameArgument(DISPPARAMS& params)
{
    if (params.cArgs == 0 || !params.rgvarg)
        return {};
    VARIANT* arg = &params.rgvarg[0];
    if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
        arg = V_VARIANTREF(arg);
        if (!arg)
            return {};
    }
    if (V_VT(arg) == VT_BSTR)
        return V_BSTR(arg) ? std::wstring(V_BSTR(arg)) : std::wstring();
    if (V_VT(arg) == (VT_BYREF | VT_BSTR))
        return V_BSTRREF(arg) && *V_BSTRREF(arg) ? std::wstring(*V_BSTRREF(arg)) : std::wstring();
    if (!HasPlainText(V_VT(arg)))
        return {};
    // The invariant locale, so a page sees the same digits on every system.
    UniqueVariant text;
    if (FAILED(
            ::VariantChangeTypeEx(text.put(), arg, LOCALE_INVARIANT, VARIANT_ALPHABOOL, VT_BSTR)))
        return {};
    return V_BSTR(text.get()) ? std::wstring(V_BSTR(text.get())) : std::wstring();
}

void Post(const char* name, NotificationArg arg1 = 0)
{
    Notification notification(name, arg1, 0, 0);
    NotificationCenter::Instance().Post(&notification);
}

} // namespace

HRESULT STDMETHODCALLTYPE CImpIDispatch::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IDispatch && riid != IID_IUnknown)
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CImpIDispatch::AddRef()
{
    return static_cast<ULONG>(++m_refCount);
}

ULONG STDMETHODCALLTYPE CImpIDispatch::Release()
{
    // The application owns the object: the count never frees it.
    return static_cast<ULONG>(--m_refCount);
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetTypeInfoCount(UINT*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames,
                                                       LCID lcid, DISPID* rgDispId)
{
    if (cNames == 0)
        return S_OK;
    if (!rgszNames || !rgDispId)
        return E_INVALIDARG;
    HRESULT result = S_OK;
    // Every name is looked up, parameter names too; those are unknown.
    for (UINT i = 0; i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
        for (const ScriptName& known : kScriptNames) {
            if (rgszNames[i] && IsScriptName(lcid, rgszNames[i], known.name)) {
                rgDispId[i] = known.dispid;
                break;
            }
        }
        if (rgDispId[i] == DISPID_UNKNOWN)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE CImpIDispatch::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags,
                                                DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                                EXCEPINFO*, UINT*)
{
    const bool method = (wFlags & DISPATCH_METHOD) != 0;
    const bool propertyGet = (wFlags & DISPATCH_PROPERTYGET) != 0;
    // Read as a property, every name is true. A call with the method flag
    // alone leaves pVarResult as it came, so the script gets no value.
    try {
        switch (dispIdMember) {
        case kDispIdGetGsName:
            if (propertyGet && pVarResult)
                SetTrue(pVarResult);
            if (method && pDispParams) {
                // Observers run before Post returns; the copy outlives them.
                const std::wstring name = GsNameArgument(*pDispParams);
                Post(NT_GET_GSNAME, reinterpret_cast<NotificationArg>(name.c_str()));
            }
            break;
        case kDispIdGetNewMsg:
            if (propertyGet && pVarResult)
                SetTrue(pVarResult);
            if (method)
                Post(NT_GET_NEWMSG);
            break;
        case kDispIdIsMc:
            if ((propertyGet || method) && pVarResult)
                SetTrue(pVarResult);
            break;
        case kDispIdEnterGame:
            if (propertyGet && pVarResult)
                SetTrue(pVarResult);
            if (method)
                Post(NT_WEB_ENTER_GAME);
            break;
        default: break;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        // An observer's failure must not unwind into the script engine.
        return E_UNEXPECTED;
    }
    return S_OK;
}
