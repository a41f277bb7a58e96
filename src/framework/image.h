// CImage: a device-independent bitmap section and the fields that describe
// it. PNG and other pictures are decoded with WIC into 32-bit B,G,R,A pixels
// with straight alpha (24-bit B,G,R for pictures without alpha). The image
// owns its bitmap.
#pragma once

#include "framework/handles.h"

#include <objidl.h>

class CImage {
public:
    // Create flag: the 32-bit pixels carry alpha that Draw blends with.
    static constexpr DWORD createAlphaChannel = 0x01;

    CImage() noexcept = default;
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;
    virtual ~CImage() = default;

    // A zero-filled DIB section of width x |height| pixels at 24 or 32 bits,
    // rows top-down in memory when height is negative, bottom-up otherwise.
    // Replaces the current picture.
    BOOL Create(int width, int height, int bpp, DWORD flags = 0) noexcept;
    // Decodes the first frame of a picture. Replaces the current picture; on
    // failure the image is empty.
    HRESULT Load(IStream* stream) noexcept;
    void Destroy() noexcept;

    bool IsNull() const noexcept { return !m_bitmap; }
    int GetWidth() const noexcept { return m_nWidth; }
    int GetHeight() const noexcept { return m_nHeight; }
    int GetBPP() const noexcept { return m_nBPP; }
    // Signed byte distance from one row to the row below it.
    int GetPitch() const noexcept { return m_nPitch; }
    // The first pixel of the top row.
    void* GetBits() noexcept { return m_pBits; }
    const void* GetBits() const noexcept { return m_pBits; }
    bool HasAlphaChannel() const noexcept { return m_bHasAlphaChannel; }
    operator HBITMAP() const noexcept { return m_bitmap.get(); }

    // 1:1 at (x, y): alpha-blended (premultiplied pixels expected) when the
    // image has an alpha channel, copied otherwise.
    BOOL Draw(HDC dest, int x, int y) const noexcept;
    BOOL Draw(HDC dest, int xDest, int yDest, int destWidth, int destHeight, int xSource,
              int ySource, int sourceWidth, int sourceHeight) const noexcept;

private:
    UniqueBitmap m_bitmap;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nBPP = 0;
    int m_nPitch = 0;
    BYTE* m_pBits = nullptr;
    bool m_bHasAlphaChannel = false;
};
