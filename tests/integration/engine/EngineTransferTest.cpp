// The whole engine against the real server: the dispatcher starts a task,
// the stages check and move its files, the run is reported; uploads come
// back byte-identical, an interrupted file resumes at the aligned position,
// and a download replaces its target only with a complete file. A file the
// engine cannot read or write fails alone, is reported, and the run goes on.

#include <gtest/gtest.h>

#include <cerrno>
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
using enginetest::TScriptedTask;
using enginetest::TTempDir;
using enginetest::WaitUntil;
using enginetest::WriteFile;

// The real files, except one: reading it breaks at a byte, it disappears or
// grows when the engine opens it, or the disk fills while it is written. The
// failing file is any whose path begins with the given one, so a restore
// target's partial download counts as the target.
class TOneFaultyFile : public TFileAccessWrapper {
 public:
  enum class TFault { None, ReadErrorAt, GoneWhenOpened, GrowsWhenOpened, DiskFullAt };

  TOneFaultyFile() : TFileAccessWrapper(PlatformFileAccess()) {}
  void Set(TFault fault, std::string path, std::int64_t at = 0) {
    std::lock_guard g(m_mutex);
    m_fault = fault;
    m_path = std::move(path);
    m_at = at;
  }

  std::unique_ptr<IReadableFile> OpenForReading(const std::string& path) override {
    const TFault fault = FaultOf(path);
    if (fault == TFault::GoneWhenOpened) Target().Remove(path);
    if (fault == TFault::GrowsWhenOpened) std::ofstream(path, std::ios::app) << "appended";
    auto file = Target().OpenForReading(path);
    if (!file || fault != TFault::ReadErrorAt) return file;
    return std::make_unique<TBadSectorFile>(std::move(file), At());
  }
  std::unique_ptr<IWritableFile> OpenForWriting(const std::string& path, bool truncate) override {
    auto file = Target().OpenForWriting(path, truncate);
    if (!file || FaultOf(path) != TFault::DiskFullAt) return file;
    return std::make_unique<TFullDiskFile>(std::move(file), At());
  }

 private:
  // A read that reaches the given offset fails (EIO), as at a bad sector.
  class TBadSectorFile : public IReadableFile {
   public:
    TBadSectorFile(std::unique_ptr<IReadableFile> file, std::int64_t at)
        : m_file(std::move(file)), m_at(at) {}
    std::int64_t ReadAt(std::int64_t offset, char* buffer, std::size_t size) override {
      if (offset + static_cast<std::int64_t>(size) <= m_at)
        return m_file->ReadAt(offset, buffer, size);
      errno = EIO;
      return -1;
    }

   private:
    std::unique_ptr<IReadableFile> m_file;
    std::int64_t m_at;
  };
  // Takes bytes up to the given file size, then fails with ENOSPC.
  class TFullDiskFile : public IWritableFile {
   public:
    TFullDiskFile(std::unique_ptr<IWritableFile> file, std::int64_t at)
        : m_file(std::move(file)), m_at(at) {}
    bool WriteAt(std::int64_t offset, std::string_view data) override {
      const std::int64_t room = std::max<std::int64_t>(0, m_at - offset);
      if (room >= static_cast<std::int64_t>(data.size())) return m_file->WriteAt(offset, data);
      m_file->WriteAt(offset, data.substr(0, static_cast<std::size_t>(room)));
      errno = ENOSPC;
      return false;
    }
    bool Close() override { return m_file->Close(); }

   private:
    std::unique_ptr<IWritableFile> m_file;
    std::int64_t m_at;
  };

  TFault FaultOf(const std::string& path) const {
    std::lock_guard g(m_mutex);
    return path.starts_with(m_path) ? m_fault : TFault::None;
  }
  std::int64_t At() const {
    std::lock_guard g(m_mutex);
    return m_at;
  }

  mutable std::mutex m_mutex;  // engine threads open files while the test sets the fault
  TFault m_fault = TFault::None;
  std::string m_path;
  std::int64_t m_at = 0;
};

class EngineOnServer : public enginetest::TEngineOnServer<TOneFaultyFile> {
 protected:
  std::shared_ptr<TScriptedTask> NewTask(std::uint8_t direction) {
    auto task = std::make_shared<TScriptedTask>(direction);
    task->TaskID = ctx.Tasks().NewTaskID(ctx.Now());
    task->TaskName = direction == 0 ? "backup" : "restore";
    ctx.Tasks().Add(task);
    return task;
  }
  std::shared_ptr<TScriptedTask> UploadTask(const std::vector<std::string>& files) {
    auto task = NewTask(0);
    task->Folders = {dir.Path()};
    task->Files[dir.Path()] = files;
    return task;
  }
  std::shared_ptr<TScriptedTask> DownloadTask(const std::string& original,
                                              const std::string& target) {
    auto task = NewTask(1);
    task->Folders = {"restore"};
    task->Downloads["restore"] = {
        {original, target, FileSizeOf(original), FileDateStamp(original, false)}};
    return task;
  }
  // Starts the task and waits until its end has been reported. Returns the
  // number of segments moved.
  int RunToEnd(const std::shared_ptr<TScriptedTask>& task, int stopAfter = -1) {
    WatchSegments(*task, stopAfter);
    EXPECT_TRUE(task->RequestStart(false, ctx.Now()));
    EXPECT_TRUE(WaitUntil(
        [&] { return task->State() == kStateTerminated && ctx.Engine().CurrentTask() == nullptr; },
        60s));
    return segments;
  }
  // The names of the run's failed files as the server recorded them.
  std::vector<std::string> ReportedFailures(const TTaskObject& task) {
    std::vector<std::string> names;
    for (const auto& failure : ReportedFailuresOf(task)) names.push_back(failure.name);
    return names;
  }
  // Why each failed, as the client told the server.
  std::vector<std::string> ReportedReasons(const TTaskObject& task) {
    std::vector<std::string> reasons;
    for (const auto& failure : ReportedFailuresOf(task)) reasons.push_back(failure.reason);
    return reasons;
  }
  std::string Restored(const std::string& original) {
    const std::string target = restoreDir.Path(FileNameOf(original));
    RunToEnd(DownloadTask(original, target));
    return ReadFile(target);
  }
};

TEST_F(EngineOnServer, FilesUploadAndComeBackByteIdenticalAndAnUnchangedRunSendsNothing) {
  const std::vector<std::pair<std::string, std::size_t>> files = {
      {"empty.txt", 0}, {"one-more.bin", 262145}, {"report.doc", 700000}};
  std::vector<std::string> paths;
  std::int64_t total = 0;
  for (const auto& [name, size] : files) {
    paths.push_back(dir.Path(name));
    WriteFile(paths.back(), PatternBytes(size, static_cast<unsigned>(size)));
    total += static_cast<std::int64_t>(size);
  }
  auto task = UploadTask(paths);
  EXPECT_EQ(RunToEnd(task), 2 + 3) << "segments";
  const auto& c = task->PostBag.Counters();
  EXPECT_EQ(c.TotalFileCount, 3);
  EXPECT_EQ(c.FileCheckedAndNeedUpCount, 3);
  EXPECT_EQ(c.FileDispatchedCount, 3);
  EXPECT_EQ(c.FileDoneCount, 3);
  EXPECT_EQ(c.FileErrorCount, 0);
  EXPECT_EQ(c.TotalDoneFileSize, total);

  for (const auto& path : paths) EXPECT_EQ(Restored(path), ReadFile(path)) << path;

  EXPECT_EQ(RunToEnd(task), 0);
  EXPECT_EQ(c.FileCheckedCount, 3);
  EXPECT_EQ(c.FileCheckedAndNoChangeCount, 3);
  EXPECT_EQ(c.FileDispatchedCount, 0);
}

TEST_F(EngineOnServer, FileStoppedMidwayFailsAndTheNextRunSendsOnlyTheMissingSegments) {
  const std::string path = dir.Path("big.iso");
  WriteFile(path, PatternBytes(3 * 1048576 + 1000, 9));  // 13 segments
  auto task = UploadTask({path});

  EXPECT_EQ(RunToEnd(task, 3), 3);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 0);

  EXPECT_EQ(RunToEnd(task), 10) << "resumed at byte 786 432, segment 4";
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 1);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
  EXPECT_EQ(Restored(path), ReadFile(path));
}

TEST_F(EngineOnServer, DownloadReplacesItsTargetOnlyWithACompleteFile) {
  const std::string original = dir.Path("ledger.xls");
  const std::string content = PatternBytes(600000, 5);
  WriteFile(original, content);
  RunToEnd(UploadTask({original}));

  struct TCase {
    const char* what;
    const char* overwrite;
    std::string before;   // the target's content first; none when empty
    std::string partial;  // this version's partial download first; none when empty
    std::string tmp;      // the "<target>.tmp" file's content first; none when empty
    std::string after;    // the target's content at the end
    std::string kept;     // the ".tmp" file's content at the end; none when empty
    int segments;
  };
  const std::string old = PatternBytes(600000, 6);
  const std::string oldWhole = PatternBytes(524288, 7);  // two whole segments
  const TCase cases[] = {
      {"same size, overwrite off: untouched", "0", old, "", "", old, "", 0},
      {"overwrite on keeps the previous copy", "1", old, "", "", content, old, 3},
      {"other size, overwrite off: replaced", "0", "short", "", "", content, "", 3},
      {"no target: fresh download", "0", "", "", "", content, "", 3},
      {"partial download of this version resumes after its whole segments", "0", "",
       content.substr(0, 262144) + "torn", "", content, "", 2},
      {"a kept previous copy of whole segments is never resumed from", "0", "", "", oldWhole,
       content, oldWhole, 3},
      {"an odd-sized .tmp beside a missing target is left alone", "0", "", "",
       old.substr(0, 300000), content, old.substr(0, 300000), 3},
  };
  const std::int64_t date = FileDateStamp(original, false);
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string target = restoreDir.Path("case" + std::to_string(++n) + ".xls");
    const std::string partial = PartialDownloadPath(target, 600000, date);
    if (!c.before.empty()) WriteFile(target, c.before);
    if (!c.partial.empty()) WriteFile(partial, c.partial);
    if (!c.tmp.empty()) WriteFile(target + ".tmp", c.tmp);
    // The task's own choice counts; the shared list says the opposite.
    const bool overwrite = std::string(c.overwrite) == "1";
    ctx.SetSharedParam("RestoreParams.Overwrite", overwrite ? "0" : "1");
    auto task = DownloadTask(original, target);
    task->RestoreInfo.Overwrite = overwrite;
    EXPECT_EQ(RunToEnd(task), c.segments);
    EXPECT_EQ(ReadFile(target), c.after);
    EXPECT_EQ(std::filesystem::exists(target + ".tmp"), !c.kept.empty());
    if (!c.kept.empty()) {
      EXPECT_EQ(ReadFile(target + ".tmp"), c.kept);
    }
    EXPECT_FALSE(std::filesystem::exists(partial));
    EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
    EXPECT_EQ(task->PostBag.Counters().FileDoneCount, c.segments > 0 ? 1 : 0);
  }
}

TEST_F(EngineOnServer, TwoDownloadsOfOneTargetRunOneAfterTheOther) {
  const std::string original = dir.Path("minutes.doc");
  const std::string content = PatternBytes(900000, 8);
  WriteFile(original, content);
  RunToEnd(UploadTask({original}));

  const std::string target = restoreDir.Path("minutes.doc");
  auto task = DownloadTask(original, target);
  task->Downloads["restore"].push_back(task->Downloads["restore"].front());
  task->RestoreInfo.Overwrite = true;
  RunToEnd(task);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 2);
  EXPECT_EQ(ReadFile(target), content);
  EXPECT_EQ(ReadFile(target + ".tmp"), content);  // the first, whole
}

TEST_F(EngineOnServer, DownloadStoppedMidwayLeavesNoTargetAndResumesFromThePartialFile) {
  const std::string original = dir.Path("video.mp4");
  WriteFile(original, PatternBytes(3 * 1048576, 11));  // 12 segments
  RunToEnd(UploadTask({original}));
  const std::string target = restoreDir.Path("video.mp4");

  auto first = DownloadTask(original, target);
  EXPECT_EQ(RunToEnd(first, 3), 3);
  EXPECT_EQ(first->PostBag.Counters().FileErrorCount, 1);
  EXPECT_FALSE(std::filesystem::exists(target));
  const std::string partial =
      PartialDownloadPath(target, 3 * 1048576, FileDateStamp(original, false));
  EXPECT_EQ(FileSizeOf(partial), 3 * 262144);

  auto second = DownloadTask(original, target);
  EXPECT_EQ(RunToEnd(second), 9);
  EXPECT_EQ(ReadFile(target), ReadFile(original));
  EXPECT_FALSE(std::filesystem::exists(partial));
  EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
}

TEST_F(EngineOnServer, BackupAndRestoreTasksOfTheFileClassesRunThroughTheEngine) {
  std::filesystem::create_directories(dir.Path("sub/deep"));
  const std::vector<std::pair<std::string, std::size_t>> files = {
      {"a.txt", 10}, {"sub/b.bin", 300000}, {"sub/deep/c.dat", 0}};
  for (const auto& [name, size] : files) WriteFile(dir.Path(name), PatternBytes(size, 4));

  auto backup = CreateTaskObject(kKindFileBackup, 0, "u1");
  backup->IsTemporary = true;
  backup->TaskID = ctx.Tasks().NewTaskID(ctx.Now());
  backup->FileObjects.Add(dir.Path(), 1);
  ctx.Tasks().Add(backup);
  ASSERT_TRUE(backup->RequestStart(false, ctx.Now()));
  ASSERT_TRUE(WaitUntil([&] { return ctx.Tasks().Count() == 0; }, 60s)) << "one-off task removed";
  EXPECT_EQ(backup->PostBag.Counters().FileDoneCount, 3);
  EXPECT_EQ(backup->FolderList.FolderTotalCount(), 3);

  auto restore = CreateTaskObject(kKindFileBackup, 1, "u1");
  restore->IsTemporary = true;
  restore->TaskID = ctx.Tasks().NewTaskID(ctx.Now());
  restore->RestoreInfo.IsDefine = 1;
  restore->RestoreInfo.CacheFolder = restoreDir.Path();
  restore->FileObjects.Items.push_back({dir.Path(), 1, -1, -1, -1});
  ctx.Tasks().Add(restore);
  ASSERT_TRUE(restore->RequestStart(false, ctx.Now()));
  ASSERT_TRUE(WaitUntil([&] { return ctx.Tasks().Count() == 0; }, 60s));
  EXPECT_EQ(restore->PostBag.Counters().FileDoneCount, 3);
  for (const auto& [name, size] : files)
    EXPECT_EQ(ReadFile(restoreDir.Path() + dir.Path(name)), ReadFile(dir.Path(name))) << name;
}

TEST_F(EngineOnServer, AFileThatCannotBeReadFailsAloneAndIsReported) {
  using TFault = TOneFaultyFile::TFault;
  struct TCase {
    const char* what;
    TFault fault;
    bool listedThenGone;  // removed before the calc stage queues it
    const char* reason;   // what the error report says (start of it); empty: any
  };
  const TCase cases[] = {
      {"read error half-way", TFault::ReadErrorAt, false, "读取文件出错"},
      {"gone when the engine opens it", TFault::GoneWhenOpened, false, "无法打开文件"},
      {"gone before it was queued", TFault::None, true, ""},
  };
  const std::string good = dir.Path("good.txt");
  WriteFile(good, PatternBytes(300000, 2));
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = "bad" + std::to_string(++n) + ".bin";
    const std::string bad = dir.Path(name);
    WriteFile(bad, PatternBytes(3 * 262144 + 10, n));
    if (c.listedThenGone) std::filesystem::remove(bad);
    faultyFiles.Set(c.fault, bad, 262144);
    auto task = UploadTask({bad, good});  // the good file after the bad one

    RunToEnd(task);
    const auto& counters = task->PostBag.Counters();
    EXPECT_EQ(counters.FileErrorCount, 1);
    EXPECT_EQ(counters.FileDoneCount + counters.FileCheckedAndNoChangeCount, 1) << "the good file";
    EXPECT_EQ(ReportedFailures(*task), std::vector<std::string>{name});
    const auto reasons = ReportedReasons(*task);
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_FALSE(reasons[0].empty()) << "a failed file names its reason";
    EXPECT_TRUE(reasons[0].starts_with(c.reason)) << reasons[0];
  }
  faultyFiles.Set(TFault::None, {});
  EXPECT_EQ(Restored(good), ReadFile(good));
}

TEST_F(EngineOnServer, AFileAppendedToAfterListingIsSentAsListed) {
  const std::string path = dir.Path("growing.log");
  const std::string listed = PatternBytes(262144 + 5, 6);
  WriteFile(path, listed);
  const std::int64_t listedDate = FileDateStamp(path, false);
  faultyFiles.Set(TOneFaultyFile::TFault::GrowsWhenOpened, path);
  auto task = UploadTask({path});
  EXPECT_EQ(RunToEnd(task), 2);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 1);
  faultyFiles.Set(TOneFaultyFile::TFault::None, {});
  const std::string target = restoreDir.Path("growing.log");
  auto restore = NewTask(1);
  restore->Folders = {"restore"};
  restore->Downloads["restore"] = {
      {path, target, static_cast<std::int64_t>(listed.size()), listedDate}};
  RunToEnd(restore);
  EXPECT_EQ(ReadFile(target), listed);
}

TEST_F(EngineOnServer, ARestoreOntoAFullDiskFailsThatFileAndGoesOn) {
  const std::string big = dir.Path("big.dat"), small = dir.Path("small.txt");
  WriteFile(big, PatternBytes(3 * 262144, 3));
  WriteFile(small, PatternBytes(1000, 4));
  RunToEnd(UploadTask({big, small}));

  const std::string bigTarget = restoreDir.Path("big.dat");
  const std::string smallTarget = restoreDir.Path("small.txt");
  faultyFiles.Set(TOneFaultyFile::TFault::DiskFullAt, bigTarget, 262144 + 100);
  auto task = NewTask(1);
  task->Folders = {"restore"};
  const std::int64_t bigDate = FileDateStamp(big, false), smallDate = FileDateStamp(small, false);
  task->Downloads["restore"] = {{big, bigTarget, FileSizeOf(big), bigDate},
                                {small, smallTarget, FileSizeOf(small), smallDate}};
  RunToEnd(task);

  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 1);
  EXPECT_FALSE(std::filesystem::exists(bigTarget)) << "no torn file in place of the target";
  EXPECT_EQ(ReadFile(smallTarget), ReadFile(small));
  EXPECT_EQ(ReportedFailures(*task), std::vector<std::string>{"big.dat"});
  EXPECT_EQ(ReportedReasons(*task), std::vector<std::string>{"写入文件出错（磁盘已满或无写权限）"});

  // With room again the next run resumes after the whole segments it kept.
  faultyFiles.Set(TOneFaultyFile::TFault::None, {});
  EXPECT_EQ(RunToEnd(DownloadTask(big, bigTarget)), 2);
  EXPECT_EQ(ReadFile(bigTarget), ReadFile(big));
}

}  // namespace
}  // namespace solvane
