#include "framework/image.h"

#include "framework/wic_factory.h"

#include <cstdint>

namespace {

// Larger pictures are refused: their byte size would not fit the 32-bit
// counts that GDI and WIC take.
constexpr int kMaxSide = 0x4000;

// Whether WIC's pixel format carries transparency (an alpha channel or a
// palette with transparent entries).
bool FormatHasAlpha(IWICImagingFactory* factory, const WICPixelFormatGUID& format) noexcept
{
    ComPtr<IWICComponentInfo> info;
    if (FAILED(factory->CreateComponentInfo(format, info.put())))
        return false;
    ComPtr<IWICPixelFormatInfo2> formatInfo;
    if (FAILED(info->QueryInterface(IID_IWICPixelFormatInfo2,
                                    reinterpret_cast<void**>(formatInfo.put()))))
        return false;
    BOOL transparency = FALSE;
    return SUCCEEDED(formatInfo->SupportsTransparency(&transparency)) && transparency;
}

} // namespace

BOOL CImage::Create(int width, int height, int bpp, DWORD flags) noexcept
{
    Destroy();
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide ||
        (bpp != 24 && bpp != 32))
        return FALSE;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits)
        return FALSE;

    const int rows = height < 0 ? -height : height;
    const int stride = ((width * bpp + 31) / 32) * 4; // rows are DWORD-aligned
    m_bitmap = std::move(bitmap);
    m_nWidth = width;
    m_nHeight = rows;
    m_nBPP = bpp;
    if (height < 0) {
        m_pBits = static_cast<BYTE*>(bits);
        m_nPitch = stride;
    } else {
        // Bottom-up: the top row is the last one in memory.
        m_pBits = static_cast<BYTE*>(bits) + static_cast<std::ptrdiff_t>(stride) * (rows - 1);
        m_nPitch = -stride;
    }
    m_bHasAlphaChannel = bpp == 32 && (flags & createAlphaChannel) != 0;
    return TRUE;
}

HRESULT CImage::Load(IStream* stream) noexcept
{
    Destroy();
    if (!stream)
        return E_POINTER;

    const WicFactory factory;
    HRESULT hr = factory.Result();
    if (FAILED(hr))
        return hr;
    ComPtr<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                          decoder.put());
    if (FAILED(hr))
        return hr;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(hr = decoder->GetFrame(0, frame.put())))
        return hr;

    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(hr = frame->GetSize(&width, &height)) || FAILED(hr = frame->GetPixelFormat(&format)))
        return hr;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return E_INVALIDARG;

    // Pictures with transparency become straight-alpha B,G,R,A; the others
    // B,G,R without padding bytes that could be mistaken for alpha.
    const bool alpha = FormatHasAlpha(factory.get(), format);
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(hr = factory->CreateFormatConverter(converter.put())))
        return hr;
    hr = converter->Initialize(frame.get(),
                               alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR,
                               WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
    if (FAILED(hr))
        return hr;

    if (!Create(static_cast<int>(width), -static_cast<int>(height), alpha ? 32 : 24,
                alpha ? createAlphaChannel : 0))
        return E_OUTOFMEMORY;
    const UINT stride = static_cast<UINT>(m_nPitch);
    hr = converter->CopyPixels(nullptr, stride, stride * height, m_pBits);
    if (FAILED(hr))
        Destroy();
    return hr;
}

void CImage::Destroy() noexcept
{
    m_bitmap.reset();
    m_nWidth = 0;
    m_nHeight = 0;
    m_nBPP = 0;
    m_nPitch = 0;
    m_pBits = nullptr;
    m_bHasAlphaChannel = false;
}

BOOL CImage::Draw(HDC dest, int x, int y) const noexcept
{
    return Draw(dest, x, y, m_nWidth, m_nHeight, 0, 0, m_nWidth, m_nHeight);
}

BOOL CImage::Draw(HDC dest, int xDest, int yDest, int destWidth, int destHeight, int xSource,
                  int ySource, int sourceWidth, int sourceHeight) const noexcept
{
    if (IsNull() || !dest)
        return FALSE;
    UniqueMemoryDC source(::CreateCompatibleDC(nullptr));
    if (!source)
        return FALSE;
    SelectObjectScope select(source.get(), m_bitmap.get());
    if (m_bHasAlphaChannel) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        return ::AlphaBlend(dest, xDest, yDest, destWidth, destHeight, source.get(), xSource,
                            ySource, sourceWidth, sourceHeight, blend);
    }
    return ::StretchBlt(dest, xDest, yDest, destWidth, destHeight, source.get(), xSource, ySource,
                        sourceWidth, sourceHeight, SRCCOPY);
}
