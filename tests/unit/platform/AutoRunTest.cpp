#include "platform/AutoRun.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "TempFolder.h"

namespace solvane {
namespace {

using test::ReadWholeFile;
using test::TTempFolder;

// The Exec line of a desktop entry file, without "Exec=".
std::string ExecLineOf(const std::string& file) {
  std::string text = ReadWholeFile(file);
  std::size_t at = text.find("\nExec=");
  if (at == std::string::npos) return "<no Exec line>";
  at += 6;
  return text.substr(at, text.find('\n', at) - at);
}

TEST(XdgAutoRun, SetWritesDesktopEntryAndRemoveDeletesIt) {
  TTempFolder home;
  TXdgAutoRun autoRun(home.Path());
  std::string file = home / "autostart/Kestrune.desktop";
  ASSERT_EQ(autoRun.EntryFile("Kestrune"), file);

  ASSERT_TRUE(autoRun.SetAutoRun("Kestrune", "/opt/solvane/bin/solvane"));
  std::string text = ReadWholeFile(file);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
  EXPECT_EQ(ExecLineOf(file), "/opt/solvane/bin/solvane");

  ASSERT_TRUE(autoRun.SetAutoRun("Kestrune", "/usr/local/bin/solvane"));
  EXPECT_EQ(ExecLineOf(file), "/usr/local/bin/solvane") << "a second call replaces the entry";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home / "autostart"),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left beside the entry";

  EXPECT_TRUE(autoRun.RemoveAutoRun("Kestrune"));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(autoRun.RemoveAutoRun("Kestrune")) << "nothing left to remove";
}

TEST(XdgAutoRun, PathWithBlanksIsQuotedInTheFile) {
  TTempFolder home;
  TXdgAutoRun autoRun(home.Path());
  ASSERT_TRUE(autoRun.SetAutoRun("Kestrune", "/opt/My Apps/a\\b/solvane"));
  // Quoted for Exec (backslash escaped), then the file's own string escape
  // doubles each backslash again.
  EXPECT_EQ(ExecLineOf(home / "autostart/Kestrune.desktop"), "\"/opt/My Apps/a\\\\\\\\b/solvane\"");
}

TEST(XdgAutoRun, ExecValueQuotesReservedCharactersOnly) {
  struct TCase {
    const char* path;
    const char* exec;
  } cases[] = {
      {"/usr/bin/solvane", "/usr/bin/solvane"},
      {"/opt/My Apps/solvane", "\"/opt/My Apps/solvane\""},
      {"/opt/100%/solvane", "/opt/100%%/solvane"},
      {"/opt/a\"b$c`d\\e", "\"/opt/a\\\"b\\$c\\`d\\\\e\""},
      {"/opt/it's", "\"/opt/it's\""},
  };
  for (const TCase& c : cases) EXPECT_EQ(DesktopExecValue(c.path), c.exec) << c.path;
}

TEST(XdgAutoRun, ConfigHomeComesFromXdgConfigHomeElseHome) {
  TTempFolder xdg, home;
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";

  ::setenv("XDG_CONFIG_HOME", xdg.Path().c_str(), 1);
  ::setenv("HOME", home.Path().c_str(), 1);
  EXPECT_EQ(TXdgAutoRun().EntryFile("Kestrune"), xdg / "autostart/Kestrune.desktop");
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(TXdgAutoRun().EntryFile("Kestrune"), home / ".config/autostart/Kestrune.desktop");
  ::unsetenv("XDG_CONFIG_HOME");
  TXdgAutoRun fromHome;
  EXPECT_TRUE(fromHome.SetAutoRun("Kestrune", "/bin/x"));
  EXPECT_TRUE(std::filesystem::exists(home / ".config/autostart/Kestrune.desktop"));

  oldXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST(XdgAutoRun, RefusesNamesThatAreNoFileNameAndUnwritableFolders) {
  TTempFolder home;
  TXdgAutoRun autoRun(home.Path());
  EXPECT_FALSE(autoRun.SetAutoRun("", "/bin/x"));
  EXPECT_FALSE(autoRun.SetAutoRun("../escape", "/bin/x"));
  EXPECT_FALSE(std::filesystem::exists(home / "escape.desktop"));

  // The config home is a plain file: the autostart folder cannot be made.
  TXdgAutoRun blocked(home.WriteFile("file", "x"));
  EXPECT_FALSE(blocked.SetAutoRun("Kestrune", "/bin/x"));
}

}  // namespace
}  // namespace solvane
