#include "tests/e2e/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kPollStep{10};

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void ExecChild(const SpawnRequest& request, char* const argv[], char* const envp[], const char* out,
                            const char* err, pid_t parent) {
  ::setpgid(0, 0);
  // A test binary that dies (crash, broken pipe, timeout) takes its X server,
  // window manager and launchers with it.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(126);
  if (!request.cwd.empty() && ::chdir(request.cwd.c_str()) != 0) ::_exit(126);
  int in = ::open("/dev/null", O_RDONLY);
  int o = ::open(out, O_WRONLY | O_CREAT | O_APPEND, 0644);
  int e = ::open(err, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (in < 0 || o < 0 || e < 0) ::_exit(126);
  ::dup2(in, 0);
  ::dup2(o, 1);
  ::dup2(e, 2);
  if (request.run_as) {
    // Groups first: once the user is changed they can no longer be set.
    if (::setgroups(0, nullptr) != 0 || ::setgid(request.run_as->gid) != 0 || ::setuid(request.run_as->uid) != 0)
      ::_exit(126);
  }
  int first_closed = 3;
  if (request.fd3 >= 0) {
    ::dup2(request.fd3, 3);
    first_closed = 4;
  }
  // Nothing of the test (its X connection above all) leaks into the child.
  ::close_range(first_closed, ~0u, 0);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execvpe(argv[0], argv, envp);
  ::_exit(127);
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ExitStatus Exited(int code) { return ExitStatus{true, code, 0}; }

std::string Describe(const ExitStatus& status) {
  if (status.exited) return "exit status " + std::to_string(status.code);
  return "killed by signal " + std::to_string(status.signal) + " (" + ::strsignal(status.signal) + ")";
}

std::string Describe(const std::optional<ExitStatus>& status) {
  return status ? Describe(*status) : std::string("still running at the deadline");
}

void PrintTo(const ExitStatus& status, std::ostream* out) { *out << Describe(status); }

ChildProcess::ChildProcess(const SpawnRequest& request) {
  std::vector<std::string> argv_strings = request.argv;
  std::vector<std::string> env_strings = request.env;
  std::vector<char*> argv = Pointers(argv_strings);
  std::vector<char*> envp = Pointers(env_strings);
  std::string out = request.stdout_file.empty() ? "/dev/null" : request.stdout_file.string();
  std::string err = request.stderr_file.empty() ? "/dev/null" : request.stderr_file.string();
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid == 0) ExecChild(request, argv.data(), envp.data(), out.c_str(), err.c_str(), parent);
  if (pid < 0) return;
  ::setpgid(pid, pid);  // also here, so a Kill right after the fork reaches the group
  pid_ = pid;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_), status_(other.status_) {
  other.pid_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    pid_ = other.pid_;
    status_ = other.status_;
    other.pid_ = -1;
  }
  return *this;
}

bool ChildProcess::Reap(bool block) {
  if (pid_ <= 0 || status_) return true;
  int raw = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &raw, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r != pid_) return false;
  status_ = WIFEXITED(raw) ? ExitStatus{true, WEXITSTATUS(raw), 0} : ExitStatus{false, 0, WTERMSIG(raw)};
  return true;
}

bool ChildProcess::Running() { return pid_ > 0 && !Reap(false); }

std::optional<ExitStatus> ChildProcess::WaitExit(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (Running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollStep);
  }
  return status_;
}

void ChildProcess::Terminate(Millis grace) {
  if (!Running()) return;
  ::kill(pid_, SIGTERM);
  if (!WaitExit(grace)) Kill();
}

void ChildProcess::Kill() {
  if (pid_ <= 0 || status_) return;
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  Reap(true);
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
  auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const std::string& o : overrides) replaced = replaced || name_of(o) == name_of(entry);
    if (!replaced) env.push_back(entry);
  }
  for (const std::string& o : overrides)
    if (o.back() != '=') env.push_back(o);
  return env;
}

namespace {

struct ProcStat {
  char state = '?';
  unsigned long long ticks = 0;
};

std::optional<ProcStat> ReadProcStat(pid_t pid) {
  std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  std::size_t close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 1));
  ProcStat stat;
  std::string skip;
  fields >> stat.state;
  for (int i = 0; i < 10; ++i) fields >> skip;  // ppid .. cmajflt
  unsigned long long utime = 0, stime = 0;
  fields >> utime >> stime;
  if (!fields) return std::nullopt;
  stat.ticks = utime + stime;
  return stat;
}

}  // namespace

bool WaitIdle(pid_t pid, Millis quiet, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  auto last = ReadProcStat(pid);
  auto quiet_since = Clock::now();
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(Millis(25));
    auto now = ReadProcStat(pid);
    if (!now || !last) return false;
    bool asleep = now->state == 'S' && now->ticks == last->ticks;
    if (!asleep) quiet_since = Clock::now();
    if (Clock::now() - quiet_since >= quiet) return true;
    last = now;
  }
  return false;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::istringstream in(ReadFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace e2e
