#include "game/frame_geometry.h"

#include <gtest/gtest.h>

namespace {

const ZoneRect kClient{0, 0, 1000, 700};

TEST(FrameGeometry, ZonesOfTwoPixelsOnA1000By700ClientArea)
{
    const FrameZones z{2, 2, 2, 2};
    EXPECT_EQ(HitTestFrameZones(kClient, z, 0, 0), kHitTopLeft);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 2, 1), kHitTopLeft);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 3, 1), kHitTop);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 998, 0), kHitTopRight);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 500, 2), kHitClient) << "row 2 is below the top band";
    EXPECT_EQ(HitTestFrameZones(kClient, z, 2, 500), kHitLeft);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 997, 500), kHitClient);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 998, 500), kHitRight);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 500, 698), kHitBottom);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 0, 699), kHitBottomLeft);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 999, 699), kHitBottomRight);
    EXPECT_EQ(HitTestFrameZones(kClient, z, 500, 697), kHitClient);
}

TEST(FrameGeometry, ZeroZonesLeaveOnlyTheInclusiveSideColumns)
{
    const FrameZones none{};
    EXPECT_EQ(HitTestFrameZones(kClient, none, 0, 300), kHitLeft);
    EXPECT_EQ(HitTestFrameZones(kClient, none, 0, 0), kHitLeft) << "the top band is empty";
    EXPECT_EQ(HitTestFrameZones(kClient, none, 1000, 300), kHitRight);
    EXPECT_EQ(HitTestFrameZones(kClient, none, 999, 300), kHitClient);
    EXPECT_EQ(HitTestFrameZones(kClient, none, 500, 699), kHitClient);
}

TEST(FrameGeometry, TopBandWinsOverBottomBandOnATinyWindow)
{
    const ZoneRect tiny{0, 0, 20, 6};
    const FrameZones z{5, 5, 5, 5};
    EXPECT_EQ(HitTestFrameZones(tiny, z, 10, 2), kHitTop);
    EXPECT_EQ(HitTestFrameZones(tiny, z, 10, 5), kHitBottom);
    // Left wins over right where the side zones overlap.
    const ZoneRect narrow{0, 0, 8, 100};
    EXPECT_EQ(HitTestFrameZones(narrow, z, 4, 50), kHitLeft);
}

TEST(FrameGeometry, EveryZoneStartsItsSizingEdge)
{
    EXPECT_EQ(SizingEdgeForHit(kHitLeft), kEdgeLeft);
    EXPECT_EQ(SizingEdgeForHit(kHitTop), kEdgeTop);
    EXPECT_EQ(SizingEdgeForHit(kHitRight), kEdgeRight);
    EXPECT_EQ(SizingEdgeForHit(kHitBottom), kEdgeBottom);
    EXPECT_EQ(SizingEdgeForHit(kHitTopLeft), kEdgeTopLeft);
    EXPECT_EQ(SizingEdgeForHit(kHitTopRight), kEdgeTopRight);
    EXPECT_EQ(SizingEdgeForHit(kHitBottomLeft), kEdgeBottomLeft);
    EXPECT_EQ(SizingEdgeForHit(kHitBottomRight), kEdgeBottomRight);
    EXPECT_EQ(SizingEdgeForHit(kHitClient), kEdgeNone);
    EXPECT_EQ(SizingEdgeForHit(kHitCaption), kEdgeNone);
}

TEST(FrameGeometry, ResizeMovesExactlyTheGrabbedSidesToThePoint)
{
    const ZoneRect r{200, 150, 900, 650};
    EXPECT_EQ(ResizeToPoint(r, kEdgeTopLeft, 100, 50), (ZoneRect{100, 50, 900, 650}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeLeft, 100, 50), (ZoneRect{100, 150, 900, 650}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeTop, 100, 50), (ZoneRect{200, 50, 900, 650}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeRight, 1000, 50), (ZoneRect{200, 150, 1000, 650}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeBottom, 1000, 700), (ZoneRect{200, 150, 900, 700}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeTopRight, 1000, 50), (ZoneRect{200, 50, 1000, 650}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeBottomLeft, 100, 700), (ZoneRect{100, 150, 900, 700}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeBottomRight, 1000, 700), (ZoneRect{200, 150, 1000, 700}));
    EXPECT_EQ(ResizeToPoint(r, kEdgeNone, 1, 1), r);
}

} // namespace
