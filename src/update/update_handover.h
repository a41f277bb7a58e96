// How the launchers of one install coordinate an update. One update at a
// time: a named mutex. The hand-over: the old launcher starts the new one and
// waits for it to say, through a named event, that it came up; a build that
// ends first or says nothing is rolled back by the old launcher. Both names
// derive from the executable's full path, case-insensitively, so two installs
// never share them, and live in the machine's namespace, so the launchers of
// every user signed in share them. Nothing here logs; the callers say what
// happened.
#pragma once

#include "framework/handles.h"

#include <string>

// Where a name lives: "Global\" for the machine, "Local\" for the session.
enum class ObjectScope { Machine, Session };

// "Global\Quillmoor.<kind>.<hash of the folded path>", or "Local\..." for
// the session's.
std::wstring InstallObjectName(const wchar_t* kind, const std::wstring& exePath,
                               ObjectScope scope = ObjectScope::Machine);

// Tells an old launcher waiting for this one that it started; does nothing
// when none waits. Every launcher calls it once its splash is on screen. It
// sets the session's event too: the one a launcher of an earlier build waits
// on, or one that could not have the machine's.
void ConfirmLauncherStarted(const std::wstring& exePath) noexcept;

// The install's update mutex, held from the version check to the end of the
// swap, its undo or the rollback. A mutex belongs to a thread: take and give
// it back on one.
class InstallUpdateLock {
public:
    InstallUpdateLock() = default;
    InstallUpdateLock(const InstallUpdateLock&) = delete;
    InstallUpdateLock& operator=(const InstallUpdateLock&) = delete;
    ~InstallUpdateLock() { Release(); }

    // False when another launcher of the install holds it. A holder that
    // ended without giving it back leaves it to the next one. A mutex of the
    // name that this user may not open (another user's launcher made it) is
    // held too; where the machine's namespace cannot be used at all, the
    // session's name stands in, so the launchers of this session still
    // update one at a time.
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
    // arguments. False, with `error`, when it cannot be started. The event is
    // the machine's unless that one cannot be made or is open elsewhere
    // already (then it is not this hand-over's to trust): the session's
    // stands in, which the new launcher sets as well.
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
