// Included ahead of every C++ file of the Windows builds (see runtime.cmake):
// std::string and std::wstring members are instantiated where they are used
// instead of being taken from the C++ runtime's prebuilt copies.
//
// The runtime declares both classes "extern template" and ships one object
// file per character type with every member in it. MinGW's linker keeps every
// function that has an entry in the unwind tables, so calling one member out
// of line brought all of that file's members (about 33 KiB per type) into the
// exe. Instantiated in our own objects, only the members that are used are
// compiled, and the linker merges the copies. libstdc++'s configuration header
// provides this switch (-1: no extern templates for basic_string only, as in
// its assertion mode), and C++20 code gets the same by default. The code is the
// same template code either way.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
