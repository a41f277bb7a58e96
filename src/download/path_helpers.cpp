#include "download/path_helpers.h"

#include "framework/handles.h"

std::wstring ExecutableDirectory()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
    return DirectoryOfPath(path);
}

bool FileExists(const wchar_t* path)
{
    WIN32_FIND_DATAW found;
    return UniqueFindHandle(::FindFirstFileW(path, &found)) ? true : false;
}

bool IsDirectory(const wchar_t* path)
{
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EnsureDirectory(const wchar_t* path)
{
    if (IsDirectory(path))
        return true;
    const auto parent = ParentOfPath(path);
    if (!parent)
        return true; // a bare name: nothing to create
    if (!EnsureDirectory(parent->c_str()))
        return false;
    // A parent that ends with a separator ("\" for "\\server", "C:\a\" for
    // "C:\a\\") is as far as this path can be taken.
    if (EndsWithPathSeparator(*parent))
        return true;
    if (IsDirectory(path))
        return true;
    return ::CreateDirectoryW(path, nullptr) != FALSE;
}
