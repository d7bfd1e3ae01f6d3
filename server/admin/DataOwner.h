#pragma once
// An administrator runs admin commands as root against the service's data
// directory, which belongs to the service account ("solvane"). Files the
// command creates there (database journals, the quarantine folder) must stay
// the service's, so root takes on the owner's identity first.

#include <filesystem>

namespace solvane::server {

// When the process runs as root and dataDir exists and belongs to another
// user, switches the process to that user and group for good. Does nothing
// otherwise. Throws std::runtime_error when the switch fails.
void ActAsOwnerOf(const std::filesystem::path& dataDir);

}  // namespace solvane::server
