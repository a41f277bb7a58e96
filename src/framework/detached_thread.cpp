#include "framework/detached_thread.h"

#include "framework/handles.h"

#include <memory>
#include <utility>

namespace {
DWORD WINAPI RunWork(void* parameter) noexcept
{
    const std::unique_ptr<std::function<void()>> work(
        static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}
} // namespace

bool StartDetachedThread(std::function<void()> work)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const UniqueHandle thread(::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr));
    if (!thread) {
        // Freeing the work may touch the error code; the caller reads it.
        const DWORD error = ::GetLastError();
        owned.reset();
        ::SetLastError(error);
        return false;
    }
    owned.release(); // the thread owns it now
    return true;
}
