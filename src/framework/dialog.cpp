#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/occ.h"
#include "framework/occ_dialog.h"

namespace {
// The dialog manager's own procedure sees only what the bound window
// procedure passes on; it has nothing to add.
INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}
} // namespace

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    // An ActiveX control of the template is linked to its site on the way.
    control.SubclassWindow(dx->m_pDlgWnd->GetDlgItem(id));
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    const HWND parentHwnd = parent ? parent->m_hWnd : nullptr;
    // ActiveX controls of the template are beyond the dialog manager: it gets
    // a copy without them, and WM_INITDIALOG creates them.
    COccDialogTemplate occTemplate;
    const bool withControls =
        AfxGetOccManager() && AfxLoadOccDialogTemplate(templateId, occTemplate);
    m_pOccDialogInfo = withControls ? &occTemplate : nullptr;
    m_bOccFailed = false;
    HWND created = nullptr;
    bool bound = false;
    {
        WindowCreateHook hook(this);
        created =
            withControls
                ? ::CreateDialogIndirectParamW(AfxGetResourceHandle(), occTemplate.GetTemplate(),
                                               parentHwnd, AfxDlgProc, 0)
                : ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(templateId),
                                       parentHwnd, AfxDlgProc, 0);
        bound = hook.Fired();
    }
    m_pOccDialogInfo = nullptr;
    if (!created && !bound)
        PostNcDestroy();
    if (created && m_bOccFailed) {
        // As the dialog manager does when one of its controls cannot be made.
        ::DestroyWindow(created); // PostNcDestroy may delete this object
        return FALSE;
    }
    return created != nullptr;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (m_pOccDialogInfo && !m_pOccDialogInfo->CreateControls(this)) {
            m_bOccFailed = true;
            return FALSE;
        }
        return OnInitDialog();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE; // let the dialog manager give the focus to the first control
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::EndDialog(int result) noexcept
{
    m_nResult = result;
    // Modeless: ending means hiding; the window is kept for the next showing.
    ::ShowWindow(m_hWnd, SW_HIDE);
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    // Dialog keys (Tab, Enter, Esc, arrows) for this dialog and its controls.
    const bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                       (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    if (!input || !m_hWnd)
        return FALSE;
    if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd))
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}
