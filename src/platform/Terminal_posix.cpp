#include "platform/Terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace solvane {

namespace {

volatile std::sig_atomic_t g_interruptedWhileReading = 0;

void OnInterrupt(int) { g_interruptedWhileReading = 1; }

// One line from fd 0, byte by byte (nothing read ahead is lost to a later
// reader). An interrupt ends the read (no SA_RESTART while it runs).
std::optional<std::string> ReadLine() {
  std::string line;
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t n = ::read(0, &c, 1);
    if (n < 0 && errno == EINTR) {
      if (g_interruptedWhileReading) return std::nullopt;
      continue;
    }
    if (n <= 0) break;
    any = true;
    if (c == '\n') break;
    line += c;
  }
  if (!any) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Echo off and an interrupt that ends the read, both undone on leaving.
class TSecretInput {
 public:
  TSecretInput() {
    struct sigaction quiet {};
    quiet.sa_handler = OnInterrupt;
    sigemptyset(&quiet.sa_mask);
    g_interruptedWhileReading = 0;
    ::sigaction(SIGINT, &quiet, &m_oldInterrupt);
    if (::tcgetattr(0, &m_saved) == 0) {
      termios silent = m_saved;
      silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      silent.c_lflag |= ECHONL;
      m_restore = ::tcsetattr(0, TCSAFLUSH, &silent) == 0;
    }
  }
  ~TSecretInput() {
    if (m_restore) ::tcsetattr(0, TCSAFLUSH, &m_saved);
    ::sigaction(SIGINT, &m_oldInterrupt, nullptr);
    if (g_interruptedWhileReading) ::raise(SIGINT);  // the program's own handler sees it
  }
  TSecretInput(const TSecretInput&) = delete;
  TSecretInput& operator=(const TSecretInput&) = delete;

 private:
  termios m_saved{};
  bool m_restore = false;
  struct sigaction m_oldInterrupt {};
};

}  // namespace

std::optional<std::string> ReadSecretLine(const std::string& prompt) {
  if (!::isatty(0)) return ReadLine();
  if (!prompt.empty()) {
    const ssize_t written = ::write(2, prompt.data(), prompt.size());
    (void)written;
  }
  TSecretInput silent;
  return ReadLine();
}

bool IsErrorTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace solvane
