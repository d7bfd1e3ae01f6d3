#pragma once
// Hierarchical store of string values, addressed by a root, a key path with
// '\' between its parts and a value name (the model of the Windows registry).
// The GUI backs it with QSettings; tests use TMemoryRegistry.
//
// Calls hold nothing open: every operation names its key in full, so an
// adapter maps each call onto one lookup or write of its backing store.

#include <optional>
#include <string>
#include <string_view>

namespace solvane {

enum class TRegistryRoot {
  LocalMachine,  // settings of the machine and the autorun entry
  CurrentUser,   // store locations of the mail clients
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // True when the key exists afterwards: it existed, or create is true and
  // it could be made. False when it is missing (create false) or the store
  // cannot be reached.
  virtual bool OpenKey(TRegistryRoot root, std::string_view keyPath, bool create) = 0;

  // The value; nullopt when the key or the value is missing or the store
  // cannot be read.
  virtual std::optional<std::string> ReadString(TRegistryRoot root, std::string_view keyPath,
                                                std::string_view valueName) = 0;

  // Writes the value, creating the key when it is missing. False on failure.
  virtual bool WriteString(TRegistryRoot root, std::string_view keyPath, std::string_view valueName,
                           std::string_view value) = 0;

  // Deletes the value. False when the key or the value is missing or the
  // store refused.
  virtual bool DeleteValue(TRegistryRoot root, std::string_view keyPath,
                           std::string_view valueName) = 0;
};

}  // namespace solvane
