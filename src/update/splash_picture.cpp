#include "update/splash_picture.h"

#include "framework/handles.h"
#include "resource.h"
#include "skin/pixel_blend.h"
#include "skin/png_resource.h"
#include "update/progress_text.h"

#include <cmath>
#include <cstring>

namespace {
// Where the download state's parts sit on the scroll at 96 DPI; the bar's
// place is the one the skin generator leaves free for it.
constexpr POINT kBar = {86, 103};
constexpr RECT kCaptionBox = {46, 66, 365, 98};
constexpr RECT kStateBox = {46, 121, 365, 143}; // the amount, and how to skip
constexpr int kCaptionHeight = 24;
constexpr int kStateHeight = 16;
constexpr COLORREF kInk = RGB(58, 40, 24); // the caption's ink in the pictures
constexpr int kSmallestText = 10;
constexpr int kTextMargin = 8;

// The pictures are stored premultiplied, as the layered window shows them.
bool LoadSplashPng(CImage* image, UINT id) noexcept
{
    return LoadPngResource(image, id, PictureAlpha::kPremultiplied);
}

PixelRows RowsOf(CImage& image, int x = 0, int y = 0) noexcept
{
    auto* top = static_cast<std::uint8_t*>(image.GetBits()) + y * image.GetPitch() + x * 4;
    return {top, image.GetPitch()};
}

ConstPixelRows SourceRows(const CImage& image) noexcept
{
    return {static_cast<const std::uint8_t*>(image.GetBits()), image.GetPitch()};
}

bool SameShape(const CImage& a, const CImage& b) noexcept
{
    return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() && a.GetBPP() == 32 &&
           b.GetBPP() == 32;
}

UniqueGdiObject<HFONT> MakeFont(int height, int weight) noexcept
{
    return UniqueGdiObject<HFONT>(::CreateFontW(
        -height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_ROMAN, L"Palatino Linotype"));
}

// Draws `text` centred in `box` of `picture` in ink, at `height` pixels or
// smaller where the face the system has is too wide for the box. GDI writes
// no alpha, so the text is drawn white on black into a mask of its own, and
// the mask's coverage blends the ink into the premultiplied picture.
void InkText(CImage& picture, const std::wstring& text, const RECT& box, int height, int weight,
             const DpiScale& scale)
{
    const int width = box.right - box.left;
    const int rows = box.bottom - box.top;
    CImage mask;
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (!dc || !mask.Create(width, -rows, 32))
        return;
    UniqueGdiObject<HFONT> font;
    const int smallest = scale.Length(kSmallestText);
    const int margin = scale.Length(kTextMargin);
    for (; height >= smallest; --height) {
        font = MakeFont(height, weight);
        if (!font)
            return;
        const SelectObjectScope selected(dc.get(), font.get());
        SIZE extent{};
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
        if (extent.cx <= width - margin)
            break;
    }
    {
        const SelectObjectScope bitmap(dc.get(), static_cast<HBITMAP>(mask));
        const SelectObjectScope selected(dc.get(), font.get());
        ::SetBkMode(dc.get(), TRANSPARENT);
        ::SetTextColor(dc.get(), RGB(255, 255, 255));
        RECT area = {0, 0, width, rows};
        ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &area,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::GdiFlush();
    }
    BlendCoverage(RowsOf(picture, box.left, box.top), SourceRows(mask), width, rows,
                  GetRValue(kInk), GetGValue(kInk), GetBValue(kInk));
}
} // namespace

bool SplashPicture::LoadDownloadPictures()
{
    if (m_base.IsNull() && !LoadSplashPng(&m_base, IDB_SPLASH_BASE))
        return false;
    if (m_trough.IsNull() && !LoadSplashPng(&m_trough, IDB_SPLASH_BAR))
        return false;
    if (m_fill.IsNull() && !LoadSplashPng(&m_fill, IDB_SPLASH_BAR_FILL))
        return false;
    // Pictures of another shape than the ones drawn for it are not used.
    const POINT bar = m_scale.ScalePoint(kBar);
    return SameShape(m_trough, m_fill) && m_base.GetBPP() == 32 &&
           bar.x + m_trough.GetWidth() <= m_base.GetWidth() &&
           bar.y + m_trough.GetHeight() <= m_base.GetHeight();
}

bool SplashPicture::CopyBase(CImage& canvas)
{
    if ((canvas.IsNull() &&
         !canvas.Create(m_base.GetWidth(), -m_base.GetHeight(), 32, CImage::createAlphaChannel)) ||
        !SameShape(canvas, m_base))
        return false;
    for (int y = 0; y < m_base.GetHeight(); ++y)
        std::memcpy(RowsOf(canvas, 0, y).top, RowsOf(m_base, 0, y).top,
                    static_cast<size_t>(m_base.GetWidth()) * 4);
    return true;
}

const CImage* SplashPicture::Downloading(const std::string& version, std::int64_t received,
                                         std::int64_t total)
{
    if (!LoadDownloadPictures() || !CopyBase(m_canvas))
        return nullptr;

    const DpiScale& scale = m_scale;
    const POINT bar = scale.ScalePoint(kBar);
    CompositeOver(RowsOf(m_canvas, bar.x, bar.y), SourceRows(m_trough), m_trough.GetWidth(),
                  m_trough.GetHeight());
    const int filled =
        static_cast<int>(std::floor(DownloadFraction(received, total) * m_fill.GetWidth() + 0.5));
    CompositeOver(RowsOf(m_canvas, bar.x, bar.y), SourceRows(m_fill), filled, m_fill.GetHeight());

    InkText(m_canvas, DownloadingCaption(version), scale.ScaleRect(kCaptionBox),
            scale.Length(kCaptionHeight), FW_BOLD, scale);
    InkText(m_canvas, DownloadStateLine(received, total), scale.ScaleRect(kStateBox),
            scale.Length(kStateHeight), FW_NORMAL, scale);
    return &m_canvas;
}

const CImage* SplashPicture::Waiting()
{
    if (m_waiting.IsNull()) {
        if (!LoadDownloadPictures() || !CopyBase(m_waiting))
            return nullptr;
        InkText(m_waiting, L"Waiting for another program to release the file\u2026",
                m_scale.ScaleRect(kCaptionBox), m_scale.Length(kCaptionHeight), FW_BOLD, m_scale);
    }
    return &m_waiting;
}

const CImage* SplashPicture::Starting()
{
    if (m_starting.IsNull() && !LoadSplashPng(&m_starting, IDB_SPLASH_STARTING))
        return nullptr;
    return &m_starting;
}
