#include "platform/FileAccess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "TempFolder.h"

namespace solvane {
namespace {

using test::ReadWholeFile;
using test::TTempFolder;

std::string ReadAt(IReadableFile& file, std::int64_t offset, std::size_t size) {
  std::string buffer(size, '\0');
  const std::int64_t got = file.ReadAt(offset, buffer.data(), size);
  if (got < 0) return "<error>";
  buffer.resize(static_cast<std::size_t>(got));
  return buffer;
}

TEST(PosixFileAccess, ReadsAtAnyOffsetAndAShortCountOnlyAtTheEnd) {
  TTempFolder dir;
  const std::string path = dir.WriteFile("data.bin", "0123456789");
  IFileAccess& files = PlatformFileAccess();
  const auto file = files.OpenForReading(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadAt(*file, 0, 4), "0123");
  EXPECT_EQ(ReadAt(*file, 7, 4), "789");
  EXPECT_EQ(ReadAt(*file, 10, 4), "");
  EXPECT_EQ(ReadAt(*file, 50, 4), "");
  EXPECT_EQ(files.SizeOf(path), 10);

  EXPECT_FALSE(files.OpenForReading(dir / "missing")) << "a missing file";
  EXPECT_FALSE(files.OpenForReading(dir.Path())) << "a folder";
  EXPECT_EQ(files.SizeOf(dir / "missing"), -1);
  EXPECT_EQ(files.SizeOf(dir.Path()), -1);
}

TEST(PosixFileAccess, WritesAtOffsetsAndKeepsOrDropsWhatTheFileHeld) {
  TTempFolder dir;
  IFileAccess& files = PlatformFileAccess();
  const std::string path = dir / "sub/deeper/out.part";
  ASSERT_FALSE(files.CreateFolders(dir / "sub/deeper"));
  ASSERT_FALSE(files.CreateFolders(dir / "sub/deeper")) << "an existing folder is no error";

  auto out = files.OpenForWriting(path, true);
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->WriteAt(2, "cd"));
  EXPECT_TRUE(out->WriteAt(0, "ab"));
  EXPECT_TRUE(out->Close());
  EXPECT_FALSE(out->WriteAt(4, "e")) << "closed";
  EXPECT_EQ(ReadWholeFile(path), "abcd");

  out = files.OpenForWriting(path, false);
  ASSERT_TRUE(out && out->WriteAt(6, "g") && out->Close());
  EXPECT_EQ(ReadWholeFile(path), std::string("abcd\0\0g", 7)) << "kept, with a hole";
  ASSERT_FALSE(files.Resize(path, 3));
  EXPECT_EQ(ReadWholeFile(path), "abc");
  out = files.OpenForWriting(path, true);
  ASSERT_TRUE(out && out->Close());
  EXPECT_EQ(files.SizeOf(path), 0) << "truncated";
}

TEST(PosixFileAccess, RenameReplacesAndMissingFilesAreErrors) {
  TTempFolder dir;
  IFileAccess& files = PlatformFileAccess();
  const std::string a = dir.WriteFile("a.txt", "new"), b = dir.WriteFile("b.txt", "old");
  EXPECT_FALSE(files.Rename(a, b));
  EXPECT_EQ(ReadWholeFile(b), "new");
  EXPECT_FALSE(files.Exists(a));
  EXPECT_EQ(files.Rename(a, b), std::errc::no_such_file_or_directory);
  EXPECT_EQ(files.Remove(a), std::errc::no_such_file_or_directory);
  EXPECT_EQ(files.Resize(a, 1), std::errc::no_such_file_or_directory);
  EXPECT_EQ(files.NamesIn(dir.Path()), std::vector<std::string>{"b.txt"});
  EXPECT_FALSE(files.Remove(b));
  EXPECT_TRUE(files.NamesIn(dir.Path()).empty());
  EXPECT_TRUE(files.NamesIn(dir / "missing").empty());
  EXPECT_FALSE(files.OpenForWriting(dir / "missing/x", true)) << "no folder to create it in";
}

// /dev/full takes no byte: every write fails as on a full disk.
TEST(PosixFileAccess, AFullDeviceFailsTheWriteWithNoSpace) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  auto out = PlatformFileAccess().OpenForWriting("/dev/full", false);
  ASSERT_TRUE(out);
  errno = 0;
  EXPECT_FALSE(out->WriteAt(0, "data"));
  EXPECT_EQ(errno, ENOSPC);
}

}  // namespace
}  // namespace solvane
