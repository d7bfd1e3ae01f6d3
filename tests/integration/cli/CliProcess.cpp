#include "CliProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace solvane::testing {
namespace {

void StartChild(const TCliCall& call, const std::filesystem::path& input, int out, int err) {
  if (call.stdinText) ::dup2(::open(input.c_str(), O_RDONLY), 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  for (const auto& [name, value] : call.env) {
    if (value.empty())
      ::unsetenv(name.c_str());
    else
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  std::vector<std::string> argv = call.argv;
  std::vector<char*> a;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  ::execv(a[0], a.data());
  ::_exit(127);
}

}  // namespace

std::map<std::string, long long> CliSummary(const std::string& err) {
  std::map<std::string, long long> counters;
  const auto pos = err.rfind("summary:");
  if (pos == std::string::npos) return counters;
  std::istringstream in(err.substr(pos + 8, err.find('\n', pos) - pos - 8));
  std::string pair;
  while (in >> pair) {
    const auto eq = pair.find('=');
    counters[pair.substr(0, eq)] = std::stoll(pair.substr(eq + 1));
  }
  return counters;
}

TCliRun RunCliProcess(const TCliCall& call, const std::filesystem::path& scratch) {
  const std::filesystem::path input = scratch / "stdin";
  if (call.stdinText) std::ofstream(input, std::ios::binary) << *call.stdinText;
  int out[2], err[2];
  if (call.argv.empty() || ::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    ::close(err[0]);
    StartChild(call, input, out[1], err[1]);
  }
  ::close(out[1]);
  ::close(err[1]);
  TCliRun run;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  bool stopped = false;
  for (int open = 2; open > 0;) {
    ::poll(fds, 2, 20);
    if (call.whileRunning) call.whileRunning(pid, run.err);
    if (call.stopWhen && !stopped && call.stopWhen()) {
      ::kill(pid, SIGINT);
      stopped = true;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? run.out : run.err).append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace solvane::testing
