// Prints the text of every window of one class on the desktop, one window a
// line with line breaks written as " | ": the end-to-end tests read what a
// panel of the launcher says this way. Built beside the launcher.
//     window_text.exe QmPagePanel
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    const wchar_t* className;
    int found = 0;
};

BOOL CALLBACK PrintIfOfClass(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t name[64] = {};
    if (!::GetClassNameW(hwnd, name, 64) || ::lstrcmpW(name, search->className) != 0)
        return TRUE;
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    // A window of another process: the system carries the text across.
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                          &length);
    std::wstring line(text);
    for (std::size_t at; (at = line.find(L'\n')) != std::wstring::npos;)
        line.replace(at, 1, L" | ");
    std::printf("%s %ls\n", ::IsWindowVisible(hwnd) ? "shown" : "hidden", line.c_str());
    ++search->found;
    return TRUE;
}

BOOL CALLBACK SearchTopLevel(HWND hwnd, LPARAM param)
{
    PrintIfOfClass(hwnd, param);
    ::EnumChildWindows(hwnd, PrintIfOfClass, param);
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    Search search{argv[1]};
    ::EnumWindows(SearchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found > 0 ? 0 : 1;
}
