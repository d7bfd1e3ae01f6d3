#include "wire/QorWithText.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <mutex>

namespace solvane {

std::string BoolToText(bool b) { return b ? "1" : "0"; }

bool TextToBool(std::string_view t) { return !t.empty() && t.front() == '1'; }

std::string PadLeft(std::string_view t, std::size_t width, char fill) {
  if (t.size() < width) return std::string(width - t.size(), fill) + std::string(t);
  return std::string(t.substr(t.size() - width));
}

bool ParseInt64(std::string_view t, std::int64_t& out) {
  if (t.empty()) return false;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, out);
  return ec == std::errc() && ptr == last && first != last;
}

namespace {

// One conversion through iconv. Invalid input is replaced: the caller names
// the replacement bytes (already in the target encoding) and how many input
// bytes to skip over.
std::string Convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char buf[4096];
  while (inLeft > 0) {
    char* outPtr = buf;
    std::size_t outLeft = sizeof buf;
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf, outPtr - buf);
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (truncated sequence): skip one byte, emit replacement.
    out.append(replacement);
    ++inPtr;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Utf8ToGb18030(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Convert("GB18030", "UTF-8", utf8, "?");
}

std::string Gb18030ToUtf8(std::string_view gb) {
  if (IsAscii(gb)) return std::string(gb);
  return Convert("UTF-8", "GB18030", gb, "\xEF\xBF\xBD");
}

std::size_t GbkLength(std::string_view utf8) {
  return IsAscii(utf8) ? utf8.size() : Utf8ToGb18030(utf8).size();
}

}  // namespace solvane
