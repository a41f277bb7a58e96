// Files and folders for the Windows tests: whole-file reads and writes,
// fresh temporary folders and their removal, byte comparisons that do not
// print kilobytes on failure.
#pragma once

#include "framework/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace qmtest {

// The whole file; false when it cannot be opened (sharing like a reader
// that lets the launcher rename or delete the file meanwhile).
bool ReadWholeFile(const std::wstring& path, std::string& content);
// The whole file, or "<missing>" when it cannot be read.
std::string Content(const std::wstring& path);
// Creates or replaces the file; true when every byte was written.
bool WriteWholeFile(const std::wstring& path, const std::string& content);
bool Exists(const std::wstring& path);
// Size on disk, -1 when there is no such file.
long long FileSize(const std::wstring& path);

// A fresh folder under the temporary folder, named after `prefix`, with a
// trailing backslash; empty when it could not be made.
std::wstring MakeTempFolder(const wchar_t* prefix);
// Deletes a folder (with a trailing backslash) and everything in it, also
// read-only files.
void RemoveTree(const std::wstring& dir);

// Equal bytes, or a failure that tells the sizes and the first difference.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected,
                                     const char* what = "content");

// UTF-8 and UTF-16 both ways.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

} // namespace qmtest
