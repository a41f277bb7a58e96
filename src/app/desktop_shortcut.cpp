#include "app/desktop_shortcut.h"

#include "framework/com_init.h"
#include "framework/win32.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

const wchar_t kShortcutFileName[] = L"OrboQuillmoor.lnk";

namespace {
// folder + '\' + name, or empty when the result would not fit MAX_PATH.
std::wstring JoinPath(const std::wstring& folder, const wchar_t* name)
{
    std::wstring path = folder + L'\\' + name;
    return path.size() < MAX_PATH ? path : std::wstring();
}

// The folder part of a launcher path: everything before its last backslash
// (C:\Games\x.exe gives C:\Games).
std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos || slash == 0 ? std::wstring() : path.substr(0, slash);
}

// Releases a COM interface pointer at the end of a scope.
template <typename T> struct Released {
    T* p = nullptr;
    Released() = default;
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    ~Released()
    {
        if (p)
            p->Release();
    }
};
} // namespace

std::wstring DesktopFolderPath()
{
    LPITEMIDLIST items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &items)) || !items)
        return {};
    wchar_t path[MAX_PATH] = {};
    const BOOL resolved = ::SHGetPathFromIDListW(items, path);
    ::CoTaskMemFree(items);
    return resolved ? std::wstring(path) : std::wstring();
}

std::wstring LauncherModulePath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

bool ShortcutFileExists(const wchar_t* name)
{
    const std::wstring desktop = DesktopFolderPath();
    if (desktop.empty() || !name)
        return false;
    const std::wstring path = JoinPath(desktop, name);
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsShortcutUnneededFor(const std::wstring& desktop, const std::wstring& launcher)
{
    // Without a desktop or a launcher path there is nowhere safe to write.
    if (desktop.empty() || launcher.empty())
        return true;
    const std::wstring shortcut = JoinPath(desktop, kShortcutFileName);
    if (shortcut.empty() || ::GetFileAttributesW(shortcut.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    return FolderOf(launcher) == desktop;
}

bool IsShortcutUnneeded()
{
    return IsShortcutUnneededFor(DesktopFolderPath(), LauncherModulePath());
}

void EnsureShortcutFor(const std::wstring& desktop, const std::wstring& launcher)
{
    if (IsShortcutUnneededFor(desktop, launcher))
        return;
    const ComApartment com; // its own initialisation; the result does not matter
    CreateShellLink(launcher.c_str(), desktop.c_str(), kShortcutFileName);
}

void EnsureDesktopShortcut()
{
    EnsureShortcutFor(DesktopFolderPath(), LauncherModulePath());
}

bool CreateShellLink(const wchar_t* target, const wchar_t* folder, const wchar_t* name)
{
    if (!target || !folder || !name || !*target || !*folder || !*name)
        return false;
    const std::wstring path = JoinPath(folder, name);
    if (path.empty() || wcslen(target) >= MAX_PATH)
        return false;

    Released<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link.p))))
        return false;
    Released<IPersistFile> file;
    if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
        return false;
    link.p->SetPath(target);
    link.p->SetShowCmd(SW_SHOWNORMAL);
    return SUCCEEDED(file.p->Save(path.c_str(), TRUE));
}
