// The file swap of an update, beside the executable X: the downloaded new
// executable waits as X + ".tmp"; the old one moves to a backup name and the
// new one takes X. Every step that was done can be put back, so that X
// always ends up holding a launcher that runs.
//
// Another program may hold one of the files for a while (a virus scanner
// looks at every new executable for a few seconds): each rename and removal
// is then tried again on the waits of a RetrySchedule. The operations wait,
// so they run on a worker thread, never on the UI thread; the notice tells
// the splash when they start and stop waiting.
#pragma once

#include "framework/win32.h"
#include "update/retry_schedule.h"

#include <cstdint>
#include <functional>
#include <string>

// The downloaded executable's suffix.
extern const wchar_t kUpdateTempSuffix[];

// Whether a file operation failed because another program holds the file,
// which it may let go of soon.
bool IsBusyFileError(DWORD error) noexcept;

// Writes an empty file at `path`, as a mark; 0 or the error.
DWORD WriteEmptyMark(const std::wstring& path) noexcept;

class ExecutableSwap {
public:
    // Called with true before a wait for a file another program holds, and
    // with false once the operation that waited went through.
    using BusyNotice = std::function<void(bool waiting)>;

    // Busy files are waited for up to `patienceMs` per operation; only tests
    // wait less.
    explicit ExecutableSwap(std::wstring exe, BusyNotice notice = {},
                            std::uint32_t patienceMs = RetrySchedule::kTotalWaitMs);

    // The backup name: X + the launcher's version. An earlier backup of that
    // name is deleted first; when it cannot be, X + a random number from 0 to
    // 9999 is used instead (and logged).
    void ChooseBackup();
    // X -> backup, then X.tmp -> X. 0 when both were done; otherwise the
    // error of the step that could not be, and the steps done before it stay
    // recorded for Undo.
    DWORD Apply();
    // Puts back what Apply did, newest first: X -> X.tmp, backup -> X. The
    // name X is never left empty: when the backup cannot be renamed, the old
    // executable is copied there; when the new one cannot leave X, the old
    // one replaces it. Logs what it could not do. True when X holds the old
    // executable again (or Apply had not touched it).
    bool Undo();
    // After Undo: keeps the new build as "<exe><version>.failed". When it
    // cannot be moved there, it is deleted and an empty mark of that name
    // stands in for it, so the version is not fetched again either way.
    void KeepFailedBuild(const std::string& version);

    // After a confirmed start: deletes the backups of earlier updates beside
    // X (version-named or random-numbered), keeping the one just made, and the
    // marks of versions not to fetch again. Files another program holds are
    // tried again together, then left for the next update.
    void RemoveLeftovers() const;

    const std::wstring& Exe() const noexcept { return m_strExe; }
    const std::wstring& Temporary() const noexcept { return m_strTemporary; }
    const std::wstring& Backup() const noexcept { return m_strBackup; }
    // Whether the old executable is under the backup name, the new one under X.
    bool OldMoved() const noexcept { return m_bOldMoved; }
    bool NewMoved() const noexcept { return m_bNewMoved; }

private:
    // Runs `step` (the error it ends with, 0 for success) until it succeeds,
    // fails for another reason than a busy file, or the waits are spent.
    DWORD Retried(const std::function<DWORD()>& step) const;

    std::wstring m_strExe;
    std::wstring m_strTemporary;
    std::wstring m_strBackup;
    BusyNotice m_notice;
    std::uint32_t m_patienceMs;
    bool m_bOldMoved = false;
    bool m_bNewMoved = false;
};
