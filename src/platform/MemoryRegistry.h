#pragma once
// IRegistry held in memory, for tests and for programs that keep no settings.
// Names are compared exactly (letter case counts).

#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/IRegistry.h"

namespace solvane {

class TMemoryRegistry : public IRegistry {
 public:
  bool OpenKey(TRegistryRoot root, std::string_view keyPath, bool create) override;
  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view keyPath,
                                        std::string_view valueName) override;
  bool WriteString(TRegistryRoot root, std::string_view keyPath, std::string_view valueName,
                   std::string_view value) override;
  bool DeleteValue(TRegistryRoot root, std::string_view keyPath,
                   std::string_view valueName) override;

  bool KeyExists(TRegistryRoot root, std::string_view keyPath) const;
  // While set, every operation fails as if the store could not be reached.
  void SetUnavailable(bool unavailable) { m_unavailable = unavailable; }

 private:
  using TKey = std::pair<TRegistryRoot, std::string>;
  using TValueKey = std::pair<TKey, std::string>;

  static TKey MakeKey(TRegistryRoot root, std::string_view keyPath) {
    return {root, std::string(keyPath)};
  }

  std::set<TKey> m_keys;
  std::map<TValueKey, std::string> m_values;
  bool m_unavailable = false;
};

}  // namespace solvane
