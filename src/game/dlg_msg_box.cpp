#include "game/dlg_msg_box.h"

#include "app/notification.h"
#include "common/dialog_frame.h"
#include "framework/dc.h"
#include "resource.h"
#include "skin/button_faces.h"
#include "skin/png_resource.h"
#include "skin/screen_scale.h"

namespace {
constexpr UINT kPngBackground = 167;
constexpr UINT kPngDeclineHover = 168;
constexpr UINT kPngDeclineNormal = 169;
constexpr UINT kPngConfirmHover = 170;
constexpr UINT kPngConfirmNormal = 171;
// The buttons' left edges, and their top edge above the box's bottom, at 96 DPI.
constexpr int kConfirmLeft = 30;
constexpr int kDeclineLeft = 130;
constexpr int kButtonsAboveBottom = 40;
} // namespace

CDlgMsgBox::CDlgMsgBox() noexcept : CDialog(IDD_MSGBOX, nullptr) {}

LRESULT CDlgMsgBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CDlgMsgBox::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDOK: OnConfirm(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CDlgMsgBox::PreSubclassWindow()
{
    StripDialogFrame(m_hWnd);
    CDialog::PreSubclassWindow();
}

void CDlgMsgBox::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDOK, m_btnOK);
    DDX_Control(dx, IDCANCEL, m_btnCancel);
}

BOOL CDlgMsgBox::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_scale = ScreenScale();
    if (LoadPngResource(&m_imgBackground, kPngBackground) && !m_imgBackground.IsNull())
        SetWindowPos(nullptr, 0, 0, m_imgBackground.GetWidth(), m_imgBackground.GetHeight(),
                     SWP_NOMOVE);
    SetButtonFaces(m_btnOK, kPngConfirmNormal, kPngConfirmHover);
    SetButtonFaces(m_btnCancel, kPngDeclineNormal, kPngDeclineHover);

    RECT r{};
    GetClientRect(&r);
    const DpiScale& scale = m_scale;
    const int top = r.bottom - scale.Length(kButtonsAboveBottom);
    m_btnOK.SetWindowPos(nullptr, r.left + scale.Length(kConfirmLeft), top, 0, 0, SWP_NOSIZE);
    m_btnCancel.SetWindowPos(nullptr, r.left + scale.Length(kDeclineLeft), top, 0, 0, SWP_NOSIZE);
    return TRUE;
}

void CDlgMsgBox::OnConfirm()
{
    // The game window only posts itself a close command here, so this box
    // finishes hiding before anything is closed.
    Notification quit(NT_GAME_QUIT, 0, 0, 0);
    NotificationCenter::Instance().Post(&quit);
    CDialog::OnOK();
}

void CDlgMsgBox::OnPaint()
{
    CPaintDC dc(this);
    RECT r{};
    GetClientRect(&r);
    if (!m_imgBackground.IsNull())
        m_imgBackground.Draw(dc, r.left, r.top);
}
