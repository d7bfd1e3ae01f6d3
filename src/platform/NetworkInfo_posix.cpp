#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/NetworkInfo.h"

namespace solvane {

namespace {

using TAdapterAddress = std::array<std::uint8_t, 6>;

struct TInterface {
  long long ifIndex;
  std::string name;
  std::filesystem::path folder;
};

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// Kernel order; interfaces without a readable index go last, by name.
std::optional<long long> ReadIfIndex(const std::filesystem::path& folder) {
  std::string text = FirstLine(folder / "ifindex");
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "00:0c:29:3a:5b:7c"; nullopt for any other form (longer link-layer
// addresses such as InfiniBand's included).
std::optional<TAdapterAddress> ParseAdapterAddress(const std::string& text) {
  if (text.size() != 17) return std::nullopt;
  TAdapterAddress bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    int hi = HexDigit(text[i * 3]);
    int lo = HexDigit(text[i * 3 + 1]);
    if (hi < 0 || lo < 0 || (i < 5 && text[i * 3 + 2] != ':')) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return bytes;
}

std::string FormatAdapterAddress(const TAdapterAddress& bytes) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5]);
  return text;
}

std::vector<TInterface> InterfacesInKernelOrder(const std::string& root) {
  std::vector<TInterface> list;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
    std::filesystem::path folder = entry.path();
    list.push_back({ReadIfIndex(folder).value_or(LLONG_MAX), folder.filename().string(), folder});
  }
  std::sort(list.begin(), list.end(), [](const TInterface& a, const TInterface& b) {
    return a.ifIndex != b.ifIndex ? a.ifIndex < b.ifIndex : a.name < b.name;
  });
  return list;
}

}  // namespace

TPosixNetworkInfo::TPosixNetworkInfo(std::string sysfsNetRoot)
    : m_sysfsNetRoot(std::move(sysfsNetRoot)) {}

std::string TPosixNetworkInfo::LocalIPAddress() {
  char host[HOST_NAME_MAX + 1] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &answer) != 0) return {};
  std::string result;
  for (addrinfo* a = answer; a && result.empty(); a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    if (::inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text)) result = text;
  }
  ::freeaddrinfo(answer);
  return result;
}

std::string TPosixNetworkInfo::LocalMacAddress() {
  for (const TInterface& itf : InterfacesInKernelOrder(m_sysfsNetRoot)) {
    std::optional<TAdapterAddress> bytes = ParseAdapterAddress(FirstLine(itf.folder / "address"));
    if (!bytes) continue;
    bool allZero = std::all_of(bytes->begin(), bytes->end(), [](std::uint8_t b) { return b == 0; });
    if (!allZero) return FormatAdapterAddress(*bytes);
  }
  return {};
}

}  // namespace solvane
