// Compositing into a premultiplied 32-bit picture (bytes blue, green, red,
// alpha per pixel): another premultiplied picture laid over it, and a colour
// through a coverage mask, such as text that GDI drew white on black.
// Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

// A picture's rows: `pitch` bytes from one row to the next.
struct PixelRows {
    std::uint8_t* top;
    std::ptrdiff_t pitch;
};
struct ConstPixelRows {
    const std::uint8_t* top;
    std::ptrdiff_t pitch;
};

// `width` x `height` pixels of `source` over `dest`: c = s + d * (1 - sa).
void CompositeOver(PixelRows dest, ConstPixelRows source, int width, int height) noexcept;

// Colour (r, g, b) over `dest` wherever `mask` covers it; a mask pixel's
// coverage is the largest of its blue, green and red bytes.
void BlendCoverage(PixelRows dest, ConstPixelRows mask, int width, int height, std::uint8_t red,
                   std::uint8_t green, std::uint8_t blue) noexcept;
