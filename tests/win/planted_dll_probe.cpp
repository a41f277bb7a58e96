// A program with the toolchain's own entry code, which leaves the DLL search
// as Windows sets it: it loads version.dll by name, so beside a planted
// version.dll it loads that one. The planted-DLL test runs it first, to show
// that the planting works at all where it runs.
#include "framework/win32.h"

int main()
{
    return ::LoadLibraryW(L"version.dll") ? 0 : 1;
}
