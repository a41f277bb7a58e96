#include "skin/top_level_icon.h"

bool SetTopLevelIcon(HWND hwnd, HICON icon) noexcept
{
    if (!::IsWindow(hwnd))
        return false;
    // GetParent names the owner of pop-up windows only; GW_OWNER finds it
    // for every top-level window.
    if (::GetParent(hwnd) || ::GetWindow(hwnd, GW_OWNER)) {
        if (::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, 0) == 0)
            return false;
    }
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return true;
}
