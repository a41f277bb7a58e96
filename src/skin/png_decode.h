// The launcher's own PNG pictures decoded without WIC, and so without COM or
// the codec DLLs: straight colour PNGs of 8 bits a channel, with or without
// alpha, not interlaced, without chunks that change colours (gamma, colour
// profiles, transparency keys). Anything else is left to WIC. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

enum class PngStatus {
    kOk,
    kUnsupported, // a valid PNG of another kind: decode it another way
    kCorrupt,
    kNoMemory,
};

struct PngInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool alpha = false; // B,G,R,A pixels of straight alpha when true, else B,G,R
};

// The picture's size and pixel kind, from its header alone.
PngStatus ReadPngInfo(const std::uint8_t* data, std::size_t size, PngInfo* info) noexcept;

// Writes the picture's rows to `top`, row r at top + r * pitch, in the pixel
// kind ReadPngInfo reports (3 or 4 bytes a pixel, no padding written). The
// rows must have room for the whole picture; after a failure they may hold
// part of it.
PngStatus DecodePng(const std::uint8_t* data, std::size_t size, std::uint8_t* top,
                    std::ptrdiff_t pitch) noexcept;
