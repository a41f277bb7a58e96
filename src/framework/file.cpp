#include "framework/file.h"

#include <utility>

bool CFileException::GetErrorMessage(std::wstring& text) const
{
    text.clear();
    LPWSTR buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
        static_cast<DWORD>(m_lOsError), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const UniqueLocalMemory owner(buffer);
    if (length > 0 && buffer)
        text.assign(buffer, length);
    if (!m_strFileName.empty())
        text += m_strFileName;
    return !text.empty();
}

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags)
{
    m_hFile.reset();
    m_strFileName = fileName ? fileName : L"";
    const DWORD access = (openFlags & modeWrite) ? GENERIC_WRITE : GENERIC_READ;
    const DWORD disposition = (openFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    m_hFile.reset(::CreateFileW(m_strFileName.c_str(), access, FILE_SHARE_READ, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_hFile ? TRUE : FALSE;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (!m_hFile)
        throw CFileException(ERROR_INVALID_HANDLE, m_strFileName);
    DWORD written = 0;
    if (!::WriteFile(m_hFile.get(), buffer, count, &written, nullptr))
        throw CFileException(static_cast<LONG>(::GetLastError()), m_strFileName);
    if (written != count)
        throw CFileException(ERROR_DISK_FULL, m_strFileName);
}

void CFile::Close()
{
    if (!m_hFile) {
        m_hFile.reset();
        return;
    }
    if (!::CloseHandle(m_hFile.release()))
        throw CFileException(static_cast<LONG>(::GetLastError()), m_strFileName);
}

void CFile::Rename(LPCWSTR oldName, LPCWSTR newName)
{
    if (!::MoveFileW(oldName, newName))
        throw CFileException(static_cast<LONG>(::GetLastError()), oldName ? oldName : L"");
}
