// The launcher's main window. For now it is the hidden borderless observer
// that start-up creates: it registers on the bus while it is created and
// unregisters when it goes; the frame deletes it after its window is gone.
#pragma once

#include "app/notification.h"
#include "game/skin_flat_panel.h"

class CWndGame : public CSkinFlatPanel, public IObserver {
public:
    CWndGame() = default;
    ~CWndGame() override;

    void OnNotify(INotification* notification) override;
    bool IsSame(IObserver* other) override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // NT_CHECK_UPDATE: the update splash, created on first use, centred,
    // brought to the top and shown.
    void ShowUpdateSplash();
    // NT_START_UP: the splash is hidden (its window stays) and the login
    // window is shown.
    void HideUpdateSplash();
    void ShowLogin();

private:
    int OnCreate(CREATESTRUCTW* create);
};
