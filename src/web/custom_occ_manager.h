// The control-container manager installed at start-up. It will give every
// browser control the launcher's customised site; until then it is the
// framework's plain manager.
#pragma once

#include "framework/occ.h"

class CCustomOccManager : public COccManager {};
