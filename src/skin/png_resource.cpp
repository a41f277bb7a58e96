#include "skin/png_resource.h"

#include "framework/app.h"

bool LoadPngResource(CImage* image, UINT id) noexcept
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
    return SUCCEEDED(image->Load(stream.get()));
}
