// The disk space warnings, the fixed-drive list from a mount table, and the
// completion sound's bounded playing.

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "platform/CompletionSound.h"

namespace solvane {
namespace {

using enginetest::TTempDir;

TEST(DiskSpaceCheck, OneShortageWarningThenShrinkingFigureAtMostEveryTenMinutes) {
  struct TStep {
    std::int64_t tick, freeMB;
    const char* warning;  // null: none
  };
  const TStep steps[] = {
      {1000, 6000, nullptr},
      {2000, 3000, "您当前的/空间已不足5000M"},
      {3000, 2000, nullptr},    // shrinking, but within ten minutes
      {602000, 2900, nullptr},  // exactly ten minutes is not more than ten
      {602001, 2900, "您当前的/空间还有2900M"},
      {1300000, 2950, nullptr},  // not below the last warned figure
      {1400000, 7000, nullptr},  // above the threshold again
      {1500000, 4000, nullptr},  // short again: no second shortage warning
      {1600000, 2800, "您当前的/空间还有2800M"},
  };
  std::vector<TWatchedDrive> drives{{"/", false, 0, 5000}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.tick);
    const auto warnings = CheckDiskSpace(drives, {s.freeMB}, 5000, s.tick);
    if (s.warning) {
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_EQ(warnings[0], s.warning);
    } else {
      EXPECT_TRUE(warnings.empty());
    }
  }
}

TEST(DiskSpaceCheck, ThresholdZeroNeverWarnsAndUnreadableSpaceCountsAsZero) {
  std::vector<TWatchedDrive> drives{{"/", false, 0, 0}, {"/data", false, 0, 0}};
  EXPECT_TRUE(CheckDiskSpace(drives, {0, 0}, 0, 5).empty());
  EXPECT_EQ(FreeMegabytes(std::nullopt), 0);
  EXPECT_EQ(FreeMegabytes(std::int64_t{3 * 1048576 - 1}), 2);
  drives = {{"/", false, 0, 100}, {"/data", false, 0, 100}};
  const auto warnings = CheckDiskSpace(drives, {500, FreeMegabytes(std::nullopt)}, 100, 5);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "您当前的/data空间已不足100M");
}

class TFakeDrives : public IDrives {
 public:
  std::vector<std::string> FixedDriveRoots() override { return {"/", "/home"}; }
  std::optional<std::int64_t> FreeBytes(const std::string& root) override {
    if (root == "/") return std::int64_t{3000} * 1048576;
    return std::int64_t{9000} * 1048576;
  }
};

TEST(DiskMonitorThread, ReadsDrivesAndThresholdOnceAndWarnsThroughTheNoteSink) {
  testsupport::TFakeEngineContext ctx;
  TFakeDrives drives;
  TMonitorDiskThread monitor(ctx, drives);
  EXPECT_EQ(monitor.Threshold(), 5000);
  monitor.Start(4000);
  monitor.Start(10000);  // read once: no change
  EXPECT_EQ(monitor.Threshold(), 4000);
  EXPECT_EQ(monitor.Roots(), (std::vector<std::string>{"/", "/home"}));
  monitor.CheckNow(10);
  monitor.CheckNow(20);
  monitor.Stop();
  const auto notes = ctx.RecordedNotes();
  ASSERT_GE(notes.size(), 1u);
  EXPECT_EQ(notes[0].Text, "您当前的/空间已不足4000M");
  EXPECT_EQ(notes[0].Kind, kNoteWarning);
  for (const auto& n : notes) EXPECT_EQ(n.Text, notes[0].Text);
  EXPECT_EQ(notes.size(), 1u);
}

TEST(FixedDrives, OnlyLocalBlockDeviceFileSystemsOncePerDevice) {
  const std::string table =
      "proc /proc proc rw 0 0\n"
      "/dev/sda1 / ext4 rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "/dev/sdb1 /media/usb vfat rw 0 0\n"
      "//srv/share /mnt/share cifs rw 0 0\n"
      "srv:/export /mnt/nfs nfs4 rw 0 0\n"
      "/dev/sr0 /media/cd iso9660 ro 0 0\n"
      "/dev/loop3 /snap/core squashfs ro 0 0\n"
      "/dev/sda1 /var/bind ext4 rw 0 0\n"
      "/dev/nvme0n1p2 /home/my\\040files btrfs rw 0 0\n"
      "/dev/sdc1 /mnt/phone fuseblk rw 0 0\n";
  const auto roots = SelectFixedDrives(ParseMountTable(table),
                                       [](const std::string& d) { return d == "/dev/sdb1"; });
  EXPECT_EQ(roots, (std::vector<std::string>{"/", "/home/my files"}));
}

TEST(FixedDrives, MountTableFileAndRemovableFlagsFromTheBlockFolder) {
  namespace fs = std::filesystem;
  TTempDir dir;
  const fs::path sys = dir.Path("block");
  fs::create_directories(sys / "sdb" / "sdb1");
  enginetest::WriteFile((sys / "sdb" / "removable").string(), "1\n");
  enginetest::WriteFile((sys / "sdb" / "sdb1" / "partition").string(), "1\n");
  fs::create_directory_symlink(sys / "sdb" / "sdb1", sys / "sdb1");
  fs::create_directories(sys / "sda");
  enginetest::WriteFile((sys / "sda" / "removable").string(), "0\n");
  const std::string mounts = dir.Path("mounts");
  enginetest::WriteFile(mounts,
                        "/dev/sda / ext4 rw 0 0\n/dev/sdb1 /media/stick vfat rw 0 0\n"
                        "/dev/sdx9 /unknown xfs rw 0 0\n");
  auto drives = MakeMountTableDrives(mounts, sys.string());
  EXPECT_EQ(drives->FixedDriveRoots(), (std::vector<std::string>{"/", "/unknown"}));
  EXPECT_GT(drives->FreeBytes(dir.Path()).value_or(0), 0);
  EXPECT_FALSE(drives->FreeBytes(dir.Path("missing")).has_value());
}

std::string WaveOf(std::uint32_t byteRate, std::uint32_t dataSize) {
  auto le32 = [](std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  std::string fmt = std::string("\x01\x00\x01\x00", 4) + le32(byteRate) + le32(byteRate) +
                    std::string("\x01\x00\x08\x00", 4);
  return "RIFF" + le32(36 + dataSize) + "WAVE" + "LIST" + le32(3) + "abc" + std::string(1, '\0') +
         "fmt " + le32(16) + fmt + "data" + le32(dataSize) + std::string(dataSize, '\x80');
}

TEST(CompletionSound, LengthFromTheWaveHeaderBoundsThePlayer) {
  EXPECT_EQ(WaveDuration(WaveOf(8000, 4000)), std::chrono::milliseconds(500));
  EXPECT_FALSE(WaveDuration("not a wave file").has_value());
  EXPECT_FALSE(WaveDuration(WaveOf(0, 10)).has_value());

  TTempDir dir;
  const std::string sound = dir.Path("ring.wav");
  enginetest::WriteFile(sound, WaveOf(8000, 80));  // 10 ms
  auto script = [&](const std::string& name, const std::string& body) {
    const std::string path = dir.Path(name);
    enginetest::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
  };
  const std::string ok = script("ok-player", "test -f \"$1\"");
  const std::string failing = script("bad-player", "exit 3");
  const std::string hanging = script("stuck-player", "exec sleep 30");

  EXPECT_TRUE(PlayCompletionSound(sound, {dir.Path("absent"), ok}));
  EXPECT_FALSE(PlayCompletionSound(dir.Path("missing.wav"), {ok}));
  EXPECT_FALSE(PlayCompletionSound(sound, {failing}));
  EXPECT_FALSE(PlayCompletionSound(sound, {"no-such-player-here"}));
  EXPECT_FALSE(PlayCompletionSound(sound, {hanging})) << "ended after the sound's length";
}

}  // namespace
}  // namespace solvane
