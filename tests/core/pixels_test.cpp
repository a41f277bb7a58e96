// Pixel arithmetic of the skin: premultiplied alpha, tile geometry, decoding
// the shipped PNG pictures.
#include "skin/black_mask.h"
#include "skin/pixel_blend.h"
#include "skin/png_decode.h"
#include "skin/premultiply.h"
#include "skin/tile_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Pixel = std::array<std::uint8_t, 4>; // B, G, R, A

Pixel Premultiplied(Pixel pixel)
{
    PremultiplyPixels(pixel.data(), 1);
    return pixel;
}

TEST(PremultiplyAlpha, HalfAlphaHalvesAndTruncates)
{
    EXPECT_EQ(Premultiplied({255, 128, 1, 128}), (Pixel{128, 64, 0, 128}));
}

TEST(PremultiplyAlpha, OpaquePixelsAreUnchanged)
{
    EXPECT_EQ(Premultiplied({255, 128, 1, 255}), (Pixel{255, 128, 1, 255}));
    EXPECT_EQ(Premultiplied({0, 0, 0, 255}), (Pixel{0, 0, 0, 255}));
}

TEST(PremultiplyAlpha, TransparentPixelsBecomeZero)
{
    EXPECT_EQ(Premultiplied({255, 255, 255, 0}), (Pixel{0, 0, 0, 0}));
}

TEST(PremultiplyAlpha, UnpremultiplyingIsExactlyUndoneByPremultiplying)
{
    // Every premultiplied value of every alpha, in one row.
    std::vector<std::uint8_t> row;
    for (unsigned alpha = 0; alpha < 256; ++alpha)
        for (unsigned colour = 0; colour <= alpha; ++colour)
            row.insert(row.end(),
                       {static_cast<std::uint8_t>(colour), 0, static_cast<std::uint8_t>(alpha),
                        static_cast<std::uint8_t>(alpha)});
    const std::vector<std::uint8_t> premultiplied = row;
    const int width = static_cast<int>(row.size() / 4);
    UnpremultiplyRows(row.data(), width, 1, 0);
    EXPECT_EQ(row[4 * 2 + 0], 255) << "colour 1 of alpha 1 is white";
    EXPECT_EQ(row[4 * 2 + 2], 255) << "alpha 1 in the red byte: full red";
    PremultiplyRows(row.data(), width, 1, 0);
    EXPECT_EQ(row, premultiplied);
    // Filters may leave a colour above its alpha: it is capped, not wrapped.
    Pixel over{200, 9, 0, 100};
    UnpremultiplyRows(over.data(), 1, 1, 0);
    EXPECT_EQ(over, (Pixel{255, 23, 0, 100}));
}

TEST(PremultiplyAlpha, ColoursThatTruncateToZeroBecomeBlack)
{
    EXPECT_EQ(Premultiplied({1, 1, 1, 200}), (Pixel{0, 0, 0, 200}));
    EXPECT_EQ(Premultiplied({10, 10, 10, 10}), (Pixel{0, 0, 0, 10}));
}

TEST(PremultiplyAlpha, EveryColourAndAlphaTruncatesTowardZero)
{
    // All 65536 combinations against the definition, each channel separately.
    std::vector<std::uint8_t> pixels;
    for (unsigned alpha = 0; alpha < 256; ++alpha)
        for (unsigned colour = 0; colour < 256; ++colour)
            pixels.insert(pixels.end(), {std::uint8_t(colour), std::uint8_t(255 - colour),
                                         std::uint8_t(colour / 2), std::uint8_t(alpha)});
    PremultiplyPixels(pixels.data(), pixels.size() / 4);
    std::size_t i = 0;
    for (unsigned alpha = 0; alpha < 256; ++alpha) {
        for (unsigned colour = 0; colour < 256; ++colour, i += 4) {
            ASSERT_EQ(pixels[i], colour * alpha / 255) << colour << " " << alpha;
            ASSERT_EQ(pixels[i + 1], (255 - colour) * alpha / 255) << colour << " " << alpha;
            ASSERT_EQ(pixels[i + 2], (colour / 2) * alpha / 255) << colour << " " << alpha;
            ASSERT_EQ(pixels[i + 3], alpha);
        }
    }
}

TEST(PremultiplyAlpha, IsNotIdempotent)
{
    Pixel pixel{200, 100, 50, 128};
    PremultiplyPixels(pixel.data(), 1);
    EXPECT_EQ(pixel, (Pixel{100, 50, 25, 128}));
    PremultiplyPixels(pixel.data(), 1);
    EXPECT_EQ(pixel, (Pixel{50, 25, 12, 128}));
}

TEST(PremultiplyAlpha, CountBoundsTheSpan)
{
    std::vector<std::uint8_t> pixels{200, 200, 200, 0, 200, 200, 200, 0};
    PremultiplyPixels(pixels.data(), 1);
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 0, 0, 0, 200, 200, 200, 0}));
    PremultiplyPixels(pixels.data(), 0);
    EXPECT_EQ(pixels[4], 200);
}

// A picture of 3x2 pixels in a buffer whose rows are padded to 16 bytes; the
// padding must stay as it is.
struct PaddedPicture {
    static constexpr int kWidth = 3;
    static constexpr int kHeight = 2;
    static constexpr int kStride = 16;
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kStride * kHeight, 0xEE);

    PaddedPicture()
    {
        for (int row = 0; row < kHeight; ++row)
            for (int column = 0; column < kWidth; ++column) {
                std::uint8_t* const p = &bytes[row * kStride + column * 4];
                p[0] = p[1] = p[2] = 200;
                p[3] = 0; // every colour must become 0
            }
    }
    bool PixelsCleared() const
    {
        for (int row = 0; row < kHeight; ++row)
            for (int column = 0; column < kWidth; ++column)
                if (bytes[row * kStride + column * 4] != 0)
                    return false;
        return true;
    }
    bool PaddingKept() const
    {
        for (int row = 0; row < kHeight; ++row)
            for (int b = kWidth * 4; b < kStride; ++b)
                if (bytes[row * kStride + b] != 0xEE)
                    return false;
        return true;
    }
};

TEST(PremultiplyAlpha, RowsTopDownSkipThePadding)
{
    PaddedPicture picture;
    PremultiplyRows(picture.bytes.data(), PaddedPicture::kWidth, PaddedPicture::kHeight,
                    PaddedPicture::kStride);
    EXPECT_TRUE(picture.PixelsCleared());
    EXPECT_TRUE(picture.PaddingKept());
}

TEST(PremultiplyAlpha, RowsBottomUpWalkBackwardFromTheTopRow)
{
    PaddedPicture picture;
    // The top row is the last one in memory; the pitch is negative.
    std::uint8_t* const top = picture.bytes.data() + PaddedPicture::kStride;
    PremultiplyRows(top, PaddedPicture::kWidth, PaddedPicture::kHeight, -PaddedPicture::kStride);
    EXPECT_TRUE(picture.PixelsCleared());
    EXPECT_TRUE(picture.PaddingKept());
}

TEST(PremultiplyAlpha, EmptyOrNullRowsAreLeftAlone)
{
    PaddedPicture picture;
    PremultiplyRows(picture.bytes.data(), 0, PaddedPicture::kHeight, PaddedPicture::kStride);
    PremultiplyRows(picture.bytes.data(), PaddedPicture::kWidth, 0, PaddedPicture::kStride);
    PremultiplyRows(picture.bytes.data(), -1, PaddedPicture::kHeight, PaddedPicture::kStride);
    PremultiplyRows(nullptr, PaddedPicture::kWidth, PaddedPicture::kHeight, PaddedPicture::kStride);
    EXPECT_EQ(picture.bytes[0], 200);
}

TEST(TileLayout, WideStretchEndsWithACutCopy)
{
    EXPECT_EQ(TileSpans(0, 400, 173), (std::vector<TileSpan>{{0, 173}, {173, 173}, {346, 54}}));
}

TEST(TileLayout, StartsAtTheGivenOffset)
{
    EXPECT_EQ(TileSpans(322, 200, 173), (std::vector<TileSpan>{{322, 173}, {495, 27}}));
    EXPECT_EQ(TileSpans(-10, 30, 20), (std::vector<TileSpan>{{-10, 20}, {10, 10}}));
}

TEST(TileLayout, ExactMultipleHasNoCutCopy)
{
    EXPECT_EQ(TileSpans(0, 54, 27), (std::vector<TileSpan>{{0, 27}, {27, 27}}));
}

TEST(TileLayout, StretchShorterThanOneCopy)
{
    EXPECT_EQ(TileSpans(5, 3, 173), (std::vector<TileSpan>{{5, 3}}));
}

TEST(TileLayout, NothingForEmptyStretchOrStep)
{
    EXPECT_TRUE(TileSpans(0, 0, 173).empty());
    EXPECT_TRUE(TileSpans(0, -5, 173).empty());
    EXPECT_TRUE(TileSpans(0, 400, 0).empty());
    EXPECT_TRUE(TileSpans(0, 400, -1).empty());
}

TEST(TileLayout, StretchReachingPastTheLargestIntEndsThere)
{
    EXPECT_EQ(TileSpans(INT_MAX - 5, 100, 4),
              (std::vector<TileSpan>{{INT_MAX - 5, 4}, {INT_MAX - 1, 1}}));
}

TEST(BlackMask, OneExactlyWhereBlueGreenAndRedAreZeroWhateverTheAlpha)
{
    // One row of 10 pixels: black at 0 (transparent), 1 (opaque), 8 (alpha
    // 200); nearly black colours at 2, 3, 4; white at the rest.
    std::vector<std::uint8_t> pixels(10 * 4, 255);
    const std::uint8_t black[][4] = {{0, 0, 0, 0}, {0, 0, 0, 255}};
    std::copy(black[0], black[0] + 4, &pixels[0]);
    std::copy(black[1], black[1] + 4, &pixels[4]);
    const std::uint8_t nearly[][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    for (int i = 0; i < 3; ++i)
        std::copy(nearly[i], nearly[i] + 4, &pixels[(2 + i) * 4]);
    const std::uint8_t translucentBlack[4] = {0, 0, 0, 200};
    std::copy(translucentBlack, translucentBlack + 4, &pixels[8 * 4]);

    std::vector<std::uint8_t> mask(2, 0xAA);
    MarkBlackPixels(pixels.data(), 10, 1, 40, mask.data(), 2);
    EXPECT_EQ(mask[0], 0xC0); // pixels 0 and 1; the top bit is the leftmost pixel
    EXPECT_EQ(mask[1], 0x80); // pixel 8; bits past the row's end are 0
}

TEST(BlackMask, RowsFollowPitchAndMaskStride)
{
    // 2x2 picture stored bottom-up: the top row (black, white) is last.
    std::vector<std::uint8_t> pixels{255, 255, 255, 255, 0, 0, 0, 255,  // bottom row
                                     0,   0,   0,   0,   9, 9, 9, 255}; // top row
    std::vector<std::uint8_t> mask(2 * 4, 0x55);
    MarkBlackPixels(pixels.data() + 8, 2, 2, -8, mask.data(), 4);
    EXPECT_EQ(mask, (std::vector<std::uint8_t>{0x80, 0, 0, 0, 0x40, 0, 0, 0}));
}

TEST(BlackMask, NothingIsWrittenForAnEmptyPicture)
{
    std::vector<std::uint8_t> pixels(4, 0);
    std::vector<std::uint8_t> mask(2, 0xAA);
    MarkBlackPixels(pixels.data(), 0, 1, 4, mask.data(), 2);
    MarkBlackPixels(pixels.data(), 1, 0, 4, mask.data(), 2);
    MarkBlackPixels(nullptr, 1, 1, 4, mask.data(), 2);
    MarkBlackPixels(pixels.data(), 1, 1, 4, nullptr, 2);
    EXPECT_EQ(mask, (std::vector<std::uint8_t>{0xAA, 0xAA}));
}

TEST(PixelBlend, PremultipliedSourceOverAPicture)
{
    // Opaque source replaces, transparent source keeps, half source mixes.
    std::vector<Pixel> dest = {{200, 100, 50, 255}, {200, 100, 50, 255}, {0, 0, 0, 0}};
    const std::vector<Pixel> source = {{10, 20, 30, 255}, {0, 0, 0, 0}, {64, 32, 0, 128}};
    CompositeOver({dest[0].data(), 12}, {source[0].data(), 12}, 3, 1);
    EXPECT_EQ(dest[0], (Pixel{10, 20, 30, 255}));
    EXPECT_EQ(dest[1], (Pixel{200, 100, 50, 255}));
    EXPECT_EQ(dest[2], (Pixel{64, 32, 0, 128})) << "over nothing, the source as it is";
}

TEST(PixelBlend, CoverageBlendsTheColourAndKeepsAlphaPremultiplied)
{
    // Two rows of two: full, none; half over an opaque and over a clear pixel.
    std::vector<Pixel> dest = {
        {100, 100, 100, 255}, {100, 100, 100, 255}, {100, 100, 100, 255}, {0, 0, 0, 0}};
    const std::vector<Pixel> mask = {
        {255, 255, 255, 255}, {0, 0, 0, 0}, {0, 128, 40, 0}, {128, 0, 0, 0}};
    BlendCoverage({dest[0].data(), 8}, {mask[0].data(), 8}, 2, 2, 30, 60, 90);
    EXPECT_EQ(dest[0], (Pixel{90, 60, 30, 255})) << "blue, green, red in memory order";
    EXPECT_EQ(dest[1], (Pixel{100, 100, 100, 255}));
    EXPECT_EQ(dest[2], (Pixel{95, 80, 65, 255})) << "coverage is the largest channel";
    EXPECT_EQ(dest[3], (Pixel{45, 30, 15, 128}));
    for (const Pixel& p : dest)
        EXPECT_LE(std::max({p[0], p[1], p[2]}), p[3]) << "no colour above alpha";
}

// ------------------------------------------------------------- PNG decode --

using Bytes = std::vector<std::uint8_t>;

void AppendBigEndian32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The decoder does not read chunk checksums, so these are left zero.
Bytes Chunk(const char* type, const Bytes& body)
{
    Bytes out;
    AppendBigEndian32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    AppendBigEndian32(out, 0);
    return out;
}

Bytes Header(std::uint32_t width, std::uint32_t height, std::uint8_t colour = 6,
             std::uint8_t depth = 8, std::uint8_t interlace = 0)
{
    Bytes body;
    AppendBigEndian32(body, width);
    AppendBigEndian32(body, height);
    body.insert(body.end(), {depth, colour, 0, 0, interlace});
    return Chunk("IHDR", body);
}

Bytes Png(const std::vector<Bytes>& chunks)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& chunk : chunks)
        out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

// `raw` as one stored (uncompressed) deflate block in a zlib stream.
Bytes StoredZlib(const Bytes& raw)
{
    Bytes out = {0x78, 0x01, 0x01};
    const auto size = static_cast<std::uint16_t>(raw.size());
    out.insert(out.end(),
               {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                static_cast<std::uint8_t>(~size), static_cast<std::uint8_t>(~size >> 8)});
    out.insert(out.end(), raw.begin(), raw.end());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    AppendBigEndian32(out, b << 16 | a);
    return out;
}

// Two RGB rows of two pixels: the first filtered by the average, the second
// by Paeth's predictor (with a tie between above and above-left, which goes
// to above), each undone by hand in the test below.
const Bytes kAveragePaethRows = {3, 100, 50, 20, 10, 10, 10, 4, 20, 2, 3, 4, 5, 6};

// zlib at level 9 of six RGBA rows of four pixels, alternately "sub" and "up"
// filtered, so all rows are equal: fixed codes with back-references.
const Bytes kFixedCodesRows = {0x78, 0xda, 0x63, 0xe4, 0x12, 0x91, 0xfb, 0xcf, 0xc8,
                               0xc8, 0xc8, 0x00, 0xc3, 0x4c, 0x0c, 0x68, 0x80, 0x91,
                               0x0a, 0x2a, 0x00, 0xf5, 0xee, 0x03, 0xd6};

TEST(PngDecode, FiltersAndCodesGiveBlueGreenRedRowsAtThePitch)
{
    const Bytes stored = StoredZlib(kAveragePaethRows);
    // The stream split over two data chunks, with a text chunk on the way.
    const Bytes rgb =
        Png({Header(2, 2, 2), Chunk("IDAT", Bytes(stored.begin(), stored.begin() + 5)),
             Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", Bytes(stored.begin() + 5, stored.end())),
             Chunk("IEND", {})});
    PngInfo info;
    ASSERT_EQ(ReadPngInfo(rgb.data(), rgb.size(), &info), PngStatus::kOk);
    EXPECT_EQ(info.width, 2u);
    EXPECT_EQ(info.height, 2u);
    EXPECT_FALSE(info.alpha);
    Bytes rows(16, 0xEE); // pitch 8: two bytes of padding a row stay untouched
    ASSERT_EQ(DecodePng(rgb.data(), rgb.size(), rows.data(), 8), PngStatus::kOk);
    EXPECT_EQ(rows,
              (Bytes{20, 50, 100, 20, 35, 60, 0xEE, 0xEE, 23, 52, 120, 29, 40, 64, 0xEE, 0xEE}));

    const Bytes rgba = Png({Header(4, 6), Chunk("IDAT", kFixedCodesRows), Chunk("IEND", {})});
    ASSERT_EQ(ReadPngInfo(rgba.data(), rgba.size(), &info), PngStatus::kOk);
    EXPECT_TRUE(info.alpha);
    std::vector<Pixel> pixels(24);
    // Bottom-up: the first row is written last in memory.
    ASSERT_EQ(DecodePng(rgba.data(), rgba.size(), pixels[20].data(), -16), PngStatus::kOk);
    for (std::size_t y = 0; y < 6; ++y)
        for (std::size_t x = 0; x < 4; ++x) {
            const auto step = static_cast<std::uint8_t>(x);
            EXPECT_EQ(pixels[y * 4 + x], (Pixel{static_cast<std::uint8_t>(30 + step),
                                                static_cast<std::uint8_t>(20 + step),
                                                static_cast<std::uint8_t>(10 + step), 255}))
                << x << "," << y;
        }
}

TEST(PngDecode, OtherKindsAreLeftToWicAndDamageIsRefused)
{
    const Bytes rows = {0, 1, 2, 3, 4};
    const Bytes idat = Chunk("IDAT", StoredZlib(rows));
    const Bytes end = Chunk("IEND", {});
    Bytes badCheck = StoredZlib(rows);
    badCheck.back() ^= 1;
    Bytes dictionary = StoredZlib(rows);
    dictionary[1] = 0x20 | (31 - (0x7820 % 31)); // header check still right
    // Fixed codes whose first symbol copies three bytes from one back.
    const Bytes farBack = {0x78, 0x01, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    const struct {
        const char* what;
        Bytes png;
        PngStatus status;
    } cases[] = {
        {"a valid picture", Png({Header(1, 1), idat, end}), PngStatus::kOk},
        {"no signature", Bytes(20, 0), PngStatus::kCorrupt},
        {"header not first", Png({idat, Header(1, 1), end}), PngStatus::kCorrupt},
        {"a second header", Png({Header(1, 1), Header(1, 1), idat, end}), PngStatus::kCorrupt},
        {"zero width", Png({Header(0, 1), idat, end}), PngStatus::kCorrupt},
        {"no image data", Png({Header(1, 1), end}), PngStatus::kCorrupt},
        {"no end", Png({Header(1, 1), idat}), PngStatus::kCorrupt},
        {"a chunk past the end", Png({Header(1, 1), Bytes{0, 0, 1, 0, 'I', 'D', 'A', 'T'}}),
         PngStatus::kCorrupt},
        {"sixteen bits", Png({Header(1, 1, 6, 16), idat, end}), PngStatus::kUnsupported},
        {"a palette", Png({Header(1, 1, 3), idat, end}), PngStatus::kUnsupported},
        {"grey", Png({Header(1, 1, 0), idat, end}), PngStatus::kUnsupported},
        {"interlaced", Png({Header(1, 1, 6, 8, 1), idat, end}), PngStatus::kUnsupported},
        {"larger than any picture", Png({Header(0x4001, 1), idat, end}), PngStatus::kUnsupported},
        {"a gamma", Png({Header(1, 1), Chunk("gAMA", {0, 0, 0xB1, 0x8F}), idat, end}),
         PngStatus::kUnsupported},
        {"a transparent colour", Png({Header(1, 1), Chunk("tRNS", {0, 0}), idat, end}),
         PngStatus::kUnsupported},
        {"a wrong checksum", Png({Header(1, 1), Chunk("IDAT", badCheck), end}),
         PngStatus::kCorrupt},
        {"a preset dictionary", Png({Header(1, 1), Chunk("IDAT", dictionary), end}),
         PngStatus::kCorrupt},
        {"too few rows", Png({Header(1, 2), idat, end}), PngStatus::kCorrupt},
        {"too many bytes", Png({Header(1, 1), Chunk("IDAT", StoredZlib({0, 1, 2, 3, 4, 5})), end}),
         PngStatus::kCorrupt},
        {"an unknown filter", Png({Header(1, 1), Chunk("IDAT", StoredZlib({5, 1, 2, 3, 4})), end}),
         PngStatus::kCorrupt},
        {"a copy from before the start", Png({Header(1, 1), Chunk("IDAT", farBack), end}),
         PngStatus::kCorrupt},
    };
    for (const auto& c : cases) {
        Pixel pixel{};
        EXPECT_EQ(DecodePng(c.png.data(), c.png.size(), pixel.data(), 4), c.status) << c.what;
        // Damage inside the image data shows only when it is decoded.
        if (c.status != PngStatus::kCorrupt) {
            PngInfo info;
            EXPECT_EQ(ReadPngInfo(c.png.data(), c.png.size(), &info), c.status) << c.what;
        }
    }
}

// The pictures the launcher ships, as the skin generator wrote them: all
// decode here (the Windows tests compare their pixels with WIC's), and no cut
// or damaged copy reads outside its bytes or passes as whole.
TEST(PngDecode, ShippedPicturesDecodeAndTheirDamageIsCaught)
{
    const std::filesystem::path folder = std::filesystem::path(QM_SOURCE_DIR) / "res" / "png";
    std::size_t count = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(file.path(), std::ios::binary);
        const Bytes png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        PngInfo info;
        ASSERT_EQ(ReadPngInfo(png.data(), png.size(), &info), PngStatus::kOk) << file.path();
        std::vector<Pixel> pixels(std::size_t{info.width} * info.height);
        EXPECT_EQ(DecodePng(png.data(), png.size(), pixels[0].data(), info.width * 4),
                  PngStatus::kOk)
            << file.path();
        ++count;
        if (png.size() > 1000)
            continue;
        std::vector<Pixel> again(pixels.size());
        for (std::size_t cut = 0; cut < png.size() - 12; ++cut)
            EXPECT_NE(DecodePng(png.data(), cut, again[0].data(), info.width * 4), PngStatus::kOk)
                << file.path() << " cut at " << cut;
        // From the image data's first byte to its checksum's last: a copy
        // is refused or, where deflate's slack hides the change, gives the
        // very same picture (the checksum covers the inflated bytes).
        for (std::size_t at = 41; at < png.size() - 16; ++at) {
            Bytes damaged = png;
            damaged[at] ^= 0x5A;
            if (DecodePng(damaged.data(), damaged.size(), again[0].data(), info.width * 4) ==
                PngStatus::kOk) {
                EXPECT_EQ(again, pixels) << file.path() << " damaged at " << at;
            }
        }
    }
    EXPECT_GE(count, 40u);
}

} // namespace
