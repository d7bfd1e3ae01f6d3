#include "session/Unit_LocalHelpers.h"

#include <algorithm>
#include <limits>

#include "platform/FileFacts.h"
#include "session/DosDateTime.h"

namespace solvane {

namespace {

DateTime AtLocalTime(DateTime d, int dayOffset, int hour, int minute, int second) {
  TLocalDateTime local = ToLocalDateTime(d);
  local.day += dayOffset;
  local.hour = hour;
  local.minute = minute;
  local.second = second;
  return FromLocalDateTime(local).value_or(d);
}

std::string Replaced(std::string_view t, char from, char to) {
  std::string out(t);
  std::replace(out.begin(), out.end(), from, to);
  return out;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trimmed(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

}  // namespace

DateTime StartOfDay(DateTime d) { return AtLocalTime(d, 0, 0, 0, 0); }

DateTime EndOfDay(DateTime d) {
  return AtLocalTime(d, 0, 23, 59, 59) + std::chrono::seconds(1) - DateTime::duration(1);
}

DateTime StartOfWeek(DateTime d) {
  int daysSinceMonday = (ToLocalDateTime(d).dayOfWeek + 6) % 7;
  return AtLocalTime(d, -daysSinceMonday, 0, 0, 0);
}

std::string GroupThousands(std::int64_t n) {
  // The magnitude in unsigned arithmetic: |INT64_MIN| has no signed form.
  std::uint64_t magnitude =
      n < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  std::string digits = std::to_string(magnitude);
  std::string out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string RemoveCommas(std::string_view t) {
  std::string out(t);
  out.erase(std::remove(out.begin(), out.end(), ','), out.end());
  return out;
}

std::string TextBefore(std::string_view t, std::string_view sep) {
  std::size_t at = t.find(sep);
  return at == std::string_view::npos ? std::string() : std::string(t.substr(0, at));
}

std::int64_t DivRoundUp(std::int64_t divisor, std::int64_t n) {
  if (divisor == 0) return 0;
  if (divisor == -1) {
    return n == std::numeric_limits<std::int64_t>::min() ? std::numeric_limits<std::int64_t>::max()
                                                         : -n;
  }
  std::int64_t quotient = n / divisor;
  std::int64_t remainder = n % divisor;
  if (remainder != 0 && (remainder > 0) == (divisor > 0)) ++quotient;
  return quotient;
}

std::optional<DateTime> FileTimeToLocal(std::uint64_t fileTime) {
  constexpr std::int64_t kTicksPerSecond = 10'000'000;
  constexpr std::int64_t kSeconds1601To1970 = 11'644'473'600;
  constexpr std::int64_t kLimit =
      std::chrono::duration_cast<std::chrono::seconds>(DateTime::duration::max()).count() - 1;
  std::int64_t seconds = static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kSeconds1601To1970;
  if (seconds >= kLimit || seconds <= -kLimit) return std::nullopt;
  auto fraction =
      std::chrono::nanoseconds(static_cast<std::int64_t>(fileTime % kTicksPerSecond) * 100);
  return DateTime(
      std::chrono::duration_cast<DateTime::duration>(std::chrono::seconds(seconds) + fraction));
}

std::optional<DateTime> FileCreated(const std::string& path) {
  std::optional<TFileFacts> facts = PlatformFileFacts().Examine(path);
  if (!facts) return std::nullopt;
  return facts->created;
}

std::optional<DateTime> FileModified(const std::string& path) {
  std::optional<TFileFacts> facts = PlatformFileFacts().Examine(path);
  if (!facts) return std::nullopt;
  return facts->lastWrite;
}

std::uint32_t FileDateStamp(const std::string& path, bool created) {
  std::optional<DateTime> t = created ? FileCreated(path) : FileModified(path);
  return t ? DateTimeToDos(*t) : 0;
}

std::int64_t FileSizeOf(const std::string& path) {
  std::optional<TFileFacts> facts = PlatformFileFacts().Examine(path);
  if (!facts) return -1;
  return facts->isFolder ? 0 : facts->size;
}

bool FolderExists(const std::string& path) { return PlatformFileFacts().FolderExists(path); }

bool CreateFolderPath(const std::string& path) {
  return PlatformFileFacts().CreateFolderPath(path);
}

std::string EnsureFolder(const std::string& path) {
  if (path.empty()) return path;
  std::string folder = path.back() == '/' ? path : path + '/';
  if (!FolderExists(folder)) CreateFolderPath(folder);
  return folder;
}

bool IsReadOnlyFile(const std::string& path) {
  std::optional<TFileFacts> facts = PlatformFileFacts().Examine(path);
  return facts && facts->readOnly;
}

bool IsFileLocked(const std::string& path) {
  return !IsReadOnlyFile(path) && PlatformFileFacts().IsHeldByOther(path);
}

std::string SafeFileName(std::string_view t) {
  constexpr std::string_view kUnsafe = "\n\r\"*/:<>?\\|";
  std::string out(t);
  for (char& c : out) {
    if (kUnsafe.find(c) != std::string_view::npos) c = ' ';
  }
  return out;
}

std::string ToSlashes(std::string_view t) { return Replaced(t, '\\', '/'); }

std::string ToBackslashes(std::string_view t) { return Replaced(t, '/', '\\'); }

std::string ParentPath(std::string_view t) {
  std::string_view s = Trimmed(t);
  if (!s.empty() && s.back() == '/') s.remove_suffix(1);
  std::size_t slash = s.rfind('/');
  if (slash != std::string_view::npos && slash > 0 && slash + 1 < s.size()) {
    return std::string(s.substr(0, slash + 1));
  }
  return std::string(s);
}

std::string StripSlash(std::string_view t) {
  if (t.empty() || t.back() != '/') return {};
  return std::string(t.substr(0, t.size() - 1));
}

std::string FileNameOf(std::string_view t) {
  std::size_t separator = t.find_last_of("/\\");
  return std::string(separator == std::string_view::npos ? t : t.substr(separator + 1));
}

std::string JoinPath(std::string_view base, std::string_view name) {
  if (base.empty()) return std::string(name);
  std::string out = ToSlashes(base);
  if (out.back() != '/') out += '/';
  out += name;
  return out;
}

}  // namespace solvane
