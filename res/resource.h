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

// The panel that stands in for a page that cannot be reached: its frame,
// drawn as a nine-grid over the page's place, and the faces of its Retry
// button (hover, normal, pressed, in ascending order like the login
// window's buttons). The panel's control ids in the login layer and the
// game window, and its Retry button's inside it.
#define IDB_PAGE_PANEL        200
#define IDB_PAGE_RETRY_HOVER  201
#define IDB_PAGE_RETRY_NORMAL 202
#define IDB_PAGE_RETRY_PRESS  203
#define IDC_LOGIN_PAGE_PANEL  1002
#define IDC_GAME_PAGE_PANEL   102
#define IDC_PAGE_RETRY        1
