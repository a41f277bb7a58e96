// The file swap of an update, beside the executable X: the downloaded new
// executable waits as X + ".tmp"; the old one moves to a backup name and the
// new one takes X. Every step that was done can be put back, so that X
// always ends up holding a launcher that runs.
#pragma once

#include <string>

// The downloaded executable's suffix.
extern const wchar_t kUpdateTempSuffix[];

class ExecutableSwap {
public:
    explicit ExecutableSwap(std::wstring exe);

    // The backup name: X + the launcher's version. An earlier backup of that
    // name is deleted first; when it cannot be, X + a random number from 0 to
    // 9999 is used instead (and logged).
    void ChooseBackup();
    // X -> backup, then X.tmp -> X. Raises CFileException; the steps done
    // before the failure stay recorded for Revert.
    void Apply();
    // Puts back what Apply did, newest first: X -> X.tmp, backup -> X.
    // Raises CFileException like Apply.
    void Revert();
    // Revert for after a failure: raises no file exception, and when X
    // cannot be moved out of the way the old executable replaces it, because
    // X must hold a launcher that runs. Failures are logged.
    void RevertQuietly();

    // After a confirmed start: deletes the backups of earlier updates beside
    // X (version-named or random-numbered), keeping the one just made.
    void RemoveEarlierBackups() const;

    const std::wstring& Exe() const noexcept { return m_strExe; }
    const std::wstring& Temporary() const noexcept { return m_strTemporary; }
    const std::wstring& Backup() const noexcept { return m_strBackup; }
    // Whether the old executable is under the backup name, the new one under X.
    bool OldMoved() const noexcept { return m_bOldMoved; }
    bool NewMoved() const noexcept { return m_bNewMoved; }

private:
    std::wstring m_strExe;
    std::wstring m_strTemporary;
    std::wstring m_strBackup;
    bool m_bOldMoved = false;
    bool m_bNewMoved = false;
};
