#include "common/site_address.h"

namespace {
constexpr std::wstring_view kHttp = L"http://";
constexpr std::wstring_view kHttps = L"https://";

// Whether `text` starts with `prefix`, ASCII letters compared in either case.
bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) noexcept
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}
} // namespace

std::wstring SiteOrigin(std::wstring_view hostSetting)
{
    std::wstring origin;
    if (StartsWithFolded(hostSetting, kHttps)) {
        origin.append(kHttps).append(hostSetting.substr(kHttps.size()));
    } else if (StartsWithFolded(hostSetting, kHttp)) {
        origin.append(kHttp).append(hostSetting.substr(kHttp.size()));
    } else {
        origin.append(kHttp).append(hostSetting);
    }
    return origin;
}

std::wstring SiteAddress(std::wstring_view hostSetting, std::wstring_view path)
{
    return SiteOrigin(hostSetting).append(path);
}

bool IsHttpsAddress(std::wstring_view address) noexcept
{
    return StartsWithFolded(address, kHttps);
}

bool MayFollowRedirect(std::wstring_view from, std::wstring_view to) noexcept
{
    if (IsHttpsAddress(to))
        return true;
    return StartsWithFolded(to, kHttp) && StartsWithFolded(from, kHttp);
}
