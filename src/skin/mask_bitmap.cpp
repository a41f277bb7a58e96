#include "skin/mask_bitmap.h"

#include "framework/handles.h"
#include "skin/black_mask.h"

#include <new>
#include <vector>

namespace {

// The picture's pixels as 32-bit B,G,R,A rows, top row first. Read back
// rather than converted by a blit: GDI's colour-to-monochrome conversion
// compares the alpha byte too on some systems.
bool ReadPixels(HBITMAP image, int width, int height, std::vector<std::uint8_t>& pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<std::size_t>(width) * height * 4);
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    return dc && ::GetDIBits(dc.get(), image, 0, static_cast<UINT>(height), pixels.data(), &info,
                             DIB_RGB_COLORS) == height;
}

} // namespace

HBITMAP CreateMaskBitmap(HBITMAP image, int width, int height) noexcept
{
    BITMAP picture{};
    if (!image || width <= 0 || height <= 0 || !::GetObjectW(image, sizeof picture, &picture) ||
        width > picture.bmWidth || height > picture.bmHeight)
        return nullptr;
    try {
        std::vector<std::uint8_t> pixels;
        if (!ReadPixels(image, picture.bmWidth, picture.bmHeight, pixels))
            return nullptr;
        // Monochrome bitmap rows are word-aligned.
        const std::size_t maskStride = ((static_cast<std::size_t>(width) + 15) / 16) * 2;
        std::vector<std::uint8_t> bits(maskStride * static_cast<std::size_t>(height));
        MarkBlackPixels(pixels.data(), width, height,
                        static_cast<std::ptrdiff_t>(picture.bmWidth) * 4, bits.data(), maskStride);
        return ::CreateBitmap(width, height, 1, 1, bits.data());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
