#include "platform/FileFacts.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempFolder.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using test::TTempFolder;

void SetLastWrite(const std::string& path, std::int64_t seconds, long nanoseconds) {
  timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(PosixFileFacts, ExamineReportsSizeTimesAndAttributes) {
  TTempFolder dir;
  std::string file = dir.WriteFile("plain.txt", "hello");
  SetLastWrite(file, 1'000'000'000, 250'000'000);
  auto before = std::chrono::system_clock::now();

  std::optional<TFileFacts> facts = PlatformFileFacts().Examine(file);
  ASSERT_TRUE(facts);
  EXPECT_FALSE(facts->isFolder);
  EXPECT_EQ(facts->size, 5);
  EXPECT_EQ(facts->lastWrite, DateTime(1'000'000'000s + 250ms));
  // Birth time where the file system keeps one (it was just made), else the
  // last write time.
  EXPECT_TRUE(facts->created == facts->lastWrite ||
              (facts->created > before - 10min && facts->created < before + 1min));
  EXPECT_FALSE(facts->hidden);
  EXPECT_FALSE(facts->readOnly);

  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_TRUE(PlatformFileFacts().Examine(file)->readOnly);
  ASSERT_EQ(::chmod(file.c_str(), 0244), 0);
  EXPECT_FALSE(PlatformFileFacts().Examine(file)->readOnly) << "only the owner's bit counts";
}

TEST(PosixFileFacts, HiddenMeansNameStartsWithDot) {
  TTempFolder dir;
  EXPECT_TRUE(PlatformFileFacts().Examine(dir.WriteFile(".profile", ""))->hidden);
  EXPECT_FALSE(PlatformFileFacts().Examine(dir.WriteFile("a.b", ""))->hidden);
  ASSERT_TRUE(PlatformFileFacts().CreateFolderPath(dir / ".cache"));
  EXPECT_TRUE(PlatformFileFacts().Examine(dir / ".cache/")->hidden);
}

TEST(PosixFileFacts, MissingPathHasNoFacts) {
  TTempFolder dir;
  EXPECT_FALSE(PlatformFileFacts().Examine(dir / "missing"));
  EXPECT_FALSE(PlatformFileFacts().Examine(""));
}

TEST(PosixFileFacts, CreateFolderPathMakesParentsAndFailsUnderAFile) {
  TTempFolder dir;
  IFileFacts& fs = PlatformFileFacts();
  EXPECT_FALSE(fs.FolderExists(dir / "a"));
  EXPECT_TRUE(fs.CreateFolderPath(dir / "a/b/c"));
  EXPECT_TRUE(fs.FolderExists(dir / "a/b/c"));
  EXPECT_TRUE(fs.CreateFolderPath(dir / "a/b/c")) << "an existing folder is success";
  EXPECT_TRUE(fs.Examine(dir / "a/b")->isFolder);

  std::string file = dir.WriteFile("file", "x");
  EXPECT_FALSE(fs.FolderExists(file));
  EXPECT_FALSE(fs.CreateFolderPath(file));
  EXPECT_FALSE(fs.CreateFolderPath(file + "/sub"));
  EXPECT_FALSE(fs.CreateFolderPath(""));
}

TEST(PosixFileFacts, ProgramFileIsThisTestAndItsFolderEndsWithSeparator) {
  std::string program = PlatformFileFacts().ProgramFilePath();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(std::filesystem::path(program).filename(), "platform_test");
  EXPECT_EQ(ProgramFolder() + "platform_test", program);
  EXPECT_TRUE(PlatformFileFacts().FolderExists(ProgramFolder()));
}

TEST(PosixFileFacts, FolderOfFileKeepsTrailingSeparator) {
  EXPECT_EQ(FolderOfFile("/opt/x/prog"), "/opt/x/");
  EXPECT_EQ(FolderOfFile("/prog"), "/");
  EXPECT_EQ(FolderOfFile("prog"), "");
}

}  // namespace
}  // namespace solvane
