#include "login/tessel_dlg.h"

#include "common/log.h"
#include "framework/app.h"
#include "framework/dc.h"
#include "login/dialog_keys.h"
#include "resource.h"
#include "skin/layered_window.h"
#include "skin/png_resource.h"
#include "skin/premultiply_image.h"
#include "skin/top_level_icon.h"

#include <windowsx.h>

namespace {
const wchar_t kTitle[] = L"Quillmoor";
const wchar_t kPictureMissing[] = L"启动界面图像装载失败!";
const wchar_t kPictureNot32Bit[] = L"启动界面图像文件不是有效的32位像素色彩位图!";
} // namespace

CTesselDlg::CTesselDlg() noexcept
    : CDialog(IDD_UPDATE_LOGIN, nullptr),
      m_hIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_APP)))
{
}

LRESULT CTesselDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCHITTEST: return OnNcHitTest();
    case WM_MOVE: OnMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_SIZE: OnSize(static_cast<UINT>(wParam)); return 0;
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_QUERYDRAGICON: return OnQueryDragIcon();
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CTesselDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Created with the game window as owner, the login window becomes a
    // window of its own with the application icon.
    SetTopLevelIcon(m_hWnd, m_hIcon);
    if (!LoadPicture())
        return FALSE;
    PremultiplyAlpha(&m_image);

    SetWindowPos(nullptr, 0, 0, m_image.GetWidth(), m_image.GetHeight(), SWP_NOMOVE | SWP_NOZORDER);
    CenterWindow();
    UpdateLayeredBitmap(m_hWnd, m_image);
    SetWindowText(kTitle);

    CreateLayer();
    ShowWindow(SW_SHOW);
    // The layered window keeps its own copy of the picture: ours would only
    // double the 3 MiB it takes.
    m_image.Destroy();
    return TRUE;
}

bool CTesselDlg::LoadPicture()
{
    const wchar_t* problem = nullptr;
    if (!LoadPngResource(&m_image, kPngLogin) || m_image.IsNull())
        problem = kPictureMissing;
    else if (m_image.GetBPP() != 32)
        problem = kPictureNot32Bit;
    if (!problem)
        return true;
    AfxMessageBox(problem, MB_OK);
    // Without its picture the window would be an empty box nobody can use:
    // the launcher ends and says so in its exit code.
    ::PostQuitMessage(kExitPictureUnusable);
    return false;
}

void CTesselDlg::CreateLayer()
{
    RECT rc{};
    GetWindowRect(&rc);
    // Owned by this window: above it, hidden and shown with it.
    if (!m_layer.Create(IDD_LAYER, this)) {
        WriteLog(L"Login layer not created [Error Code = %d]", static_cast<int>(::GetLastError()));
        return;
    }
    m_layer.SetWindowPos(nullptr, rc.left, rc.top, m_image.GetWidth(), m_image.GetHeight(),
                         SWP_NOZORDER);
    m_layer.ShowWindow(SW_SHOW);
}

LRESULT CTesselDlg::OnNcHitTest() const noexcept
{
    // Every point of the picture drags the window.
    return HTCAPTION;
}

void CTesselDlg::OnMove(int x, int y)
{
    Default();
    // No frame: (x, y) is the window's corner, which the layer shares.
    if (m_layer.m_hWnd)
        m_layer.SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CTesselDlg::OnSize(UINT type)
{
    Default();
    // Minimising hid the owned layer; restoring shows it again. Windows does
    // so by itself, Wine does not; popups hidden otherwise stay hidden.
    if (type == SIZE_RESTORED || type == SIZE_MAXIMIZED)
        ::ShowOwnedPopups(m_hWnd, TRUE);
}

void CTesselDlg::OnSetFocus()
{
    // The picture takes no input: the keyboard belongs to the page in the
    // layer. Wine's X11 driver also raises the window that gets the focus,
    // so this keeps the layer above the picture there.
    if (m_layer.m_hWnd && m_layer.IsWindowVisible())
        ::SetFocus(m_layer.m_hWnd);
    else
        Default();
}

void CTesselDlg::OnClose()
{
    m_layer.EndDialog(0);
    EndDialog(0);
    // Closing the login window ends the launcher at once.
    ::ExitProcess(0);
}

BOOL CTesselDlg::PreTranslateMessage(MSG* msg)
{
    if (IsDialogEndingKey(*msg))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void CTesselDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rc{};
    GetClientRect(&rc);
    const int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

LRESULT CTesselDlg::OnQueryDragIcon() const noexcept
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}
