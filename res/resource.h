// Resource ids of the launcher module.
#pragma once

#define IDI_APP          128
#define IDD_UPDATE_LOGIN 102
#define IDD_LAYER        103
#define IDD_MSGBOX       166

// The update splash's pictures besides its own (109): the start of the new
// version, the scroll without caption, and the download bar's groove and filling.
#define IDB_SPLASH_STARTING 110
#define IDB_SPLASH_BASE     111
#define IDB_SPLASH_BAR      112
#define IDB_SPLASH_BAR_FILL 113
