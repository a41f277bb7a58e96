// A thread that nobody joins: it runs its work and ends, and its handle is
// closed at once.
#pragma once

#include <functional>

// Runs `work` on a new thread. False when no thread could start, with
// GetLastError saying why; the work has not run then. The work must not throw.
//
// Made with CreateThread rather than std::thread: under 32-bit Wine, on a
// busy machine, a detached std::thread (winpthreads) started just after
// another one ended now and then never ran its function, while its creator
// went on as if it had started.
bool StartDetachedThread(std::function<void()> work);
