#include "game/wnd_game.h"

#include <string>

namespace {
// The names the game window observes, in the order it registers them.
const char* const kObservedNames[] = {NT_CHECK_UPDATE, NT_START_UP,   NT_ENTER_GAME,
                                      NT_GET_GSNAME,   NT_GET_NEWMSG, NT_GAME_QUIT};
} // namespace

CWndGame::~CWndGame()
{
    for (const char* name : kObservedNames)
        NotificationCenter::Instance().RemoveObserver(name, this);
}

LRESULT CWndGame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    }
    return CSkinFlatPanel::WindowProc(message, wParam, lParam);
}

int CWndGame::OnCreate(CREATESTRUCTW* create)
{
    if (CSkinFlatPanel::OnCreate(create) == -1)
        return -1;
    for (const char* name : kObservedNames)
        NotificationCenter::Instance().AddObserver(name, this);
    return 0;
}

void CWndGame::OnNotify(INotification* notification)
{
    if (!notification)
        return;
    const std::string name = notification->Name();
    if (name == NT_CHECK_UPDATE) {
        ShowUpdateSplash();
    } else if (name == NT_START_UP) {
        HideUpdateSplash();
        ShowLogin();
    }
}

void CWndGame::ShowUpdateSplash()
{
    // The update splash comes with the update check.
}

void CWndGame::HideUpdateSplash()
{
    // The update splash comes with the update check.
}

void CWndGame::ShowLogin()
{
    // The login window comes with its own window classes.
}

bool CWndGame::IsSame(IObserver* other)
{
    return other == static_cast<IObserver*>(this);
}
