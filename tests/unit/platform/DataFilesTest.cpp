#include "platform/DataFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "platform/FileFacts.h"

namespace solvane {
namespace {

TEST(DataFiles, BesideTheProgramWinsThenTheInstalledFolder) {
  test::TTempFolder temp;
  const std::string bin = temp / "usr/bin/", share = temp / "usr/share/solvane/";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share + "help");
  temp.WriteFile("usr/share/solvane/ring.wav", "RIFF");
  const std::vector<std::string> folders = {bin, share};

  EXPECT_EQ(FindDataFile("ring.wav", folders), share + "ring.wav");
  EXPECT_EQ(FindDataFile("help", folders), share + "help") << "folders are found too";
  temp.WriteFile("usr/bin/ring.wav", "RIFF");
  EXPECT_EQ(FindDataFile("ring.wav", folders), bin + "ring.wav");
  EXPECT_EQ(FindDataFile("absent.wav", folders), bin + "absent.wav");
}

TEST(DataFiles, InstalledFolderSitsBesideTheProgramsBinFolder) {
  const std::vector<std::string> folders = DataFolders();
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0], ProgramFolder());
  const auto prefix = std::filesystem::path(ProgramFolder()).parent_path().parent_path();
  EXPECT_EQ(folders[1], (prefix / "share" / "solvane").string() + "/");
  EXPECT_EQ(folders[2], "/usr/share/solvane/");
}

}  // namespace
}  // namespace solvane
