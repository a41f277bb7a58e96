// The addresses of the launcher's sites. A host setting is
// "https://host[:port]", "http://host[:port]" or a bare "host[:port]", which
// means http; the setting and a path make an address. Platform-free.
#pragma once

#include <string>
#include <string_view>

// "<scheme>://host[:port]" of a host setting: the setting, its scheme in
// lower case, when it names http or https in any letter case; otherwise
// "http://" and the setting.
std::wstring SiteOrigin(std::wstring_view hostSetting);

// The origin of a host setting followed by a path that starts with '/'.
std::wstring SiteAddress(std::wstring_view hostSetting, std::wstring_view path);

// Whether an absolute address is an https address.
bool IsHttpsAddress(std::wstring_view address) noexcept;

// Whether a request for `from` may follow a redirect to the absolute address
// `to`: to https from either scheme, to http only from http. A redirect from
// https to http, or to any other scheme, is refused.
bool MayFollowRedirect(std::wstring_view from, std::wstring_view to) noexcept;
