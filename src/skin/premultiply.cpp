#include "skin/premultiply.h"

void PremultiplyPixels(std::uint8_t* pixels, std::size_t count) noexcept
{
    for (std::uint8_t* const end = pixels + count * 4; pixels != end; pixels += 4) {
        const unsigned alpha = pixels[3];
        pixels[0] = static_cast<std::uint8_t>(pixels[0] * alpha / 255u);
        pixels[1] = static_cast<std::uint8_t>(pixels[1] * alpha / 255u);
        pixels[2] = static_cast<std::uint8_t>(pixels[2] * alpha / 255u);
    }
}

void PremultiplyRows(std::uint8_t* top, int width, int height, std::ptrdiff_t pitch) noexcept
{
    if (!top || width <= 0)
        return;
    for (int row = 0; row < height; ++row)
        PremultiplyPixels(top + row * pitch, static_cast<std::size_t>(width));
}

void UnpremultiplyRows(std::uint8_t* top, int width, int height, std::ptrdiff_t pitch) noexcept
{
    if (!top || width <= 0)
        return;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* pixel = top + row * pitch;
        for (std::uint8_t* const end = pixel + static_cast<std::size_t>(width) * 4; pixel != end;
             pixel += 4) {
            const unsigned alpha = pixel[3];
            for (int i = 0; i < 3; ++i) {
                // Rounding up makes the truncating premultiply its exact inverse.
                const unsigned colour = alpha ? (pixel[i] * 255u + alpha - 1) / alpha : 0;
                pixel[i] = static_cast<std::uint8_t>(colour > 255 ? 255 : colour);
            }
        }
    }
}
