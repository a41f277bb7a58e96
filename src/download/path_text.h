// Text rules of download paths: which character separates, where the
// directory ends and the file name starts, which directory is the parent.
// Platform-free; paths and URLs alike are taken as plain UTF-16 text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

bool IsPathSeparator(wchar_t c) noexcept;

// Index of the path's separator, whichever of '/' and '\' occurs last;
// npos when the text has neither.
std::size_t LastPathSeparator(std::wstring_view path) noexcept;

// The first k + 1 characters (separator included) when the last separator is
// at index k > 0; otherwise empty.
std::wstring DirectoryOfPath(std::wstring_view path);

// Everything after the last separator when it is at index k > 0; otherwise
// empty. A URL's query stays part of its last segment.
std::wstring FileNameOfPath(std::wstring_view path);

// The directory that must exist before `path` can be created: the characters
// before its last separator (at any index, so "\a" has the empty parent and
// "C:\a\" has "C:\a"). No value when the path has no separator.
std::optional<std::wstring> ParentOfPath(std::wstring_view path);

bool EndsWithPathSeparator(std::wstring_view path) noexcept;
