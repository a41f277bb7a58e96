// Wakes the Wine services the tests use (desktop window, COM and the shell's
// link object, the notification area) once, before any test runs: a service
// started from inside a test would hold that test's output pipe open and
// make it look hung.
#include "framework/win32.h"

#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <shlobj.h>

int main()
{
    ::CoInitialize(nullptr);
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"warm-up", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);

    IShellLinkW* link = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            ::GetTempPathW(MAX_PATH, path);
            wcscat(path, L"qm-warmup.lnk");
            link->SetPath(L"C:\\windows\\notepad.exe");
            file->Save(path, TRUE);
            ::DeleteFileW(path);
            file->Release();
        }
        link->Release();
    }
    wchar_t desktop[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, desktop);

    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = hwnd;
    icon.uID = 1;
    icon.uFlags = NIF_ICON;
    icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    ::Shell_NotifyIconW(NIM_ADD, &icon);
    ::Shell_NotifyIconW(NIM_DELETE, &icon);

    ::DestroyWindow(hwnd);
    ::CoUninitialize();
    return 0;
}
