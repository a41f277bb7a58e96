# Delay-load imports: a program linked with QM_DELAY_LOAD on imports the DLLs
# of QM_DELAY_LOADED_DLLS through delay-load import libraries, so each loads at
# its program's first call into it instead of at process start (under Wine
# the launcher's extra DLLs cost about 20 ms and 5 MiB before its splash).
#
# user32, gdi32 and comctl32 are loaded late too, though the splash needs them
# at once: a DLL loaded before the program's first instruction, and the DLLs
# it imports in turn, are looked for in the program's folder first, before
# the entry code can restrict the search (framework/dll_search.h). comctl32
# version 6 is no KnownDLL, and Wine's user32 imports version.dll: a
# version.dll dropped beside the launcher was loaded that way. Only kernel32
# and the C runtime's msvcrt, both KnownDLLs, are imported at start.
set(QM_DELAY_LOADED_DLLS user32 gdi32 comctl32 shell32 shlwapi oleaut32 wininet version msimg32 ole32
                         windowscodecs)

# Makes the delay-load import library of one DLL, at build time, from every
# function of MinGW's own import library of it, and names it qm_delay_<dll>.
function(qm_add_delay_import_library dll)
  find_library(QM_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(out ${CMAKE_BINARY_DIR}/delay-load/lib${dll}_delay.a)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(machine i386)
  else()
    set(machine x86-64)
  endif()
  set(script ${PROJECT_SOURCE_DIR}/cmake/make_delay_import_library.py)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delay-load
    COMMAND ${Python3_EXECUTABLE} ${script} --nm ${CMAKE_NM} --dlltool ${CMAKE_DLLTOOL}
            --ar ${CMAKE_AR} --machine ${machine} ${QM_IMPORT_LIB_${dll}} ${dll}.dll ${out}
    DEPENDS ${QM_IMPORT_LIB_${dll}} ${script}
    COMMENT "Making the delay-load import library of ${dll}.dll")
  add_custom_target(qm_make_delay_${dll} DEPENDS ${out})
  add_library(qm_delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(qm_delay_${dll} PROPERTIES IMPORTED_LOCATION ${out})
  add_dependencies(qm_delay_${dll} qm_make_delay_${dll})
endfunction()

# The link items of the DLLs of QM_DELAY_LOADED_DLLS, for a library's link
# interface: delay-load import libraries and their helper (MinGW's delayimp)
# for a program with QM_DELAY_LOAD on, the ordinary import libraries otherwise.
function(qm_delay_loadable_dlls out_var)
  set(delayed "")
  foreach(dll ${QM_DELAY_LOADED_DLLS})
    if(NOT TARGET qm_delay_${dll})
      qm_add_delay_import_library(${dll})
    endif()
    list(APPEND delayed qm_delay_${dll})
  endforeach()
  list(APPEND delayed delayimp)
  set(${out_var} "$<IF:$<BOOL:$<TARGET_PROPERTY:QM_DELAY_LOAD>>,${delayed},${QM_DELAY_LOADED_DLLS}>"
      PARENT_SCOPE)
endfunction()

# Links a program with the delay-load import libraries and lists it for the
# check of its delay-load slots (scripts/check-delay-slots.py, a test).
function(qm_delay_load target)
  set_target_properties(${target} PROPERTIES QM_DELAY_LOAD ON)
  set_property(GLOBAL APPEND PROPERTY QM_DELAY_LOAD_PROGRAMS ${target})
endfunction()
