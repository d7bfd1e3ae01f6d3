#include "auth/PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <stdexcept>
#include <vector>

namespace solvane::server {

namespace {
constexpr std::string_view kScheme = "pbkdf2-sha256";

std::string ToHex(const unsigned char* d, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  s.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

std::string Derive(std::string_view password, std::string_view saltHex, int iterations) {
  unsigned char out[32];
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                    reinterpret_cast<const unsigned char*>(saltHex.data()),
                    static_cast<int>(saltHex.size()), iterations, EVP_sha256(), sizeof out, out);
  return ToHex(out, sizeof out);
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t p = s.find(sep, start);
    parts.push_back(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
    if (p == std::string_view::npos) break;
    start = p + 1;
  }
  return parts;
}
}  // namespace

std::string RandomHex(int bytes) {
  std::vector<unsigned char> buf(static_cast<std::size_t>(bytes));
  if (RAND_bytes(buf.data(), bytes) != 1) throw std::runtime_error("no random bytes");
  return ToHex(buf.data(), buf.size());
}

std::string HashPassword(std::string_view password, int iterations) {
  std::string salt = RandomHex(16);
  return std::string(kScheme) + "$" + std::to_string(iterations) + "$" + salt + "$" +
         Derive(password, salt, iterations);
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
  auto parts = Split(stored, '$');
  if (parts.size() != 4 || parts[0] != kScheme) return false;
  int iterations = 0;
  auto [p, ec] = std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), iterations);
  if (ec != std::errc() || iterations < 1 || iterations > 10'000'000) return false;
  std::string derived = Derive(password, parts[2], iterations);
  return derived.size() == parts[3].size() &&
         CRYPTO_memcmp(derived.data(), parts[3].data(), derived.size()) == 0;
}

}  // namespace solvane::server
