# Fails unless the executable EXE imports only DLLs that every Windows has:
# no MinGW runtime (libstdc++, libgcc, libwinpthread) beside it.
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
set(allowed KERNEL32.DLL USER32.DLL GDI32.DLL COMCTL32.DLL COMDLG32.DLL VERSION.DLL
    ADVAPI32.DLL MSVCRT.DLL SHELL32.DLL OLE32.DLL WINSPOOL.DRV)
foreach(line ${lines})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  list(FIND allowed "${upper}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${EXE} imports ${dll}, which a clean Windows does not have")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
