#include "framework/dll_search.h"

#include "framework/win32.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {
DllSearch g_search = DllSearch::ProgramFolderToo;
} // namespace

DllSearch ProcessDllSearch() noexcept
{
    return g_search;
}

// Runs before the C runtime is initialised: kernel32 calls only.
DllSearch RestrictDllSearch() noexcept
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    // kernel32 is mapped into every process before its first instruction runs.
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        g_search = DllSearch::SystemFolderOnly;
    } else {
        ::SetDllDirectoryW(L"");
        g_search = DllSearch::ProgramFolderToo;
    }
    return g_search;
}

// The entry points of the programs that link the launcher's code (the link
// names one with -e, see cmake/safe_entry.cmake): the search is restricted,
// then MinGW's own start-up runs the C runtime, the static constructors and
// wWinMain or main.
extern "C" int WinMainCRTStartup();
extern "C" int mainCRTStartup();

extern "C" int QmWinMainStartup()
{
    RestrictDllSearch();
    return WinMainCRTStartup();
}

extern "C" int QmMainStartup()
{
    RestrictDllSearch();
    return mainCRTStartup();
}
