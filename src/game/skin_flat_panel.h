// A top-level window without a system frame that paints its whole surface
// itself: thin zones inside the client area resize it by hand, the rest of
// its surface drags it like a caption, and maximising fits the work area.
#pragma once

#include "framework/wnd.h"
#include "game/frame_geometry.h"
#include "skin/dpi_scale.h"

class CSkinFlatPanel : public CWnd {
public:
    CSkinFlatPanel() noexcept = default;
    ~CSkinFlatPanel() override = default;

    // Zone of a point (screen or client coordinates); kHitClient everywhere
    // while maximised.
    virtual int HitTestBorder(int x, int y, bool screen);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    int m_nSizingEdge = kEdgeNone;
    int m_nBorderLeft = 0;
    int m_nBorderTop = 0;
    int m_nBorderRight = 0;
    int m_nBorderBottom = 0;

protected:
    // The screen's scale, taken when the window is created; every length of
    // the window's layout goes through it.
    DpiScale m_scale;

    // The object lives on the heap and goes with its window.
    void PostNcDestroy() override;

    int OnCreate(CREATESTRUCTW* create);
    void OnShowWindow();
    void OnSysCommand(UINT command);
    void OnActivate(UINT state);
    void OnMouseMove(POINT point);
    void OnLButtonUp();
    void OnLButtonDown(POINT point);
    LRESULT OnSetCursor();
    LRESULT OnNcHitTest(POINT screenPoint);
    void OnCaptureChanged(HWND newCapture);
};

// Places a maximised window over the work area of the monitor it is on; on
// the primary monitor with the task bar at the bottom this is (0, 0) and the
// maximised size less twice the frame thickness.
void FitMaximizedWindow(CWnd* wnd) noexcept;
