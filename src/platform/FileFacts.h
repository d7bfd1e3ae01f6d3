#pragma once
// What the client asks the file system about single files and folders.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/LocalTime.h"

namespace solvane {

struct TFileFacts {
  bool isFolder = false;
  std::int64_t size = 0;  // bytes, 64-bit
  DateTime lastWrite;
  DateTime created;       // the birth time where the file system keeps one, else lastWrite
  bool hidden = false;    // the name starts with "."
  bool readOnly = false;  // the owner may not write
};

class IFileFacts {
 public:
  virtual ~IFileFacts() = default;

  // Facts of the file or folder at path (links followed); nullopt when
  // there is none or it cannot be examined.
  virtual std::optional<TFileFacts> Examine(const std::string& path) = 0;

  // True when another holder keeps a lock on the file that forbids writing
  // it, or when it cannot be opened at all.
  virtual bool IsHeldByOther(const std::string& path) = 0;

  virtual bool FolderExists(const std::string& path) = 0;
  // Creates the folder and every missing parent; true when it exists
  // afterwards as a folder.
  virtual bool CreateFolderPath(const std::string& path) = 0;

  // Full path of the running program file; empty when unknown.
  virtual std::string ProgramFilePath() = 0;
};

// The implementation of this platform, shared by the whole process.
IFileFacts& PlatformFileFacts();

// The folder of a program file, with its trailing separator ("/opt/x/" for
// "/opt/x/prog"); empty for a path without a separator.
std::string FolderOfFile(const std::string& file);

// The folder of the running program file, with its trailing separator.
std::string ProgramFolder();

}  // namespace solvane
