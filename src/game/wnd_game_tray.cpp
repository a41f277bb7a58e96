// The boss key, the title-strip hide button and the tray icon: three ways to
// make the game window vanish and come back.
#include "game/wnd_game.h"

void CWndGame::ToggleVisible()
{
    if (IsWindowVisible()) {
        ShowWindow(SW_HIDE);
        return;
    }
    // Whatever its size when hidden, it always comes back maximised.
    ShowWindow(SW_SHOWMAXIMIZED);
    FitMaximizedWindow(this);
    ShowRestoreButton(true);
    UpdateWindow();
    BringWindowToTop();
}

LRESULT CWndGame::OnTrayNotify(LPARAM mouseMessage)
{
    if (mouseMessage != WM_LBUTTONDOWN)
        return 0; // no menu, no other mouse action
    ToggleVisible();
    return 1;
}
