// Reading a secret line: from a pipe one line at a time, from a terminal
// without echo and with the terminal restored afterwards.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Terminal.h"

namespace solvane {
namespace {

// Puts fd in place of the standard input for the scope.
class TStdinSwap {
 public:
  explicit TStdinSwap(int fd) : m_saved(::dup(0)) { ::dup2(fd, 0); }
  ~TStdinSwap() {
    ::dup2(m_saved, 0);
    ::close(m_saved);
  }

 private:
  int m_saved;
};

TEST(ReadSecretLine, ReadsOneLineAtATimeFromAPipe) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  const std::string input = "first\r\n\nlast";
  ASSERT_EQ(::write(p[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(p[1]);
  TStdinSwap swap(p[0]);
  EXPECT_EQ(ReadSecretLine("unused: "), "first");
  EXPECT_EQ(ReadSecretLine(""), "") << "an empty line is a line";
  EXPECT_EQ(ReadSecretLine(""), "last") << "the end of input ends the line";
  EXPECT_EQ(ReadSecretLine(""), std::nullopt) << "nothing left";
  ::close(p[0]);
}

TEST(ReadSecretLine, OnATerminalTheTypedTextIsNotEchoedAndTheTerminalIsRestored) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);

  // Types the line once echo is off (input typed before is flushed).
  std::thread typist([&] {
    termios t{};
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::tcgetattr(slave, &t) == 0 && (t.c_lflag & ECHO) &&
           std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string typed = "hunter2\n";
    (void)!::write(master, typed.data(), typed.size());
  });
  std::optional<std::string> got;
  {
    TStdinSwap swap(slave);
    got = ReadSecretLine("");
  }
  typist.join();
  EXPECT_EQ(got, "hunter2");

  std::string echoed;
  pollfd pfd{master, POLLIN, 0};
  char buf[256];
  while (::poll(&pfd, 1, 100) > 0) {
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    echoed.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(echoed.find("hunter2"), std::string::npos) << echoed;
  termios after{};
  ASSERT_EQ(::tcgetattr(slave, &after), 0);
  EXPECT_TRUE(after.c_lflag & ECHO) << "echo is back on";
  ::close(slave);
  ::close(master);
}

}  // namespace
}  // namespace solvane
