// Small RAII owners for Win32 handles. A raw handle never outlives the scope
// that checked it.
#pragma once

#include "framework/win32.h"

#include <utility>

template <typename Traits> class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle h) noexcept : m_h(h) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_h(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Handle get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_h); }
    Handle release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) noexcept
    {
        if (Traits::IsValid(m_h))
            Traits::Close(m_h);
        m_h = h;
    }

private:
    Handle m_h = Traits::Invalid();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// A search handle from FindFirstFileW.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

// Memory the system allocated for the caller with LocalAlloc (FormatMessageW).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::LocalFree(h); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

template <typename T> struct GdiObjectTraits {
    using Handle = T;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
template <typename T> using UniqueGdiObject = UniqueResource<GdiObjectTraits<T>>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::DeleteDC(h); }
};
using UniqueMemoryDC = UniqueResource<MemoryDcTraits>;

struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = UniqueResource<HookTraits>;

// Owns one reference to a COM interface.
template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes a reference of its own to `p`.
    explicit ComPtr(T* p) noexcept : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(other.detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        attach(other.detach());
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // Releases what is held and hands out the slot for an out parameter.
    T** put() noexcept
    {
        reset();
        return &m_p;
    }
    void reset() noexcept
    {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    // Takes over a reference the caller owned.
    void attach(T* p) noexcept
    {
        T* const old = std::exchange(m_p, p);
        if (old)
            old->Release();
    }
    // Hands the reference over to the caller.
    T* detach() noexcept { return std::exchange(m_p, nullptr); }
    // QueryInterface into `out`; E_POINTER when nothing is held.
    template <typename U> HRESULT query(REFIID iid, ComPtr<U>& out) const noexcept
    {
        U* found = nullptr;
        const HRESULT hr =
            m_p ? m_p->QueryInterface(iid, reinterpret_cast<void**>(&found)) : E_POINTER;
        out.attach(SUCCEEDED(hr) ? found : nullptr);
        return hr;
    }
    template <typename U> HRESULT query(ComPtr<U>& out) const noexcept
    {
        return query(__uuidof(U), out);
    }

private:
    T* m_p = nullptr;
};

// A DC obtained with GetDC, released to its window.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (m_hdc)
            ::ReleaseDC(m_hwnd, m_hdc);
    }
    HDC get() const noexcept { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

// Selects a GDI object into a DC for one scope and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC hdc, HGDIOBJ obj) noexcept : m_hdc(hdc), m_old(::SelectObject(hdc, obj))
    {
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;
    ~SelectObjectScope()
    {
        if (m_old && m_old != HGDI_ERROR)
            ::SelectObject(m_hdc, m_old);
    }

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};
