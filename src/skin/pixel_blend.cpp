#include "skin/pixel_blend.h"

#include <algorithm>

namespace {
// a * b / 255, rounded to nearest.
std::uint8_t Scale(unsigned a, unsigned b) noexcept
{
    const unsigned t = a * b + 128;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}
} // namespace

void CompositeOver(PixelRows dest, ConstPixelRows source, int width, int height) noexcept
{
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = dest.top + y * dest.pitch;
        const std::uint8_t* s = source.top + y * source.pitch;
        for (int x = 0; x < width; ++x, d += 4, s += 4) {
            const unsigned keep = 255u - s[3];
            for (int c = 0; c < 4; ++c)
                d[c] =
                    static_cast<std::uint8_t>(std::min(255u, unsigned{s[c]} + Scale(d[c], keep)));
        }
    }
}

void BlendCoverage(PixelRows dest, ConstPixelRows mask, int width, int height, std::uint8_t red,
                   std::uint8_t green, std::uint8_t blue) noexcept
{
    const std::uint8_t colour[3] = {blue, green, red};
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = dest.top + y * dest.pitch;
        const std::uint8_t* m = mask.top + y * mask.pitch;
        for (int x = 0; x < width; ++x, d += 4, m += 4) {
            const unsigned cover = std::max({m[0], m[1], m[2]});
            if (cover == 0)
                continue;
            const unsigned keep = 255u - cover;
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<std::uint8_t>(
                    std::min(255u, unsigned{Scale(colour[c], cover)} + Scale(d[c], keep)));
            d[3] = static_cast<std::uint8_t>(std::min(255u, cover + Scale(d[3], keep)));
        }
    }
}
