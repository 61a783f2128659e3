# The disc's Linux launcher: the machine's compiler and C++ runtime, with
# Debian 11's C library (2.31), start files, headers and X client libraries as
# the system root (AUTORUN_SYSROOT, unpacked by tools/bullseye-root), so that
# the launcher asks only for what older C libraries have.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES AUTORUN_SYSROOT)
if(NOT EXISTS "${AUTORUN_SYSROOT}/usr/lib/gcc/x86_64-linux-gnu/10/libgcc_eh.a")
  message(FATAL_ERROR "AUTORUN_SYSROOT must name a folder unpacked by tools/bullseye-root "
                      "with libc6-dev and libgcc-10-dev; got '${AUTORUN_SYSROOT}'")
endif()
set(CMAKE_SYSROOT ${AUTORUN_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tells the launcher's build to bring what the C++ runtime expects of a newer
# C library (autorun/CMakeLists.txt).
set(AUTORUN_OLD_C_LIBRARY ON)

# Release code with its debug information, which goes into a file of its own.
set(CMAKE_C_FLAGS_INIT "-g")
set(CMAKE_CXX_FLAGS_INIT "-g")

# The machine's unwinder finds unwind tables with _dl_find_object (C library
# 2.35); Debian 11's own (GCC 10's libgcc_eh) walks the loaded objects with
# dl_iterate_phdr instead. It alone comes from there: -lgcc_eh finds it first
# in a folder of its own, and -lgcc stays the compiler's.
set(unwinder ${AUTORUN_SYSROOT}/usr/lib/gcc-10-unwinder)
file(MAKE_DIRECTORY ${unwinder})
file(CREATE_LINK ../gcc/x86_64-linux-gnu/10/libgcc_eh.a ${unwinder}/libgcc_eh.a SYMBOLIC)
# Debian's compiler looks for start files and the C library beside itself
# (the machine's) before the system root: -B puts the root's first.
# The shared libraries' own dependencies are the desktop's business, so the
# linker does not load them: two levels down Debian 11's libbsd would offer
# the C++ runtime's random_device (never made, and dropped with the unused
# sections) an arc4random that the launcher must not ask for.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-B${AUTORUN_SYSROOT}/usr/lib/x86_64-linux-gnu/ -L${unwinder} -Wl,--allow-shlib-undefined")
