#pragma once
// Salted slow password hashes: PBKDF2-HMAC-SHA256, stored as
// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>".

#include <string>
#include <string_view>

namespace solvane::server {

constexpr int kPasswordIterations = 210000;

std::string HashPassword(std::string_view password, int iterations = kPasswordIterations);
// Constant-time comparison; false for a malformed stored text.
bool VerifyPassword(std::string_view password, std::string_view stored);
// Cryptographically random bytes as lower-case hex (2 * bytes characters).
std::string RandomHex(int bytes);

}  // namespace solvane::server
