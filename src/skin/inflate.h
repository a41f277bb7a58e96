// A zlib stream (deflate data in its two-byte header and Adler-32 trailer)
// inflated into a buffer of known size: what a PNG's image data is, where the
// size follows from the picture's dimensions. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

// True exactly when `data` is one complete zlib stream without a preset
// dictionary whose inflated bytes fill `out` exactly and match its checksum.
// Never reads or writes outside the two buffers, whatever the input.
bool InflateZlib(const std::uint8_t* data, std::size_t size, std::uint8_t* out,
                 std::size_t outSize) noexcept;
