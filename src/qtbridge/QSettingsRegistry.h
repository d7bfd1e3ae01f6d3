#pragma once
// The registry of the programs: QSettings in IniFormat under
// $XDG_CONFIG_HOME/Kestrune/Solvane.ini (on Windows the real registry).
// Shared by the desktop client and solvane-cli, so both read and save the
// same settings. Links QtCore only; the core never includes it.

#include <memory>
#include <mutex>

#include "platform/IRegistry.h"

class QSettings;

namespace solvane {

class TQSettingsRegistry : public IRegistry {
 public:
  // The settings file of this user.
  TQSettingsRegistry();
  // A given ini file (tests).
  explicit TQSettingsRegistry(const std::string& iniFile);
  ~TQSettingsRegistry() override;

  bool OpenKey(TRegistryRoot root, std::string_view keyPath, bool create) override;
  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view keyPath,
                                        std::string_view valueName) override;
  bool WriteString(TRegistryRoot root, std::string_view keyPath, std::string_view valueName,
                   std::string_view value) override;
  bool DeleteValue(TRegistryRoot root, std::string_view keyPath,
                   std::string_view valueName) override;
  // Holds a lock file beside the settings file for the step, so that the
  // desktop client and solvane-cli never both step from the same value.
  std::optional<std::string> UpdateString(TRegistryRoot root, std::string_view keyPath,
                                          std::string_view valueName,
                                          const TValueChange& change) override;

 private:
  std::unique_ptr<QSettings> m_settings;
  std::mutex m_updateMutex;
};

}  // namespace solvane
