#include "session/Unit_LocalHelpers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <limits>

#include "../platform/TempFolder.h"
#include "session/DosDateTime.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using test::TTempFolder;

DateTime Local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return FromLocalDateTime({y, mo, d, h, mi, s}).value();
}

// ---- Dates ----

TEST(LocalHelpers, StartAndEndOfDay) {
  DateTime t = Local(2024, 5, 15, 13, 14, 15) + 500ms;
  EXPECT_EQ(StartOfDay(t), Local(2024, 5, 15));
  EXPECT_EQ(StartOfDay(Local(2024, 5, 15)), Local(2024, 5, 15));
  DateTime end = EndOfDay(t);
  EXPECT_GE(end, Local(2024, 5, 15, 23, 59, 59) + 999ms);
  EXPECT_LT(end, Local(2024, 5, 16));
  EXPECT_EQ(end + DateTime::duration(1), Local(2024, 5, 16)) << "the whole last second belongs";
}

TEST(LocalHelpers, StartOfWeekIsThePrecedingMonday) {
  struct TCase {
    DateTime day;
    DateTime monday;
  } cases[] = {
      {Local(2024, 5, 19, 18, 30), Local(2024, 5, 13)},   // Sunday: six days earlier
      {Local(2024, 5, 13, 0, 0, 1), Local(2024, 5, 13)},  // Monday itself
      {Local(2024, 5, 15, 9), Local(2024, 5, 13)},        // Wednesday
      {Local(2024, 3, 3, 12), Local(2024, 2, 26)},        // Sunday, across a leap February
      {Local(2025, 1, 1, 12), Local(2024, 12, 30)},       // across a year
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(StartOfWeek(c.day), c.monday) << ToLocalDateTime(c.day).day;
  }
}

// ---- Numbers as text ----

TEST(LocalHelpers, GroupThousands) {
  struct TCase {
    std::int64_t n;
    const char* text;
  } cases[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1,000"},
      {-1000, "-1,000"},
      {-999, "-999"},
      {100000, "100,000"},
      {1234567, "1,234,567"},
      {std::numeric_limits<std::int64_t>::max(), "9,223,372,036,854,775,807"},
      {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"},
  };
  for (const TCase& c : cases) EXPECT_EQ(GroupThousands(c.n), c.text) << c.n;
  EXPECT_EQ(RemoveCommas("-9,223,372,036,854,775,808"), "-9223372036854775808");
  EXPECT_EQ(RemoveCommas(",,a,b,"), "ab");
}

TEST(LocalHelpers, TextBefore) {
  EXPECT_EQ(TextBefore("a|b", "|"), "a");
  EXPECT_EQ(TextBefore("ab", "|"), "");
  EXPECT_EQ(TextBefore("|b", "|"), "");
  EXPECT_EQ(TextBefore("a|b|c", "|"), "a");
  EXPECT_EQ(TextBefore("key::value", "::"), "key");
  EXPECT_EQ(TextBefore("", "|"), "");
}

TEST(LocalHelpers, DivRoundUpTakesTheDivisorFirst) {
  struct TCase {
    std::int64_t divisor, n, result;
  } cases[] = {
      {65536, 0, 0},
      {65536, 65537, 2},
      {65536, 65536, 1},
      {262144, 1, 1},
      {262144, 5LL << 30, 20480},
      {262144, (5LL << 30) + 1, 20481},
      {0, 12345, 0},
      {3, -7, -2},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(DivRoundUp(c.divisor, c.n), c.result) << c.divisor << " into " << c.n;
  }
}

// ---- Local files and folders ----

TEST(LocalHelpers, FileTimeToLocalCountsFrom1601) {
  constexpr std::uint64_t kEpoch = 116'444'736'000'000'000ULL;  // 1970-01-01 UTC
  EXPECT_EQ(FileTimeToLocal(kEpoch), DateTime{});
  EXPECT_EQ(FileTimeToLocal(kEpoch + 10'000'005), DateTime(1s + 500ns));
  EXPECT_EQ(FileTimeToLocal(kEpoch + 17'000'000'000'000'000ULL), DateTime(1'700'000'000s));
  EXPECT_EQ(FileTimeToLocal(0), std::nullopt) << "1601 lies before what DateTime holds";
  EXPECT_EQ(FileTimeToLocal(std::numeric_limits<std::uint64_t>::max()), std::nullopt);
}

class LocalFiles : public ::testing::Test {
 protected:
  static void SetLastWrite(const std::string& path, DateTime t) {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  TTempFolder m_dir;
};

TEST_F(LocalFiles, TimesAndDateStamps) {
  std::string file = m_dir.WriteFile("a.txt", "x");
  SetLastWrite(file, Local(2024, 5, 15, 13, 14, 15));
  EXPECT_EQ(FileModified(file), Local(2024, 5, 15, 13, 14, 15));
  ASSERT_TRUE(FileCreated(file));

  TLocalDateTime stamp;
  ASSERT_TRUE(DecodeDosDateTime(FileDateStamp(file, false), stamp));
  EXPECT_EQ(stamp.year, 2024);
  EXPECT_EQ(stamp.day, 15);
  EXPECT_EQ(stamp.second, 14);
  EXPECT_EQ(FileDateStamp(file, true), DateTimeToDos(*FileCreated(file)));
  EXPECT_NE(FileDateStamp(file, true), 0u);

  SetLastWrite(file, Local(1975, 1, 1, 12));
  EXPECT_EQ(FileDateStamp(file, false), 0u) << "before 1980";
  EXPECT_EQ(FileDateStamp(m_dir / "missing", false), 0u);
  EXPECT_EQ(FileModified(m_dir / "missing"), std::nullopt);
  EXPECT_EQ(FileCreated(m_dir / "missing"), std::nullopt);
}

TEST_F(LocalFiles, FileSizeOfSparseFileOverFourGigabytes) {
  std::string file = m_dir / "big.bin";
  int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  constexpr std::int64_t kSize = 5LL << 30;
  ASSERT_EQ(::ftruncate(fd, kSize), 0);
  ::close(fd);
  EXPECT_EQ(FileSizeOf(file), kSize);
  EXPECT_EQ(FileSizeOf(m_dir.WriteFile("small", "abc")), 3);
  EXPECT_EQ(FileSizeOf(m_dir.WriteFile("empty", "")), 0);
  EXPECT_EQ(FileSizeOf(m_dir / "missing"), -1);
}

TEST_F(LocalFiles, FoldersAreCreatedWithParents) {
  EXPECT_FALSE(FolderExists(m_dir / "a"));
  EXPECT_TRUE(CreateFolderPath(m_dir / "a/b"));
  EXPECT_TRUE(FolderExists(m_dir / "a/b"));

  EXPECT_EQ(EnsureFolder(m_dir / "x/y"), m_dir / "x/y/");
  EXPECT_TRUE(FolderExists(m_dir / "x/y"));
  EXPECT_EQ(EnsureFolder(m_dir / "x/y/"), m_dir / "x/y/") << "no second separator";
  EXPECT_EQ(EnsureFolder(""), "");
  EXPECT_FALSE(FolderExists(m_dir.WriteFile("f", "")));
}

TEST_F(LocalFiles, ReadOnlyMeansOwnerCannotWrite) {
  std::string file = m_dir.WriteFile("ro", "x");
  EXPECT_FALSE(IsReadOnlyFile(file));
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_TRUE(IsReadOnlyFile(file));
  EXPECT_FALSE(IsReadOnlyFile(m_dir / "missing"));
}

// Holds a lock on a file from its own open file description until released.
class OfdLock {
 public:
  OfdLock(const std::string& file, short type) : m_fd(::open(file.c_str(), O_RDWR)) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    m_locked = m_fd >= 0 && ::fcntl(m_fd, F_OFD_SETLK, &lock) == 0;
  }
  ~OfdLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool Locked() const { return m_locked; }

 private:
  int m_fd;
  bool m_locked = false;
};

TEST_F(LocalFiles, LockHeldOnAnotherOpenFileDescriptionCountsAsLocked) {
  std::string file = m_dir.WriteFile("data", "x");
  EXPECT_FALSE(IsFileLocked(file));
  {
    OfdLock lock(file, F_WRLCK);
    ASSERT_TRUE(lock.Locked());
    EXPECT_TRUE(IsFileLocked(file));
  }
  EXPECT_FALSE(IsFileLocked(file)) << "released with its description";
  {
    OfdLock lock(file, F_RDLCK);
    ASSERT_TRUE(lock.Locked());
    EXPECT_TRUE(IsFileLocked(file)) << "a read lock forbids writing too";
  }
}

TEST_F(LocalFiles, WriteLockOfAnotherProcessCountsAsLocked) {
  std::string file = m_dir.WriteFile("data", "x");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    // A classic record lock, owned by the child process.
    int fd = ::open(file.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(release[0], &c, 1);  // until the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char ok = '0';
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, '1');
  EXPECT_TRUE(IsFileLocked(file));
  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  EXPECT_FALSE(IsFileLocked(file)) << "the lock ended with the process";
}

TEST_F(LocalFiles, ReadOnlyOrUnopenableFiles) {
  std::string file = m_dir.WriteFile("ro", "x");
  OfdLock lock(file, F_WRLCK);  // opened for writing before it became read-only
  ASSERT_TRUE(lock.Locked());
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  EXPECT_FALSE(IsFileLocked(file)) << "read-only files never count as locked";

  EXPECT_TRUE(IsFileLocked(m_dir / "missing")) << "a file that cannot be opened";
}

TEST(LocalHelpers, SafeFileNameBlanksUnsafeCharacters) {
  EXPECT_EQ(SafeFileName("a\"b*c/d:e<f>g?h\\i|j\nk\rl"), "a b c d e f g h i j k l");
  EXPECT_EQ(SafeFileName("会议 纪要.txt"), "会议 纪要.txt");
}

// ---- Server-side paths ----

TEST(LocalHelpers, SlashConversions) {
  EXPECT_EQ(ToSlashes("C:\\docs\\a.txt"), "C:/docs/a.txt");
  EXPECT_EQ(ToBackslashes("C:/docs/a.txt"), "C:\\docs\\a.txt");
}

TEST(LocalHelpers, ParentPathAndFolderOfAnObject) {
  struct TCase {
    const char* path;
    const char* parent;
    const char* folder;  // StripSlash(ParentPath(path))
  } cases[] = {
      {"a/b/c", "a/b/", "a/b"},
      {"a/b/c/", "a/b/", "a/b"},
      {"c", "c", ""},
      {"/c", "/c", ""},
      {" a/b ", "a/", "a"},
      {"", "", ""},
      {"   ", "", ""},
      {"/", "", ""},
      {"c/", "c", ""},
      {"a//", "a/", "a"},
      {"C:/docs/a.txt", "C:/docs/", "C:/docs"},
      {"C:/a.txt", "C:/", "C:"},
      {"/home/ann/docs/a.txt", "/home/ann/docs/", "/home/ann/docs"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(ParentPath(c.path), c.parent) << "'" << c.path << "'";
    EXPECT_EQ(StripSlash(ParentPath(c.path)), c.folder) << "'" << c.path << "'";
  }
  EXPECT_EQ(StripSlash("a/b"), "") << "no trailing slash gives empty text";
  EXPECT_EQ(StripSlash("/"), "");
}

TEST(LocalHelpers, FileNameOfAndJoinPath) {
  EXPECT_EQ(FileNameOf("a/b/c.txt"), "c.txt");
  EXPECT_EQ(FileNameOf("C:\\x\\y.doc"), "y.doc");
  EXPECT_EQ(FileNameOf("a\\b/c"), "c");
  EXPECT_EQ(FileNameOf("name"), "name");
  EXPECT_EQ(FileNameOf("dir/"), "");

  EXPECT_EQ(JoinPath("", "x"), "x");
  EXPECT_EQ(JoinPath("a", "x"), "a/x");
  EXPECT_EQ(JoinPath("a/", "x"), "a/x");
  EXPECT_EQ(JoinPath("C:\\docs", "x.txt"), "C:/docs/x.txt");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
}

}  // namespace
}  // namespace solvane
