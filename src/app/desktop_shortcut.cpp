#include "app/desktop_shortcut.h"

// Stand-in until the shortcut is built: start-up already calls it in its
// place, after the update splash is shown.
void EnsureDesktopShortcut() {}
