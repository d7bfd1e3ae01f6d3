#include <gtest/gtest.h>

#include <filesystem>

#include "../platform/TempFolder.h"
#include "platform/MemoryRegistry.h"
#include "session/Unit_PublicInfo_Settings.h"

namespace solvane {
namespace {

using test::ReadWholeFile;
using test::TTempFolder;

constexpr auto kMachine = TRegistryRoot::LocalMachine;
constexpr char kProgram[] = "/opt/solvane/bin/solvane";

// Records what the store asks of the autorun entry.
class RecordingAutoRun : public IAutoRun {
 public:
  bool SetAutoRun(std::string_view name, std::string_view path) override {
    calls.push_back("set " + std::string(name) + " " + std::string(path));
    return succeed;
  }
  bool RemoveAutoRun(std::string_view name) override {
    calls.push_back("remove " + std::string(name));
    return succeed;
  }
  std::vector<std::string> calls;
  bool succeed = true;
};

class SettingsStore : public ::testing::Test {
 protected:
  std::optional<std::string> Stored(const std::string& name) {
    return m_registry.ReadString(kMachine, "Software\\Kestrune\\" + name,
                                 "\\Software\\Kestrune\\" + name);
  }
  void Store(const std::string& name, const std::string& value) {
    m_registry.WriteString(kMachine, "Software\\Kestrune\\" + name, "\\Software\\Kestrune\\" + name,
                           value);
  }

  TMemoryRegistry m_registry;
  RecordingAutoRun m_autoRun;
  TSettingsStore m_store{m_registry, m_autoRun, kProgram};
};

TEST_F(SettingsStore, EmptyRegistryGivesDefaults) {
  TSettings s = m_store.LoadSettings();
  EXPECT_EQ(s.Host, "");
  EXPECT_EQ(s.Port, 8090);
  EXPECT_EQ(s.TimeOut, 10);
  EXPECT_EQ(s.UserCode, "");
  EXPECT_EQ(s.UserPwd, "");
  EXPECT_FALSE(s.IsAutoRun);
  EXPECT_FALSE(s.IsSavedUserInfo);
  EXPECT_EQ(s.CacheFolder, "/opt/solvane/bin/temp");
  EXPECT_EQ(s.WarningSpace, 0);
  EXPECT_EQ(s.Pacing, TPacing::Standard);

  // Server keys are only looked for; the others are made when missing.
  for (const char* name : {"Host", "Port", "TimeOut"}) {
    EXPECT_FALSE(m_registry.KeyExists(kMachine, TSettingsStore::KeyOf(name))) << name;
  }
  for (const char* name : {"UserCode", "UserPwd", "IsAutoRun", "IsSavedUserInfo", "CacheFolder",
                           "WarningSpace", "Pacing"}) {
    EXPECT_TRUE(m_registry.KeyExists(kMachine, TSettingsStore::KeyOf(name))) << name;
  }
  EXPECT_TRUE(m_autoRun.calls.empty());
}

TEST_F(SettingsStore, NumbersThatDoNotReadTakeTheirDefaults) {
  struct TCase {
    const char* text;
    int port;
    int timeOut;
    std::int64_t warningSpace;
  } cases[] = {
      {"abc", 8090, 10, 0},          {"", 8090, 10, 0},
      {"9000", 9000, 9000, 9000},    {"12x", 8090, 10, 0},
      {"70000", 8090, 70000, 70000}, {"0", 8090, 0, 0},
  };
  for (const TCase& c : cases) {
    for (const char* name : {"Port", "TimeOut", "WarningSpace"}) Store(name, c.text);
    TSettings s = m_store.LoadSettings();
    EXPECT_EQ(s.Port, c.port) << c.text;
    EXPECT_EQ(s.TimeOut, c.timeOut) << c.text;
    EXPECT_EQ(s.WarningSpace, c.warningSpace) << c.text;
  }
}

TEST_F(SettingsStore, TextsAndFlagsAreReadAsStored) {
  Store("Host", "backup.example");
  Store("IsAutoRun", "1");
  Store("IsSavedUserInfo", "true");
  Store("CacheFolder", "/var/cache/solvane");
  Store("Pacing", "FAST");
  TSettings s = m_store.LoadSettings();
  EXPECT_EQ(s.Host, "backup.example");
  EXPECT_TRUE(s.IsAutoRun);
  EXPECT_FALSE(s.IsSavedUserInfo) << "only a text beginning with 1 is true";
  EXPECT_EQ(s.CacheFolder, "/var/cache/solvane");
  EXPECT_EQ(s.Pacing, TPacing::Fast);

  Store("Pacing", "turbo");
  EXPECT_EQ(m_store.LoadSettings().Pacing, TPacing::Standard);
}

TEST_F(SettingsStore, EachSaveWritesItsGroupOnly) {
  TSettings s;
  s.Host = "10.0.0.5";
  s.Port = 9001;
  s.TimeOut = 30;
  s.UserCode = "ann";
  s.UserPwd = "secret";
  s.IsSavedUserInfo = true;
  s.CacheFolder = "/tmp/cache";
  s.WarningSpace = 2048;
  s.Pacing = TPacing::Fast;

  ASSERT_TRUE(m_store.SaveServerSettings(s));
  EXPECT_EQ(Stored("Host"), "10.0.0.5");
  EXPECT_EQ(Stored("Port"), "9001");
  EXPECT_EQ(Stored("TimeOut"), "30");
  EXPECT_EQ(Stored("UserCode"), std::nullopt);

  ASSERT_TRUE(m_store.SaveUserSettings(s));
  EXPECT_EQ(Stored("UserCode"), "ann");
  EXPECT_EQ(Stored("UserPwd"), "secret");
  EXPECT_EQ(Stored("IsSavedUserInfo"), std::nullopt);

  ASSERT_TRUE(m_store.SaveOptions(s));
  EXPECT_EQ(Stored("IsAutoRun"), "0");
  EXPECT_EQ(Stored("IsSavedUserInfo"), "1");
  EXPECT_EQ(Stored("CacheFolder"), "/tmp/cache");
  EXPECT_EQ(Stored("WarningSpace"), "2048");
  EXPECT_EQ(Stored("Pacing"), "fast");

  TSettings back = m_store.LoadSettings();
  EXPECT_EQ(back.Host, s.Host);
  EXPECT_EQ(back.Port, s.Port);
  EXPECT_EQ(back.TimeOut, s.TimeOut);
  EXPECT_EQ(back.UserCode, s.UserCode);
  EXPECT_EQ(back.UserPwd, s.UserPwd);
  EXPECT_EQ(back.IsSavedUserInfo, true);
  EXPECT_EQ(back.CacheFolder, s.CacheFolder);
  EXPECT_EQ(back.WarningSpace, s.WarningSpace);
  EXPECT_EQ(back.Pacing, TPacing::Fast);
}

TEST_F(SettingsStore, ConnectionsAreEncryptedUnlessTurnedOffOnPurpose) {
  EXPECT_TRUE(m_store.LoadSettings().UseTls);
  TSettings s = m_store.LoadSettings();
  s.UseTls = false;
  ASSERT_TRUE(m_store.SaveOptions(s));
  EXPECT_EQ(Stored("UseTls"), "0");
  EXPECT_FALSE(m_store.LoadSettings().UseTls);
  s.UseTls = true;
  ASSERT_TRUE(m_store.SaveOptions(s));
  EXPECT_TRUE(m_store.LoadSettings().UseTls);
}

TEST_F(SettingsStore, PinnedCertificatesAreKeptPerServerAddress) {
  EXPECT_EQ(m_store.LoadPinnedCertificate("backup.office", 8090), "");
  ASSERT_TRUE(m_store.SavePinnedCertificate("backup.office", 8090, "AA:BB"));
  ASSERT_TRUE(m_store.SavePinnedCertificate("backup.office", 9000, "CC:DD"));
  ASSERT_TRUE(m_store.SavePinnedCertificate("fd00::2", 8090, "EE:FF"));
  TSettingsStore reopened{m_registry, m_autoRun, kProgram};
  EXPECT_EQ(reopened.LoadPinnedCertificate("backup.office", 8090), "AA:BB");
  EXPECT_EQ(reopened.LoadPinnedCertificate("backup.office", 9000), "CC:DD");
  EXPECT_EQ(reopened.LoadPinnedCertificate("fd00::2", 8090), "EE:FF");
  EXPECT_EQ(reopened.LoadPinnedCertificate("other.office", 8090), "");
}

TEST_F(SettingsStore, SaveOptionsEndsWithTheAutorunEntry) {
  TSettings s;
  s.IsAutoRun = true;
  ASSERT_TRUE(m_store.SaveOptions(s));
  s.IsAutoRun = false;
  m_autoRun.succeed = false;  // e.g. no entry to remove: ignored
  ASSERT_TRUE(m_store.SaveOptions(s));
  EXPECT_EQ(m_autoRun.calls,
            (std::vector<std::string>{"set Kestrune /opt/solvane/bin/solvane", "remove Kestrune"}));
}

TEST_F(SettingsStore, UnreachableRegistryKeepsDefaultsAndSavesFail) {
  Store("Port", "9000");
  m_registry.SetUnavailable(true);
  TSettings s = m_store.LoadSettings();
  EXPECT_EQ(s.Port, 8090);
  EXPECT_EQ(s.CacheFolder, "/opt/solvane/bin/temp");

  s.IsAutoRun = true;
  EXPECT_FALSE(m_store.SaveServerSettings(s));
  EXPECT_FALSE(m_store.SaveUserSettings(s));
  EXPECT_FALSE(m_store.SaveOptions(s));
  EXPECT_TRUE(m_autoRun.calls.empty()) << "the entry follows only saved options";
}

TEST(SettingsStoreAutostart, OptionsCreateAndRemoveTheDesktopFile) {
  TTempFolder configHome;
  TMemoryRegistry registry;
  TXdgAutoRun autoRun(configHome.Path());
  const std::string program = "/opt/Solvane Client/solvane";
  TSettingsStore store(registry, autoRun, program);
  std::string entry = configHome / "autostart/Kestrune.desktop";

  TSettings s = store.LoadSettings();
  EXPECT_EQ(s.CacheFolder, "/opt/Solvane Client/temp");
  s.IsAutoRun = true;
  ASSERT_TRUE(store.SaveOptions(s));
  ASSERT_TRUE(std::filesystem::exists(entry));
  EXPECT_NE(ReadWholeFile(entry).find("\nExec=\"" + program + "\"\n"), std::string::npos)
      << ReadWholeFile(entry);

  s.IsAutoRun = false;
  ASSERT_TRUE(store.SaveOptions(s));
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_TRUE(store.SaveOptions(s)) << "removing an entry that is not there is no error";
}

}  // namespace
}  // namespace solvane
