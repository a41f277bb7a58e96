// The launcher's main window. For now it is the hidden observer that start-up
// creates: it registers on the bus while it is created, unregisters when it
// goes, and deletes itself after its window is destroyed.
#pragma once

#include "app/notification.h"
#include "framework/wnd.h"

class CWndGame : public CWnd, public IObserver {
public:
    CWndGame() = default;
    ~CWndGame() override;

    void OnNotify(INotification* notification) override;
    bool IsSame(IObserver* other) override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PostNcDestroy() override;

private:
    int OnCreate(CREATESTRUCTW* create);
};
