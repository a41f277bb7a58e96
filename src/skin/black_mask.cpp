#include "skin/black_mask.h"

#include <cstring>

void MarkBlackPixels(const std::uint8_t* top, int width, int height, std::ptrdiff_t pitch,
                     std::uint8_t* mask, std::size_t maskStride) noexcept
{
    if (!top || !mask || width <= 0)
        return;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* pixel = top + y * pitch;
        std::uint8_t* const row = mask + y * maskStride;
        std::memset(row, 0, maskStride);
        for (int x = 0; x < width; ++x, pixel += 4)
            if ((pixel[0] | pixel[1] | pixel[2]) == 0)
                row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
    }
}
