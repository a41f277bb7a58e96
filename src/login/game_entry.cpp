#include "login/game_entry.h"

bool IsGameEntryAddress(std::wstring_view url, std::wstring_view marker) noexcept
{
    return !marker.empty() && url.find(marker) != std::wstring_view::npos;
}
