#include "skin/tile_layout.h"

#include <algorithm>
#include <climits>

std::vector<TileSpan> TileSpans(int start, int length, int step)
{
    std::vector<TileSpan> spans;
    if (length <= 0 || step <= 0)
        return spans;
    // 64-bit positions: start + length may not fit an int.
    const long long end = std::min<long long>(static_cast<long long>(start) + length, INT_MAX);
    spans.reserve(static_cast<std::size_t>((end - start + step - 1) / step));
    for (long long position = start; position < end; position += step)
        spans.push_back(TileSpan{static_cast<int>(position),
                                 static_cast<int>(std::min<long long>(step, end - position))});
    return spans;
}
