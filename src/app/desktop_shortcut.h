// Keeps a shortcut to the launcher on the user's desktop.
#pragma once

void EnsureDesktopShortcut();
