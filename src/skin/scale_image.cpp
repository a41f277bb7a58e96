#include "skin/scale_image.h"

#include "framework/wic_factory.h"
#include "skin/premultiply.h"

#include <cstring>
#include <vector>

bool ScaleImage(CImage* image, const DpiScale& scale, PictureAlpha alpha) noexcept
{
    if (!image || image->IsNull())
        return false;
    if (scale.IsIdentity())
        return true;
    const int bpp = image->GetBPP();
    const int pitch = image->GetPitch();
    const int width = scale.Length(image->GetWidth());
    const int height = scale.Length(image->GetHeight());
    if ((bpp != 24 && bpp != 32) || pitch <= 0 || width <= 0 || height <= 0)
        return false;

    const WicFactory factory;
    if (!factory.get())
        return false;
    // WIC works on its own copy; the picture stays as it is until the end.
    const bool straight = bpp == 32 && alpha == PictureAlpha::kStraight;
    const UINT sourceSize = static_cast<UINT>(pitch) * static_cast<UINT>(image->GetHeight());
    ComPtr<IWICBitmap> source;
    if (FAILED(factory->CreateBitmapFromMemory(
            static_cast<UINT>(image->GetWidth()), static_cast<UINT>(image->GetHeight()),
            bpp == 32 ? GUID_WICPixelFormat32bppPBGRA : GUID_WICPixelFormat24bppBGR,
            static_cast<UINT>(pitch), sourceSize,
            static_cast<BYTE*>(const_cast<void*>(image->GetBits())), source.put())))
        return false;
    if (straight) {
        ComPtr<IWICBitmapLock> lock;
        UINT lockedSize = 0;
        UINT lockedStride = 0;
        BYTE* locked = nullptr;
        if (FAILED(source->Lock(nullptr, WICBitmapLockWrite, lock.put())) ||
            FAILED(lock->GetStride(&lockedStride)) ||
            FAILED(lock->GetDataPointer(&lockedSize, &locked)) || !locked)
            return false;
        PremultiplyRows(locked, image->GetWidth(), image->GetHeight(), lockedStride);
    }

    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(factory->CreateBitmapScaler(scaler.put())) ||
        FAILED(scaler->Initialize(source.get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                  WICBitmapInterpolationModeFant)))
        return false;
    const UINT stride = ((static_cast<UINT>(width) * bpp + 31) / 32) * 4;
    std::vector<BYTE> pixels;
    try {
        pixels.resize(static_cast<size_t>(stride) * static_cast<UINT>(height));
    } catch (...) {
        return false;
    }
    if (FAILED(
            scaler->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data())))
        return false;
    if (straight)
        UnpremultiplyRows(pixels.data(), width, height, stride);

    const bool hadAlpha = image->HasAlphaChannel();
    if (!image->Create(width, -height, bpp, hadAlpha ? CImage::createAlphaChannel : 0))
        return false;
    for (int row = 0; row < height; ++row)
        std::memcpy(static_cast<BYTE*>(image->GetBits()) + row * image->GetPitch(),
                    pixels.data() + static_cast<size_t>(row) * stride, stride);
    return true;
}
