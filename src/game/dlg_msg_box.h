// The skinned box that asks the player whether to leave the game. Modeless;
// confirming posts NT_GAME_QUIT, declining only hides the box.
#pragma once

#include "framework/dialog.h"
#include "framework/image.h"
#include "skin/dpi_scale.h"
#include "skin/gt_button.h"

class CDlgMsgBox : public CDialog {
public:
    CDlgMsgBox() noexcept;
    ~CDlgMsgBox() override = default;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    CImage m_imgBackground;
    GTButton m_btnOK;
    GTButton m_btnCancel;

protected:
    DpiScale m_scale; // the screen's, taken when the box is made

    void PreSubclassWindow() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    void OnConfirm();
    void OnPaint();
};
