#pragma once
// Runs solvane-cli (or any program) as a child process for the end-to-end
// tests: its standard output and error collected, its environment and
// standard input set, and an optional Ctrl-C once a condition holds.

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace solvane::testing {

struct TCliRun {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct TCliCall {
  std::vector<std::string> argv;  // the program, then its arguments
  // Set in the child before it starts; an empty value removes the variable.
  std::vector<std::pair<std::string, std::string>> env;
  // Standard input: a file holding this text (never a terminal); the test's
  // own standard input when absent.
  std::optional<std::string> stdinText;
  // Checked about every 20 ms while the program runs: SIGINT once it holds.
  std::function<bool()> stopWhen;
  // Called about every 20 ms while the program runs, with its process ID
  // and what it wrote to standard error so far (to signal it on cue).
  std::function<void(int pid, const std::string& err)> whileRunning;
};

// The counters of the last summary line the client printed (name -> value);
// empty when it printed none.
std::map<std::string, long long> CliSummary(const std::string& err);

// Runs the call to its end. scratch is a folder for the standard-input file.
TCliRun RunCliProcess(const TCliCall& call, const std::filesystem::path& scratch);

}  // namespace solvane::testing
