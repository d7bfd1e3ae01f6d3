#pragma once
// The client's settings, kept per machine under the registry root
// LocalMachine: each in a key of its own, Software\Kestrune\<Name>, as the
// string value named \Software\Kestrune\<Name>. Plus the autorun entry
// "Kestrune".

#include <cstdint>
#include <string>

#include "platform/AutoRun.h"
#include "platform/IRegistry.h"
#include "session/Pacing.h"

namespace solvane {

inline constexpr int kDefaultPort = 8090;
inline constexpr int kDefaultTimeOut = 10;  // seconds
inline constexpr char kAutoRunName[] = "Kestrune";

struct TSettings {
  std::string Host;
  int Port = kDefaultPort;
  int TimeOut = kDefaultTimeOut;  // seconds a call waits for its reply
  std::string UserCode;
  std::string UserPwd;
  bool IsAutoRun = false;
  bool IsSavedUserInfo = false;
  std::string CacheFolder;
  std::int64_t WarningSpace = 0;  // megabytes
  TPacing Pacing = TPacing::Standard;
  bool UseTls = true;  // encrypted connections to the server
};

class TSettingsStore {
 public:
  // programFile: full path of the running program file; it is what the
  // autorun entry starts, and its folder holds the default cache folder.
  TSettingsStore(IRegistry& registry, IAutoRun& autoRun, std::string programFile);

  // Reads every setting; what is missing, empty, unreadable or not a number
  // where one is needed takes its default (Port 8090, also outside
  // 1..65535; TimeOut 10; CacheFolder the program's folder followed by
  // "temp"; WarningSpace 0; Pacing standard).
  TSettings LoadSettings();

  // Each writes its group and stops at the first value that cannot be
  // written, returning false.
  bool SaveServerSettings(const TSettings& settings);  // Host, Port, TimeOut
  bool SaveUserSettings(const TSettings& settings);    // UserCode, UserPwd
  // IsAutoRun, IsSavedUserInfo, CacheFolder, WarningSpace, Pacing, UseTls;
  // then the autorun entry is set to the program file or removed, its
  // failure ignored.
  bool SaveOptions(const TSettings& settings);

  // The SHA-256 fingerprint pinned for the server at host:port; empty when
  // none is pinned. Kept per server address, beside the other settings.
  std::string LoadPinnedCertificate(const std::string& host, int port);
  bool SavePinnedCertificate(const std::string& host, int port, const std::string& fingerprint);

  // The key and the value name of a setting.
  static std::string KeyOf(std::string_view name);
  static std::string ValueNameOf(std::string_view name);

 private:
  std::string Read(std::string_view name, bool createKey);
  bool Write(std::string_view name, std::string_view value);

  IRegistry& m_registry;
  IAutoRun& m_autoRun;
  std::string m_programFile;
};

}  // namespace solvane
