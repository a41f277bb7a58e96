// Borderless dialogs: the frame bits a template may carry are removed before
// the dialog window is bound, so it never shows a caption or border.
#pragma once

#include "framework/win32.h"

// Clears WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX and
// DS_MODALFRAME, and WS_EX_DLGMODALFRAME and WS_EX_WINDOWEDGE.
void StripDialogFrame(HWND hwnd) noexcept;
