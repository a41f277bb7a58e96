// A DLL as a web page could drop beside the launcher under the name of a
// system DLL: no version resource, no exports, and code that runs the
// moment it is loaded. It leaves "<its own path>.loaded" so the tests see
// that it was.
#include "framework/win32.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 8] = {};
        const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            ::lstrcatW(path, L".loaded");
            const HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
            if (marker != INVALID_HANDLE_VALUE)
                ::CloseHandle(marker);
        }
    }
    return TRUE;
}
