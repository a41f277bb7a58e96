# Writes a delay-load import library for DLL to OUT, listing every function of
# MinGW's import library IMPORT_LIB. Run by cmake/delay_load.cmake as
#   cmake -DNM= -DDLLTOOL= -DIMPORT_LIB= -DDLL= -DOUT= -DSTDCALL=ON|OFF -P this
execute_process(COMMAND ${NM} --extern-only --defined-only ${IMPORT_LIB}
                OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
# A function has a code thunk (type T); a data export has none and stays out,
# so a use of one fails to link instead of being loaded late.
string(REGEX MATCHALL "[0-9a-f]+ T [^\n]+" thunks "${symbols}")
if(NOT thunks)
  message(FATAL_ERROR "${IMPORT_LIB} has no functions")
endif()
set(def "LIBRARY ${DLL}\nEXPORTS\n")
foreach(line IN LISTS thunks)
  string(REGEX REPLACE "^[0-9a-f]+ T " "" name "${line}")
  if(STDCALL)
    # 32-bit C names carry a leading underscore that the .def form leaves out.
    string(REGEX REPLACE "^_" "" name "${name}")
  endif()
  string(APPEND def "${name}\n")
endforeach()
get_filename_component(dir ${OUT} DIRECTORY)
string(REGEX REPLACE "\\.dll$" ".def" def_file "${dir}/${DLL}")
file(WRITE ${def_file} "${def}")
# 32-bit stdcall names are imported without their @N suffix.
set(kill_at "")
if(STDCALL)
  set(kill_at --kill-at)
endif()
# dlltool names the library's symbols after the output path: a bare file name
# keeps the build folder out of them.
get_filename_component(out_name ${OUT} NAME)
execute_process(COMMAND ${DLLTOOL} ${kill_at} --input-def ${def_file} --dllname ${DLL}
                        --output-delaylib ${out_name}
                WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
