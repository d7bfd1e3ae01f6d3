// The fast profile against the real server: many small files checked and
// moved several at a time give the very files, counters and error reports
// the standard profile gives, and a stop during a batch of small files ends
// the run with every file either whole or not there.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <mutex>

#include "EngineOnServer.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using enginetest::PatternBytes;
using enginetest::ReadFile;
using enginetest::TTempDir;
using enginetest::WaitUntil;
using enginetest::WriteFile;
namespace fs = std::filesystem;

// Reading the one named file fails with EIO.
class TUnreadableFile : public TFileAccessWrapper {
 public:
  TUnreadableFile() : TFileAccessWrapper(PlatformFileAccess()) {}
  void Set(std::string path) {
    std::lock_guard g(m_mutex);
    m_path = std::move(path);
  }
  std::unique_ptr<IReadableFile> OpenForReading(const std::string& path) override {
    auto file = Target().OpenForReading(path);
    std::lock_guard g(m_mutex);
    if (!file || path != m_path) return file;
    return std::make_unique<TFailing>();
  }

 private:
  class TFailing : public IReadableFile {
   public:
    std::int64_t ReadAt(std::int64_t, char*, std::size_t) override {
      errno = EIO;
      return -1;
    }
  };
  std::mutex m_mutex;
  std::string m_path;
};

// A tree of small files: folders of a few dozen, sizes from empty to just
// over one segment.
std::vector<std::string> MakeTree(const std::string& root, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    const std::string name = "d" + std::to_string(i / 40) + "/f" + std::to_string(i) + ".dat";
    const std::size_t size = i == 7 ? 0 : i == 11 ? 262144 + 17 : 1 + (i * 2654435761u) % 16384;
    fs::create_directories(fs::path(root) / fs::path(name).parent_path());
    WriteFile(root + "/" + name, PatternBytes(size, static_cast<unsigned>(i + 1)));
    names.push_back(name);
  }
  return names;
}

// Each test sets the pacing it runs with.
class FastProfileOnServer : public enginetest::TEngineOnServer<TUnreadableFile> {
 protected:
  // Runs a one-off file task over folder (direction 0 backs it up, 1
  // restores it under restoreTo) to its end; the counters in report order.
  std::vector<std::int64_t> Run(std::uint8_t direction, const std::string& folder,
                                const std::string& restoreTo = {}, int stopAfter = -1) {
    auto task = CreateTaskObject(kKindFileBackup, direction, "u1");
    task->IsTemporary = true;
    task->TaskID = ctx.Tasks().NewTaskID(ctx.Now());
    if (direction == 0) {
      task->FileObjects.Add(folder, 1);
    } else {
      task->RestoreInfo.IsDefine = 1;
      task->RestoreInfo.CacheFolder = restoreTo;
      task->FileObjects.Items.push_back({folder, 1, -1, -1, -1});
    }
    WatchSegments(*task, stopAfter);
    ctx.Tasks().Add(task);
    EXPECT_TRUE(task->RequestStart(false, ctx.Now()));
    EXPECT_TRUE(WaitUntil([&] { return ctx.Tasks().Count() == 0; }, 60s)) << "run ended";
    lastFailures = ReportedFailures(*task);
    std::vector<std::int64_t> counters;
    for (const auto& [name, value] : task->PostBag.Counters().InOrder()) counters.push_back(value);
    return counters;
  }
  // "name: reason" of each failed file of the task's run.
  std::vector<std::string> ReportedFailures(const TTaskObject& task) {
    std::vector<std::string> reported;
    for (const auto& failure : ReportedFailuresOf(task))
      reported.push_back(failure.name + ": " + failure.reason);
    return reported;
  }

  std::vector<std::string> lastFailures;
};

TEST_F(FastProfileOnServer, GivesTheFilesCountersAndReportsOfTheStandardProfile) {
  constexpr int kFiles = 300;
  struct TProfileRun {
    TPacing pacing;
    std::string root;
    std::vector<std::vector<std::int64_t>> counters;  // first, unchanged, changed, restore
    std::vector<std::vector<std::string>> failures;
  };
  TProfileRun runs[] = {{TPacing::Fast, dir.Path("fast"), {}, {}},
                        {TPacing::Standard, dir.Path("standard"), {}, {}}};
  for (TProfileRun& run : runs) {
    SCOPED_TRACE(run.pacing == TPacing::Fast ? "fast" : "standard");
    ctx.SetPacing(run.pacing);
    const std::vector<std::string> names = MakeTree(run.root, kFiles);
    // One file cannot be read: it fails alone, with the same report.
    faultyFiles.Set(run.root + "/" + names[5]);
    auto step = [&](std::uint8_t direction, const std::string& to = {}) {
      run.counters.push_back(Run(direction, run.root, to));
      run.failures.push_back(lastFailures);
    };
    step(0);
    faultyFiles.Set({});
    step(0);
    // 1% changed: three files get new content of another size.
    for (int i : {3, 150, 299})
      WriteFile(run.root + "/" + names[i], PatternBytes(5000 + i, 99));
    step(0);
    step(1, restoreDir.Path(run.pacing == TPacing::Fast ? "fast" : "standard"));
    const std::string restored = restoreDir.Path(run.pacing == TPacing::Fast ? "fast" : "standard");
    for (const std::string& name : names)
      EXPECT_EQ(ReadFile(restored + run.root + "/" + name), ReadFile(run.root + "/" + name))
          << name;
  }
  const TProfileRun& fast = runs[0];
  const TProfileRun& standard = runs[1];
  EXPECT_EQ(fast.counters, standard.counters);
  ASSERT_EQ(fast.failures.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    // The failed file's name is the same in both trees.
    EXPECT_EQ(fast.failures[i], standard.failures[i]) << "step " << i;
  }
  EXPECT_EQ(fast.failures[0].size(), 1u);
  EXPECT_EQ(fast.counters[0][0], kFiles) << "TotalFileCount of the first backup";
  EXPECT_EQ(fast.counters[0][7], kFiles - 1) << "FileDoneCount: all but the unreadable";
  EXPECT_EQ(fast.counters[1][7], 1) << "the unreadable file is sent in the second run";
  EXPECT_EQ(fast.counters[2][7], 3) << "only the changed files are sent";
  EXPECT_EQ(fast.counters[3][7], kFiles);
}

TEST_F(FastProfileOnServer, StopDuringABatchLeavesEveryFileWholeOrAbsent) {
  ctx.SetPacing(TPacing::Fast);
  const std::string root = dir.Path("src");
  const std::vector<std::string> names = MakeTree(root, 200);

  const auto first = Run(0, root, {}, 30);
  const std::int64_t done = first[7];
  EXPECT_GE(done, 30);
  EXPECT_LT(done, 200) << "the stop took effect before the end of the run";
  // What the server holds comes back whole: every file counted done, and an
  // empty file the server took at its check even if the stop came before
  // the engine counted it.
  const std::string partRestore = restoreDir.Path("part");
  const auto restoredPart = Run(1, root, partRestore);
  int present = 0;
  for (const std::string& name : names) {
    const std::string target = partRestore + root + "/" + name;
    if (!fs::exists(target)) continue;
    ++present;
    EXPECT_EQ(ReadFile(target), ReadFile(root + "/" + name)) << name;
  }
  EXPECT_EQ(restoredPart[7], present);
  EXPECT_GE(present, done);

  // The next run sends only the rest.
  const auto second = Run(0, root);
  EXPECT_EQ(second[7], 200 - present);
  EXPECT_EQ(second[8], 0);

  // A restore stopped in a batch: targets are whole or absent, and no kept
  // copy is left beside them. Only the file of several segments, when the
  // stop came amid its download, keeps a partial download to resume from:
  // its whole segments, a prefix of the file.
  const std::string stopped = restoreDir.Path("stopped");
  const auto cut = Run(1, root, stopped, 30);
  EXPECT_LT(cut[7], 200);
  int restored = 0;
  const std::string multiSegment = "d0/f11.dat";
  for (const auto& entry : fs::recursive_directory_iterator(stopped)) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    ASSERT_TRUE(path.starts_with(stopped + root + "/")) << path;
    const std::string name = path.substr((stopped + root + "/").size());
    if (name.ends_with(".part")) {
      EXPECT_TRUE(name.starts_with(multiSegment + "."))
          << "partial download of a small file: " << name;
      const std::string original = ReadFile(root + "/" + multiSegment);
      const std::string partial = ReadFile(path);
      EXPECT_LE(partial.size(), original.size());
      EXPECT_TRUE(original.starts_with(partial)) << "a partial download holds the first bytes";
      continue;
    }
    EXPECT_EQ(ReadFile(path), ReadFile(root + "/" + name)) << "whole: " << name;
    ++restored;
  }
  EXPECT_EQ(restored, cut[7]);
}

// Partial downloads of other versions of a restored file are removed with it,
// whether it came in a batch of small files or alone in segments; partial
// downloads of files not restored and look-alike names stay.
TEST_F(FastProfileOnServer, ARestoreRemovesThePartialDownloadsOfOtherVersionsOfWhatItRestored) {
  ctx.SetPacing(TPacing::Fast);
  const std::string root = dir.Path("src");
  const std::vector<std::string> names = MakeTree(root, 50);
  Run(0, root);
  const std::string restored = restoreDir.Path("r") + root;
  const std::vector<std::string> stale = {"d0/f3.dat.999-123.part", "d0/f3.dat.1-2.part",
                                          "d1/f45.dat.77--5.part", "d0/f11.dat.5-6.part"};
  const std::vector<std::string> kept = {"d0/notes.part", "d0/f1.dat.x-1.part",
                                         "d0/gone.dat.5-6.part", "d1/f4.dat.1-2.part",
                                         "d0/f3.dat.1-2.part.old"};
  fs::create_directories(restored + "/d0");
  fs::create_directories(restored + "/d1");
  for (const auto& name : stale) WriteFile(restored + "/" + name, "old");
  for (const auto& name : kept) WriteFile(restored + "/" + name, "keep");
  const auto counters = Run(1, root, restoreDir.Path("r"));
  EXPECT_EQ(counters[7], 50);
  for (const auto& name : names)
    EXPECT_EQ(ReadFile(restored + "/" + name), ReadFile(root + "/" + name));
  for (const auto& name : stale) EXPECT_FALSE(fs::exists(restored + "/" + name)) << name;
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(restored + "/" + name)) << name;
}

}  // namespace
}  // namespace solvane
