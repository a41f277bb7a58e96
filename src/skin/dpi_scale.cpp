#include "skin/dpi_scale.h"

#include <cstdint>

int DpiScale::Length(int length) const noexcept
{
    // 64-bit, so no length a window can have overflows on the way.
    const std::int64_t scaled = static_cast<std::int64_t>(length) * m_dpi;
    constexpr std::int64_t half = kBaseDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi
                                        : -((-scaled + half) / kBaseDpi));
}
