// The launcher's one application object, constructed before wWinMain runs.
#include "app/tessel_app.h"

CTesselApp theApp;
