#pragma once
// The transfer engines: each moves one queue item of the current task at a
// time, in segments of 262 144 bytes, on its own "Trans" connection (engine
// i uses "Trans" + i). Under the fast profile the dispatcher may hand one
// engine several small files (one segment each) at once: they travel in one
// request of many files on the engine's connection (api::UpDownUpLoadMany,
// UpDownDownLoadMany).

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/EngineWorker.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TTaskEngine;
class TQorTCPClient;

// Segment arithmetic. Positions are aligned down to a segment start, so the
// first segment's number and its byte offset agree.
std::int64_t SegmentCountOf(std::int64_t size);
std::int64_t FirstSegmentIndex(std::int64_t position);  // 0-based

class TTaskTransEngine : public TOneShotWorker {
 public:
  static constexpr int kSegmentPauseMs = 10;

  TTaskTransEngine(IEngineContext& ctx, TTaskEngine& engine, int index)
      : TOneShotWorker(ctx), m_engine(engine), m_index(index) {}
  ~TTaskTransEngine() override { Stop(); }

  int Index() const { return m_index; }
  // Hands the item of the run's task to this engine and wakes it.
  // REQUIRES: the engine is idle (only the dispatcher assigns).
  void Assign(TTaskObjectPtr task, std::uint64_t run, TPostBagItemPtr item);
  // Several small files (each at most one segment) at once.
  void Assign(TTaskObjectPtr task, std::uint64_t run, std::vector<TPostBagItemPtr> items);
  // The item being moved (the first of several); null when none.
  TPostBagItemPtr Item() const;

 protected:
  void Step(std::stop_token stop) override;

 private:
  // NotBegun: a file of several the run's pause or stop came before; it
  // goes back to the dispatcher.
  enum class TOutcome { Done, Failed, Left, NotBegun };
  struct TResult {
    TOutcome Outcome = TOutcome::NotBegun;
    std::string FailReason;
  };
  struct TJob {
    TTaskObjectPtr Task;
    std::uint64_t Run = 0;
    std::vector<TPostBagItemPtr> Items;  // as assigned
    TPostBagItemPtr Item;                // the one being moved
    // The task's values, read under its lock at the start.
    std::string UCode;
    std::int32_t TaskID = -1;
    std::int32_t SessionID = -1;
    std::int16_t TaskKind = -1;
    bool Overwrite = false;  // a restore replaces a file that is there
  };

  void MoveOne(TJob& job, std::uint8_t direction, std::stop_token stop);
  void MoveMany(TJob& job, const std::vector<TPostBagItemPtr>& items, std::uint8_t direction,
                std::stop_token stop);
  TOutcome Upload(const TJob& job, std::stop_token stop);
  TOutcome Download(const TJob& job, std::stop_token stop);
  void UploadMany(TJob& job, const std::vector<TPostBagItemPtr>& items,
                  std::vector<TResult>& results, std::stop_token stop);
  void DownloadMany(TJob& job, const std::vector<TPostBagItemPtr>& items,
                    std::vector<TResult>& results, std::stop_token stop);
  bool StillRunning(const TJob& job, std::stop_token stop) const;
  void ShowProgress(const TJob& job, const std::string& object, std::int64_t pos,
                    std::int64_t start, std::chrono::steady_clock::time_point t0);
  void Finish(const TJob& job, TOutcome outcome);
  // Notes why the current job failed, for its error report.
  TOutcome Failed(std::string reason) {
    m_failReason = std::move(reason);
    return TOutcome::Failed;
  }

  TTaskEngine& m_engine;
  const int m_index;
  std::string m_failReason;  // of the job this engine runs now
  mutable std::mutex m_slotMutex;
  TJob m_slot;
};

class TTaskTransEngineList {
 public:
  static constexpr int kEngineCount = 5;

  // Five engines with Index 0 to 4, idle.
  void CreateEngines(IEngineContext& ctx, TTaskEngine& engine);
  // The first idle engine in list order; null when all are busy.
  TTaskTransEngine* FirstIdleEngine();
  // On: wakes every idle engine. Off: nothing to do, an engine ends its item
  // at its next check of the task.
  void SetEnginesRunning(bool on);
  bool AllIdle() const;
  void StartAll();
  void StopAll();

  std::size_t Count() const { return m_engines.size(); }
  TTaskTransEngine& operator[](std::size_t i) { return *m_engines[i]; }

 private:
  std::vector<std::unique_ptr<TTaskTransEngine>> m_engines;
};

}  // namespace solvane
