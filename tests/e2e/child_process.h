#pragma once
// Child processes for the end-to-end tests: started with fork/exec in their own
// process group, output sent to files, and waited for with a deadline only, so a
// hung child fails a test instead of hanging the suite.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {

using Millis = std::chrono::milliseconds;

// How a child ended: an exit status, or the signal that killed it.
struct ExitStatus {
  bool exited = false;
  int code = 0;    // valid when exited
  int signal = 0;  // valid when !exited
  bool operator==(const ExitStatus&) const = default;
};
ExitStatus Exited(int code);
std::string Describe(const ExitStatus& status);
std::string Describe(const std::optional<ExitStatus>& status);  // nullopt: "still running"
void PrintTo(const ExitStatus& status, std::ostream* out);          // for GoogleTest's messages

// A user to run a child as: how a root test sees what an ordinary user sees.
struct Credentials {
  uid_t uid = 0;
  gid_t gid = 0;
};

struct SpawnRequest {
  std::vector<std::string> argv;  // argv[0] is looked up on PATH unless it holds a slash
  std::filesystem::path cwd;      // empty: the test's own
  std::vector<std::string> env;   // complete environment, NAME=value
  std::filesystem::path stdout_file;  // empty: /dev/null
  std::filesystem::path stderr_file;  // empty: /dev/null
  int fd3 = -1;                       // handed to the child as descriptor 3 when >= 0
  std::optional<Credentials> run_as;  // switched to after the output files are open, before exec
};

class ChildProcess {
 public:
  ChildProcess() = default;
  explicit ChildProcess(const SpawnRequest& request);  // check started() afterwards
  ~ChildProcess() { Kill(); }
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  bool Running();                                  // reaps it if it has ended
  std::optional<ExitStatus> WaitExit(Millis timeout);  // nullopt: still running at the deadline
  std::optional<ExitStatus> status() const { return status_; }
  void Terminate(Millis grace);                    // SIGTERM, then SIGKILL after the grace time
  void Kill();                                     // SIGKILL to the group, then reaped

 private:
  bool Reap(bool block);

  pid_t pid_ = -1;
  std::optional<ExitStatus> status_;
};

// The test's environment with the given NAME=value entries replaced or added;
// a NAME= entry with nothing after "=" removes that variable.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

// Waits until the process has used no processor time for `quiet` and is asleep:
// it has handled everything that reached it. False when the deadline passes first.
bool WaitIdle(pid_t pid, Millis quiet, Millis timeout);

std::string ReadFile(const std::filesystem::path& path);  // "" when missing
std::vector<std::string> ReadLines(const std::filesystem::path& path);

}  // namespace e2e
