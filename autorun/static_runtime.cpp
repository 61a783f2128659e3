// The C++ runtime is linked in statically. Its thread-local data is reached
// through calls to __tls_get_addr, which the linker rewrites into direct
// accesses, as it does in any executable; the reference alone would still
// list the dynamic loader among the libraries the launcher needs. This
// stand-in, hidden from every shared library, takes the reference instead.
// Nothing calls it: tests/check_linkage.sh checks that no call is left.
extern "C" __attribute__((visibility("hidden"), noreturn, used)) void __tls_get_addr() { __builtin_trap(); }
