#pragma once
// Starting programs for the launcher: detached (own session, outlives the
// launcher), never waited for, reaped as soon as they end.

#include <string>

namespace platform {

// Installs the SIGCHLD handler that reaps every ended child, so no zombie
// stays while the launcher runs. Call once before starting anything.
void ReapChildrenAutomatically();

struct SpawnResult {
  int pid = 0;    // > 0 when started
  int error = 0;  // errno of the failure otherwise
};

// Runs the file at `path` directly: no shell, no PATH search, no arguments,
// the launcher's own directory and environment.
SpawnResult SpawnProgram(const std::string& path);

// Runs `program` found on PATH with one argument.
SpawnResult SpawnFromPath(const std::string& program, const std::string& argument);

}  // namespace platform
