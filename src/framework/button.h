// CButton: a window of the system's "BUTTON" class. An owner-drawn button
// paints in DrawItem and picks its colours in CtlColor; its parent reflects
// WM_DRAWITEM and WM_CTLCOLOR* back to it (CWnd::OnChildNotify).
#pragma once

#include "framework/wnd.h"

class CDC;

class CButton : public CWnd {
public:
    CButton() noexcept = default;

    BOOL Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Paints an owner-drawn button; the record's DC is the button's.
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);
    // The brush for the button's background, or null to leave the colour
    // message to the parent. `ctlColor` is CTLCOLOR_BTN and its kin.
    virtual HBRUSH CtlColor(CDC* dc, UINT ctlColor);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
