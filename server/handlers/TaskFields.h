#pragma once
// Checks and normal forms of the texts and numbers that task definitions
// carry, shared by the task operations and the administration commands.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace solvane::server {

inline constexpr std::size_t kMaxTaskNameBytes = 512;
inline constexpr std::size_t kMaxCommentBytes = 8192;
inline constexpr std::size_t kMaxPathBytes = 4096;
inline constexpr std::size_t kMaxPatternBytes = 1024;
inline constexpr std::size_t kMaxObjectNameBytes = 1024;

// Client text: at most maxBytes, no control characters. Comments keep their
// line breaks as the single character 2, which allowLineBreakMarker admits.
bool IsCleanText(std::string_view text, std::size_t maxBytes, bool allowLineBreakMarker = false);

// A client's local path as a task keeps it: "\" turned into "/", no trailing
// separator except at a root ("/", "C:/"). Nullopt when empty or unclean.
std::optional<std::string> NormaliseTaskPath(std::string_view path);

// A filter pattern as stored: "\" turned into "/". Empty for a blank pattern
// (which is dropped: it would match every path); nullopt when unclean.
std::optional<std::string> NormalisePattern(std::string_view pattern);

// The text of a number box: 0 when it is no number (as the client reads it),
// nullopt for a number outside 0 .. 2^31-1.
std::optional<std::int64_t> ParseBoxNumber(std::string_view text);

// "yyyy-mm-dd hh:nn:ss" naming a real date-time.
bool IsDateTimeText(std::string_view text);

// The kinds a named task may have: those the client loads as tasks.
bool IsNamedTaskKind(std::int64_t kind);

}  // namespace solvane::server
