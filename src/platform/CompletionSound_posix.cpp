#include "platform/CompletionSound.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/DataFiles.h"

extern char** environ;

namespace solvane {

namespace {

constexpr std::chrono::milliseconds kStartAllowance{1500};
constexpr std::chrono::milliseconds kUnknownLength{5000};
constexpr std::size_t kHeaderBytes = 65536;

std::uint32_t LittleEndian32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::string FindInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      const std::string candidate = dir + "/" + program;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

std::chrono::milliseconds PlayLimit(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(kHeaderBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  auto length = WaveDuration(head);
  return length ? *length + kStartAllowance : kUnknownLength;
}

// Runs the player with the file, output discarded; waits at most limit,
// then ends it.
bool RunPlayer(const std::string& player, const std::string& file,
               std::chrono::milliseconds limit) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  std::string arg0 = player, arg1 = file;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, player.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;

  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return false;
}

}  // namespace

std::optional<std::chrono::milliseconds> WaveDuration(std::string_view b) {
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return std::nullopt;
  std::optional<std::uint32_t> byteRate, dataSize;
  std::size_t at = 12;
  while (at + 8 <= b.size() && !(byteRate && dataSize)) {
    const std::string_view id = b.substr(at, 4);
    const std::uint32_t size = LittleEndian32(b, at + 4);
    if (id == "fmt " && at + 8 + 12 <= b.size()) byteRate = LittleEndian32(b, at + 8 + 8);
    if (id == "data") dataSize = size;
    at += 8 + static_cast<std::size_t>(size) + (size & 1u);
  }
  if (!byteRate || !dataSize || *byteRate == 0) return std::nullopt;
  return std::chrono::milliseconds(static_cast<std::int64_t>(*dataSize) * 1000 / *byteRate);
}

std::string DefaultCompletionSoundFile() { return FindDataFile("ring.wav"); }

bool PlayCompletionSound(const std::string& file) {
  return PlayCompletionSound(file, {"paplay", "aplay"});
}

bool PlayCompletionSound(const std::string& file, const std::vector<std::string>& players) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(file, ec)) return false;
  for (const auto& name : players) {
    const std::string player = name.find('/') != std::string::npos ? name : FindInPath(name);
    if (!player.empty() && ::access(player.c_str(), X_OK) == 0)
      return RunPlayer(player, file, PlayLimit(file));
  }
  return false;
}

}  // namespace solvane
