// CMemDC2005: flicker-free painting. Made on top of a paint DC, it is itself
// the DC to draw into: drawing lands in an off-screen bitmap that covers one
// rectangle of the target, and the destructor copies that bitmap to the
// target in one transfer. Pixel (0,0) of the buffer stands for the
// rectangle's top-left corner; no origin shift is applied, so callers whose
// rectangle does not start at (0,0) offset their drawing themselves.
// A printer target is drawn into directly.
#pragma once

#include "framework/dc.h"

class CMemDC2005 : public CDC {
public:
    // `rect` in the target's coordinates; null means the target's clip box.
    explicit CMemDC2005(CDC* dc, const RECT* rect = nullptr) noexcept;
    CMemDC2005(const CMemDC2005&) = delete;
    CMemDC2005& operator=(const CMemDC2005&) = delete;
    // Copies the buffer to the target. Must run before the target is ended.
    ~CMemDC2005() override;

private:
    UniqueBitmap m_bitmap;          // the off-screen buffer
    HGDIOBJ m_hOldBitmap = nullptr; // selected back before the buffer goes
    CDC* m_pDC;                     // the target, not owned
    RECT m_rect{};                  // the part of the target the buffer stands for
    BOOL m_bMemDC;                  // buffered; false for printers
};
