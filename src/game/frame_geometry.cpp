#include "game/frame_geometry.h"

namespace {
// Which side column a point in a horizontal band is in: 0 left, 1 middle, 2 right.
int Column(const ZoneRect& r, const FrameZones& z, int x) noexcept
{
    if (r.left <= x && x <= r.left + z.left)
        return 0;
    if (r.right - z.right <= x && x <= r.right)
        return 2;
    return 1;
}
} // namespace

int HitTestFrameZones(const ZoneRect& r, const FrameZones& z, int x, int y) noexcept
{
    if (r.top <= y && y < r.top + z.top) {
        static const int codes[] = {kHitTopLeft, kHitTop, kHitTopRight};
        return codes[Column(r, z, x)];
    }
    if (r.bottom - z.bottom <= y && y < r.bottom) {
        static const int codes[] = {kHitBottomLeft, kHitBottom, kHitBottomRight};
        return codes[Column(r, z, x)];
    }
    static const int codes[] = {kHitLeft, kHitClient, kHitRight};
    return codes[Column(r, z, x)];
}

int SizingEdgeForHit(int hit) noexcept
{
    switch (hit) {
    case kHitLeft: return kEdgeLeft;
    case kHitTop: return kEdgeTop;
    case kHitRight: return kEdgeRight;
    case kHitBottom: return kEdgeBottom;
    case kHitTopLeft: return kEdgeTopLeft;
    case kHitTopRight: return kEdgeTopRight;
    case kHitBottomLeft: return kEdgeBottomLeft;
    case kHitBottomRight: return kEdgeBottomRight;
    default: return kEdgeNone;
    }
}

ZoneRect ResizeToPoint(const ZoneRect& rect, int edge, int x, int y) noexcept
{
    ZoneRect r = rect;
    switch (edge) {
    case kEdgeLeft: r.left = x; break;
    case kEdgeTop: r.top = y; break;
    case kEdgeRight: r.right = x; break;
    case kEdgeBottom: r.bottom = y; break;
    case kEdgeTopLeft:
        r.left = x;
        r.top = y;
        break;
    case kEdgeTopRight:
        r.right = x;
        r.top = y;
        break;
    case kEdgeBottomLeft:
        r.left = x;
        r.bottom = y;
        break;
    case kEdgeBottomRight:
        r.right = x;
        r.bottom = y;
        break;
    default: break;
    }
    return r;
}
