// The launcher's application object.
#pragma once

#include "framework/app.h"

class CImpIDispatch;

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
