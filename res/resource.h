// Resource ids of the launcher module.
#pragma once

#define IDI_APP          128
#define IDD_UPDATE_LOGIN 102
#define IDD_LAYER        103
#define IDD_MSGBOX       166
