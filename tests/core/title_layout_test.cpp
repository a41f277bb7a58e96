#include "game/title_layout.h"
#include "skin/dpi_scale.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(TitleLayout, At1253PixelsTheButtonsSpan834To1241)
{
    int left = 1 << 30;
    int right = 0;
    const std::set<unsigned> narrow = {kBtnClose, kBtnMaximize, kBtnRestore, kBtnMinimize,
                                       kBtnToTray};
    for (const TitleButtonSpec& entry : kTitleButtons) {
        const int x = TitleButtonX(entry.id, 1253);
        const int width = narrow.count(entry.id)    ? 23
                          : entry.id == kBtnBossKey ? 80
                          : entry.id == kBtnRefresh ? 73
                                                    : 46;
        left = std::min(left, x);
        right = std::max(right, x + width);
    }
    EXPECT_EQ(left, 834);
    EXPECT_EQ(TitleButtonX(kBtnHome, 1253), 834);
    EXPECT_EQ(right, 1241);
    EXPECT_EQ(TitleButtonX(kBtnClose, 1253) + 23, 1241);
}

TEST(TitleLayout, MaximiseAndRestoreShareOnePlaceAndNothingOverlaps)
{
    EXPECT_EQ(TitleButtonX(kBtnMaximize, 1000), TitleButtonX(kBtnRestore, 1000));
    EXPECT_EQ(TitleButtonX(kBtnMinimize, 1000), 905);
    EXPECT_EQ(TitleButtonX(kBtnToTray, 1000), 875);
    EXPECT_EQ(TitleButtonX(kBtnBossKey, 1000), 785);
    EXPECT_EQ(TitleButtonX(kBtnRefresh, 1000), 705);
    EXPECT_EQ(TitleButtonX(kBtnLink, 1000), 643);
    // Each link ends before the next one starts.
    EXPECT_LE(TitleButtonX(kBtnHome, 1000) + 46, TitleButtonX(kBtnLink, 1000));
    EXPECT_LE(TitleButtonX(kBtnLink, 1000) + 46, TitleButtonX(kBtnRefresh, 1000));
    EXPECT_LE(TitleButtonX(kBtnRefresh, 1000) + 73, TitleButtonX(kBtnBossKey, 1000));
    EXPECT_LE(TitleButtonX(kBtnBossKey, 1000) + 80, TitleButtonX(kBtnToTray, 1000));
    EXPECT_EQ(TitleButtonX(100, 1000), -1);
    // At 150 % the offsets from the right edge scale; the shared place stays shared.
    EXPECT_EQ(TitleButtonX(kBtnClose, 1880, DpiScale(144)), 1880 - 53);
    EXPECT_EQ(TitleButtonX(kBtnHome, 1880, DpiScale(144)), 1880 - 629);
    EXPECT_EQ(TitleButtonX(kBtnMaximize, 1880, DpiScale(144)),
              TitleButtonX(kBtnRestore, 1880, DpiScale(144)));
}

TEST(TitleLayout, EveryButtonHasItsFaces)
{
    std::set<unsigned> ids;
    for (const TitleButtonSpec& entry : kTitleButtons) {
        ids.insert(entry.id);
        EXPECT_EQ(entry.hoverPng + 1, entry.normalPng) << "hover face has the lower id";
    }
    EXPECT_EQ(ids.size(), 9u);
}

TEST(TitleLayout, BrowserFillsTheClientBelowTheStrip)
{
    const BrowserRect with = GameBrowserRect(1253, 768, 27);
    EXPECT_EQ(with.left, 2);
    EXPECT_EQ(with.top, 29);
    EXPECT_EQ(with.right, 1251);
    EXPECT_EQ(with.bottom, 766);
    const BrowserRect without = GameBrowserRect(1253, 768, 0);
    EXPECT_EQ(without.top, 2) << "without the strip's picture the page starts under the border";
    const BrowserRect scaled = GameBrowserRect(1880, 1152, 41, DpiScale(144));
    EXPECT_EQ(scaled.left, 3);
    EXPECT_EQ(scaled.top, 44) << "the border at 150 % is 3 pixels, the strip's height as loaded";
    EXPECT_EQ(scaled.right, 1877);
}

struct Rounding {
    int dpi;
    int length;
    int scaled;
};

TEST(DpiScale, LengthsRoundToNearestWithHalvesAwayFromZero)
{
    const Rounding table[] = {
        {96, 1253, 1253}, {120, 1, 1},       {120, 2, 3},       {120, 6, 8},
        {120, -2, -3},    {120, 1194, 1493}, {168, 2, 4},       {168, 3, 5},
        {168, 5, 9},      {168, -5, -9},     {144, 1194, 1791}, {144, 685, 1028},
        {192, 685, 1370}, {0, 7, 7},         {-5, 7, 7},        {192, 1 << 24, 1 << 25},
    };
    for (const Rounding& row : table)
        EXPECT_EQ(DpiScale(row.dpi).Length(row.length), row.scaled)
            << row.length << " at " << row.dpi << " DPI";
}

TEST(DpiScale, RectanglesThatTouchStillTouchAtEveryScale)
{
    struct Rect {
        int left, top, right, bottom;
    };
    for (const int dpi : {96, 120, 144, 168, 192}) {
        const DpiScale scale(dpi);
        // The title strip's links, side by side, and the page under the links.
        const Rect home = scale.ScaleRect(Rect{834, 3, 880, 26});
        const Rect link = scale.ScaleRect(Rect{880, 3, 926, 26});
        const Rect page = scale.ScaleRect(Rect{834, 26, 926, 400});
        EXPECT_EQ(home.right, link.left) << dpi;
        EXPECT_EQ(home.bottom, page.top) << dpi;
        EXPECT_EQ(home.left, page.left) << dpi;
        EXPECT_EQ(link.right, page.right) << dpi;
        struct Point {
            int x, y;
        };
        const Point corner = scale.ScalePoint(Point{834, 26});
        EXPECT_EQ(corner.x, page.left) << dpi;
        EXPECT_EQ(corner.y, page.top) << dpi;
    }
}

} // namespace
