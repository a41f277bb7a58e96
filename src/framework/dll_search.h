// Where the process looks for the DLLs it loads by name. A file that a web
// page dropped beside the launcher (the Downloads folder, say) must never be
// loaded into it, so the entry code of every program that links the
// launcher's code restricts the search to the system folder before anything
// else runs: before static constructors, the C runtime's start-up and the
// first delay-loaded call.
#pragma once

enum class DllSearch {
    SystemFolderOnly, // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) took
    // Windows 7 without KB2533623 has no SetDefaultDllDirectories: the current
    // folder is left out (SetDllDirectoryW(L"")), the program's folder is not.
    ProgramFolderToo,
};

// What the entry code achieved; the same answer for every call.
DllSearch ProcessDllSearch() noexcept;

// Called first by the entry code; returns what it achieved.
DllSearch RestrictDllSearch() noexcept;
