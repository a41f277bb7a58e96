#include "update/background_job.h"

#include "framework/detached_thread.h"

#include <utility>

bool RunInBackground(HWND window, UINT command, std::function<LPARAM()> job)
{
    return StartDetachedThread([window, command, job = std::move(job)] {
        const LPARAM result = job();
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), result);
    });
}
