// A thread that nobody joins: it runs its work and ends, and its handle is
// closed at once.
#pragma once

#include <functional>

// Runs `work` on a new thread. False when no thread could start; the work
// has not run then. The work must not throw.
//
// Made with CreateThread rather than std::thread: under 32-bit Wine, a
// detached std::thread (winpthreads) started just after another one ended
// was seen, about once in thirty starts on a busy machine, never to run its
// function while its creator went on as if it had started.
bool StartDetachedThread(std::function<void()> work);
