// The launcher's application object.
#pragma once

#include "framework/app.h"

class CImpIDispatch;
class CWndGame;

// The game window's class, registered at start-up.
extern const wchar_t kGameWndClassName[];
// The title of the game window.
extern const wchar_t kGameWndTitle[];

class CTesselApp : public CWinApp {
public:
    CTesselApp() = default;
    ~CTesselApp() override = default;

    BOOL InitInstance() override;
    BOOL OnCommand(UINT id) override;

    // The one script object that every page sees as window.external. Owned
    // by the application and never freed.
    CImpIDispatch* m_pImpIDispatch = nullptr;
};

CTesselApp* GetTesselApp() noexcept;

// Registers the game window's class (raising a resource exception when that
// fails) and creates the hidden game window, which becomes `app`'s main
// window when `app` is given. Null when the window cannot be created; the
// object has then deleted itself.
CWndGame* CreateGameWindow(CWinApp* app);
