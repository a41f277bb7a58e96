// COM for one scope on the calling thread: entered as a single-threaded
// apartment, and every successful entry (S_FALSE included) balanced. A thread
// already in another apartment keeps it; WIC and the shell's objects work in
// both.
#pragma once

#include "framework/win32.h"

#include <objbase.h>

class ComApartment {
public:
    ComApartment() noexcept : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};
