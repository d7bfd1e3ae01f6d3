#pragma once
// The exit statuses of solvane-cli; scripts rely on them, so a status keeps
// its meaning once given out.

namespace solvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // some files failed, or the command failed
inline constexpr int kExitUsage = 2;        // usage, unknown task/folder/file, missing setting
inline constexpr int kExitUnreachable = 3;  // the server could not be reached or did not answer
inline constexpr int kExitRefused = 4;      // the server refused the sign-in

}  // namespace solvane::cli
