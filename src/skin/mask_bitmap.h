// Masks for drawing button faces without blending: a monochrome bitmap with
// a 1 exactly where the face's blue, green and red bytes are all 0, the
// alpha byte playing no part. With premultiplied faces that marks every
// fully transparent pixel, and also opaque pure black and colours that
// truncated to black.
#pragma once

#include "framework/win32.h"

// The mask of the top-left width x height pixels of `image` (a bitmap that
// is not selected into any DC, at least that large). The caller owns the
// result; null on failure.
HBITMAP CreateMaskBitmap(HBITMAP image, int width, int height) noexcept;
