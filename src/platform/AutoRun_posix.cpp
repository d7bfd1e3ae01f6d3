#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/AutoRun.h"

namespace solvane {

namespace {

std::string ConfigHomeFromEnvironment() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config";
  return {};
}

bool IsReservedInExec(char c) {
  static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  return kReserved.find(c) != std::string_view::npos;
}

// The general string escapes of a desktop entry value.
std::string EscapeDesktopString(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes text to file through a temporary file in the same folder, so a
// reader sees the old entry or the new one, never a part.
bool ReplaceFileAtomically(const std::string& file, const std::string& text) {
  std::string temp = file + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), file.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

std::string DesktopExecValue(std::string_view path) {
  bool quote = false;
  for (char c : path) quote = quote || IsReservedInExec(c);
  std::string out;
  if (quote) out += '"';
  for (char c : path) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  if (quote) out += '"';
  return out;
}

TXdgAutoRun::TXdgAutoRun() : m_configHome(ConfigHomeFromEnvironment()) {}

TXdgAutoRun::TXdgAutoRun(std::string configHome) : m_configHome(std::move(configHome)) {}

std::string TXdgAutoRun::EntryFile(std::string_view name) const {
  if (m_configHome.empty() || name.empty() || name == "." || name == ".." ||
      name.find('/') != std::string_view::npos) {
    return {};
  }
  return m_configHome + "/autostart/" + std::string(name) + ".desktop";
}

bool TXdgAutoRun::SetAutoRun(std::string_view name, std::string_view path) {
  std::string file = EntryFile(name);
  if (file.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
  if (ec) return false;
  std::string text = "[Desktop Entry]\nType=Application\nName=" + EscapeDesktopString(name) +
                     "\nExec=" + EscapeDesktopString(DesktopExecValue(path)) +
                     "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
  return ReplaceFileAtomically(file, text);
}

bool TXdgAutoRun::RemoveAutoRun(std::string_view name) {
  std::string file = EntryFile(name);
  return !file.empty() && ::unlink(file.c_str()) == 0;
}

}  // namespace solvane
