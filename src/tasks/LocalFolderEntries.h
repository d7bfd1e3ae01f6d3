#pragma once
// The entries of one local folder, as the upload walks see them.

#include <string>
#include <vector>

namespace solvane {

struct TLocalEntry {
  enum TKind { kFile, kFolder, kOther };
  std::string Name;
  // kFile: a regular file (or a link to one); kFolder: a folder that is no
  // link (links to folders are not followed, so a walk cannot loop); kOther:
  // anything else (devices, pipes, sockets, links to folders), never taken.
  TKind Kind = kOther;
};

// Every entry of folder (hidden and system entries included; "." and ".."
// never). False when the folder cannot be enumerated or the enumeration
// broke off; entries then holds what was read.
bool ListLocalFolder(const std::string& folder, std::vector<TLocalEntry>& entries);

}  // namespace solvane
