/* Linked into the launcher built against an older C library
   (cmake/bullseye-toolchain.cmake). The static C++ runtime was compiled
   against a newer one, and reads this flag, which C libraries before 2.32
   lack, to skip atomic operations while only one thread runs. Zero means
   "maybe several threads", which is always correct. Hidden: a newer C
   library's own flag stays its own. */
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;
