// The login window: a borderless dialog whose whole surface is the login
// picture (PNG 140) with per-pixel alpha. It stands on its own with the
// application icon and its own taskbar button, carries the web layer exactly
// over itself, can be dragged by any point, and ends the process when it is
// closed.
#pragma once

#include "framework/dialog.h"
#include "framework/image.h"
#include "login/dlg_layer.h"

class CTesselDlg : public CDialog {
public:
    // The picture of the whole window.
    static constexpr UINT kPngLogin = 140;
    // Exit code when the picture cannot be shown.
    static constexpr int kExitPictureUnusable = 1;

    CTesselDlg() noexcept;
    ~CTesselDlg() override = default;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    HICON m_hIcon = nullptr; // icon group 128, a shared resource icon
    CImage m_image;          // the login picture, premultiplied, until it is shown
    CDlgLayer m_layer;

private:
    LRESULT OnNcHitTest() const noexcept;
    void OnMove(int x, int y);
    void OnSize(UINT type);
    void OnSetFocus();
    [[noreturn]] void OnClose();
    void OnPaint();
    LRESULT OnQueryDragIcon() const noexcept;

    // Loads and checks the picture; on failure tells the player and asks the
    // application to quit.
    bool LoadPicture();
    void CreateLayer();
};
