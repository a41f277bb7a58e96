// How the login page tells the launcher that the player enters the game: it
// navigates to the entry page, an address whose path ends in the entry
// marker.
#pragma once

#include <string_view>

// The entry marker of the portal's login page.
inline constexpr wchar_t kGameEntryMarker[] = L"login.php";

// True when the last segment of `url`'s path is exactly `marker`, with the
// same letter case, on any host; the query and the fragment do not count,
// so "/a/login.php?x=1" is entry and "/reset?next=login.php" or
// "/login.php.html" is not. An empty marker matches nothing, so a layer
// whose marker is not set yet intercepts no navigation.
bool IsGameEntryAddress(std::wstring_view url, std::wstring_view marker) noexcept;
