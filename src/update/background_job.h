// Work the splash hands to a short-lived thread so that its window keeps
// painting and answering meanwhile: a page from a slow server, a file swap
// that waits for another program to let go of a file. The thread touches no
// window; when done it posts a command to the window that asked, whose
// handler takes the result on its own thread.
#pragma once

#include "framework/win32.h"

#include <functional>

// Runs `job` on a thread of its own, then posts WM_COMMAND `command` to
// `window` with the job's result as lParam. False when no thread could start;
// the job has not run then. A window destroyed meanwhile never hears of it.
bool RunInBackground(HWND window, UINT command, std::function<LPARAM()> job);
