#include "skin/png_resource.h"

#include "framework/app.h"
#include "skin/screen_scale.h"

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
    if (FAILED(image->Load(stream.get())))
        return false;
    // A picture that cannot be resampled is still shown, at its own size.
    ScaleImage(image, ScreenScale(), alpha);
    return !image->IsNull();
}
