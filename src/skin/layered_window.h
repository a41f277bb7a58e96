// Per-pixel-alpha windows: a 32-bit bitmap becomes the window's whole
// surface.
#pragma once

#include "framework/win32.h"

// Makes `hwnd` a layered window showing `bitmap` (blended per pixel, so its
// colour bytes should be premultiplied) at the window's current top-left
// corner and at the bitmap's size. False when either is null, nothing
// changed then; otherwise whether the layered update succeeded. The caller
// keeps the bitmap.
bool UpdateLayeredBitmap(HWND hwnd, HBITMAP bitmap) noexcept;
