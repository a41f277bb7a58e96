#include "skin/png_resource.h"

#include "framework/app.h"
#include "skin/png_decode.h"
#include "skin/screen_scale.h"

namespace {

// The pictures the launcher ships decode here, without WIC: no COM, no codec
// DLLs, nothing to wait for before the splash. False leaves the image empty.
bool DecodeOwnPng(CImage* image, const std::uint8_t* data, std::size_t size) noexcept
{
    PngInfo info;
    if (ReadPngInfo(data, size, &info) != PngStatus::kOk)
        return false;
    // Top-down, as WIC's copy is: the first row lies first in memory.
    if (!image->Create(static_cast<int>(info.width), -static_cast<int>(info.height),
                       info.alpha ? 32 : 24, info.alpha ? CImage::createAlphaChannel : 0))
        return false;
    if (DecodePng(data, size, static_cast<std::uint8_t*>(image->GetBits()), image->GetPitch()) ==
        PngStatus::kOk)
        return true;
    image->Destroy();
    return false;
}

// Any other PNG goes through WIC, from a stream over a copy of the data.
bool DecodeWithWic(CImage* image, const void* data, DWORD size) noexcept
{
    // The stream frees its own memory when released.
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) || !stream)
        return false;
    ULARGE_INTEGER streamSize{};
    streamSize.QuadPart = size;
    ULONG written = 0;
    if (FAILED(stream->SetSize(streamSize)) || FAILED(stream->Write(data, size, &written)) ||
        written != size)
        return false;
    LARGE_INTEGER origin{};
    stream->Seek(origin, STREAM_SEEK_SET, nullptr);
    return SUCCEEDED(image->Load(stream.get()));
}

} // namespace

bool LoadPngResource(CImage* image, UINT id, PictureAlpha alpha) noexcept
{
    if (!image)
        return false;
    image->Destroy();

    const HINSTANCE module = AfxGetResourceHandle();
    const HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource)
        return false;
    // Resource memory is part of the mapped module: nothing to free.
    const HGLOBAL loaded = ::LoadResource(module, resource);
    const void* const data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, resource);
    if (!data || size == 0)
        return false;

    if (!DecodeOwnPng(image, static_cast<const std::uint8_t*>(data), size) &&
        !DecodeWithWic(image, data, size))
        return false;
    // A picture that cannot be resampled is still shown, at its own size.
    ScaleImage(image, ScreenScale(), alpha);
    return !image->IsNull();
}
