// Which pixels of a premultiplied 32-bit picture a masked draw leaves to the
// background: those whose blue, green and red bytes are all 0, whatever
// their alpha. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes a monochrome mask of `height` rows of `width` B,G,R,A pixels (row r
// at top + r * pitch): bit 1 where the pixel is black, 0 elsewhere. Mask rows
// are `maskStride` bytes apart, leftmost pixel in the top bit of the first
// byte, unused bits at the end of a row 0 (the layout of a monochrome bitmap).
void MarkBlackPixels(const std::uint8_t* top, int width, int height, std::ptrdiff_t pitch,
                     std::uint8_t* mask, std::size_t maskStride) noexcept;
