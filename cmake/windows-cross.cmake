# With AUTORUN_WINDOWS on, the host build also cross-builds the Windows
# launcher with mingw-w64 from its own generated pictures:
#   <build>/win32/autorun.exe   32-bit, with <build>/win32/disc/ (a Windows sample disc)
#   <build>/win64/autorun.exe   64-bit, with <build>/win64/disc/
# Each is a CMake build of its own of this same tree (its WIN32 branches), rebuilt on every build.
include(ExternalProject)

find_program(AUTORUN_MINGW_I686 i686-w64-mingw32-g++)
find_program(AUTORUN_MINGW_X86_64 x86_64-w64-mingw32-g++)
if(NOT AUTORUN_MINGW_I686 OR NOT AUTORUN_MINGW_X86_64)
  message(FATAL_ERROR "AUTORUN_WINDOWS needs mingw-w64: apt-get install g++-mingw-w64-i686 g++-mingw-w64-x86-64")
endif()

set(AUTORUN_WINDOWS_VARIANTS win32 win64)
foreach(variant IN LISTS AUTORUN_WINDOWS_VARIANTS)
  if(variant STREQUAL "win32")
    set(toolchain mingw-i686.cmake)
  else()
    set(toolchain mingw-x86_64.cmake)
  endif()
  ExternalProject_Add(autorun_${variant}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${PROJECT_BINARY_DIR}/${variant}
    PREFIX ${PROJECT_BINARY_DIR}/windows-stamps/${variant}
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=Release -DAUTORUN_BENCH=${AUTORUN_BENCH}
               -DAUTORUN_HOST_BUILD_DIR=${PROJECT_BINARY_DIR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    DEPENDS generated_assets
    BUILD_BYPRODUCTS ${PROJECT_BINARY_DIR}/${variant}/autorun.exe)
endforeach()
add_custom_target(autorun_windows DEPENDS autorun_win32 autorun_win64)
