// The scale of a screen against the 96 dots per inch the skin is drawn for.
// Every length of a layout goes through one rounding rule (to nearest,
// halves away from zero), and rectangles scale edge by edge, so rectangles
// that touch at 96 DPI still touch at every scale. Platform-free.
#pragma once

class DpiScale {
public:
    static constexpr int kBaseDpi = 96;

    // A DPI that is not positive counts as 96.
    constexpr explicit DpiScale(int dpi = kBaseDpi) noexcept : m_dpi(dpi > 0 ? dpi : kBaseDpi) {}

    constexpr int Dpi() const noexcept { return m_dpi; }
    constexpr bool IsIdentity() const noexcept { return m_dpi == kBaseDpi; }

    // `length` pixels at 96 DPI, at this scale.
    int Length(int length) const noexcept;

    // Anything with x and y (POINT, a plain struct).
    template <typename Point> Point ScalePoint(const Point& p) const noexcept
    {
        Point scaled = p;
        scaled.x = Length(p.x);
        scaled.y = Length(p.y);
        return scaled;
    }

    // Anything with left, top, right and bottom (RECT, a plain struct).
    template <typename Rect> Rect ScaleRect(const Rect& r) const noexcept
    {
        Rect scaled = r;
        scaled.left = Length(r.left);
        scaled.top = Length(r.top);
        scaled.right = Length(r.right);
        scaled.bottom = Length(r.bottom);
        return scaled;
    }

private:
    int m_dpi;
};
