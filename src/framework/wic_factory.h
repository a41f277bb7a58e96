// The calling thread's WIC imaging factory, for one scope: COM is entered for
// as long as the object lives, and the factory made inside it. Every picture
// the launcher decodes or resamples through WIC gets its factory here.
#pragma once

#include "framework/com_init.h"
#include "framework/handles.h"

#include <wincodec.h>

class WicFactory {
public:
    WicFactory() noexcept
        : m_hr(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(m_factory.put())))
    {
    }
    WicFactory(const WicFactory&) = delete;
    WicFactory& operator=(const WicFactory&) = delete;

    // Null when the factory could not be made; Result() says why.
    IWICImagingFactory* get() const noexcept { return m_factory.get(); }
    IWICImagingFactory* operator->() const noexcept { return m_factory.get(); }
    HRESULT Result() const noexcept { return m_hr; }

private:
    // Declared first: COM is entered before the factory is made and left
    // after it is released.
    ComApartment m_com;
    ComPtr<IWICImagingFactory> m_factory;
    HRESULT m_hr;
};
