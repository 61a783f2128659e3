#include "platform/disc/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace platform {
namespace {

void ReapAll(int) {
  int saved = errno;
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  errno = saved;
}

SpawnResult Spawn(const char* file, char* const argv[], bool search_path) {
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Own session: the program must not die with the launcher's terminal or group.
  short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  posix_spawnattr_setflags(&attr, flags);
  sigset_t none, defaults;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGCHLD);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  pid_t pid = 0;
  int rc = search_path ? ::posix_spawnp(&pid, file, nullptr, &attr, argv, environ)
                       : ::posix_spawn(&pid, file, nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return {0, rc};
  return {pid, 0};
}

}  // namespace

void ReapChildrenAutomatically() {
  struct sigaction sa {};
  sa.sa_handler = &ReapAll;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  ::sigaction(SIGCHLD, &sa, nullptr);
  ReapAll(0);
}

SpawnResult SpawnProgram(const std::string& path) {
  // A relative path without a slash would not be looked up on PATH by
  // posix_spawn, but say so explicitly for the reader.
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  char* argv[] = {file.data(), nullptr};
  return Spawn(file.c_str(), argv, false);
}

SpawnResult SpawnFromPath(const std::string& program, const std::string& argument) {
  std::string name = program, arg = argument;
  char* argv[] = {name.data(), arg.data(), nullptr};
  return Spawn(name.c_str(), argv, true);
}

}  // namespace platform
