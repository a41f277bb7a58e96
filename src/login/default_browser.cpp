#include "login/default_browser.h"

#include "framework/win32.h"

#include <shellapi.h>

void OpenInDefaultBrowser(const std::wstring& address) noexcept
{
    ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
}
