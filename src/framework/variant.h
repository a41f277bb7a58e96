// RAII owners for Automation values: a VARIANT cleared at the end of its
// scope and a BSTR freed at the end of its scope.
#pragma once

#include "framework/win32.h"

#include <oleauto.h>

#include <string>
#include <utility>

class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&m_v); }
    // A string VARIANT (VT_BSTR) holding a copy of `text`; VT_EMPTY when the
    // copy cannot be made.
    explicit UniqueVariant(const wchar_t* text) noexcept : UniqueVariant()
    {
        if (BSTR copy = ::SysAllocString(text ? text : L"")) {
            V_VT(&m_v) = VT_BSTR;
            V_BSTR(&m_v) = copy;
        }
    }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(&m_v); }

    VARIANT* get() noexcept { return &m_v; }
    const VARIANT* get() const noexcept { return &m_v; }
    VARTYPE type() const noexcept { return V_VT(&m_v); }
    // Clears what is held and hands out the VARIANT for an out parameter.
    VARIANT* put() noexcept
    {
        ::VariantClear(&m_v);
        return &m_v;
    }

private:
    VARIANT m_v;
};

class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(BSTR owned) noexcept : m_s(owned) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { ::SysFreeString(m_s); }

    BSTR get() const noexcept { return m_s; }
    BSTR* put() noexcept
    {
        ::SysFreeString(std::exchange(m_s, nullptr));
        return &m_s;
    }
    // The text up to the first NUL; a null BSTR is the empty string.
    std::wstring str() const { return m_s ? std::wstring(m_s) : std::wstring(); }

private:
    BSTR m_s = nullptr;
};

// The text of a string VARIANT (VT_BSTR, by value or by reference, also
// inside a VT_BYREF | VT_VARIANT) up to its first NUL; empty for anything
// else, a null pointer or a null string.
inline std::wstring VariantString(const VARIANT* value)
{
    if (value && V_VT(value) == (VT_BYREF | VT_VARIANT))
        value = V_VARIANTREF(value);
    if (!value)
        return {};
    const BSTR* text = V_VT(value) == VT_BSTR                ? &V_BSTR(value)
                       : V_VT(value) == (VT_BYREF | VT_BSTR) ? V_BSTRREF(value)
                                                             : nullptr;
    return text && *text ? std::wstring(*text) : std::wstring();
}
