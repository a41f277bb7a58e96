// Control-container manager: decides which container and which site every
// ActiveX control made by the framework gets. Installed once at start-up; a
// derived manager overrides CreateSite to give controls a site of its own.
#pragma once

#include "framework/win32.h"

class CWnd;
class COleControlContainer;
class COleControlSite;

class COccManager {
public:
    COccManager() = default;
    COccManager(const COccManager&) = delete;
    COccManager& operator=(const COccManager&) = delete;
    virtual ~COccManager() = default;

    // The container for the controls hosted by `wnd`; owned by the window.
    virtual COleControlContainer* CreateContainer(CWnd* wnd);
    // A new site for one control of `container`, holding the one reference
    // the container takes over; null when it cannot be made.
    virtual COleControlSite* CreateSite(COleControlContainer* container);
};

// Makes `manager` the one that sites every control created from now on; null
// installs the framework's plain manager. The manager must outlive them.
void AfxEnableControlContainer(COccManager* manager = nullptr) noexcept;
// The installed manager; null until AfxEnableControlContainer is called, and
// then no control can be created.
COccManager* AfxGetOccManager() noexcept;

// Initialises OLE on the calling thread the first time a control is made
// there; it stays initialised for the thread's life, since the control
// libraries must not be unloaded under a window of theirs. False when the
// thread's apartment does not allow it.
bool AfxOleEnsureThreadInitialized() noexcept;
