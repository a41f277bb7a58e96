// CFile: a binary file over CreateFileW. Opening reports failure by its
// result; writing, closing and renaming raise CFileException.
#pragma once

#include "framework/handles.h"
#include "framework/object.h"

#include <string>

class CFileException : public CException {
public:
    CFileException(LONG osError, std::wstring fileName)
        : m_lOsError(osError), m_strFileName(std::move(fileName))
    {
    }
    bool GetErrorMessage(std::wstring& text) const override;

    LONG m_lOsError;            // the system's error code
    std::wstring m_strFileName; // the file the operation was about
};

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeWrite = 0x0001,  // write access (read access without it)
        modeCreate = 0x1000, // create, or truncate an existing file
        typeBinary = 0x8000, // bytes as they are (the only kind this class knows)
    };

    CFile() noexcept = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() override = default; // closes the file, ignoring failures

    // False on failure, with GetLastError as CreateFileW left it.
    BOOL Open(LPCWSTR fileName, UINT openFlags);
    void Write(const void* buffer, UINT count);
    void Close();
    static void Rename(LPCWSTR oldName, LPCWSTR newName);

private:
    UniqueHandle m_hFile;
    std::wstring m_strFileName;
};
