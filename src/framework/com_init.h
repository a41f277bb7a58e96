// COM initialisation for one scope on the calling thread.
#pragma once

#include "framework/win32.h"

#include <objbase.h>

class ComApartment {
public:
    ComApartment() noexcept : m_hr(::CoInitialize(nullptr)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        // Every successful call, S_FALSE included, is balanced.
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};
