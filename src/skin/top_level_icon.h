// Turns a dialog made with an owner into a window of its own: no owner (so
// it gets its own taskbar button) and the application icon.
#pragma once

#include "framework/win32.h"

// Removes the window's owner, if it has one, then sets `icon` as its big and
// its small icon. False when `hwnd` is not a window or the owner could not
// be removed (the icons are then left alone).
bool SetTopLevelIcon(HWND hwnd, HICON icon) noexcept;
