// The pattern test shared by the administrator's policy and the task
// filters. A pattern is either a path pattern (folders only, substring) or a
// name pattern (files only, wildcard when it holds "*", else substring).

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {

namespace {

constexpr char kPlatformSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

// Text as a sequence of characters (UTF-8 decoded; a byte that starts no
// valid sequence stands for itself), so that "?" takes one whole character.
std::vector<char32_t> Characters(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (b >= 0xF8 || i + extra >= text.size()) extra = 0;
    char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
    bool valid = true;
    for (int k = 1; k <= extra && valid; ++k) {
      const auto cont = static_cast<unsigned char>(text[i + k]);
      valid = (cont & 0xC0) == 0x80;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!valid) {
      extra = 0;
      c = b;
    }
    out.push_back(c);
    i += 1 + extra;
  }
  return out;
}

char32_t Fold(char32_t c) { return (c >= U'A' && c <= U'Z') ? c + (U'a' - U'A') : c; }

// A "[...]" set at pattern[p] (p on the "["): whether c is in it, and where
// the set ends (just after "]"). False, with end unchanged, when the set has
// no closing "]": the "[" is then an ordinary character.
bool MatchSet(const std::vector<char32_t>& pattern, std::size_t p, char32_t c, bool& inSet,
              std::size_t& end) {
  std::size_t q = p + 1;
  const bool negate = q < pattern.size() && pattern[q] == U'!';
  if (negate) ++q;
  std::size_t close = q;
  while (close < pattern.size() && pattern[close] != U']') ++close;
  if (close >= pattern.size()) return false;
  const char32_t folded = Fold(c);
  bool found = false;
  for (std::size_t i = q; i < close && !found;) {
    if (i + 2 < close && pattern[i + 1] == U'-') {
      const char32_t lo = Fold(pattern[i]), hi = Fold(pattern[i + 2]);
      found = lo <= folded && folded <= hi;
      i += 3;
    } else {
      found = Fold(pattern[i]) == folded;
      ++i;
    }
  }
  inSet = negate ? !found : found;
  end = close + 1;
  return true;
}

// One pattern element other than "*" at pattern[p] against c; next is set
// to the position after the element.
bool ElementMatches(const std::vector<char32_t>& pattern, std::size_t p, char32_t c,
                    std::size_t& next) {
  if (pattern[p] == U'?') {
    next = p + 1;
    return true;
  }
  if (pattern[p] == U'[') {
    bool inSet = false;
    if (MatchSet(pattern, p, c, inSet, next)) return inSet;
  }
  next = p + 1;
  return Fold(pattern[p]) == Fold(c);
}

// The whole text against the whole pattern, letter case ignored.
bool WildcardMatch(std::string_view patternText, std::string_view text) {
  const std::vector<char32_t> pattern = Characters(patternText);
  const std::vector<char32_t> s = Characters(text);
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t p = 0, i = 0, starP = kNone, starI = 0;
  while (i < s.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starP = ++p;
      starI = i;
      continue;
    }
    std::size_t next = p;
    if (p < pattern.size() && ElementMatches(pattern, p, s[i], next)) {
      p = next;
      ++i;
      continue;
    }
    if (starP == kNone) return false;
    p = starP;
    i = ++starI;
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool IsPathPattern(const std::string& pattern) {
  const bool hasPathMark =
      pattern.find_first_of(std::string("\\:") + kPlatformSeparator) != std::string::npos;
  return hasPathMark && pattern.find('.') == std::string::npos;
}

bool PatternApplies(const std::string& pattern, bool isFolder) {
  return IsPathPattern(pattern) == isFolder;
}

bool PatternPasses(const std::string& pattern, const std::string& path) {
  if (!IsPathPattern(pattern) && pattern.find('*') != std::string::npos)
    return WildcardMatch(pattern, path);
  return path.find(pattern) != std::string::npos;
}

bool PassesPatternLists(const std::vector<std::string>& include,
                        const std::vector<std::string>& exclude, const std::string& path,
                        bool isFolder, const std::function<void()>& pace) {
  auto paceAt = [&](std::size_t i) {
    if (i % 5 == 0 && pace) pace();
  };
  for (std::size_t i = 0; i < include.size(); ++i) {
    const bool holds = !PatternApplies(include[i], isFolder) || PatternPasses(include[i], path);
    paceAt(i);
    if (!holds) return false;
  }
  for (std::size_t i = 0; i < exclude.size(); ++i) {
    const bool rejects = PatternApplies(exclude[i], isFolder) && PatternPasses(exclude[i], path);
    paceAt(i);
    if (rejects) return false;
  }
  return true;
}

}  // namespace solvane
