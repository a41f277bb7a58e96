// Pages that the launcher does not show itself open in the user's default
// web browser.
#pragma once

#include <string>

// ShellExecuteW with no owner, the verb "open" and SW_SHOW. The outcome is
// not looked at: a link that cannot be opened changes nothing in the launcher.
void OpenInDefaultBrowser(const std::wstring& address) noexcept;
