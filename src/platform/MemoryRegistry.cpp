#include "platform/MemoryRegistry.h"

namespace solvane {

bool TMemoryRegistry::OpenKey(TRegistryRoot root, std::string_view keyPath, bool create) {
  if (m_unavailable) return false;
  TKey key = MakeKey(root, keyPath);
  if (m_keys.count(key)) return true;
  if (!create) return false;
  m_keys.insert(std::move(key));
  return true;
}

std::optional<std::string> TMemoryRegistry::ReadString(TRegistryRoot root, std::string_view keyPath,
                                                       std::string_view valueName) {
  if (m_unavailable) return std::nullopt;
  auto it = m_values.find({MakeKey(root, keyPath), std::string(valueName)});
  if (it == m_values.end()) return std::nullopt;
  return it->second;
}

bool TMemoryRegistry::WriteString(TRegistryRoot root, std::string_view keyPath,
                                  std::string_view valueName, std::string_view value) {
  if (m_unavailable) return false;
  TKey key = MakeKey(root, keyPath);
  m_keys.insert(key);
  m_values[{std::move(key), std::string(valueName)}] = std::string(value);
  return true;
}

bool TMemoryRegistry::DeleteValue(TRegistryRoot root, std::string_view keyPath,
                                  std::string_view valueName) {
  if (m_unavailable) return false;
  return m_values.erase({MakeKey(root, keyPath), std::string(valueName)}) > 0;
}

bool TMemoryRegistry::KeyExists(TRegistryRoot root, std::string_view keyPath) const {
  return m_keys.count(MakeKey(root, keyPath)) > 0;
}

}  // namespace solvane
