# Fails when PROGRAM imports a DLL that is not part of Windows itself: a program linked
# statically runs from wherever it is copied, with nothing beside it.
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P CheckImports.cmake
cmake_minimum_required(VERSION 3.25)
# Compared in upper case, as Windows compares file names without regard to case.
set(system_dlls ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL WS2_32.DLL)
# The virtual HX7300 alone downloads its updates and parses its configuration, with the
# system's HTTP client and XML parser; the utility carries neither.
get_filename_component(program_name "${PROGRAM}" NAME)
if(program_name STREQUAL "hx7300-emulator.exe")
  list(APPEND system_dlls WINHTTP.DLL XMLLITE.DLL)
endif()
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read the headers of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${PROGRAM} lists no imported DLL at all")
endif()
foreach(import ${imports})
  string(REPLACE "DLL Name: " "" dll "${import}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper_dll)
  if(NOT upper_dll IN_LIST system_dlls)
    message(FATAL_ERROR "${PROGRAM} imports ${dll}, which Windows does not have")
  endif()
  message(STATUS "${dll}")
endforeach()
