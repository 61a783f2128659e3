# The Windows build: the same program on the Win32 runtime, cross-compiled with
# mingw-w64 (cmake/mingw-i686.cmake, cmake/mingw-x86_64.cmake). The pictures
# are drawn by the generator, a program for the build machine: they come from
# a host build folder, whose assets/ and disc/ this build uses.
#
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
#         -DAUTORUN_HOST_BUILD_DIR=build
#
# (the host build needs `cmake --build build --target generated_assets` first;
# -DAUTORUN_WINDOWS=ON on the host build does all of this itself.)
# Outputs: autorun.exe, and disc/ (a complete Windows sample disc).

set(AUTORUN_HOST_BUILD_DIR "" CACHE PATH "Host build folder whose generated assets/ and disc/ pictures are used")
get_filename_component(HOST_DIR "${AUTORUN_HOST_BUILD_DIR}" ABSOLUTE BASE_DIR "${CMAKE_BINARY_DIR}")
if(NOT EXISTS "${HOST_DIR}/assets/autorun.ico")
  message(FATAL_ERROR "AUTORUN_HOST_BUILD_DIR must name a host build folder with generated pictures "
                      "(build its generated_assets target first); got '${AUTORUN_HOST_BUILD_DIR}'")
endif()
enable_language(RC)

set(WIN_SOURCE ${PROJECT_SOURCE_DIR})
add_library(platform_api INTERFACE)
target_include_directories(platform_api INTERFACE ${WIN_SOURCE})

# Our readers for BMP, ICO, CUR and pointer files; GIF through the system's picture loading.
add_library(pictures STATIC platform/picture.cpp platform/dib.cpp platform/cursor_file.cpp
            platform/gif_structure.cpp platform/gif_win32.cpp)
target_link_libraries(pictures PUBLIC platform_api ole32 oleaut32 uuid gdi32)

add_library(ole_object STATIC platform/ole_object.cpp)
target_link_libraries(ole_object PUBLIC platform_api)

add_library(win32_runtime STATIC platform/runtime.cpp platform/control_geometry.cpp platform/win32_runtime.cpp
            platform/win32_disc.cpp platform/win32_error_box.cpp)
target_link_libraries(win32_runtime PUBLIC platform_api pictures ole_object user32 gdi32 shell32 ole32)

add_library(menu STATIC menu/autorun_form.cpp)
target_link_libraries(menu PUBLIC platform_api)

# Embedded pictures: the host generator's output, assembled into the executable.
set(ASSET_DIR ${HOST_DIR}/assets)
set(EMBEDDED_FILES background.ole setupwizard.gif manualinstallation.gif documentation.gif
    exit.gif autorun.ico hand.cur)
list(TRANSFORM EMBEDDED_FILES PREPEND ${ASSET_DIR}/ OUTPUT_VARIABLE EMBEDDED_PATHS)
configure_file(assets/embedded.S.in ${CMAKE_BINARY_DIR}/embedded.S @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/embedded.S PROPERTIES OBJECT_DEPENDS "${EMBEDDED_PATHS}")
add_library(embedded_assets STATIC assets/embedded.cpp ${CMAKE_BINARY_DIR}/embedded.S)
target_include_directories(embedded_assets PUBLIC ${WIN_SOURCE})

add_library(autorun_program STATIC autorun/layout.cpp autorun/binding.cpp)
target_link_libraries(autorun_program PUBLIC menu platform_api embedded_assets)

# The version record and the icon resources, from the same icon file as the window's.
set(RESOURCE_SCRIPT ${CMAKE_BINARY_DIR}/autorun.rc)
add_custom_command(
  OUTPUT ${RESOURCE_SCRIPT}
  COMMAND ${CMAKE_COMMAND} -DICON=${ASSET_DIR}/autorun.ico -DTEMPLATE=${WIN_SOURCE}/autorun/autorun.rc.in
          -DOUTPUT=${RESOURCE_SCRIPT} -P ${WIN_SOURCE}/cmake/icon_resource.cmake
  DEPENDS ${ASSET_DIR}/autorun.ico ${WIN_SOURCE}/autorun/autorun.rc.in ${WIN_SOURCE}/cmake/icon_resource.cmake
  COMMENT "Writing the resource script with the window icon"
  VERBATIM)

# Runs from a disc with nothing installed: the C and C++ runtimes are linked in.
set(WIN_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -mwindows)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  list(APPEND WIN_LINK_OPTIONS -s)
endif()

add_executable(autorun autorun/main.cpp ${RESOURCE_SCRIPT})
target_link_libraries(autorun PRIVATE autorun_program win32_runtime)
# Room for the deepest nesting of procedures in each other's waits, each
# level going through the system's message dispatch.
target_link_options(autorun PRIVATE ${WIN_LINK_OPTIONS} -Wl,--stack,8388608)
set_target_properties(autorun PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The Windows sample disc: the launcher at its root, the host's pictures, the
# user guide and the two stand-in programs as Windows programs.
set(DISC_DIR ${PROJECT_BINARY_DIR}/disc)
foreach(kind 0 1)
  if(kind EQUAL 0)
    set(target stand_in_setup)
    set(folder Setup)
    set(name Setup)
  else()
    set(target stand_in_manual_installation)
    set(folder manualinstallation)
    set(name setup)
  endif()
  add_executable(${target} assets/disc/stand_in_program_win32.cpp)
  target_compile_definitions(${target} PRIVATE STAND_IN_KIND=${kind})
  target_link_libraries(${target} PRIVATE user32)
  target_link_options(${target} PRIVATE ${WIN_LINK_OPTIONS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${DISC_DIR}/${folder})
endforeach()
add_custom_target(windows_disc ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${HOST_DIR}/disc/Setup/images ${DISC_DIR}/Setup/images
  COMMAND ${CMAKE_COMMAND} -E copy ${WIN_SOURCE}/assets/disc/UserGuideEng.html ${DISC_DIR}/Manual/UserGuideEng.html
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:autorun> ${DISC_DIR}/autorun.exe
  DEPENDS autorun stand_in_setup stand_in_manual_installation
  COMMENT "Laying out the Windows sample disc"
  VERBATIM)

# For the Wine tests, a recording stand-in for the disc's programs; for the
# benchmarks, the event pump timed under Wine.
add_executable(recording_program tests/windows/recording_program.cpp)
target_link_options(recording_program PRIVATE -static -static-libgcc -static-libstdc++)
add_executable(pump_timing bench/pump_timing_win32.cpp)
target_link_libraries(pump_timing PRIVATE autorun_program win32_runtime)
target_link_options(pump_timing PRIVATE -static -static-libgcc -static-libstdc++)
