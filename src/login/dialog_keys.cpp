#include "login/dialog_keys.h"

bool IsDialogEndingKey(const MSG& msg) noexcept
{
    return msg.message == WM_KEYDOWN && (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN);
}
