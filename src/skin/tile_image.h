// Repeats a picture over a rectangle, 1:1, from its top-left corner.
#pragma once

#include "framework/image.h"

// Covers (x, y, width, height) of `dc` with copies of `image`; copies at the
// right and bottom edges show the left or top part of the picture. False for
// a null or empty image; true otherwise, also when the rectangle is empty.
bool TileImage(const CImage* image, HDC dc, int x, int y, int width, int height) noexcept;
