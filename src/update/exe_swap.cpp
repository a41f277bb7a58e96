#include "update/exe_swap.h"

#include "common/log.h"
#include "download/path_helpers.h"
#include "framework/file.h"
#include "framework/handles.h"
#include "update/version_text.h"

#include <cstdlib>
#include <cwchar>
#include <utility>

const wchar_t kUpdateTempSuffix[] = L".tmp";

ExecutableSwap::ExecutableSwap(std::wstring exe)
    : m_strExe(std::move(exe)), m_strTemporary(m_strExe + kUpdateTempSuffix),
      m_strBackup(BackupPathFor(m_strExe))
{
}

void ExecutableSwap::ChooseBackup()
{
    m_strBackup = BackupPathFor(m_strExe);
    if (FileExists(m_strBackup.c_str()) && !::DeleteFileW(m_strBackup.c_str())) {
        WriteLog(L"删除同名文件失败:%s，将使用随机名字。", m_strBackup.c_str());
        m_strBackup = m_strExe + DecimalText(std::rand() % 10000);
    }
}

void ExecutableSwap::Apply()
{
    CFile::Rename(m_strExe.c_str(), m_strBackup.c_str());
    m_bOldMoved = true;
    CFile::Rename(m_strTemporary.c_str(), m_strExe.c_str());
    m_bNewMoved = true;
}

void ExecutableSwap::Revert()
{
    if (m_bNewMoved) {
        CFile::Rename(m_strExe.c_str(), m_strTemporary.c_str());
        m_bNewMoved = false;
    }
    if (m_bOldMoved) {
        CFile::Rename(m_strBackup.c_str(), m_strExe.c_str());
        m_bOldMoved = false;
    }
}

void ExecutableSwap::RevertQuietly()
{
    if (m_bNewMoved) {
        if (::MoveFileW(m_strExe.c_str(), m_strTemporary.c_str()))
            m_bNewMoved = false;
        else
            WriteLog(L"恢复文件失败[Error Code = %d]！%s", ::GetLastError(), m_strExe.c_str());
    }
    if (m_bOldMoved) {
        // The new executable left in the way loses its place to the old one.
        const DWORD flags = m_bNewMoved ? MOVEFILE_REPLACE_EXISTING : 0;
        if (::MoveFileExW(m_strBackup.c_str(), m_strExe.c_str(), flags)) {
            m_bOldMoved = false;
            m_bNewMoved = false;
        } else {
            WriteLog(L"恢复文件失败[Error Code = %d]！%s", ::GetLastError(), m_strBackup.c_str());
        }
    }
}

void ExecutableSwap::RemoveEarlierBackups() const
{
    const std::wstring folder = DirectoryOfPath(m_strExe);
    const std::wstring exeName = FileNameOfPath(m_strExe.c_str());
    WIN32_FIND_DATAW data;
    const UniqueFindHandle search(::FindFirstFileW((m_strExe + L"*").c_str(), &data));
    if (!search)
        return;
    do {
        const std::wstring path = folder + data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !IsBackupName(exeName, data.cFileName) ||
            _wcsicmp(path.c_str(), m_strBackup.c_str()) == 0)
            continue;
        // A backup still running (an old launcher left open) stays until next time.
        if (!::DeleteFileW(path.c_str()))
            WriteLog(L"删除源文件%s失败！", path.c_str());
    } while (::FindNextFileW(search.get(), &data));
}
