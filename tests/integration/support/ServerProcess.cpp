#include "ServerProcess.h"

#include <asio.hpp>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "wire/QorWithHeaderLine.h"
#include "wire/QorWithNetTCPClient.h"

#ifndef SOLVANE_SERVER_BINARY
#error "SOLVANE_SERVER_BINARY must name the server program"
#endif

namespace solvane::testing {

namespace fs = std::filesystem;
using asio::ip::tcp;

namespace {

fs::path NewTempDir() {
  std::random_device rd;
  fs::path p = fs::temp_directory_path() /
               ("solvane-it-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
  fs::create_directories(p);
  return p;
}

// Runs a program to completion, collecting stdout and stderr.
TServerProcess::TAdminResult RunProgram(const std::vector<std::string>& argv) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {-1, "", "pipe failed"};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]);
    ::close(err[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  std::string o, e;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  char buf[4096];
  while (open > 0) {
    ::poll(fds, 2, 1000);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? o : e).append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, o, e};
}

}  // namespace

TServerProcess::TServerProcess() : m_dataDir(NewTempDir() / "data") {}

TServerProcess::TServerProcess(const fs::path& folder) : m_dataDir(folder / "data") {
  fs::create_directories(folder);
}

TServerProcess::~TServerProcess() {
  if (m_pid > 0) Stop();
  std::error_code ec;
  fs::remove_all(m_dataDir.parent_path(), ec);
}

bool TServerProcess::Start() {
  int out[2];
  if (::pipe(out) != 0) return false;
  m_pid = ::fork();
  if (m_pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    std::vector<std::string> args = {SOLVANE_SERVER_BINARY, "--data", m_dataDir.string(),
                                     "--listen",
                                     "127.0.0.1:" + std::to_string(m_listenPort)};
    args.insert(args.end(), m_extraArgs.begin(), m_extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  m_stdout = out[0];
  // Read lines until "listening on" (and the password line on first start).
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{m_stdout, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      if (m_port && !text.empty() && text.back() == '\n') break;
      continue;
    }
    char buf[512];
    ssize_t n = ::read(m_stdout, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    auto pos = text.find("listening on ");
    auto eol = text.find('\n', pos);
    if (pos == 0 && eol != std::string::npos) {
      std::string line = text.substr(0, eol);
      m_port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
    }
    auto pw = text.find("initial password: ");
    if (pw != std::string::npos && text.find('\n', pw) != std::string::npos) {
      m_adminPassword = text.substr(pw + 18, text.find('\n', pw) - pw - 18);
      break;
    }
  }
  return m_port > 0;
}

int TServerProcess::Stop() {
  if (m_pid <= 0) return -1;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  ::waitpid(m_pid, &status, 0);
  m_pid = -1;
  if (m_stdout >= 0) ::close(m_stdout);
  m_stdout = -1;
  m_port = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void TServerProcess::Kill() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = -1;
  if (m_stdout >= 0) ::close(m_stdout);
  m_stdout = -1;
  m_port = 0;
}

bool TServerProcess::Restart() {
  Stop();
  return Start();
}

bool TServerProcess::RestartOnSamePort() {
  const int port = m_port;
  Stop();
  return StartOnPort(port);
}

bool TServerProcess::StartOnPort(int port) {
  m_listenPort = port;
  // The port was just released: a moment may pass before it binds again.
  bool started = false;
  for (int attempt = 0; attempt < 20 && !(started = Start()); ++attempt) {
    Stop();
    ::usleep(100000);
  }
  m_listenPort = 0;
  return started;
}

TServerProcess::TAdminResult TServerProcess::Admin(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {SOLVANE_SERVER_BINARY, "admin", "--data", m_dataDir.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

void TServerProcess::AddUser(const std::string& code, const std::string& password,
                             const std::vector<std::string>& extra) const {
  std::vector<std::string> args = {"user", "add", code, "--name", code, "--password", password};
  args.insert(args.end(), extra.begin(), extra.end());
  auto r = Admin(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
}

// Calls go through the client's own call channel (a one-connection pool,
// so the session token travels in the header line); the raw socket serves
// the hostile-input tests.
struct TTestClient::Impl {
  TQorTCPClientPool pool;
  TQorTCPClient* channel = nullptr;
  int port = 0;
  asio::io_context io;
  tcp::socket raw{io};
};

TTestClient::TTestClient() : m_impl(std::make_unique<Impl>()) {
  m_impl->channel = &m_impl->pool.AddConnection(1, "Test0");
}
TTestClient::~TTestClient() { Close(); }

bool TTestClient::Connect(int port) {
  m_impl->port = port;
  m_impl->pool.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(port) +
                              "\r\nTimeOut=30");
  return m_impl->pool.Connect(*m_impl->channel);
}

void TTestClient::Close() {
  m_impl->channel->Disconnect();
  std::error_code ec;
  m_impl->raw.close(ec);
}

bool TTestClient::SendRaw(const std::string& bytes) {
  std::error_code ec;
  if (!m_impl->raw.is_open()) {
    m_impl->raw.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                      static_cast<unsigned short>(m_impl->port)),
                        ec);
    if (ec) return false;
  }
  asio::write(m_impl->raw, asio::buffer(bytes), ec);
  return !ec;
}

bool TTestClient::WaitClosed(int timeoutSeconds) {
  pollfd p{m_impl->raw.native_handle(), POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::poll(&p, 1, 100) > 0) {
      char buf[4096];
      if (::recv(p.fd, buf, sizeof buf, 0) <= 0) return true;
    }
  }
  return false;
}

bool TTestClient::Call(TQorPack& request, const std::string& extraIn, std::string* extraOut,
                       int timeoutSeconds) {
  m_impl->pool.SetToken(m_token);
  m_impl->channel->SetTimeOut(timeoutSeconds);
  auto lease = m_impl->pool.AcquireFree(-1);
  if (!lease) return false;
  std::string extra = extraIn;
  if (!lease->CallDownload(request, extra)) return false;
  if (extraOut) *extraOut = std::move(extra);
  return true;
}

bool TTestClient::CallOk(TQorPack& request, const std::string& extraIn, std::string* extraOut) {
  return Call(request, extraIn, extraOut) && request.ErrNo() == 1;
}

bool TTestClient::Login(const std::string& code, const std::string& password) {
  TQorPack p = MakeRequest("TUser.Login", {{"UCode", code},
                                           {"UPwd", password},
                                           {"UIPAddr", "127.0.0.1"},
                                           {"UMacAddr", "00-0C-29-3A-5B-7C"},
                                           {"UEncryptPwd", "1"},
                                           {"USystemKind", "1"},
                                           {"LoginTime", "2026-01-01 10:00:00"}});
  if (!CallOk(p)) return false;
  m_token = p.FieldByName(1, "Token").AsString();
  return !m_token.empty();
}

TQorPack MakeRequest(const std::string& funNo,
                     const std::vector<std::pair<std::string, std::string>>& fields) {
  TQorPack p;
  p.SetFunNo(funNo);
  for (const auto& [name, value] : fields) p.AddString(1, name, value);
  return p;
}

}  // namespace solvane::testing
