#pragma once
// Small stateless helpers for dates, local files, server-side paths and
// number texts. Texts are byte strings; positions are byte positions.
// Local paths use this platform's separator ('/'); server paths use '/'.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/LocalTime.h"

namespace solvane {

// ---- Dates (all in local time) ----

// The day of d at 00:00:00.
DateTime StartOfDay(DateTime d);
// The day of d at 23:59:59, the whole of that last second included (so an
// instant of that day never lies after it).
DateTime EndOfDay(DateTime d);
// The Monday of d's week (Monday to Sunday) at 00:00:00.
DateTime StartOfWeek(DateTime d);

// ---- Numbers as text ----

// Digits of |n| grouped by three with ",", "-" in front when n < 0
// (1234567 -> "1,234,567").
std::string GroupThousands(std::int64_t n);
// t with every "," removed.
std::string RemoveCommas(std::string_view t);
// The part of t before the first sep; empty when sep does not occur.
std::string TextBefore(std::string_view t, std::string_view sep);
// n / divisor rounded up when there is a remainder; 0 when divisor is 0.
// Note the order: the divisor comes first.
std::int64_t DivRoundUp(std::int64_t divisor, std::int64_t n);

// ---- Local files and folders ----

// A Windows file time (100 ns steps since 1601-01-01 UTC, as mail stores
// keep them) as a date-time; DateTime values are shown in local time.
// nullopt when it lies beyond what DateTime can hold.
std::optional<DateTime> FileTimeToLocal(std::uint64_t fileTime);
// Creation time of the file or folder at path; nullopt when there is none.
std::optional<DateTime> FileCreated(const std::string& path);
// Last write time of the file or folder at path; nullopt when there is none.
std::optional<DateTime> FileModified(const std::string& path);
// FileCreated (created true) or FileModified as a packed DOS date-time; 0
// when the file is missing or its year lies outside 1980..2107.
std::uint32_t FileDateStamp(const std::string& path, bool created);
// Size in bytes of the file at path (0 for a folder); -1 when there is none.
std::int64_t FileSizeOf(const std::string& path);
bool FolderExists(const std::string& path);
// Creates the folder and every missing parent; true on success.
bool CreateFolderPath(const std::string& path);
// path with a trailing separator; the folder is created (with parents) when
// it does not exist. Empty stays empty (nothing is created).
std::string EnsureFolder(const std::string& path);
// True when the file exists and its owner may not write it.
bool IsReadOnlyFile(const std::string& path);
// True when the file is held by another program (it holds a lock that
// forbids writing) or cannot be opened at all (missing included), unless
// the file is read-only: read-only files are never locked.
bool IsFileLocked(const std::string& path);
// t with LF, CR and each of " * / : < > ? \ | replaced by a blank.
std::string SafeFileName(std::string_view t);

// ---- Server-side (slash) paths ----

std::string ToSlashes(std::string_view t);
std::string ToBackslashes(std::string_view t);
// t trimmed; one trailing "/" removed; then cut just after its last "/" when
// that stands after the first character and before the end (a/b/c and
// a/b/c/ give a/b/); otherwise the trimmed text without that trailing "/"
// (c gives c, /c gives /c).
std::string ParentPath(std::string_view t);
// t without its last character when that is "/"; empty text otherwise.
std::string StripSlash(std::string_view t);
// The last component of t; both "/" and "\" separate components.
std::string FileNameOf(std::string_view t);
// name when base is empty; else ToSlashes(base), "/" when it does not end
// in one, then name.
std::string JoinPath(std::string_view base, std::string_view name);

}  // namespace solvane
