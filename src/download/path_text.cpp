#include "download/path_text.h"

bool IsPathSeparator(wchar_t c) noexcept
{
    return c == L'/' || c == L'\\';
}

std::size_t LastPathSeparator(std::wstring_view path) noexcept
{
    return path.find_last_of(L"/\\");
}

std::wstring DirectoryOfPath(std::wstring_view path)
{
    const std::size_t k = LastPathSeparator(path);
    if (k == std::wstring_view::npos || k == 0)
        return {};
    return std::wstring(path.substr(0, k + 1));
}

std::wstring FileNameOfPath(std::wstring_view path)
{
    const std::size_t k = LastPathSeparator(path);
    if (k == std::wstring_view::npos || k == 0)
        return {};
    return std::wstring(path.substr(k + 1));
}

std::optional<std::wstring> ParentOfPath(std::wstring_view path)
{
    const std::size_t k = LastPathSeparator(path);
    if (k == std::wstring_view::npos)
        return std::nullopt;
    return std::wstring(path.substr(0, k));
}

bool EndsWithPathSeparator(std::wstring_view path) noexcept
{
    return !path.empty() && IsPathSeparator(path.back());
}
