# Trims of the C++ runtime, for the size of the 32-bit exe only: nothing here
# changes what the launcher does. MinGW's linker keeps every function that has
# an entry in the unwind tables, so one call into an object file of libstdc++
# brings that whole file into the exe. These files see that the launcher's own
# objects hold what it calls instead:
#   string_members_inline.h       std::string and std::wstring members compiled
#                                 where they are used (included ahead of every
#                                 C++ file of the Windows builds)
#   string_members.cpp            the three std::string members the runtime's
#                                 own objects in the exe call
#   exception_string_members.cpp  the old (reference-counted) string's members
#                                 that the runtime's exception classes call,
#                                 built with the old string ABI
#   terminate_handler.cpp         std::terminate without the demangler
# Measured with MinGW-w64 GCC 12.2 and binutils 2.40 (Debian 12's
# g++-mingw-w64-i686-posix). To check that they still pay with another
# toolchain, build the stripped 32-bit exe with and without them and compare:
#   cmake --preset win32 -B build/no-trims -DQM_RUNTIME_TRIMS=OFF
#   cmake --build build/no-trims --target Quillmoor
#   i686-w64-mingw32-strip -o /tmp/a.exe build/win32/bin/Quillmoor.exe
#   i686-w64-mingw32-strip -o /tmp/b.exe build/no-trims/bin/Quillmoor.exe
#   stat -c %s /tmp/a.exe /tmp/b.exe
# (with GCC 12.2, on 2026-12-10: 694,286 bytes with them, 864,270 without).
option(QM_RUNTIME_TRIMS "Trim the C++ runtime's parts in the exe (src/runtime)" ON)
set(QM_RUNTIME_DIR ${CMAKE_CURRENT_LIST_DIR})

if(QM_RUNTIME_TRIMS)
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${QM_RUNTIME_DIR}/string_members_inline.h>")
endif()

# Adds the trims' files to a program: the string members (and, with
# TERMINATE_HANDLER, the terminate handler).
function(qm_runtime_trims target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "TERMINATE_HANDLER" "" "")
  if(NOT QM_RUNTIME_TRIMS)
    return()
  endif()
  set(old_abi ${QM_RUNTIME_DIR}/exception_string_members.cpp)
  target_sources(${target} PRIVATE ${QM_RUNTIME_DIR}/string_members.cpp ${old_abi})
  if(arg_TERMINATE_HANDLER)
    target_sources(${target} PRIVATE ${QM_RUNTIME_DIR}/terminate_handler.cpp)
  endif()
  # It instantiates the old string's members, so it is built with that ABI.
  set_source_files_properties(${old_abi} TARGET_DIRECTORY ${target} PROPERTIES
                              COMPILE_DEFINITIONS _GLIBCXX_USE_CXX11_ABI=0)
endfunction()
