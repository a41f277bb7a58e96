// Where the copies of a picture go when it is tiled over a stretch of pixels,
// one axis at a time: copies of `step` pixels from `start` on, the last one
// cut to what is left. Platform-free.
#pragma once

#include <vector>

struct TileSpan {
    int start;  // first pixel of the copy
    int length; // pixels drawn, `step` except for a cut last copy

    bool operator==(const TileSpan& other) const noexcept
    {
        return start == other.start && length == other.length;
    }
};

// Empty when `length` or `step` is 0 or less. Spans that would reach past
// the largest int end there.
std::vector<TileSpan> TileSpans(int start, int length, int step);
