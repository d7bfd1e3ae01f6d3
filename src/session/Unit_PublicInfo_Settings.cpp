#include "session/Unit_PublicInfo_Settings.h"

#include <limits>

#include "platform/FileFacts.h"
#include "wire/QorWithText.h"

namespace solvane {

namespace {

constexpr TRegistryRoot kRoot = TRegistryRoot::LocalMachine;

std::int64_t IntegerOr(std::string_view text, std::int64_t fallback, std::int64_t min,
                       std::int64_t max) {
  std::int64_t value = 0;
  if (!ParseInt64(text, value) || value < min || value > max) return fallback;
  return value;
}

}  // namespace

TSettingsStore::TSettingsStore(IRegistry& registry, IAutoRun& autoRun, std::string programFile)
    : m_registry(registry), m_autoRun(autoRun), m_programFile(std::move(programFile)) {}

std::string TSettingsStore::KeyOf(std::string_view name) {
  return "Software\\Kestrune\\" + std::string(name);
}

std::string TSettingsStore::ValueNameOf(std::string_view name) { return "\\" + KeyOf(name); }

std::string TSettingsStore::Read(std::string_view name, bool createKey) {
  std::string key = KeyOf(name);
  if (!m_registry.OpenKey(kRoot, key, createKey)) return {};
  return m_registry.ReadString(kRoot, key, ValueNameOf(name)).value_or("");
}

bool TSettingsStore::Write(std::string_view name, std::string_view value) {
  std::string key = KeyOf(name);
  return m_registry.OpenKey(kRoot, key, true) &&
         m_registry.WriteString(kRoot, key, ValueNameOf(name), value);
}

TSettings TSettingsStore::LoadSettings() {
  constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
  TSettings s;
  s.Host = Read("Host", false);
  // A port outside the TCP range would be cut to a different, wrong port.
  s.Port = static_cast<int>(IntegerOr(Read("Port", false), kDefaultPort, 1, 65535));
  s.TimeOut = static_cast<int>(
      IntegerOr(Read("TimeOut", false), kDefaultTimeOut, std::numeric_limits<int>::min(), kIntMax));
  s.UserCode = Read("UserCode", true);
  s.UserPwd = Read("UserPwd", true);
  s.IsAutoRun = TextToBool(Read("IsAutoRun", true));
  s.IsSavedUserInfo = TextToBool(Read("IsSavedUserInfo", true));
  s.CacheFolder = Read("CacheFolder", true);
  if (s.CacheFolder.empty()) s.CacheFolder = FolderOfFile(m_programFile) + "temp";
  s.WarningSpace =
      IntegerOr(Read("WarningSpace", true), 0, std::numeric_limits<std::int64_t>::min(),
                std::numeric_limits<std::int64_t>::max());
  s.Pacing = TextToPacing(Read("Pacing", true));
  // Encrypted unless turned off on purpose.
  const std::string useTls = Read("UseTls", true);
  s.UseTls = useTls.empty() || TextToBool(useTls);
  return s;
}

bool TSettingsStore::SaveServerSettings(const TSettings& s) {
  return Write("Host", s.Host) && Write("Port", std::to_string(s.Port)) &&
         Write("TimeOut", std::to_string(s.TimeOut));
}

bool TSettingsStore::SaveUserSettings(const TSettings& s) {
  return Write("UserCode", s.UserCode) && Write("UserPwd", s.UserPwd);
}

bool TSettingsStore::SaveOptions(const TSettings& s) {
  bool written = Write("IsAutoRun", BoolToText(s.IsAutoRun)) &&
                 Write("IsSavedUserInfo", BoolToText(s.IsSavedUserInfo)) &&
                 Write("CacheFolder", s.CacheFolder) &&
                 Write("WarningSpace", std::to_string(s.WarningSpace)) &&
                 Write("Pacing", PacingToText(s.Pacing)) &&
                 Write("UseTls", BoolToText(s.UseTls));
  if (!written) return false;
  // The entry is a convenience: failing to set or remove it changes nothing else.
  if (s.IsAutoRun) {
    m_autoRun.SetAutoRun(kAutoRunName, m_programFile);
  } else {
    m_autoRun.RemoveAutoRun(kAutoRunName);
  }
  return true;
}

namespace {
std::string PinnedCertificateName(const std::string& host, int port) {
  return "TrustedCert_" + host + "_" + std::to_string(port);
}
}  // namespace

std::string TSettingsStore::LoadPinnedCertificate(const std::string& host, int port) {
  return Read(PinnedCertificateName(host, port), false);
}

bool TSettingsStore::SavePinnedCertificate(const std::string& host, int port,
                                           const std::string& fingerprint) {
  return Write(PinnedCertificateName(host, port), fingerprint);
}

}  // namespace solvane
