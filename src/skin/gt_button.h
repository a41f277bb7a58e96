// GTButton: the skinned push button. An owner-drawn BUTTON whose faces are
// pictures for the normal, hover and pressed states. Faces are drawn through
// monochrome masks, so pixels that are pure black after premultiplication
// are not painted and the parent's background stays visible there. Clicks
// reach the parent as BN_CLICKED like any push button's.
#pragma once

#include "framework/button.h"
#include "framework/handles.h"
#include "skin/dpi_scale.h"

#include <array>

class CImage;

class GTButton : public CButton {
public:
    GTButton() noexcept = default;
    ~GTButton() override;

    // Hands the faces to the button: the normal face is required, the others
    // may be null (the normal face is shown instead); `icon` is drawn left of
    // the caption. Premultiplies the pictures, sizes the button to the normal
    // face (its position stays) and builds the masks. With m_bOwnImages set
    // the button deletes the pictures when they are replaced or when it
    // goes. False, with nothing changed, when the normal face is missing.
    bool SetImages(CImage* normal, CImage* hover, CImage* pressed, CImage* icon);
    // Drops faces, icon and masks (deleting the pictures when owned) and
    // stops the icon's blinking.
    void ResetImages() noexcept;
    // Repaints at once after a state change.
    void Redraw() noexcept;

    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
    HBRUSH CtlColor(CDC* dc, UINT ctlColor) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    BYTE m_bOwnImages = 0;          // the button deletes its pictures
    BYTE m_bHover = 0;              // the mouse is over the button
    BYTE m_bUseMask = 0;            // faces are drawn through their masks
    COLORREF m_crText = 0xFFFFFFFF; // caption colour; 0xFFFFFFFF means white
    int m_nIconX = 0;               // icon offset from the left edge
    int m_nIconY = 0;               // from the top edge; 0 centres it
    BYTE m_bShowIcon = 1;           // blinks with WM_TIMER

    // The timer that ResetImages stops.
    static constexpr UINT_PTR kBlinkTimer = 100;

    // Hover, normal and pressed face, icon.
    using ImageSet = std::array<CImage*, 4>;

protected:
    // Makes every button of this class owner-drawn, created or subclassed.
    void PreSubclassWindow() override;

private:
    enum Face { kFaceHover, kFaceNormal, kFacePressed, kFaceCount };

    LRESULT OnCreate();
    BOOL OnEraseBkgnd();
    void OnMouseLeave();
    void OnMouseMove();
    void OnLButtonDown();
    void OnTimer();

    bool HasFace(int index) const noexcept;
    ImageSet HeldImages() const noexcept;

    DpiScale m_scale; // the screen's, taken when the button is made or subclassed
    CImage* m_pFaces[kFaceCount] = {};
    CImage* m_pIcon = nullptr;
    UniqueBitmap m_masks[kFaceCount]; // parallel to m_pFaces
};
