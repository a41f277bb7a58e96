// Modeless dialogs made from templates of the module. Ending a modeless
// dialog (OK, Cancel, Enter, Esc) hides it; its window stays for reuse.
#pragma once

#include "framework/wnd.h"

class CDialog;
class COccDialogTemplate;

// Carries the direction of one data exchange to DoDataExchange.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate) noexcept
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds the dialog's control `id` to `control` by subclassing it, once.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
public:
    CDialog() noexcept = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) noexcept
        : m_nIDTemplate(templateId), m_pParentWnd(parent)
    {
    }

    // Creates the modeless dialog from its template; TRUE when it exists.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result) noexcept;
    int GetResult() const noexcept { return m_nResult; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    virtual void DoDataExchange(CDataExchange* dx);

    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;

private:
    int m_nResult = 0;
    // While Create runs: the template's ActiveX controls, made in WM_INITDIALOG.
    COccDialogTemplate* m_pOccDialogInfo = nullptr;
    bool m_bOccFailed = false;
};
