// The skin toolkit under Wine: pictures from resources and streams,
// premultiplication, tiling, layered windows, the off-screen DC and the image
// button. Pixels are read back from memory DCs.
#include "framework/app.h"
#include "framework/dc.h"
#include "framework/handles.h"
#include "framework/image.h"
#include "resource.h"
#include "skin/gt_button.h"
#include "skin/layered_window.h"
#include "skin/mask_bitmap.h"
#include "skin/mem_dc.h"
#include "skin/png_resource.h"
#include "skin/premultiply_image.h"
#include "skin/scale_image.h"
#include "skin/tile_image.h"
#include "skin/top_level_icon.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// ---------------------------------------------------------------- helpers --

struct Bgra {
    BYTE b, g, r, a;
};

BYTE* PixelAt(CImage& image, int x, int y)
{
    return static_cast<BYTE*>(image.GetBits()) + y * image.GetPitch() + x * (image.GetBPP() / 8);
}

void SetPixel(CImage& image, int x, int y, Bgra p)
{
    BYTE* const q = PixelAt(image, x, y);
    q[0] = p.b;
    q[1] = p.g;
    q[2] = p.r;
    q[3] = p.a;
}

// A 32-bit top-down image with an alpha channel, every pixel `fill`.
template <typename Image = CImage> Image* NewFace(int width, int height, Bgra fill)
{
    auto* image = new Image;
    EXPECT_TRUE(image->Create(width, -height, 32, CImage::createAlphaChannel));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(*image, x, y, fill);
    return image;
}

// A CImage that reports its deletion.
class CountedImage : public CImage {
public:
    ~CountedImage() override { ++s_deleted; }
    static int s_deleted;
};
int CountedImage::s_deleted = 0;

// A memory DC over a 32-bit picture, for reading pixels back.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill)
    {
        EXPECT_TRUE(m_image.Create(width, -height, 32));
        m_select = std::make_unique<SelectObjectScope>(m_dc.get(), static_cast<HBITMAP>(m_image));
        Fill(fill);
    }
    HDC dc() const noexcept { return m_dc.get(); }
    HBITMAP bitmap() const noexcept { return m_image; }
    COLORREF Pixel(int x, int y) const { return ::GetPixel(m_dc.get(), x, y); }
    void Fill(COLORREF colour)
    {
        CDC dc;
        dc.Attach(m_dc.get());
        dc.FillSolidRect(0, 0, m_image.GetWidth(), m_image.GetHeight(), colour);
    }
    // Whether every pixel of the rectangle is `colour`.
    bool All(const RECT& rect, COLORREF colour) const
    {
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x)
                if (Pixel(x, y) != colour)
                    return false;
        return true;
    }

private:
    CImage m_image;
    UniqueMemoryDC m_dc{::CreateCompatibleDC(nullptr)};
    std::unique_ptr<SelectObjectScope> m_select;
};

std::vector<BYTE> Bytes(std::initializer_list<BYTE> list)
{
    return std::vector<BYTE>(list);
}

// A stream over a copy of `bytes`.
void StreamOf(const std::vector<BYTE>& bytes, ComPtr<IStream>& stream)
{
    ASSERT_HRESULT_SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ULONG written = 0;
    ASSERT_HRESULT_SUCCEEDED(
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
    LARGE_INTEGER origin{};
    stream->Seek(origin, STREAM_SEEK_SET, nullptr);
}

// 2x2 RGBA PNG: red opaque, green alpha 128 / blue alpha 0, white alpha 64.
const std::vector<BYTE> kRgbaPng =
    Bytes({0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
           0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00,
           0x00, 0x72, 0xb6, 0x0d, 0x24, 0x00, 0x00, 0x00, 0x19, 0x49, 0x44, 0x41, 0x54, 0x78,
           0xda, 0x05, 0xc1, 0x01, 0x01, 0x00, 0x00, 0x08, 0x80, 0x20, 0x7a, 0xd6, 0xb4, 0x9e,
           0x1b, 0x88, 0xe4, 0x86, 0x94, 0x7d, 0x3d, 0x23, 0x06, 0xbc, 0xfa, 0x8a, 0x06, 0xe6,
           0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82});

// 2x1 RGB PNG without alpha: (10,20,30), (200,150,100).
const std::vector<BYTE> kRgbPng =
    Bytes({0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
           0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7b,
           0x40, 0xe8, 0xdd, 0x00, 0x00, 0x00, 0x0f, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xe0,
           0x12, 0x91, 0x3b, 0x31, 0x2d, 0x05, 0x00, 0x05, 0x07, 0x01, 0xff, 0xbf, 0x07, 0x0a, 0xba,
           0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82});

::testing::AssertionResult PixelIs(const CImage& image, int x, int y, Bgra expected)
{
    const BYTE* const p = static_cast<const BYTE*>(image.GetBits()) + y * image.GetPitch() + x * 4;
    if (p[0] == expected.b && p[1] == expected.g && p[2] == expected.r && p[3] == expected.a)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << x << "," << y << ") is B,G,R,A " << int(p[0]) << "," << int(p[1]) << ","
           << int(p[2]) << "," << int(p[3]);
}

// ----------------------------------------------------------------- images --

TEST(Image, DecodesStraightAlphaTopRowFirst)
{
    ComPtr<IStream> stream;
    StreamOf(kRgbaPng, stream);
    CImage image;
    ASSERT_HRESULT_SUCCEEDED(image.Load(stream.get()));
    EXPECT_EQ(image.GetWidth(), 2);
    EXPECT_EQ(image.GetHeight(), 2);
    EXPECT_EQ(image.GetBPP(), 32);
    EXPECT_EQ(image.GetPitch(), 8);
    EXPECT_TRUE(image.HasAlphaChannel());
    EXPECT_TRUE(PixelIs(image, 0, 0, {0, 0, 255, 255}));
    EXPECT_TRUE(PixelIs(image, 1, 0, {0, 255, 0, 128})) << "colour stays straight";
    EXPECT_TRUE(PixelIs(image, 0, 1, {255, 0, 0, 0}));
    EXPECT_TRUE(PixelIs(image, 1, 1, {255, 255, 255, 64}));
}

TEST(Image, PictureWithoutAlphaIs24BitsAndPremultiplyLeavesIt)
{
    ComPtr<IStream> stream;
    StreamOf(kRgbPng, stream);
    CImage image;
    ASSERT_HRESULT_SUCCEEDED(image.Load(stream.get()));
    EXPECT_EQ(image.GetBPP(), 24);
    EXPECT_FALSE(image.HasAlphaChannel());
    const BYTE* const p = static_cast<const BYTE*>(image.GetBits());
    const std::vector<BYTE> before(p, p + 6);
    EXPECT_EQ(before, Bytes({30, 20, 10, 100, 150, 200}));
    EXPECT_TRUE(PremultiplyAlpha(&image));
    EXPECT_EQ(std::vector<BYTE>(p, p + 6), before);
}

TEST(Image, UndecodableOrTruncatedDataLeavesTheImageEmpty)
{
    CImage image;
    ASSERT_TRUE(LoadPngResource(&image, 145));
    ComPtr<IStream> garbage;
    StreamOf(Bytes({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}), garbage);
    EXPECT_TRUE(FAILED(image.Load(garbage.get())));
    EXPECT_TRUE(image.IsNull());
    EXPECT_EQ(image.GetBits(), nullptr);

    ComPtr<IStream> truncated;
    StreamOf(std::vector<BYTE>(kRgbaPng.begin(), kRgbaPng.begin() + 40), truncated);
    EXPECT_TRUE(FAILED(image.Load(truncated.get())));
    EXPECT_TRUE(image.IsNull());
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_FALSE(image.HasAlphaChannel());
    EXPECT_EQ(image.Load(nullptr), E_POINTER);
}

TEST(Image, DrawBlendsAlphaImagesAndCopiesOthers)
{
    Canvas canvas(4, 1, RGB(0, 0, 200));
    std::unique_ptr<CImage> alpha(NewFace(1, 1, {0, 100, 0, 128})); // premultiplied green
    EXPECT_TRUE(alpha->Draw(canvas.dc(), 0, 0));
    // 100 + 200 * (255 - 128) / 255, give or take the rounding of the blend
    const COLORREF blended = canvas.Pixel(0, 0);
    EXPECT_EQ(GetGValue(blended), 100);
    EXPECT_NEAR(GetBValue(blended), 99, 1);

    CImage opaque;
    ASSERT_TRUE(opaque.Create(1, -1, 32));
    SetPixel(opaque, 0, 0, {0, 100, 0, 0}); // alpha byte ignored without the flag
    EXPECT_TRUE(opaque.Draw(canvas.dc(), 1, 0));
    EXPECT_EQ(canvas.Pixel(1, 0), RGB(0, 100, 0));

    CImage empty;
    EXPECT_FALSE(empty.Draw(canvas.dc(), 2, 0));
    EXPECT_EQ(canvas.Pixel(2, 0), RGB(0, 0, 200));
}

// ---------------------------------------------------------- PNG resources --

struct PngEntry {
    UINT id;
    int width;
    int height;
};

const PngEntry kSkinPictures[] = {
    {109, 411, 184}, {140, 1194, 685}, {144, 41, 36},  {145, 41, 36},  {146, 41, 36},
    {147, 41, 36},   {148, 41, 36},    {149, 41, 36},  {150, 322, 27}, {151, 173, 27},
    {152, 260, 27},  {158, 23, 23},    {159, 23, 23},  {160, 23, 23},  {161, 23, 23},
    {162, 23, 23},   {163, 23, 23},    {164, 89, 27},  {165, 23, 23},  {166, 23, 23},
    {167, 226, 104}, {168, 70, 28},    {169, 70, 28},  {170, 70, 28},  {171, 70, 28},
    {180, 142, 36},  {181, 142, 36},   {182, 142, 36}, {183, 142, 36}, {184, 142, 36},
    {185, 142, 36},  {186, 142, 36},   {187, 142, 36}, {188, 23, 23},  {189, 23, 23},
    {190, 73, 18},   {191, 73, 18},    {192, 80, 18},  {193, 80, 18},  {194, 46, 18},
    {195, 46, 18},   {196, 46, 18},    {197, 46, 18},  {200, 48, 48},  {201, 112, 32},
    {202, 112, 32},  {203, 112, 32},
};
static_assert(std::size(kSkinPictures) == 47, "every picture of the launcher");

TEST(LoadPngResource, EverySkinPictureLoadsAt32BitsWithAlphaAndItsSize)
{
    for (const PngEntry& entry : kSkinPictures) {
        CImage image;
        ASSERT_TRUE(LoadPngResource(&image, entry.id)) << entry.id;
        EXPECT_FALSE(image.IsNull()) << entry.id;
        EXPECT_EQ(image.GetWidth(), entry.width) << entry.id;
        EXPECT_EQ(image.GetHeight(), entry.height) << entry.id;
        EXPECT_EQ(image.GetBPP(), 32) << entry.id;
        EXPECT_EQ(image.GetPitch(), entry.width * 4) << entry.id;
        EXPECT_TRUE(image.HasAlphaChannel()) << entry.id;
    }
}

BOOL CALLBACK CollectNumericId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<UINT>*>(list)->push_back(
            static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// The launcher decodes its own pictures without WIC: each must come out
// exactly as WIC decodes the same bytes.
TEST(LoadPngResource, EveryPictureHasTheBytesWicDecodes)
{
    std::vector<UINT> ids;
    ::EnumResourceNamesW(nullptr, L"PNG", CollectNumericId, reinterpret_cast<LONG_PTR>(&ids));
    EXPECT_EQ(ids.size(), std::size(kSkinPictures) + 4) << "with the splash's four";
    for (const UINT id : ids) {
        const HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
        const auto* data =
            static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, resource)));
        ComPtr<IStream> stream;
        StreamOf(std::vector<BYTE>(data, data + ::SizeofResource(nullptr, resource)), stream);
        CImage wic;
        ASSERT_TRUE(SUCCEEDED(wic.Load(stream.get()))) << id;
        CImage own;
        ASSERT_TRUE(LoadPngResource(&own, id)) << id;
        ASSERT_EQ(own.GetWidth(), wic.GetWidth()) << id;
        ASSERT_EQ(own.GetHeight(), wic.GetHeight()) << id;
        ASSERT_EQ(own.GetBPP(), wic.GetBPP()) << id;
        ASSERT_EQ(own.GetPitch(), wic.GetPitch()) << id;
        EXPECT_EQ(own.HasAlphaChannel(), wic.HasAlphaChannel()) << id;
        const auto bytes = static_cast<std::size_t>(own.GetPitch()) * own.GetHeight();
        EXPECT_EQ(std::memcmp(own.GetBits(), wic.GetBits(), bytes), 0) << id;
    }
}

TEST(LoadPngResource, MissingIdGivesFalseAndAnEmptyImage)
{
    CImage image;
    EXPECT_FALSE(LoadPngResource(&image, 141));
    EXPECT_TRUE(image.IsNull());

    ASSERT_TRUE(LoadPngResource(&image, 140));
    EXPECT_FALSE(LoadPngResource(&image, 141)) << "an id without a PNG";
    EXPECT_TRUE(image.IsNull()) << "the previous picture is dropped";
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_EQ(image.GetHeight(), 0);
    EXPECT_EQ(image.GetBPP(), 0);
    EXPECT_EQ(image.GetPitch(), 0);
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_FALSE(image.HasAlphaChannel());

    EXPECT_FALSE(LoadPngResource(&image, IDI_APP)) << "an icon is no PNG resource";
    EXPECT_FALSE(LoadPngResource(nullptr, 140));
}

TEST(LoadPngResource, LoadingAgainReplacesThePicture)
{
    CImage image;
    ASSERT_TRUE(LoadPngResource(&image, 140));
    ASSERT_TRUE(LoadPngResource(&image, 145));
    EXPECT_EQ(image.GetWidth(), 41);
    EXPECT_EQ(image.GetHeight(), 36);
}

// ------------------------------------------------------------ premultiply --

TEST(PremultiplyAlpha, LoginBackgroundEndsWithNoColourAboveItsAlpha)
{
    CImage image;
    ASSERT_TRUE(LoadPngResource(&image, 140));
    const BYTE* const bits = static_cast<const BYTE*>(image.GetBits());
    const std::vector<BYTE> straight(bits, bits + image.GetPitch() * image.GetHeight());
    ASSERT_TRUE(PremultiplyAlpha(&image));
    bool sawTransparent = false;
    bool sawOpaque = false;
    for (std::size_t i = 0; i < straight.size(); i += 4) {
        const unsigned a = straight[i + 3];
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(bits[i + c], straight[i + c] * a / 255) << "byte " << i + c;
        ASSERT_EQ(bits[i + 3], a);
        sawTransparent |= a == 0;
        sawOpaque |= a == 255;
    }
    EXPECT_TRUE(sawTransparent && sawOpaque) << "the picture has a shaped outline";
}

TEST(PremultiplyAlpha, BottomUpImagesArePremultipliedRowByRow)
{
    CImage image;
    ASSERT_TRUE(image.Create(3, 2, 32, CImage::createAlphaChannel)); // bottom-up
    ASSERT_LT(image.GetPitch(), 0);
    SetPixel(image, 0, 0, {255, 128, 1, 128});
    SetPixel(image, 2, 1, {200, 200, 200, 0});
    EXPECT_TRUE(PremultiplyAlpha(&image));
    EXPECT_TRUE(PixelIs(image, 0, 0, {128, 64, 0, 128}));
    EXPECT_TRUE(PixelIs(image, 2, 1, {0, 0, 0, 0}));
}

TEST(PremultiplyAlpha, NullGivesFalseEmptyAnd24BitImagesAreLeftAlone)
{
    EXPECT_FALSE(PremultiplyAlpha(nullptr));
    CImage empty;
    EXPECT_TRUE(PremultiplyAlpha(&empty));

    CImage rgb;
    ASSERT_TRUE(rgb.Create(2, -1, 24));
    BYTE* const p = PixelAt(rgb, 0, 0);
    const BYTE pattern[6] = {10, 20, 30, 40, 50, 60};
    std::memcpy(p, pattern, sizeof pattern);
    EXPECT_TRUE(PremultiplyAlpha(&rgb));
    EXPECT_EQ(std::memcmp(p, pattern, sizeof pattern), 0);
}

// ---------------------------------------------------------------- scaling --

// Red of alpha 200 on the left half, transparent white on the right half.
std::unique_ptr<CImage> RedBesideClearWhite(int width, int height)
{
    std::unique_ptr<CImage> image(NewFace(width, height, {255, 255, 255, 0}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x)
            SetPixel(*image, x, y, {0, 0, 255, 200});
    return image;
}

TEST(ScaleImage, At96DpiThePictureIsUntouched)
{
    const std::unique_ptr<CImage> image = RedBesideClearWhite(4, 2);
    const void* const bits = image->GetBits();
    EXPECT_TRUE(ScaleImage(image.get(), DpiScale(96), PictureAlpha::kStraight));
    EXPECT_EQ(image->GetBits(), bits) << "not even copied";
    EXPECT_TRUE(PixelIs(*image, 3, 1, {255, 255, 255, 0}));
    EXPECT_FALSE(ScaleImage(nullptr, DpiScale(144), PictureAlpha::kStraight));
}

TEST(ScaleImage, EdgesTakeNoColourFromTransparentPixels)
{
    for (const PictureAlpha alpha : {PictureAlpha::kStraight, PictureAlpha::kPremultiplied}) {
        std::unique_ptr<CImage> image = RedBesideClearWhite(8, 4);
        if (alpha == PictureAlpha::kPremultiplied)
            PremultiplyAlpha(image.get());
        ASSERT_TRUE(ScaleImage(image.get(), DpiScale(144), alpha));
        ASSERT_EQ(image->GetWidth(), 12);
        ASSERT_EQ(image->GetHeight(), 6);
        EXPECT_EQ(image->GetBPP(), 32);
        EXPECT_TRUE(image->HasAlphaChannel());
        EXPECT_GT(image->GetPitch(), 0) << "top-down, like a decoded picture";
        for (int x = 0; x < 12; ++x) {
            const BYTE* p = PixelAt(*image, x, 3);
            // However the filter weighs the edge, a pixel that shows at all
            // is red, in the form the picture came in: the white of the
            // clear half stays out.
            const BYTE red = alpha == PictureAlpha::kStraight ? 255 : p[3];
            if (p[3] != 0) {
                EXPECT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == red)
                    << "column " << x << ": " << int(p[0]) << "," << int(p[1]) << "," << int(p[2])
                    << "," << int(p[3]);
            }
        }
        EXPECT_TRUE(PixelIs(*image, 0, 0,
                            {0, 0, alpha == PictureAlpha::kStraight ? BYTE(255) : BYTE(200), 200}));
        EXPECT_TRUE(PixelIs(*image, 11, 5, {0, 0, 0, 0}));
    }
}

TEST(ScaleImage, PicturesWithoutAlphaStay24Bits)
{
    CImage rgb;
    ASSERT_TRUE(rgb.Create(2, -2, 24));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            std::memcpy(PixelAt(rgb, x, y), "\x10\x20\x30", 3);
    ASSERT_TRUE(ScaleImage(&rgb, DpiScale(192), PictureAlpha::kStraight));
    EXPECT_EQ(rgb.GetWidth(), 4);
    EXPECT_EQ(rgb.GetHeight(), 4);
    EXPECT_EQ(rgb.GetBPP(), 24);
    EXPECT_FALSE(rgb.HasAlphaChannel());
    EXPECT_EQ(std::memcmp(PixelAt(rgb, 3, 3), "\x10\x20\x30", 3), 0);
}

// ----------------------------------------------------------------- tiling --

// A 173x4 picture whose first column is red, last column green and column
// 53 blue, grey elsewhere; all opaque.
std::unique_ptr<CImage> TitleMiddlePiece()
{
    std::unique_ptr<CImage> image(NewFace(173, 4, {128, 128, 128, 255}));
    for (int y = 0; y < 4; ++y) {
        SetPixel(*image, 0, y, {0, 0, 255, 255});
        SetPixel(*image, 172, y, {0, 255, 0, 255});
        SetPixel(*image, 53, y, {255, 0, 0, 255});
    }
    SetPixel(*image, 1, 0, {0, 255, 255, 255}); // yellow marks the top row
    return image;
}

TEST(TileImage, CopiesOf173PixelsOver400AreCut54)
{
    const std::unique_ptr<CImage> piece = TitleMiddlePiece();
    Canvas canvas(420, 12, RGB(255, 255, 255));
    EXPECT_TRUE(TileImage(piece.get(), canvas.dc(), 0, 0, 400, 6));
    for (int left : {0, 173, 346})
        EXPECT_EQ(canvas.Pixel(left, 0), RGB(255, 0, 0)) << "a copy starts at " << left;
    for (int right : {172, 345})
        EXPECT_EQ(canvas.Pixel(right, 0), RGB(0, 255, 0)) << "a copy ends at " << right;
    EXPECT_EQ(canvas.Pixel(399, 0), RGB(0, 0, 255)) << "the last copy shows columns 0..53";
    EXPECT_EQ(canvas.Pixel(400, 0), RGB(255, 255, 255));
    // Rows: the second row of copies starts at 4 and is cut to 2 pixels.
    EXPECT_EQ(canvas.Pixel(174, 4), RGB(255, 255, 0));
    EXPECT_EQ(canvas.Pixel(174, 5), RGB(128, 128, 128));
    EXPECT_EQ(canvas.Pixel(174, 6), RGB(255, 255, 255));
}

TEST(TileImage, StartsAtTheGivenCorner)
{
    const std::unique_ptr<CImage> piece = TitleMiddlePiece();
    Canvas canvas(300, 8, RGB(255, 255, 255));
    EXPECT_TRUE(TileImage(piece.get(), canvas.dc(), 100, 2, 180, 4));
    EXPECT_EQ(canvas.Pixel(99, 2), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(100, 1), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(101, 2), RGB(255, 255, 0));
    EXPECT_EQ(canvas.Pixel(273, 2), RGB(255, 0, 0));
    EXPECT_EQ(canvas.Pixel(280, 2), RGB(255, 255, 255));
}

TEST(TileImage, EmptyRectangleDrawsNothingButSucceeds)
{
    const std::unique_ptr<CImage> piece = TitleMiddlePiece();
    Canvas canvas(200, 8, RGB(255, 255, 255));
    EXPECT_TRUE(TileImage(piece.get(), canvas.dc(), 0, 0, 0, 4));
    EXPECT_TRUE(TileImage(piece.get(), canvas.dc(), 0, 0, 100, 0));
    EXPECT_TRUE(TileImage(piece.get(), canvas.dc(), 0, 0, -5, 4));
    EXPECT_TRUE(TileImage(piece.get(), canvas.dc(), 0, 0, 100, -1));
    EXPECT_TRUE(canvas.All({0, 0, 200, 8}, RGB(255, 255, 255)));
}

TEST(TileImage, NullOrEmptyImageGivesFalse)
{
    Canvas canvas(10, 10, RGB(255, 255, 255));
    CImage empty;
    EXPECT_FALSE(TileImage(nullptr, canvas.dc(), 0, 0, 10, 10));
    EXPECT_FALSE(TileImage(&empty, canvas.dc(), 0, 0, 10, 10));
}

// ---------------------------------------------------------- off-screen DC --

class OffScreen : public ::testing::Test {
protected:
    Canvas canvas{100, 100, RGB(255, 255, 255)};
    CDC target;
    void SetUp() override { target.Attach(canvas.dc()); }
};

TEST_F(OffScreen, DrawingAtTheOriginLandsAtTheRectanglesCorner)
{
    const RECT rect{10, 20, 60, 70};
    {
        CMemDC2005 mem(&target, &rect);
        EXPECT_NE(mem.m_hDC, target.m_hDC);
        mem.FillSolidRect(0, 0, 50, 50, RGB(0, 0, 255));
        mem.FillSolidRect(0, 0, 1, 1, RGB(255, 0, 0));
        EXPECT_EQ(canvas.Pixel(10, 20), RGB(255, 255, 255)) << "nothing reaches the target yet";
    }
    EXPECT_EQ(canvas.Pixel(10, 20), RGB(255, 0, 0));
    EXPECT_EQ(canvas.Pixel(11, 21), RGB(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(59, 69), RGB(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(9, 20), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(10, 19), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(60, 69), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(59, 70), RGB(255, 255, 255));
    EXPECT_EQ(::GetCurrentObject(canvas.dc(), OBJ_BITMAP), canvas.bitmap());
}

TEST_F(OffScreen, WithoutRectangleTheClipBoxDecides)
{
    ::IntersectClipRect(canvas.dc(), 30, 40, 70, 90);
    {
        CMemDC2005 mem(&target);
        mem.FillSolidRect(0, 0, 100, 100, RGB(0, 0, 255));
        mem.FillSolidRect(0, 0, 1, 1, RGB(255, 0, 0));
    }
    ::SelectClipRgn(canvas.dc(), nullptr);
    EXPECT_EQ(canvas.Pixel(30, 40), RGB(255, 0, 0));
    EXPECT_TRUE(canvas.All({31, 40, 70, 90}, RGB(0, 0, 255)));
    EXPECT_EQ(canvas.Pixel(29, 40), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(70, 40), RGB(255, 255, 255));
    EXPECT_EQ(canvas.Pixel(30, 90), RGB(255, 255, 255));
}

TEST_F(OffScreen, PrinterIsDrawnIntoDirectlyAndKeepsItsHandles)
{
    target.m_bPrinting = TRUE;
    const RECT rect{10, 20, 60, 70};
    {
        CMemDC2005 mem(&target, &rect);
        EXPECT_TRUE(mem.IsPrinting());
        EXPECT_EQ(mem.m_hDC, target.m_hDC);
        EXPECT_EQ(mem.m_hAttribDC, target.m_hAttribDC);
        mem.FillSolidRect(0, 0, 5, 5, RGB(255, 0, 0));
        EXPECT_EQ(canvas.Pixel(0, 0), RGB(255, 0, 0)) << "no buffer, no offset";
    }
    EXPECT_EQ(::GetObjectType(canvas.dc()), static_cast<DWORD>(OBJ_MEMDC)) << "not deleted";
    EXPECT_EQ(::GetCurrentObject(canvas.dc(), OBJ_BITMAP), canvas.bitmap());
    EXPECT_EQ(canvas.Pixel(10, 20), RGB(255, 255, 255)) << "nothing copied at the end";
    EXPECT_EQ(target.m_hDC, canvas.dc());
}

TEST_F(OffScreen, BufferThatCannotBeMadeFallsBackToTheTarget)
{
    // 65536 x 65536 at 32 bits does not fit a bitmap.
    const RECT huge{0, 0, 65536, 65536};
    {
        CMemDC2005 mem(&target, &huge);
        EXPECT_EQ(mem.m_hDC, target.m_hDC);
        mem.FillSolidRect(0, 0, 5, 5, RGB(255, 0, 0));
    }
    EXPECT_EQ(canvas.Pixel(4, 4), RGB(255, 0, 0));
    EXPECT_EQ(canvas.Pixel(5, 5), RGB(255, 255, 255));
    EXPECT_EQ(::GetObjectType(canvas.dc()), static_cast<DWORD>(OBJ_MEMDC));
}

// ------------------------------------------------------------ image button --

const wchar_t kParentClass[] = L"QmSkinTestParent";
constexpr UINT kButtonId = 184;
constexpr Bgra kHoverBlue{255, 0, 0, 255};
constexpr Bgra kNormalRed{0, 0, 255, 255};
constexpr Bgra kPressedGreen{0, 255, 0, 255};
constexpr COLORREF kBackdrop = RGB(0, 200, 100);

// The button's parent: records the commands it gets.
class ParentWnd : public CWnd {
public:
    std::vector<WPARAM> commands;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(wParam);
        return CWnd::OnCommand(wParam, lParam);
    }
};

// Counts its paints, remembers the last item state and how many paints had
// happened when the leave notification was handled.
class ProbeButton : public GTButton {
public:
    int paints = 0;
    int paintsAtLeave = -1;
    UINT lastState = 0;
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override
    {
        ++paints;
        lastState = drawItem->itemState;
        GTButton::DrawItem(drawItem);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = GTButton::WindowProc(message, wParam, lParam);
        if (message == WM_MOUSELEAVE)
            paintsAtLeave = paints;
        return result;
    }
};

class ImageButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kParentClass;
        ASSERT_TRUE(AfxRegisterClass(&wc));
        const RECT rect{200, 200, 400, 300};
        ASSERT_TRUE(parent.CreateEx(0, kParentClass, L"skin test", WS_POPUP, rect, nullptr, 0));
        ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE, RECT{}, &parent, kButtonId));
    }

    // Paints the button into `canvas` as the parent's WM_DRAWITEM would.
    void Paint(Canvas& canvas, UINT state = 0)
    {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = kButtonId;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button.m_hWnd;
        item.hDC = canvas.dc();
        button.GetClientRect(&item.rcItem);
        button.DrawItem(&item);
    }

    COLORREF PaintedColour(UINT state = 0)
    {
        Canvas canvas(20, 10, kBackdrop);
        Paint(canvas, state);
        return canvas.Pixel(5, 5);
    }

    void SetThreeFaces()
    {
        button.m_bOwnImages = 1;
        ASSERT_TRUE(button.SetImages(NewFace(20, 10, kNormalRed), NewFace(20, 10, kHoverBlue),
                                     NewFace(20, 10, kPressedGreen), nullptr));
    }

    ParentWnd parent;
    ProbeButton button;
};

TEST_F(ImageButton, IsOwnerDrawnWhenCreatedOrSubclassed)
{
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    for (const DWORD type : {BS_DEFPUSHBUTTON, BS_RADIOBUTTON}) {
        const HWND raw = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | type, 0, 0,
                                           10, 10, parent, nullptr, nullptr, nullptr);
        ASSERT_NE(raw, nullptr);
        GTButton subclassed;
        ASSERT_TRUE(subclassed.SubclassWindow(raw));
        EXPECT_EQ(subclassed.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW)) << type;
        EXPECT_NE(subclassed.GetStyle() & WS_VISIBLE, 0u);
    }
}

TEST_F(ImageButton, SetImagesSizesTheButtonToTheNormalFaceAndKeepsItsPlace)
{
    button.SetWindowPos(nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetThreeFaces();
    RECT rect{};
    button.GetWindowRect(&rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, 20);
    EXPECT_EQ(rect.bottom - rect.top, 10);
    EXPECT_TRUE(button.m_bUseMask);
}

TEST_F(ImageButton, DrawsTheFaceOfEachState)
{
    SetThreeFaces();
    EXPECT_EQ(PaintedColour(), RGB(255, 0, 0));
    button.m_bHover = 1;
    EXPECT_EQ(PaintedColour(), RGB(0, 0, 255));
    EXPECT_EQ(PaintedColour(ODS_SELECTED), RGB(0, 255, 0)) << "pressed wins over hover";
    button.m_bHover = 0;
    EXPECT_EQ(PaintedColour(ODS_SELECTED | ODS_FOCUS), RGB(0, 255, 0));
    EXPECT_EQ(PaintedColour(ODS_DISABLED), RGB(255, 0, 0)) << "no disabled face";
}

TEST_F(ImageButton, MissingHoverAndPressedFacesFallBackToNormal)
{
    button.m_bOwnImages = 1;
    ASSERT_TRUE(button.SetImages(NewFace(20, 10, kNormalRed), nullptr, nullptr, nullptr));
    button.m_bHover = 1;
    EXPECT_EQ(PaintedColour(), RGB(255, 0, 0));
    EXPECT_EQ(PaintedColour(ODS_SELECTED), RGB(255, 0, 0));
}

TEST_F(ImageButton, MaskLeavesTransparentBlackAndTruncatedPixelsUnpainted)
{
    CImage* const face = NewFace(20, 10, kNormalRed);
    SetPixel(*face, 0, 0, {0, 0, 0, 0});         // transparent
    SetPixel(*face, 1, 0, {0, 0, 0, 255});       // opaque pure black
    SetPixel(*face, 2, 0, {10, 10, 10, 10});     // premultiplies to black
    SetPixel(*face, 3, 0, {1, 1, 1, 200});       // premultiplies to black
    SetPixel(*face, 4, 0, {255, 255, 255, 128}); // half-transparent white
    SetPixel(*face, 5, 0, {255, 255, 255, 0});   // transparent, colour left in
    button.m_bOwnImages = 1;
    ASSERT_TRUE(button.SetImages(face, nullptr, nullptr, nullptr));

    Canvas canvas(20, 10, kBackdrop);
    Paint(canvas);
    for (int x : {0, 1, 2, 3, 5})
        EXPECT_EQ(canvas.Pixel(x, 0), kBackdrop) << "pixel " << x << " is left to the parent";
    EXPECT_EQ(canvas.Pixel(4, 0), RGB(128, 128, 128)) << "drawn opaque, darkened";
    EXPECT_EQ(canvas.Pixel(6, 0), RGB(255, 0, 0));
}

TEST_F(ImageButton, MaskWorksWhateverColoursTheTargetHasSelected)
{
    CImage* const face = NewFace(20, 10, kNormalRed);
    SetPixel(*face, 0, 0, {0, 0, 0, 0});
    button.m_bOwnImages = 1;
    ASSERT_TRUE(button.SetImages(face, nullptr, nullptr, nullptr));
    Canvas canvas(20, 10, kBackdrop);
    ::SetTextColor(canvas.dc(), RGB(0, 0, 255));
    ::SetBkColor(canvas.dc(), RGB(255, 255, 0));
    Paint(canvas);
    EXPECT_EQ(canvas.Pixel(0, 0), kBackdrop);
    EXPECT_EQ(canvas.Pixel(1, 0), RGB(255, 0, 0));
    EXPECT_EQ(::GetTextColor(canvas.dc()), RGB(0, 0, 255)) << "the target's colours come back";
    EXPECT_EQ(::GetBkColor(canvas.dc()), RGB(255, 255, 0));
}

TEST_F(ImageButton, ButtonWithoutCaptionPaintsOnlyItsFace)
{
    SetThreeFaces();
    Canvas canvas(30, 15, kBackdrop);
    Paint(canvas, ODS_SELECTED);
    EXPECT_TRUE(canvas.All({0, 0, 20, 10}, RGB(0, 255, 0)));
    EXPECT_TRUE(canvas.All({20, 0, 30, 15}, kBackdrop));
    EXPECT_TRUE(canvas.All({0, 10, 20, 15}, kBackdrop));
}

// Rows of `canvas` within the face that hold anything but the face colour.
std::pair<int, int> CaptionRows(const Canvas& canvas, int width, int height, COLORREF face)
{
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (canvas.Pixel(x, y) != face) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
    return {top, bottom};
}

TEST_F(ImageButton, CaptionSinksTwoPixelsWhilePressed)
{
    button.m_bOwnImages = 1;
    ASSERT_TRUE(button.SetImages(NewFace(60, 24, {40, 40, 40, 255}), nullptr, nullptr, nullptr));
    button.SetWindowText(L"Hi");
    const COLORREF face = RGB(40, 40, 40);

    Canvas normal(60, 24, kBackdrop);
    Paint(normal);
    const auto up = CaptionRows(normal, 60, 24, face);
    ASSERT_GE(up.first, 0) << "the caption is drawn";
    EXPECT_EQ(normal.Pixel(0, 0), face);

    Canvas pressed(60, 24, kBackdrop);
    Paint(pressed, ODS_SELECTED);
    const auto down = CaptionRows(pressed, 60, 24, face);
    EXPECT_EQ(down.first, up.first + 2);
    EXPECT_EQ(down.second, up.second + 2);
    EXPECT_EQ(pressed.Pixel(0, 0), face) << "the normal face stands in for the pressed one";

    // Caption colour: white unless set.
    bool white = false;
    for (int x = 0; x < 60 && !white; ++x)
        for (int y = 0; y < 24 && !white; ++y)
            white = normal.Pixel(x, y) == RGB(255, 255, 255);
    EXPECT_TRUE(white);
    button.m_crText = RGB(255, 0, 0);
    Canvas red(60, 24, kBackdrop);
    Paint(red);
    bool sawRed = false;
    bool sawWhite = false;
    for (int x = 0; x < 60; ++x)
        for (int y = 0; y < 24; ++y) {
            sawRed |= red.Pixel(x, y) == RGB(255, 0, 0);
            sawWhite |= red.Pixel(x, y) == RGB(255, 255, 255);
        }
    EXPECT_TRUE(sawRed);
    EXPECT_FALSE(sawWhite);
}

TEST_F(ImageButton, IconIsCentredBlinksWithTheTimerAndResetShowsItAgain)
{
    button.m_bOwnImages = 1;
    CImage* const icon = NewFace(6, 4, {255, 0, 255, 255});
    ASSERT_TRUE(button.SetImages(NewFace(20, 10, kNormalRed), nullptr, nullptr, icon));
    button.m_nIconX = 2;
    Canvas canvas(20, 10, kBackdrop);
    Paint(canvas);
    EXPECT_EQ(canvas.Pixel(2, 3), RGB(255, 0, 255)) << "(10 - 4) / 2 from the top";
    EXPECT_EQ(canvas.Pixel(7, 6), RGB(255, 0, 255));
    EXPECT_EQ(canvas.Pixel(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(canvas.Pixel(8, 3), RGB(255, 0, 0));

    ::SetTimer(button, GTButton::kBlinkTimer, 60000, nullptr);
    button.SendMessage(WM_TIMER, GTButton::kBlinkTimer);
    EXPECT_FALSE(button.m_bShowIcon);
    Canvas hidden(20, 10, kBackdrop);
    Paint(hidden);
    EXPECT_EQ(hidden.Pixel(2, 3), RGB(255, 0, 0));

    button.ResetImages();
    EXPECT_TRUE(button.m_bShowIcon);
    EXPECT_EQ(button.m_nIconX, 0);
    EXPECT_FALSE(::KillTimer(button, GTButton::kBlinkTimer)) << "the blink timer is stopped";
}

TEST_F(ImageButton, SetImagesWithoutNormalFaceChangesNothing)
{
    SetThreeFaces();
    CImage empty;
    EXPECT_FALSE(button.SetImages(nullptr, NewFace(5, 5, kHoverBlue), nullptr, nullptr));
    EXPECT_FALSE(button.SetImages(&empty, nullptr, nullptr, nullptr));
    EXPECT_EQ(PaintedColour(), RGB(255, 0, 0));
    RECT rect{};
    button.GetClientRect(&rect);
    EXPECT_EQ(rect.right, 20);
}

TEST_F(ImageButton, SetImagesPremultipliesEachPictureOnce)
{
    CImage* const normal = NewFace(4, 4, {200, 100, 50, 128});
    CImage* const shared = NewFace(4, 4, {200, 100, 50, 128});
    button.m_bOwnImages = 1;
    ASSERT_TRUE(button.SetImages(normal, shared, shared, nullptr));
    EXPECT_TRUE(PixelIs(*normal, 0, 0, {100, 50, 25, 128}));
    EXPECT_TRUE(PixelIs(*shared, 0, 0, {100, 50, 25, 128})) << "one picture in two roles";
    ASSERT_TRUE(button.SetImages(normal, shared, nullptr, nullptr));
    EXPECT_TRUE(PixelIs(*normal, 0, 0, {100, 50, 25, 128})) << "held already";
}

TEST_F(ImageButton, SecondSetImagesDeletesTheFirstPicturesOfAnOwningButton)
{
    CountedImage::s_deleted = 0;
    {
        ProbeButton owner;
        ASSERT_TRUE(owner.Create(L"", WS_CHILD, RECT{}, &parent, 1));
        owner.m_bOwnImages = 1;
        auto* const normal = NewFace<CountedImage>(4, 4, kNormalRed);
        ASSERT_TRUE(owner.SetImages(normal, NewFace<CountedImage>(4, 4, kHoverBlue),
                                    NewFace<CountedImage>(4, 4, kPressedGreen),
                                    NewFace<CountedImage>(2, 2, kHoverBlue)));
        ASSERT_TRUE(
            owner.SetImages(NewFace<CountedImage>(4, 4, kNormalRed), nullptr, nullptr, nullptr));
        EXPECT_EQ(CountedImage::s_deleted, 4);
        ASSERT_TRUE(
            owner.SetImages(NewFace<CountedImage>(4, 4, kNormalRed), nullptr, nullptr, nullptr));
        EXPECT_EQ(CountedImage::s_deleted, 5);
    }
    EXPECT_EQ(CountedImage::s_deleted, 6) << "the last set goes with the button";
}

TEST_F(ImageButton, SettingTheSamePicturesAgainKeepsThemAlive)
{
    CountedImage::s_deleted = 0;
    button.m_bOwnImages = 1;
    auto* const normal = NewFace<CountedImage>(20, 10, kNormalRed);
    auto* const hover = NewFace<CountedImage>(20, 10, kHoverBlue);
    ASSERT_TRUE(button.SetImages(normal, hover, nullptr, nullptr));
    ASSERT_TRUE(button.SetImages(normal, nullptr, nullptr, nullptr));
    EXPECT_EQ(CountedImage::s_deleted, 1) << "only the hover face is gone";
    EXPECT_EQ(PaintedColour(), RGB(255, 0, 0));
}

TEST_F(ImageButton, NonOwningButtonNeverDeletesAndForgetsOnReset)
{
    CountedImage::s_deleted = 0;
    std::unique_ptr<CountedImage> normal(NewFace<CountedImage>(20, 10, kNormalRed));
    {
        ProbeButton borrower;
        ASSERT_TRUE(borrower.Create(L"", WS_CHILD, RECT{}, &parent, 2));
        ASSERT_TRUE(borrower.SetImages(normal.get(), nullptr, nullptr, nullptr));
        borrower.ResetImages();
        EXPECT_EQ(CountedImage::s_deleted, 0);
        Canvas canvas(20, 10, kBackdrop);
        DRAWITEMSTRUCT item{};
        item.hwndItem = borrower.m_hWnd;
        item.hDC = canvas.dc();
        borrower.DrawItem(&item);
        EXPECT_TRUE(canvas.All({0, 0, 20, 10}, kBackdrop)) << "no picture after a reset";
    }
    EXPECT_EQ(CountedImage::s_deleted, 0);
}

TEST_F(ImageButton, EraseAndReflectedColourPaintNothing)
{
    SetThreeFaces();
    Canvas canvas(20, 10, kBackdrop);
    EXPECT_EQ(button.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc())), TRUE);
    EXPECT_TRUE(canvas.All({0, 0, 20, 10}, kBackdrop));
    const LRESULT brush = parent.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(canvas.dc()),
                                             reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), ::GetStockObject(NULL_BRUSH));
}

// Shows the parent with the button at (10,10) and waits for the first paints.
void ShowForReal(ParentWnd& parent, ProbeButton& button)
{
    button.SetWindowPos(nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    parent.ShowWindow(SW_SHOWNOACTIVATE);
    parent.UpdateWindow();
    ASSERT_TRUE(qmtest::PumpUntil([&] { return button.paints > 0; }, 5000));
    qmtest::PumpPending();
    button.paints = 0;
}

TEST_F(ImageButton, HoverRepaintsOnceOnEntryAndOnceOnLeave)
{
    SetThreeFaces();
    ShowForReal(parent, button);
    RECT rect{};
    button.GetWindowRect(&rect);
    ::SetCursorPos(rect.left + 5, rect.top + 5);
    for (int i = 0; i < 3; ++i)
        button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5 + i, 5));
    EXPECT_TRUE(button.m_bHover);
    EXPECT_EQ(button.paints, 1) << "one repaint on entry, none for further moves";
    const WindowDC dc(button);
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(0, 0, 255));

    // The pointer leaves: the leave notification asked for on entry arrives.
    // (The common controls' button class also repaints on its own when its
    // hot state changes; those paints are queued and not counted here.)
    ::SetCursorPos(rect.right + 300, rect.bottom + 300);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return !button.m_bHover; }, 5000));
    EXPECT_EQ(button.paintsAtLeave, 2) << "one repaint on leaving";
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(255, 0, 0));
}

TEST_F(ImageButton, PressingShowsThePressedFaceAndAClickReachesTheParent)
{
    SetThreeFaces();
    ShowForReal(parent, button);
    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return (button.lastState & ODS_SELECTED) != 0; }, 5000));
    const WindowDC dc(button);
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(0, 255, 0));
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(qmtest::PumpUntil([&] { return (button.lastState & ODS_SELECTED) == 0; }, 5000));
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(parent.commands[0], MAKEWPARAM(kButtonId, BN_CLICKED));
}

TEST(MaskBitmap, OneExactlyWhereTheColourIsBlack)
{
    std::unique_ptr<CImage> face(NewFace(3, 1, {0, 0, 0, 255}));
    SetPixel(*face, 1, 0, {0, 0, 1, 255});
    SetPixel(*face, 2, 0, {0, 0, 0, 0});
    EXPECT_EQ(CreateMaskBitmap(*face, 4, 1), nullptr) << "larger than the picture";
    UniqueBitmap mask(CreateMaskBitmap(*face, 3, 1));
    ASSERT_TRUE(mask);
    BITMAP info{};
    ASSERT_TRUE(::GetObjectW(mask.get(), sizeof info, &info));
    EXPECT_EQ(info.bmBitsPixel, 1);
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const SelectObjectScope select(dc.get(), mask.get());
    EXPECT_EQ(::GetPixel(dc.get(), 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(dc.get(), 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(::GetPixel(dc.get(), 2, 0), RGB(255, 255, 255));

    EXPECT_EQ(CreateMaskBitmap(nullptr, 3, 1), nullptr);
    EXPECT_EQ(CreateMaskBitmap(*face, 0, 1), nullptr);
}

// ------------------------------------------------------- layered windows --

class TopLevel : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kParentClass;
        ASSERT_TRUE(AfxRegisterClass(&wc));
    }
    HWND Make(DWORD style, HWND owner = nullptr, DWORD exStyle = 0)
    {
        const HWND hwnd = ::CreateWindowExW(exStyle, kParentClass, L"top", style, 50, 60, 10, 10,
                                            owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        windows.push_back(hwnd);
        return hwnd;
    }
    void TearDown() override
    {
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            ::DestroyWindow(*it);
    }
    std::vector<HWND> windows;
};

TEST_F(TopLevel, LayeredBitmapWithNullArgumentsChangesNothing)
{
    const HWND hwnd = Make(WS_POPUP, nullptr, WS_EX_TOOLWINDOW);
    const LONG_PTR before = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    CImage image;
    ASSERT_TRUE(LoadPngResource(&image, 145));
    EXPECT_FALSE(UpdateLayeredBitmap(hwnd, nullptr));
    EXPECT_FALSE(UpdateLayeredBitmap(nullptr, image));
    EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE), before);
}

TEST_F(TopLevel, LayeredBitmapBecomesTheWholeSurfaceWhereTheWindowIs)
{
    const HWND hwnd = Make(WS_POPUP, nullptr, WS_EX_TOOLWINDOW);
    CImage image;
    ASSERT_TRUE(LoadPngResource(&image, 140));
    ASSERT_TRUE(PremultiplyAlpha(&image));
    EXPECT_TRUE(UpdateLayeredBitmap(hwnd, image));
    const LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    EXPECT_NE(exStyle & WS_EX_LAYERED, 0);
    EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0) << "nothing removed";
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.top, 60);
    EXPECT_EQ(rect.right - rect.left, 1194);
    EXPECT_EQ(rect.bottom - rect.top, 685);

    // The caller's bitmap is free again: it can be selected elsewhere.
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const HGDIOBJ previous = ::SelectObject(dc.get(), image);
    EXPECT_NE(previous, nullptr);
    if (previous)
        ::SelectObject(dc.get(), previous);
}

TEST_F(TopLevel, OwnedDialogBecomesUnownedWithBothIcons)
{
    const HWND owner = Make(WS_OVERLAPPEDWINDOW);
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    ASSERT_NE(icon, nullptr);
    for (const DWORD style : {DWORD(WS_POPUP | WS_CAPTION), DWORD(WS_OVERLAPPED | WS_CAPTION)}) {
        const HWND dialog = Make(style, owner);
        ASSERT_EQ(::GetWindow(dialog, GW_OWNER), owner);
        EXPECT_TRUE(SetTopLevelIcon(dialog, icon)) << style;
        EXPECT_EQ(::GetWindow(dialog, GW_OWNER), nullptr) << style;
        EXPECT_EQ(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
        EXPECT_EQ(::SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0),
                  reinterpret_cast<LRESULT>(icon));
    }
}

TEST_F(TopLevel, IconOfAnUnownedWindowAndOfNoWindow)
{
    const HWND hwnd = Make(WS_POPUP);
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    EXPECT_TRUE(SetTopLevelIcon(hwnd, icon));
    EXPECT_EQ(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
    EXPECT_FALSE(SetTopLevelIcon(nullptr, icon));
    ::DestroyWindow(hwnd);
    EXPECT_FALSE(SetTopLevelIcon(hwnd, icon));
}

} // namespace
