#pragma once
// Reading a mail client's store files, shared by the readers. Store files
// are only ever read.

#include <optional>
#include <string>

namespace solvane {

// True when path names an existing regular file.
bool IsStoreFile(const std::string& path);
// The whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace solvane
