#include "login/game_entry.h"

namespace {
// The path of `url`: after the scheme's "//host[:port]" when there is one,
// up to the query or the fragment.
std::wstring_view PathOf(std::wstring_view url) noexcept
{
    url = url.substr(0, url.find_first_of(L"?#"));
    if (const std::size_t scheme = url.find(L"://"); scheme != std::wstring_view::npos) {
        const std::size_t path = url.find(L'/', scheme + 3);
        return path == std::wstring_view::npos ? std::wstring_view() : url.substr(path);
    }
    return url;
}
} // namespace

bool IsGameEntryAddress(std::wstring_view url, std::wstring_view marker) noexcept
{
    if (marker.empty())
        return false;
    const std::wstring_view path = PathOf(url);
    const std::size_t slash = path.rfind(L'/');
    const std::wstring_view last = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    return last == marker;
}
