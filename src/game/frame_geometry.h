// Geometry of the borderless frame: which zone a client point is in, and the
// rectangle a hand resize produces. Platform-free.
#pragma once

// Hit-test codes; the values are the system's own.
enum FrameHit : int {
    kHitClient = 1,
    kHitCaption = 2,
    kHitLeft = 10,
    kHitRight = 11,
    kHitTop = 12,
    kHitTopLeft = 13,
    kHitTopRight = 14,
    kHitBottom = 15,
    kHitBottomLeft = 16,
    kHitBottomRight = 17,
};

// The edge or corner being dragged by hand.
enum SizingEdge : int {
    kEdgeLeft = 0,
    kEdgeTop = 1,
    kEdgeRight = 2,
    kEdgeBottom = 3,
    kEdgeTopLeft = 4,
    kEdgeTopRight = 5,
    kEdgeBottomLeft = 6,
    kEdgeBottomRight = 7,
    kEdgeNone = 8,
};

struct FrameZones {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct ZoneRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ZoneRect& o) const noexcept
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const ZoneRect& o) const noexcept { return !(*this == o); }
};

// Zone of the client point (x, y) in a client area `client` (left = top = 0).
// Bands are half-open in y, the side zones closed in x; the top band wins
// over the bottom band and the left side over the right side.
int HitTestFrameZones(const ZoneRect& client, const FrameZones& zones, int x, int y) noexcept;

// The sizing edge a hit code starts, or kEdgeNone.
int SizingEdgeForHit(int hit) noexcept;

// `rect` with the sides named by `edge` moved exactly to the point (x, y).
ZoneRect ResizeToPoint(const ZoneRect& rect, int edge, int x, int y) noexcept;
