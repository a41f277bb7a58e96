#include "skin/layered_window.h"

#include "framework/handles.h"

bool UpdateLayeredBitmap(HWND hwnd, HBITMAP bitmap) noexcept
{
    if (!hwnd || !bitmap || !::IsWindow(hwnd))
        return false;
    BITMAP info{};
    if (!::GetObjectW(bitmap, sizeof info, &info))
        return false;
    const LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_LAYERED))
        ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);

    const WindowDC screen(nullptr);
    const UniqueMemoryDC source(::CreateCompatibleDC(screen.get()));
    if (!source)
        return false;
    // Selected for this call only; the scope puts the previous bitmap back
    // so the caller's bitmap is free again afterwards.
    const SelectObjectScope select(source.get(), bitmap);

    RECT window{};
    ::GetWindowRect(hwnd, &window);
    POINT destination{window.left, window.top};
    SIZE size{info.bmWidth, info.bmHeight};
    POINT sourceOrigin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return ::UpdateLayeredWindow(hwnd, screen.get(), &destination, &size, source.get(),
                                 &sourceOrigin, 0, &blend, ULW_ALPHA) != FALSE;
}
