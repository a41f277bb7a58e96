// The control-container manager installed at start-up: every ActiveX control
// the framework creates, from a dialog template or at run time, gets a
// CCustomControlSite, so every hosted browser gets the launcher's page rules.
#pragma once

#include "framework/occ.h"

class CCustomOccManager : public COccManager {
public:
    COleControlSite* CreateSite(COleControlContainer* container) override;
};
