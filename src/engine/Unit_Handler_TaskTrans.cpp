#include "engine/Unit_Handler_TaskTrans.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "engine/TaskEngine.h"
#include "api/UpDownApi.h"
#include "session/Unit_LocalHelpers.h"
#include "tasks/ErrorNotes.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

namespace {

namespace fs = std::filesystem;

// How long an engine waits for its own connection when another holder
// (a screen's call) has it for a moment.
constexpr std::chrono::milliseconds kConnectionWait{2000};

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               t0)
      .count();
}

// The server folder of a server path, without a trailing "/" ("/" for a
// file at the root; empty for a bare name, as share files are).
std::string ServerFolderOf(const std::string& serverPath) {
  const auto slash = serverPath.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : serverPath.substr(0, slash);
}

// Puts the complete download in place of the target. When the target
// existed and overwrite is on, the previous copy is kept as "<target>.tmp".
bool PutInPlace(IFileAccess& files, const std::string& target, const std::string& partial,
                bool keepPrevious) {
  if (keepPrevious && files.Exists(target)) {
    const std::string kept = target + ".tmp";
    if (files.Rename(target, kept)) return false;
    if (files.Rename(partial, target)) {
      files.Rename(kept, target);
      return false;
    }
    return true;
  }
  return !files.Rename(partial, target);
}

// Partial downloads of other versions of the targets are of no further use
// once they are restored: one listing of their folder for all of them.
void RemoveStalePartials(IFileAccess& files, const std::string& folder,
                         const std::set<std::string>& restoredNames) {
  for (const std::string& entry : files.NamesIn(folder)) {
    if (!entry.ends_with(".part")) continue;
    for (const std::string& name : restoredNames)
      if (IsPartialDownloadOf(entry, name)) {
        files.Remove((fs::path(folder) / entry).string());
        break;
      }
  }
}

void RemoveStalePartials(IFileAccess& files, const std::string& target) {
  const fs::path path(target);
  RemoveStalePartials(files, path.parent_path().string(), {path.filename().string()});
}

// The restored targets of a batch by folder, for one clean-up per folder.
class TRestoredFolders {
 public:
  void Add(const std::string& target) {
    const fs::path path(target);
    m_names[path.parent_path().string()].insert(path.filename().string());
  }
  void RemoveTheirStalePartials(IFileAccess& files) const {
    for (const auto& [folder, names] : m_names) RemoveStalePartials(files, folder, names);
  }

 private:
  std::map<std::string, std::set<std::string>> m_names;
};

constexpr const char* kWriteFailedText = "写入文件出错（磁盘已满或无写权限）";

// Puts a complete partial download of size bytes in place of its target.
// Empty when done; else why not. Stale partials of the target stay for the
// caller to remove.
std::string PlaceDownload(IFileAccess& files, const std::string& target,
                          const std::string& partial, std::int64_t size, bool overwrite) {
  // Beyond the received bytes a resumed partial may hold a torn tail.
  if (files.Resize(partial, size) || files.SizeOf(partial) != size) return kWriteFailedText;
  if (!PutInPlace(files, target, partial, overwrite)) return "无法替换目标文件 " + target;
  return {};
}

std::string TextOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return kUnknownErrorText;
  }
}

// The local targets being written now, over all engines. A claim holds
// its target until it ends.
class TTargetClaim {
 public:
  explicit TTargetClaim(std::string target) : m_target(std::move(target)) { Retry(); }
  ~TTargetClaim() {
    if (!m_held) return;
    std::lock_guard lock(Mutex());
    Targets().erase(m_target);
  }
  TTargetClaim(const TTargetClaim&) = delete;
  TTargetClaim& operator=(const TTargetClaim&) = delete;

  bool Held() const { return m_held; }
  void Retry() {
    std::lock_guard lock(Mutex());
    m_held = m_held || Targets().insert(m_target).second;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::set<std::string>& Targets() {
    static std::set<std::string> targets;
    return targets;
  }
  std::string m_target;
  bool m_held = false;
};

}  // namespace

std::int64_t SegmentCountOf(std::int64_t size) {
  return size <= 0 ? 0 : DivRoundUp(kSegmentSize, size);
}

std::int64_t FirstSegmentIndex(std::int64_t position) {
  return DivRoundUp(kSegmentSize, AlignToSegment(position));
}

void TTaskTransEngine::Assign(TTaskObjectPtr task, std::uint64_t run, TPostBagItemPtr item) {
  Assign(std::move(task), run, std::vector<TPostBagItemPtr>{std::move(item)});
}

void TTaskTransEngine::Assign(TTaskObjectPtr task, std::uint64_t run,
                              std::vector<TPostBagItemPtr> items) {
  {
    std::lock_guard lock(m_slotMutex);
    m_slot = {};
    m_slot.Task = std::move(task);
    m_slot.Run = run;
    m_slot.Item = items.empty() ? nullptr : items.front();
    m_slot.Items = std::move(items);
  }
  Wake();
}

TPostBagItemPtr TTaskTransEngine::Item() const {
  std::lock_guard lock(m_slotMutex);
  return m_slot.Item;
}

void TTaskTransEngine::Step(std::stop_token stop) {
  TJob job;
  {
    std::lock_guard lock(m_slotMutex);
    job = m_slot;
  }
  std::vector<TPostBagItemPtr> mine;
  std::uint8_t direction = 0;
  if (!job.Items.empty()) {
    auto lock = job.Task->Lock();
    const bool running = m_engine.IsCurrentRunning(*job.Task, job.Run);
    for (const TPostBagItemPtr& item : job.Items) {
      if (item->ItemState != kItemDispatched || item->EngineIndex != m_index) continue;
      if (running) {
        mine.push_back(item);
      } else {
        // Not begun before a pause or stop: back to the dispatcher, which
        // hands it out again when the run goes on.
        job.Task->PostBag.SetState(item, kItemChecked);
      }
    }
    if (!mine.empty()) {
      job.UCode = job.Task->UCode;
      job.TaskID = job.Task->TaskID;
      job.SessionID = job.Task->SessionID;
      job.TaskKind = job.Task->TaskKind;
      job.Overwrite = job.Task->RestoreInfo.Overwrite;
      direction = job.Task->TaskDirection;
    }
  }
  if (mine.size() == 1) {
    job.Item = mine.front();
    MoveOne(job, direction, stop);
  } else if (!mine.empty()) {
    MoveMany(job, mine, direction, stop);
  }
  {
    std::lock_guard lock(m_slotMutex);
    m_slot = {};
  }
  m_engine.NotifyWork();
}

void TTaskTransEngine::MoveOne(TJob& job, std::uint8_t direction, std::stop_token stop) {
  TOutcome outcome = TOutcome::Failed;
  m_failReason.clear();
  try {
    outcome = direction == 1 ? Download(job, stop) : Upload(job, stop);
  } catch (const std::exception& e) {
    outcome = Failed(std::string("传送出错：") + e.what());
    NoteError(m_ctx, "文件传送失败 " + job.Item->SourcePath, e.what());
  } catch (...) {
    outcome = Failed(std::string("传送出错：") + kUnknownErrorText);
    NoteError(m_ctx, "文件传送失败 " + job.Item->SourcePath, kUnknownErrorText);
  }
  Finish(job, outcome);
}

void TTaskTransEngine::MoveMany(TJob& job, const std::vector<TPostBagItemPtr>& items,
                                std::uint8_t direction, std::stop_token stop) {
  std::vector<TResult> results(items.size());
  std::exception_ptr error;
  try {
    if (direction == 1)
      DownloadMany(job, items, results, stop);
    else
      UploadMany(job, items, results, stop);
  } catch (...) {
    error = std::current_exception();
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    job.Item = items[i];
    TResult& r = results[i];
    if (error && r.Outcome == TOutcome::NotBegun) {
      // The files the error cut short fail; none of them is left half done
      // in place (downloads are renamed into place only when complete).
      const std::string text = TextOf(error);
      r = {TOutcome::Failed, "传送出错：" + text};
      NoteError(m_ctx, "文件传送失败 " + items[i]->SourcePath, text);
    }
    m_failReason = r.FailReason;
    Finish(job, r.Outcome);
  }
}

bool TTaskTransEngine::StillRunning(const TJob& job, std::stop_token stop) const {
  if (stop.stop_requested()) return false;
  auto lock = job.Task->Lock();
  return m_engine.IsCurrentRunning(*job.Task, job.Run);
}

void TTaskTransEngine::ShowProgress(const TJob& job, const std::string& object, std::int64_t pos,
                                    std::int64_t start, std::chrono::steady_clock::time_point t0) {
  const std::int64_t size = job.Item->ObjectSize;
  TTaskScreenContext c;
  c.CurrentObject = object;
  c.Percent =
      size <= 0 ? 100 : static_cast<std::int32_t>(std::min<std::int64_t>(100, pos * 100 / size));
  c.SpeedKBps = static_cast<std::int32_t>((pos - start) * 1000 / ((ElapsedMs(t0) + 1) * 1024));
  auto lock = job.Task->Lock();
  if (m_engine.IsCurrentRunning(*job.Task, job.Run)) job.Task->SetScreenContext(m_index, c);
}

namespace {

api::TUpObject UpObjectOf(const TPostBagItem& item, std::string runUser, std::int32_t taskId,
                          std::int16_t taskKind) {
  api::TUpObject object;
  object.UCode = std::move(runUser);
  object.TaskID = taskId;
  object.TaskKind = taskKind;
  object.ObjectName = FileNameOf(item.SourcePath);
  object.ObjectFolder = item.ObjectFolder;
  object.ObjectData = item.ObjectData;
  object.ObjectCargo = item.ObjectCargo;
  object.ObjectCargo2 = item.ObjectCargo2;
  object.ObjectSize = item.ObjectSize;
  object.ObjectDate = item.ObjectDate;
  return object;
}

api::TDownObject DownObjectOf(const TPostBagItem& item, const std::string& userCode,
                              std::int16_t taskKind) {
  api::TDownObject object;
  object.UCode = userCode;
  object.TaskKind = taskKind;
  object.ObjectName = FileNameOf(item.SourcePath);
  object.ObjectFolder = ServerFolderOf(item.SourcePath);
  object.ObjectData = item.ObjectData;
  object.ObjectCargo = item.ObjectCargo;
  object.ObjectCargo2 = item.ObjectCargo2;
  object.ObjectSize = item.ObjectSize;
  object.ObjectDate = item.ObjectDate;
  object.SegmentCount = SegmentCountOf(item.ObjectSize);
  return object;
}

}  // namespace

TTaskTransEngine::TOutcome TTaskTransEngine::Upload(const TJob& job, std::stop_token stop) {
  const TPostBagItem& item = *job.Item;
  if (IsFileLocked(item.SourcePath)) return Failed("文件正被其他程序使用");
  auto lease = m_ctx.Pool().FindByName("Trans" + std::to_string(m_index), kConnectionWait);
  if (!lease.Ready()) return Failed("无法连接服务器");
  const auto in = m_ctx.FileAccess().OpenForReading(item.SourcePath);
  if (!in) return Failed("无法打开文件（可能已被删除或移走）");

  const std::int64_t size = item.ObjectSize;
  const std::int64_t count = SegmentCountOf(size);
  std::int64_t pos = AlignToSegment(item.refPosition);
  std::int64_t k = FirstSegmentIndex(pos);
  const std::int64_t start = pos;
  const auto t0 = std::chrono::steady_clock::now();
  const std::string shown = job.TaskKind == kKindMailClient ? item.ObjectCargo2 : item.SourcePath;
  const api::TUpObject object =
      UpObjectOf(item, job.Task->RunUser(m_ctx), job.TaskID, job.TaskKind);
  std::string buffer(static_cast<std::size_t>(kSegmentSize), '\0');

  while (StillRunning(job, stop)) {
    // Only the bytes the file had when it was listed: the server refuses a
    // segment beyond the size sent, so a file appended to since would fail
    // on every run. A read error ends the loop like the end of the file:
    // the position stays short of the size and the file fails.
    const auto want =
        static_cast<std::size_t>(std::clamp<std::int64_t>(size - pos, 0, kSegmentSize));
    if (want == 0) break;
    const std::int64_t got = in->ReadAt(pos, buffer.data(), want);
    if (got < 0) return Failed("读取文件出错");
    if (got == 0) return Failed("文件在备份期间变短了");
    const api::TUpSegment segment{job.SessionID, count, k + 1, pos};
    const std::string_view bytes(buffer.data(), static_cast<std::size_t>(got));
    const api::TApiStatus sent = api::UpDownUpLoad(*lease, object, segment, bytes);
    if (!sent) return Failed("上传失败：" + sent.Describe());
    ++k;
    pos += got;
    job.Task->PostBag.Counters().BytesMoved += got;
    ShowProgress(job, shown, pos, start, t0);
    m_ctx.Pace(kSegmentPauseMs);
    if (pos >= size) break;
  }
  if (pos == size && (k == count || count == 0)) return TOutcome::Done;
  return Failed("上传未完成");
}

TTaskTransEngine::TOutcome TTaskTransEngine::Download(const TJob& job, std::stop_token stop) {
  const TPostBagItem& item = *job.Item;
  auto lease = m_ctx.Pool().FindByName("Trans" + std::to_string(m_index), kConnectionWait);
  if (!lease.Ready()) return Failed("无法连接服务器");

  const std::string& target = item.ObjectCargo;
  const std::int64_t size = item.ObjectSize;
  const std::string partial = PartialDownloadPath(target, size, item.ObjectDate);
  const bool overwrite = job.Overwrite;
  // Two items of one target (same-named files restored flat, two versions
  // of one file) would write one partial file at once: the second waits.
  TTargetClaim claim(target);
  while (!claim.Held()) {
    if (!StillRunning(job, stop)) return Failed("同一目标文件正在被另一下载写入");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    claim.Retry();
  }
  IFileAccess& files = m_ctx.FileAccess();
  if (!overwrite && files.SizeOf(target) >= 0 && files.SizeOf(target) == size)
    return TOutcome::Left;

  // Only a partial download of this version resumes, from its whole
  // segments; anything else starts from the first byte.
  std::int64_t pos = AlignToSegment(item.refPosition);
  if (pos >= size || files.SizeOf(partial) < pos) pos = 0;
  const fs::path parent = fs::path(target).parent_path();
  if (!parent.empty()) files.CreateFolders(parent.string());
  const auto out = files.OpenForWriting(partial, pos == 0);
  if (!out) return Failed("无法创建文件 " + partial);

  const std::int64_t count = SegmentCountOf(size);
  std::int64_t k = FirstSegmentIndex(pos);
  const std::int64_t start = pos;
  const auto t0 = std::chrono::steady_clock::now();
  const api::TDownObject object = DownObjectOf(item, job.UCode, job.TaskKind);
  bool answered = false;
  std::string data;
  while (StillRunning(job, stop) && lease->Connected()) {
    const api::TApiStatus received = api::UpDownDownLoad(*lease, object, k + 1, data);
    if (!received) {
      m_failReason = "下载失败：" + received.Describe();
      break;
    }
    answered = true;
    if (!data.empty()) {
      // A full disk or an I/O error fails the file; the partial download
      // keeps its whole segments for the next run.
      if (!out->WriteAt(pos, data)) return Failed("写入文件出错（磁盘已满或无写权限）");
    }
    ++k;
    pos += static_cast<std::int64_t>(data.size());
    job.Task->PostBag.Counters().BytesMoved += static_cast<std::int64_t>(data.size());
    ShowProgress(job, item.SourcePath, pos, start, t0);
    m_ctx.Pace(kSegmentPauseMs);
    if (data.empty() || k == count || pos >= size) break;
  }
  const bool closed = out->Close();
  const bool complete = (pos == size && k == count) || (count == 0 && answered);
  if (!closed) return Failed(kWriteFailedText);
  if (!complete) return Failed(m_failReason.empty() ? "下载未完成" : m_failReason);
  std::string placed = PlaceDownload(files, target, partial, size, overwrite);
  if (!placed.empty()) return Failed(std::move(placed));
  RemoveStalePartials(files, target);
  return TOutcome::Done;
}

void TTaskTransEngine::UploadMany(TJob& job, const std::vector<TPostBagItemPtr>& items,
                                  std::vector<TResult>& results, std::stop_token stop) {
  auto lease = m_ctx.Pool().FindByName("Trans" + std::to_string(m_index), kConnectionWait);
  if (!lease.Ready()) {
    for (TResult& r : results) r = {TOutcome::Failed, "无法连接服务器"};
    return;
  }
  const std::string runUser = job.Task->RunUser(m_ctx);
  std::vector<std::string> contents(items.size());
  std::vector<api::TUpObject> objects;
  std::vector<api::TUpSegment> segments;
  std::vector<std::string_view> bytes;
  std::vector<std::size_t> sent;  // index in items of each request
  for (std::size_t i = 0; i < items.size() && StillRunning(job, stop); ++i) {
    const TPostBagItem& item = *items[i];
    if (IsFileLocked(item.SourcePath)) {
      results[i] = {TOutcome::Failed, "文件正被其他程序使用"};
      continue;
    }
    const auto in = m_ctx.FileAccess().OpenForReading(item.SourcePath);
    if (!in) {
      results[i] = {TOutcome::Failed, "无法打开文件（可能已被删除或移走）"};
      continue;
    }
    // An empty file has no segment to send.
    if (item.ObjectSize <= 0) {
      results[i] = {TOutcome::Done, {}};
      continue;
    }
    // Only the bytes the file had when it was listed (see Upload).
    std::string& content = contents[i];
    content.resize(static_cast<std::size_t>(item.ObjectSize));
    const std::int64_t got = in->ReadAt(0, content.data(), content.size());
    if (got < 0) {
      results[i] = {TOutcome::Failed, "读取文件出错"};
      continue;
    }
    if (got < item.ObjectSize) {
      results[i] = {TOutcome::Failed, "文件在备份期间变短了"};
      continue;
    }
    objects.push_back(UpObjectOf(item, runUser, job.TaskID, job.TaskKind));
    segments.push_back({job.SessionID, 1, 1, 0});
    bytes.emplace_back(content);
    sent.push_back(i);
  }
  if (sent.empty()) return;
  const std::vector<api::TApiStatus> statuses =
      api::UpDownUpLoadMany(*lease, objects, segments, bytes);
  const auto t0 = std::chrono::steady_clock::now();
  for (std::size_t j = 0; j < sent.size(); ++j) {
    const std::size_t i = sent[j];
    if (!statuses[j]) {
      results[i] = {TOutcome::Failed, "上传失败：" + statuses[j].Describe()};
      continue;
    }
    const std::int64_t size = items[i]->ObjectSize;
    job.Task->PostBag.Counters().BytesMoved += size;
    results[i] = {TOutcome::Done, {}};
    job.Item = items[i];
    ShowProgress(job, job.TaskKind == kKindMailClient ? items[i]->ObjectCargo2 : items[i]->SourcePath,
                 size, 0, t0);
    m_ctx.Pace(kSegmentPauseMs);
  }
}

void TTaskTransEngine::DownloadMany(TJob& job, const std::vector<TPostBagItemPtr>& items,
                                    std::vector<TResult>& results, std::stop_token stop) {
  auto lease = m_ctx.Pool().FindByName("Trans" + std::to_string(m_index), kConnectionWait);
  if (!lease.Ready()) {
    for (TResult& r : results) r = {TOutcome::Failed, "无法连接服务器"};
    return;
  }
  IFileAccess& files = m_ctx.FileAccess();
  struct TPlanned {
    std::size_t index = 0;
    std::unique_ptr<TTargetClaim> claim;
    std::string partial;
  };
  std::vector<TPlanned> planned;
  std::vector<api::TDownObject> objects;
  std::vector<std::size_t> waiting;  // targets another download writes now
  std::set<std::string> madeFolders;
  for (std::size_t i = 0; i < items.size() && StillRunning(job, stop); ++i) {
    const TPostBagItem& item = *items[i];
    const std::string& target = item.ObjectCargo;
    auto claim = std::make_unique<TTargetClaim>(target);
    if (!claim->Held()) {
      waiting.push_back(i);
      continue;
    }
    if (!job.Overwrite && files.SizeOf(target) == item.ObjectSize && item.ObjectSize >= 0) {
      results[i] = {TOutcome::Left, {}};
      continue;
    }
    const std::string parent = fs::path(target).parent_path().string();
    if (!parent.empty() && madeFolders.insert(parent).second) files.CreateFolders(parent);
    planned.push_back({i, std::move(claim), PartialDownloadPath(target, item.ObjectSize, item.ObjectDate)});
    objects.push_back(DownObjectOf(item, job.UCode, job.TaskKind));
  }
  if (!objects.empty()) {
    std::vector<std::string> data;
    const std::vector<api::TApiStatus> statuses = api::UpDownDownLoadMany(*lease, objects, data);
    const auto t0 = std::chrono::steady_clock::now();
    TRestoredFolders restored;
    for (std::size_t j = 0; j < planned.size(); ++j) {
      const std::size_t i = planned[j].index;
      const TPostBagItem& item = *items[i];
      const std::string& partial = planned[j].partial;
      if (!statuses[j]) {
        results[i] = {TOutcome::Failed, "下载失败：" + statuses[j].Describe()};
        continue;
      }
      if (static_cast<std::int64_t>(data[j].size()) != item.ObjectSize) {
        results[i] = {TOutcome::Failed, "下载未完成"};
        continue;
      }
      const auto out = files.OpenForWriting(partial, true);
      if (!out) {
        results[i] = {TOutcome::Failed, "无法创建文件 " + partial};
        continue;
      }
      const bool written = data[j].empty() || out->WriteAt(0, data[j]);
      if (!out->Close() || !written) {
        results[i] = {TOutcome::Failed, kWriteFailedText};
        continue;
      }
      job.Task->PostBag.Counters().BytesMoved += item.ObjectSize;
      // Written whole into a file it truncated: no torn tail to cut.
      const bool put = PutInPlace(files, item.ObjectCargo, partial, job.Overwrite);
      if (put) restored.Add(item.ObjectCargo);
      results[i] = put ? TResult{TOutcome::Done, {}}
                       : TResult{TOutcome::Failed, "无法替换目标文件 " + item.ObjectCargo};
      job.Item = items[i];
      ShowProgress(job, item.SourcePath, item.ObjectSize, 0, t0);
      m_ctx.Pace(kSegmentPauseMs);
    }
    restored.RemoveTheirStalePartials(files);  // the claims are still held
  }
  planned.clear();  // lets go of the claims
  lease.Release();
  // One by one: each waits until the other download of its target ends.
  for (const std::size_t i : waiting) {
    job.Item = items[i];
    m_failReason.clear();
    const TOutcome outcome = Download(job, stop);
    results[i] = {outcome, m_failReason};
  }
}

void TTaskTransEngine::Finish(const TJob& job, TOutcome outcome) {
  TTaskObject& task = *job.Task;
  auto lock = task.Lock();
  // A run started since (the engine outlived the wait for it) keeps its
  // own queue and counters.
  if (!task.PostBag.Contains(job.Item)) return;
  TPostBagCounters& counters = task.PostBag.Counters();
  switch (outcome) {
    case TOutcome::Done:
      task.PostBag.SetState(job.Item, kItemDone);
      ++counters.FileDoneCount;
      counters.TotalDoneFileSize += job.Item->ObjectSize;
      task.PostBag.Remove(job.Item);
      break;
    case TOutcome::Failed:
      job.Item->FailReason = m_failReason.empty() ? "传送失败" : m_failReason;
      task.PostBag.SetState(job.Item, kItemFailed);
      ++counters.FileErrorCount;
      task.PostBag.MoveToErrorBag(job.Item, task.ErrorBag);
      break;
    case TOutcome::Left:
      task.PostBag.Remove(job.Item);
      break;
    case TOutcome::NotBegun:
      task.PostBag.SetState(job.Item, kItemChecked);
      break;
  }
}

void TTaskTransEngineList::CreateEngines(IEngineContext& ctx, TTaskEngine& engine) {
  for (int i = 0; i < kEngineCount; ++i)
    m_engines.push_back(std::make_unique<TTaskTransEngine>(ctx, engine, i));
}

TTaskTransEngine* TTaskTransEngineList::FirstIdleEngine() {
  for (auto& e : m_engines)
    if (e->IsIdle()) return e.get();
  return nullptr;
}

void TTaskTransEngineList::SetEnginesRunning(bool on) {
  if (!on) return;
  for (auto& e : m_engines)
    if (e->IsIdle()) e->Wake();
}

bool TTaskTransEngineList::AllIdle() const {
  return std::all_of(m_engines.begin(), m_engines.end(), [](const auto& e) { return e->IsIdle(); });
}

void TTaskTransEngineList::StartAll() {
  for (auto& e : m_engines) e->Start();
}

void TTaskTransEngineList::StopAll() {
  for (auto& e : m_engines) e->Stop();
}

}  // namespace solvane
