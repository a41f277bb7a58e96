#include "skin/gt_button.h"

#include "framework/dc.h"
#include "framework/image.h"
#include "skin/mask_bitmap.h"
#include "skin/premultiply_image.h"
#include "skin/screen_scale.h"

#include <algorithm>
#include <commctrl.h>
#include <iterator>

namespace {

// The caption sinks by this much (at 96 DPI) while the button is held down.
constexpr int kPressedCaptionDrop = 2;
constexpr COLORREF kDefaultTextColour = 0xFFFFFFFF;

// Draws `face` at (0,0) through its mask: the mask clears the face's opaque
// pixels in the target (AND), the face is then ORed in. Where the mask is 1
// the face is black and the target keeps its colour.
void DrawMasked(CDC& dc, const CImage& face, HBITMAP mask) noexcept
{
    CDC source;
    if (!source.CreateCompatibleDC(&dc))
        return;
    const int width = face.GetWidth();
    const int height = face.GetHeight();
    {
        // A monochrome source takes the target's text colour for 0 bits and
        // its background colour for 1 bits: black and white, whatever the
        // target was set to.
        const COLORREF oldText = dc.SetTextColor(RGB(0, 0, 0));
        const COLORREF oldBack = dc.SetBkColor(RGB(255, 255, 255));
        const SelectObjectScope select(source, mask);
        dc.BitBlt(0, 0, width, height, &source, 0, 0, SRCAND);
        dc.SetTextColor(oldText);
        dc.SetBkColor(oldBack);
    }
    const SelectObjectScope select(source, static_cast<HBITMAP>(face));
    dc.BitBlt(0, 0, width, height, &source, 0, 0, SRCPAINT);
}

bool Contains(const GTButton::ImageSet& set, const CImage* image) noexcept
{
    return std::find(set.begin(), set.end(), image) != set.end();
}

// Calls `action` once for every picture of `set`: one picture may serve in
// several roles.
template <typename Action> void ForEachDistinct(const GTButton::ImageSet& set, Action action)
{
    for (auto it = set.begin(); it != set.end(); ++it)
        if (*it && std::find(set.begin(), it, *it) == it)
            action(*it);
}

} // namespace

GTButton::~GTButton()
{
    ResetImages();
}

void GTButton::PreSubclassWindow()
{
    m_scale = ScreenScale();
    // The type is a number in the low bits, not a flag: replace it.
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    CButton::PreSubclassWindow();
}

bool GTButton::HasFace(int index) const noexcept
{
    return m_pFaces[index] && !m_pFaces[index]->IsNull();
}

bool GTButton::SetImages(CImage* normal, CImage* hover, CImage* pressed, CImage* icon)
{
    if (!normal || normal->IsNull())
        return false;

    const ImageSet incoming{hover, normal, pressed, icon};
    const ImageSet held = HeldImages();
    // Pictures handed over again survive the reset and are not
    // premultiplied a second time.
    for (CImage*& face : m_pFaces)
        if (Contains(incoming, face))
            face = nullptr;
    if (Contains(incoming, m_pIcon))
        m_pIcon = nullptr;
    ResetImages();

    m_pFaces[kFaceNormal] = normal;
    m_pFaces[kFaceHover] = hover;
    m_pFaces[kFacePressed] = pressed;
    m_pIcon = icon;
    m_bUseMask = 1;
    ForEachDistinct(incoming, [&held](CImage* image) {
        if (!Contains(held, image))
            PremultiplyAlpha(image);
    });

    SetWindowPos(nullptr, 0, 0, normal->GetWidth(), normal->GetHeight(), SWP_NOMOVE);

    // The icon gets no mask: it is always blended.
    for (int i = 0; i < kFaceCount; ++i) {
        if (HasFace(i))
            m_masks[i].reset(
                CreateMaskBitmap(*m_pFaces[i], m_pFaces[i]->GetWidth(), m_pFaces[i]->GetHeight()));
    }
    return true;
}

void GTButton::ResetImages() noexcept
{
    if (m_bOwnImages)
        ForEachDistinct(HeldImages(), [](CImage* image) { delete image; });
    // Pointers go in every case, so none outlives a picture its owner frees.
    std::fill(std::begin(m_pFaces), std::end(m_pFaces), nullptr);
    m_pIcon = nullptr;
    for (UniqueBitmap& mask : m_masks)
        mask.reset();
    m_nIconY = 0;
    m_nIconX = 0;
    m_bShowIcon = 1;
    if (m_hWnd)
        ::KillTimer(m_hWnd, kBlinkTimer);
}

GTButton::ImageSet GTButton::HeldImages() const noexcept
{
    return {m_pFaces[kFaceHover], m_pFaces[kFaceNormal], m_pFaces[kFacePressed], m_pIcon};
}

void GTButton::Redraw() noexcept
{
    const HWND parent = GetParent();
    if (!m_bUseMask && parent) {
        // Blended faces need a fresh background under them.
        RECT rect{};
        GetWindowRect(&rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        ::InvalidateRect(parent, &rect, TRUE);
        ::UpdateWindow(parent);
    }
    Invalidate(FALSE);
    UpdateWindow();
}

void GTButton::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    if (!HasFace(kFaceNormal))
        return;
    CDC dc;
    dc.Attach(drawItem->hDC);
    RECT rect{};
    GetClientRect(&rect);

    // No disabled or focused face, and no focus rectangle.
    const bool pressed = (drawItem->itemState & ODS_SELECTED) != 0;
    int index = pressed ? kFacePressed : m_bHover ? kFaceHover : kFaceNormal;
    if (!HasFace(index))
        index = kFaceNormal;
    const CImage& face = *m_pFaces[index];
    if (m_masks[index])
        DrawMasked(dc, face, m_masks[index].get());
    else
        face.Draw(dc, rect.left, rect.top);

    if (m_pIcon && !m_pIcon->IsNull()) {
        const int x = rect.left + m_nIconX;
        int y = rect.top + m_nIconY;
        if (m_nIconY == 0)
            y += (face.GetHeight() - m_pIcon->GetHeight()) / 2;
        if (m_bShowIcon)
            m_pIcon->Draw(dc, x, y);
        // The caption keeps its place while the icon blinks.
        rect.left = x + m_pIcon->GetWidth();
    }

    dc.SetBkMode(TRANSPARENT);
    if (pressed)
        ::OffsetRect(&rect, 0, m_scale.Length(kPressedCaptionDrop));
    const HGDIOBJ oldFont = dc.SelectStockObject(DEFAULT_GUI_FONT);
    const COLORREF oldColour =
        dc.SetTextColor(m_crText == kDefaultTextColour ? RGB(255, 255, 255) : m_crText);
    dc.DrawText(GetWindowText(), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc.SetTextColor(oldColour);
    dc.SelectObject(oldFont);
}

LRESULT GTButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_ERASEBKGND: return OnEraseBkgnd();
    case WM_MOUSELEAVE: OnMouseLeave(); return 0;
    case WM_MOUSEMOVE: OnMouseMove(); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(); return 0;
    case WM_TIMER: OnTimer(); return 0;
    }
    return CButton::WindowProc(message, wParam, lParam);
}

LRESULT GTButton::OnCreate()
{
    return Default() == -1 ? -1 : 0;
}

BOOL GTButton::OnEraseBkgnd()
{
    return TRUE; // the face covers what it paints; the rest stays the parent's
}

HBRUSH GTButton::CtlColor(CDC*, UINT)
{
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void GTButton::OnMouseMove()
{
    // Only entering changes the face; the leave notification ends hovering.
    if (!m_bHover) {
        m_bHover = 1;
        Redraw();
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = HOVER_DEFAULT;
        ::_TrackMouseEvent(&track);
    }
    Default();
}

void GTButton::OnMouseLeave()
{
    m_bHover = 0;
    Redraw();
    Default();
}

void GTButton::OnLButtonDown()
{
    Redraw();
    Default(); // captures the mouse and repaints as pressed
}

void GTButton::OnTimer()
{
    m_bShowIcon = !m_bShowIcon;
    Invalidate(FALSE);
    UpdateWindow();
    Default();
}
