cmake_policy(SET CMP0057 NEW)  # IN_LIST
# Davrel.exe must start on a bare Windows: it may import system DLLs only,
# nothing of MinGW's or zlib's that would have to sit beside it.
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
set(system advapi32.dll comctl32.dll gdi32.dll gdiplus.dll kernel32.dll msvcrt.dll ole32.dll
    oleaut32.dll shell32.dll shlwapi.dll user32.dll comdlg32.dll ws2_32.dll iphlpapi.dll)
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "Davrel.exe imports ${dll}, which Windows does not have")
  endif()
endforeach()
message(STATUS "Davrel.exe imports only system DLLs")
