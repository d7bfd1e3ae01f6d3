#pragma once
// Hierarchical store of string values, addressed by a root, a key path with
// '\' between its parts and a value name (the model of the Windows registry).
// The GUI backs it with QSettings; tests use TMemoryRegistry.
//
// Calls hold nothing open: every operation names its key in full, so an
// adapter maps each call onto one lookup or write of its backing store.

#include <functional>
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

  // The change of a value into its next one: gets the value (nullopt when
  // missing) and returns the one to write, or nullopt to write nothing.
  using TValueChange = std::function<std::optional<std::string>(const std::optional<std::string>&)>;

  // Reads the value, passes it to change and writes the result, with no
  // other writer of the value in between: a store shared with other
  // processes locks them out for the whole step. Returns the value written;
  // nullopt when change wrote nothing or the store failed. This base version
  // only reads, then writes: enough for a store of this process alone whose
  // callers do not race each other.
  virtual std::optional<std::string> UpdateString(TRegistryRoot root, std::string_view keyPath,
                                                  std::string_view valueName,
                                                  const TValueChange& change) {
    std::optional<std::string> next = change(ReadString(root, keyPath, valueName));
    if (!next || !WriteString(root, keyPath, valueName, *next)) return std::nullopt;
    return next;
  }
};

}  // namespace solvane
