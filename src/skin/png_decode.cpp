#include "skin/png_decode.h"

#include "skin/inflate.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The largest side a picture may have, as for every picture the launcher
// loads: its byte size then fits the 32-bit counts GDI takes.
constexpr std::uint32_t kMaxSide = 0x4000;
constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kChunkOverhead = 12; // length, type, checksum

std::uint32_t BigEndian32(const std::uint8_t* p) noexcept
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool IsType(const std::uint8_t* type, const char* name) noexcept
{
    return std::memcmp(type, name, 4) == 0;
}

// Ancillary chunks that only describe the picture: its pixels stay as they are.
bool LeavesPixelsAlone(const std::uint8_t* type) noexcept
{
    return IsType(type, "tEXt") || IsType(type, "zTXt") || IsType(type, "iTXt") ||
           IsType(type, "tIME") || IsType(type, "pHYs");
}

// One pass over the chunks: the header's facts and where the image data
// lies (the first chunk's, to be joined with the others when there are more).
struct PngLayout {
    PngInfo info;
    const std::uint8_t* firstData = nullptr;
    std::size_t dataChunks = 0;
    std::size_t dataSize = 0;
};

PngStatus ReadLayout(const std::uint8_t* data, std::size_t size, PngLayout* layout) noexcept
{
    if (!data || size < sizeof kSignature + kChunkOverhead + 13 ||
        std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return PngStatus::kCorrupt;
    std::size_t at = sizeof kSignature;
    const std::uint8_t* header = data + at;
    if (BigEndian32(header) != 13 || !IsType(header + 4, "IHDR"))
        return PngStatus::kCorrupt;
    const std::uint8_t* fields = header + 8;
    const std::uint32_t width = BigEndian32(fields);
    const std::uint32_t height = BigEndian32(fields + 4);
    const unsigned depth = fields[8];
    const unsigned colour = fields[9];
    if (width == 0 || height == 0 || fields[10] != 0 || fields[11] != 0 || fields[12] > 1)
        return PngStatus::kCorrupt;
    if (width > kMaxSide || height > kMaxSide || depth != 8 || (colour != 2 && colour != 6) ||
        fields[12] != 0)
        return PngStatus::kUnsupported;
    layout->info.width = width;
    layout->info.height = height;
    layout->info.alpha = colour == 6;

    at += kChunkOverhead + 13;
    for (;;) {
        if (size - at < kChunkOverhead)
            return PngStatus::kCorrupt; // no end chunk
        const std::uint32_t length = BigEndian32(data + at);
        const std::uint8_t* type = data + at + 4;
        if (length > size - at - kChunkOverhead)
            return PngStatus::kCorrupt;
        if (IsType(type, "IEND"))
            break;
        if (IsType(type, "IDAT")) {
            if (layout->dataChunks++ == 0)
                layout->firstData = type + 4;
            layout->dataSize += length;
        } else if (IsType(type, "IHDR")) {
            return PngStatus::kCorrupt;
        } else if (!LeavesPixelsAlone(type)) {
            return PngStatus::kUnsupported;
        }
        at += kChunkOverhead + length;
    }
    return layout->dataChunks > 0 ? PngStatus::kOk : PngStatus::kCorrupt;
}

// The image data of several chunks as the one stream they make together.
void JoinData(const std::uint8_t* data, std::uint8_t* joined) noexcept
{
    std::size_t at = sizeof kSignature;
    for (;;) {
        const std::uint32_t length = BigEndian32(data + at);
        const std::uint8_t* type = data + at + 4;
        if (IsType(type, "IEND"))
            return;
        if (IsType(type, "IDAT")) {
            std::memcpy(joined, type + 4, length);
            joined += length;
        }
        at += kChunkOverhead + length;
    }
}

std::uint8_t Paeth(int left, int up, int upLeft) noexcept
{
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft)
        return static_cast<std::uint8_t>(left);
    return static_cast<std::uint8_t>(toUp <= toUpLeft ? up : upLeft);
}

// Undoes one row's filter in place; `prior` is the row above, already
// undone (zeros above the first row).
bool Unfilter(unsigned filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes,
              unsigned step) noexcept
{
    switch (filter) {
    case 0: return true;
    case 1:
        for (std::size_t i = step; i < bytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + row[i - step]);
        return true;
    case 2:
        for (std::size_t i = 0; i < bytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < bytes; ++i) {
            const unsigned left = i >= step ? row[i - step] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + ((left + prior[i]) >> 1));
        }
        return true;
    case 4:
        for (std::size_t i = 0; i < bytes; ++i) {
            const int left = i >= step ? row[i - step] : 0;
            const int upLeft = i >= step ? prior[i - step] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + Paeth(left, prior[i], upLeft));
        }
        return true;
    default: return false;
    }
}

} // namespace

PngStatus ReadPngInfo(const std::uint8_t* data, std::size_t size, PngInfo* info) noexcept
{
    PngLayout layout;
    const PngStatus status = ReadLayout(data, size, &layout);
    if (status == PngStatus::kOk && info)
        *info = layout.info;
    return status;
}

PngStatus DecodePng(const std::uint8_t* data, std::size_t size, std::uint8_t* top,
                    std::ptrdiff_t pitch) noexcept
{
    PngLayout layout;
    const PngStatus status = ReadLayout(data, size, &layout);
    if (status != PngStatus::kOk)
        return status;
    if (!top)
        return PngStatus::kCorrupt;
    const unsigned step = layout.info.alpha ? 4 : 3;
    const std::size_t rowBytes = std::size_t{layout.info.width} * step;
    const std::size_t height = layout.info.height;
    // Each row as stored: its filter byte, then its bytes.
    const std::size_t rawSize = height * (rowBytes + 1);
    const std::unique_ptr<std::uint8_t[]> raw(new (std::nothrow) std::uint8_t[rawSize]);
    const std::unique_ptr<std::uint8_t[]> zeros(new (std::nothrow) std::uint8_t[rowBytes]());
    if (!raw || !zeros)
        return PngStatus::kNoMemory;

    const std::uint8_t* stream = layout.firstData;
    std::unique_ptr<std::uint8_t[]> joined;
    if (layout.dataChunks > 1) {
        joined.reset(new (std::nothrow) std::uint8_t[layout.dataSize]);
        if (!joined)
            return PngStatus::kNoMemory;
        JoinData(data, joined.get());
        stream = joined.get();
    }
    if (!InflateZlib(stream, layout.dataSize, raw.get(), rawSize))
        return PngStatus::kCorrupt;

    const std::uint8_t* prior = zeros.get();
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* const row = raw.get() + y * (rowBytes + 1);
        const std::uint8_t* const from = row + 1;
        if (!Unfilter(row[0], row + 1, prior, rowBytes, step))
            return PngStatus::kCorrupt;
        prior = from;
        // Red and blue change places: the file holds R,G,B(,A), GDI takes B,G,R(,A).
        std::uint8_t* to = top + static_cast<std::ptrdiff_t>(y) * pitch;
        for (std::size_t x = 0; x < rowBytes; x += step) {
            to[x] = from[x + 2];
            to[x + 1] = from[x + 1];
            to[x + 2] = from[x];
            if (step == 4)
                to[x + 3] = from[x + 3];
        }
    }
    return PngStatus::kOk;
}
