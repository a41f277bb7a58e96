#include "common/dialog_frame.h"

void StripDialogFrame(HWND hwnd) noexcept
{
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style & 0xFF34FF7Fu));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle & 0xFFFFFEFEu));
}
