// How the launchers of one install coordinate an update. One update at a
// time: a named mutex. The hand-over: the old launcher starts the new one and
// waits for it to say, through a named event, that it came up; a build that
// ends first or says nothing is rolled back by the old launcher. Both names
// derive from the executable's full path, case-insensitively, so two installs
// never share them. Nothing here logs; the callers say what happened.
#pragma once

#include "framework/handles.h"

#include <string>

// "Local\Quillmoor.<kind>.<hash of the folded path>".
std::wstring InstallObjectName(const wchar_t* kind, const std::wstring& exePath);

// Tells an old launcher waiting for this one that it started; does nothing
// when none waits. Every launcher calls it once its splash is on screen.
void ConfirmLauncherStarted(const std::wstring& exePath) noexcept;

// The install's update mutex, held from the version check to the end of the
// swap. A mutex belongs to a thread: take and give it back on one.
class InstallUpdateLock {
public:
    InstallUpdateLock() = default;
    InstallUpdateLock(const InstallUpdateLock&) = delete;
    InstallUpdateLock& operator=(const InstallUpdateLock&) = delete;
    ~InstallUpdateLock() { Release(); }

    // False when another launcher of the install holds it. A holder that
    // ended without giving it back leaves it to the next one.
    bool TryAcquire(const std::wstring& exePath);
    void Release() noexcept;
    bool Held() const noexcept { return m_bHeld; }

private:
    UniqueHandle m_hMutex;
    bool m_bHeld = false;
};

// Starting the swapped-in launcher and watching for its confirmation.
class LauncherHandOver {
public:
    enum class State { Waiting, Confirmed, Ended, TimedOut };

    LauncherHandOver() = default;
    LauncherHandOver(const LauncherHandOver&) = delete;
    LauncherHandOver& operator=(const LauncherHandOver&) = delete;

    // Creates the confirmation event, then starts `exePath` detached, without
    // arguments. False, with `error`, when it cannot be started.
    bool Start(const std::wstring& exePath, DWORD timeoutMs, DWORD& error);
    // Where the hand-over stands, without waiting. A confirmation counts even
    // when the new launcher has ended since.
    State Poll() const noexcept;
    // Ends a new launcher that did not confirm, and waits for it to be gone.
    void EndNewLauncher() noexcept;
    DWORD ExitCode() const noexcept;

private:
    UniqueHandle m_hConfirmed;
    UniqueHandle m_hProcess;
    ULONGLONG m_deadline = 0;
};
