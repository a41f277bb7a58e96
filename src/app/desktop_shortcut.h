// Keeps a shortcut to the launcher on the user's desktop: re-created at every
// start when it is missing, never made for a launcher that lives on the
// desktop itself.
#pragma once

#include <string>

// The shortcut's file name on the desktop.
extern const wchar_t kShortcutFileName[];

void EnsureDesktopShortcut();

// True when the shortcut already exists on the desktop or the launcher's own
// folder is the desktop folder (exact, case-sensitive comparison). Also true
// when the desktop cannot be resolved: then nothing is to be touched.
bool IsShortcutUnneeded();

// True when the desktop holds a file-system entry (file or folder) `name`.
bool ShortcutFileExists(const wchar_t* name);

// Writes shortcut `name` into `folder`, pointing at `target`, shown normally;
// true when the file was saved. False, touching nothing, for a missing
// argument or a path that does not fit in MAX_PATH.
bool CreateShellLink(const wchar_t* target, const wchar_t* folder, const wchar_t* name);

// The steps above with the folders given, for the start-up code and tests.
bool IsShortcutUnneededFor(const std::wstring& desktop, const std::wstring& launcher);
void EnsureShortcutFor(const std::wstring& desktop, const std::wstring& launcher);

// The desktop folder's file-system path, empty when the shell cannot say.
std::wstring DesktopFolderPath();
// The running launcher's full path, empty when it does not fit MAX_PATH.
std::wstring LauncherModulePath();
