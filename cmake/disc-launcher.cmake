# The sample disc's Linux launcher, <build>/disc/autorun, the one that
# tools/make-disc puts onto discs: the launcher alone, in Release, against
# Debian 11's C library and X client libraries, so that it starts on desktops
# whose C library is 2.28 or newer (tests/check_linkage.sh holds it there).
#   <build>/bullseye/sysroot/     what it is linked against, unpacked by tools/bullseye-root
#   <build>/disc-launcher/        its build (cmake/bullseye-toolchain.cmake), rebuilt on every build
#   <build>/disc/autorun          the linked launcher stripped, with a debug link to
#   <build>/disc-launcher/autorun.debug, its debug information
include(ExternalProject)

set(bullseye ${PROJECT_BINARY_DIR}/bullseye)
set(sysroot ${bullseye}/sysroot)
# The desktop's libraries with what they depend on (NAME+), the headers and
# link libraries of each, and Debian 11's unwinder (in libgcc-10-dev).
set(AUTORUN_SYSROOT_PACKAGES
    libc6+ libx11-6+ libxext6+ libxrender1+ libxft2+
    libc6-dev linux-libc-dev libx11-dev libxext-dev libxrender-dev x11proto-dev
    libxft-dev libfontconfig-dev libfreetype-dev libgif-dev libgcc-10-dev)
add_custom_command(
  OUTPUT ${sysroot}/.packages
  COMMAND ${PROJECT_SOURCE_DIR}/tools/bullseye-root ${bullseye}/apt ${sysroot} ${AUTORUN_SYSROOT_PACKAGES}
  DEPENDS ${PROJECT_SOURCE_DIR}/tools/bullseye-root
  COMMENT "Unpacking Debian 11's C library and X client libraries for the disc's launcher"
  VERBATIM)
add_custom_target(bullseye_sysroot DEPENDS ${sysroot}/.packages)

set(linked ${PROJECT_BINARY_DIR}/disc-launcher/autorun)
ExternalProject_Add(disc_launcher_build
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${PROJECT_BINARY_DIR}/disc-launcher
  PREFIX ${PROJECT_BINARY_DIR}/disc-launcher-stamps
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/bullseye-toolchain.cmake
             -DAUTORUN_SYSROOT=${sysroot} -DCMAKE_BUILD_TYPE=Release
             -DAUTORUN_TESTS=OFF -DAUTORUN_BENCH=OFF -DAUTORUN_HOST_BUILD_DIR=${PROJECT_BINARY_DIR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target autorun
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  DEPENDS generated_assets bullseye_sysroot
  BUILD_BYPRODUCTS ${linked})
# A new system root is configured for afresh.
ExternalProject_Add_StepDependencies(disc_launcher_build configure ${sysroot}/.packages)

# The disc gets the launcher without its debug information, which stays here
# for reading a crash report from a disc.
set(debug ${PROJECT_BINARY_DIR}/disc-launcher/autorun.debug)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/disc/autorun ${debug}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/disc
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${linked} ${debug}
  COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug} ${linked} ${PROJECT_BINARY_DIR}/disc/autorun
  DEPENDS ${linked} disc_launcher_build
  COMMENT "Stripping the disc's launcher into disc/autorun"
  VERBATIM)
add_custom_target(disc_launcher ALL DEPENDS ${PROJECT_BINARY_DIR}/disc/autorun)
