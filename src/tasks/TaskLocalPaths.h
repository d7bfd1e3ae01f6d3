#pragma once
// Local path forms used by the task walks. Local paths use this platform's
// separator; where the system names "\" for a local path (trailing
// separator, joining, stored patterns) the platform's separator stands.

#include <filesystem>
#include <string>
#include <string_view>

namespace solvane {

inline constexpr char kLocalSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// Every "/" as the platform's separator (a no-op where that is "/").
std::string ToLocalSeparators(std::string_view path);
// Every platform separator as "/" (the server's form of a local path).
std::string ToServerSeparators(std::string_view path);
// path with one trailing separator (added when missing).
std::string WithTrailingSeparator(std::string_view path);
// The parent folder of a local path without a trailing separator; the root
// folder stays the root ("/a" gives "/"). Empty when there is no separator.
std::string LocalParentFolder(std::string_view path);

}  // namespace solvane
