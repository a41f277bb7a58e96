#include "update/background_job.h"

#include <system_error>
#include <thread>
#include <utility>

bool RunInBackground(HWND window, UINT command, std::function<LPARAM()> job)
{
    try {
        std::thread([window, command, job = std::move(job)] {
            const LPARAM result = job();
            ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), result);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}
