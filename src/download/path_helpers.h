// File-system helpers of the download manager and the self-update, beside
// the text rules of path_text.h.
#pragma once

#include "download/path_text.h"

#include <string>

// The running executable's directory, with its trailing separator.
std::wstring ExecutableDirectory();

// Something of that name exists (FindFirstFileW finds it).
bool FileExists(const wchar_t* path);

bool IsDirectory(const wchar_t* path);

// Creates the directory and every missing parent. True when it exists
// afterwards or the path names no directory at all (no separator).
bool EnsureDirectory(const wchar_t* path);
