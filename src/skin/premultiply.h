// Straight to premultiplied alpha over 32-bit pixels in memory order blue,
// green, red, alpha: every colour byte c becomes c * alpha / 255, truncated
// toward zero; the alpha byte stays. Not idempotent: a second pass darkens
// again. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

// `count` pixels, 4 bytes each, from `pixels` on.
void PremultiplyPixels(std::uint8_t* pixels, std::size_t count) noexcept;

// `height` rows of `width` pixels; row r starts at top + r * pitch, so a
// negative pitch walks rows that lie bottom-up in memory.
void PremultiplyRows(std::uint8_t* top, int width, int height, std::ptrdiff_t pitch) noexcept;

// The inverse for pixels that were premultiplied: every colour byte p
// becomes the smallest c with c * alpha / 255 == p (capped at 255), so
// premultiplying again gives back exactly the same bytes. Pixels of alpha 0
// stay black.
void UnpremultiplyRows(std::uint8_t* top, int width, int height, std::ptrdiff_t pitch) noexcept;
