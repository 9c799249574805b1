# A Windows build made on Linux runs its tests under Wine: ctest starts each test through
# wine-run, which uses a Wine prefix of this build's own (made once, on first use) and finds
# the Qt and mingw runtime DLLs where they are installed.
find_program(PRESMON_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(NOT PRESMON_WINE)
  message(STATUS "No Wine: the Windows tests are built but cannot run here")
  return()
endif()
find_program(PRESMON_WINEBOOT wineboot REQUIRED)
find_program(PRESMON_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine REQUIRED)
get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
set(dll_dirs "${qt_prefix}/bin")
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(found "${found}" DIRECTORY)
  get_filename_component(found "${found}" ABSOLUTE)
  list(APPEND dll_dirs "${found}")
endforeach()
# Wine's search path is a Windows path list; its drive Z: is the host's root.
list(JOIN dll_dirs ";Z:" wine_path)
string(REPLACE "/" "\\" WINE_RUN_PATH "Z:${wine_path}")
set(WINE_RUN_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
