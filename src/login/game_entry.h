// How the login page tells the launcher that the player enters the game: it
// navigates to an address that contains the entry marker.
#pragma once

#include <string_view>

// The entry marker of the portal's login page.
inline constexpr wchar_t kGameEntryMarker[] = L"login.php";

// True when `marker` occurs in `url` anywhere (path or query), with the same
// letter case. An empty marker matches nothing, so a layer whose marker is
// not set yet intercepts no navigation.
bool IsGameEntryAddress(std::wstring_view url, std::wstring_view marker) noexcept;
