#include "update/exe_swap.h"

#include "common/log.h"
#include "download/path_helpers.h"
#include "framework/handles.h"
#include "update/version_text.h"

#include <cstdlib>
#include <cwchar>
#include <utility>
#include <vector>

const wchar_t kUpdateTempSuffix[] = L".tmp";

namespace {
const wchar_t kRestoreFailed[] = L"恢复文件失败[Error Code = %d]！%s";

DWORD Moved(const std::wstring& from, const std::wstring& to, DWORD flags = 0) noexcept
{
    return ::MoveFileExW(from.c_str(), to.c_str(), flags) ? 0 : ::GetLastError();
}

DWORD Copied(const std::wstring& from, const std::wstring& to) noexcept
{
    return ::CopyFileW(from.c_str(), to.c_str(), FALSE) ? 0 : ::GetLastError();
}

DWORD Deleted(const std::wstring& file) noexcept
{
    return ::DeleteFileW(file.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND
               ? 0
               : ::GetLastError();
}

} // namespace

DWORD WriteEmptyMark(const std::wstring& path) noexcept
{
    const UniqueHandle created(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    return created ? 0 : ::GetLastError();
}

bool IsBusyFileError(DWORD error) noexcept
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

ExecutableSwap::ExecutableSwap(std::wstring exe, BusyNotice notice, std::uint32_t patienceMs)
    : m_strExe(std::move(exe)), m_strTemporary(m_strExe + kUpdateTempSuffix),
      m_strBackup(BackupPathFor(m_strExe)), m_notice(std::move(notice)), m_patienceMs(patienceMs)
{
}

DWORD ExecutableSwap::Retried(const std::function<DWORD()>& step) const
{
    RetrySchedule schedule(m_patienceMs);
    bool waited = false;
    DWORD error = step();
    for (DWORD wait = 0; IsBusyFileError(error) && (wait = schedule.NextWaitMs()) != 0;
         error = step()) {
        if (!waited && m_notice)
            m_notice(true);
        waited = true;
        ::Sleep(wait);
    }
    if (waited && m_notice)
        m_notice(false);
    return error;
}

void ExecutableSwap::ChooseBackup()
{
    m_strBackup = BackupPathFor(m_strExe);
    if (FileExists(m_strBackup.c_str()) && !::DeleteFileW(m_strBackup.c_str())) {
        WriteLog(L"删除同名文件失败:%s，将使用随机名字。", m_strBackup.c_str());
        m_strBackup = m_strExe + DecimalText(std::rand() % 10000);
    }
}

DWORD ExecutableSwap::Apply()
{
    if (const DWORD error = Retried([&] { return Moved(m_strExe, m_strBackup); }))
        return error;
    m_bOldMoved = true;
    if (const DWORD error = Retried([&] { return Moved(m_strTemporary, m_strExe); }))
        return error;
    m_bNewMoved = true;
    return 0;
}

bool ExecutableSwap::Undo()
{
    if (m_bNewMoved) {
        if (const DWORD error = Retried([&] { return Moved(m_strExe, m_strTemporary); }))
            WriteLog(kRestoreFailed, static_cast<int>(error), m_strExe.c_str());
        else
            m_bNewMoved = false;
    }
    if (!m_bOldMoved)
        return !m_bNewMoved;
    // A new build that would not leave X loses its place to the old one.
    const DWORD replace = m_bNewMoved ? MOVEFILE_REPLACE_EXISTING : 0;
    DWORD error = Retried([&] { return Moved(m_strBackup, m_strExe, replace); });
    if (error != 0) {
        WriteLog(kRestoreFailed, static_cast<int>(error), m_strBackup.c_str());
        // The backup is held where it is: a copy of it can still be made.
        error = Retried([&] { return Copied(m_strBackup, m_strExe); });
        if (error != 0) {
            WriteLog(L"The old launcher could not be put back as %s either (Error Code = %d)",
                     m_strExe.c_str(), static_cast<int>(error));
            return false;
        }
        WriteLog(L"The old launcher was copied back to %s; %s stays", m_strExe.c_str(),
                 m_strBackup.c_str());
    }
    m_bOldMoved = false;
    m_bNewMoved = false;
    return true;
}

void ExecutableSwap::KeepFailedBuild(const std::string& version)
{
    if (m_bNewMoved)
        return; // the new build is still the executable
    const std::wstring failed = FailedBuildPath(m_strExe, version);
    if (!failed.empty()) {
        const DWORD error =
            Retried([&] { return Moved(m_strTemporary, failed, MOVEFILE_REPLACE_EXISTING); });
        if (error == 0)
            return;
        WriteLog(kRestoreFailed, static_cast<int>(error), failed.c_str());
    }
    if (Retried([&] { return Deleted(m_strTemporary); }) != 0)
        WriteLog(L"删除临时下载文件%s失败！", m_strTemporary.c_str());
    if (failed.empty())
        return;
    if (const DWORD unmarked = WriteEmptyMark(failed))
        WriteLog(L"The mark %s could not be written (Error Code = %d)", failed.c_str(),
                 static_cast<int>(unmarked));
}

void ExecutableSwap::RemoveLeftovers() const
{
    const std::wstring folder = DirectoryOfPath(m_strExe);
    const std::wstring exeName = FileNameOfPath(m_strExe.c_str());
    std::vector<std::wstring> leftovers;
    WIN32_FIND_DATAW data;
    if (const UniqueFindHandle search(::FindFirstFileW((m_strExe + L"*").c_str(), &data)); search) {
        do {
            const std::wstring path = folder + data.cFileName;
            // Read-only files were made so on purpose, and their deletion is
            // refused for good, not while another program looks at them.
            if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) &&
                (IsBackupName(exeName, data.cFileName) ||
                 IsBuildMarkName(exeName, data.cFileName)) &&
                _wcsicmp(path.c_str(), m_strBackup.c_str()) != 0)
                leftovers.push_back(path);
        } while (::FindNextFileW(search.get(), &data));
    }
    // One schedule for them all: each round deletes what it can, and what
    // another program still holds waits for the next round.
    Retried([&] {
        DWORD busy = 0;
        std::vector<std::wstring> held;
        for (const std::wstring& path : leftovers) {
            const DWORD error = Deleted(path);
            if (IsBusyFileError(error)) {
                busy = error;
                held.push_back(path);
            } else if (error != 0) {
                WriteLog(L"删除源文件%s失败！", path.c_str());
            }
        }
        leftovers.swap(held);
        return busy;
    });
    // A backup still running (an old launcher left open) stays until next time.
    for (const std::wstring& path : leftovers)
        WriteLog(L"删除源文件%s失败！", path.c_str());
}
