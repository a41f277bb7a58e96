#include "game/title_layout.h"

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
}

} // namespace
