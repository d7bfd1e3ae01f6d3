#pragma once
// The task engine: the dispatcher, the folder detector, the calc and check
// stages, the five transfer engines and the disk monitor, plus the current
// task they all work on. The shared state owns one and answers the engine
// questions of IEngineContext (CurrentTask, IsFolderDetectorIdle,
// IsCalcSlotEmpty) from it.
//
// Every thread exists from construction on and idles until woken. A run is
// one start of the current task; its serial tells the stages whether the task
// they hold is still the one to work on (see IsCurrentRunning).
//
// Lock order: a task's lock before the engine's and the stages' own locks.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "tasks/EngineContext.h"
#include "engine/Unit_Handler_MonitorDisk.h"
#include "engine/Unit_Handler_TaskCalc.h"
#include "engine/Unit_Handler_TaskCheck.h"
#include "engine/Unit_Handler_TaskDispatcher.h"
#include "engine/Unit_Handler_TaskFolderDetect.h"
#include "engine/Unit_Handler_TaskTrans.h"
#include "platform/Drives.h"

namespace solvane {

struct TEngineRun {
  TTaskObjectPtr Task;
  std::uint64_t Serial = 0;
};

class TTaskEngine {
 public:
  // REQUIRES: ctx and drives outlive the engine.
  explicit TTaskEngine(IEngineContext& ctx, IDrives& drives = PlatformDrives());
  ~TTaskEngine();
  TTaskEngine(const TTaskEngine&) = delete;
  TTaskEngine& operator=(const TTaskEngine&) = delete;

  // ---- What IEngineContext answers ----
  TTaskObjectPtr CurrentTask() const;
  bool IsFolderDetectorIdle() const;
  bool IsCalcSlotEmpty() const;

  // ---- Runs ----
  TEngineRun CurrentRun() const;
  // REQUIRES: the task's lock held (so its state cannot change meanwhile).
  // True when task is the current task of run serial and it is running.
  bool IsCurrentRunning(const TTaskObject& task, std::uint64_t serial) const;
  // Makes task the current task of a new run; returns the run's serial.
  std::uint64_t BeginRun(TTaskObjectPtr task);
  void ClearCurrentTask();
  // No stage holds work of the current run any more (detector, calc stage
  // and every transfer engine idle).
  bool IsPipelineSettled() const;

  // ---- Control ----
  // On (after login): loads the task list from the server, wakes the stages
  // and starts the dispatcher's cycles. Off: the dispatcher and the pipeline
  // go idle. Returns the result of the task list load (true when off).
  bool SetEngineActive(bool on);
  // On: wakes the folder detector, the calc stage, the check stage and the
  // transfer engines. Off: the check stage goes idle; the one-shot stages
  // end what they hold at their next check of the task.
  void SetPipelineRunning(bool on);
  // Starts the disk monitor with the "WarningSpace" threshold (MB); the
  // drive list and the threshold are read at the first start only.
  void StartDiskMonitor(std::int32_t warningSpaceMB);
  // Ends the current run (the task becomes terminated, no end report) and
  // joins every thread. Idempotent.
  void Stop();
  // A stage changed something the dispatcher or the check stage may act on.
  void NotifyWork();

  void SetCompletionSoundFile(std::string file);
  std::string CompletionSoundFile() const;

  TTaskDispatcher& Dispatcher() { return *m_dispatcher; }
  TTaskFolderDetector& FolderDetector() { return *m_detector; }
  TTaskCalcEngine& CalcEngine() { return *m_calc; }
  TTaskCheckEngine& CheckEngine() { return *m_check; }
  TTaskTransEngineList& TransEngines() { return m_engines; }
  TMonitorDiskThread& DiskMonitor() { return *m_monitor; }

 private:
  IEngineContext& m_ctx;
  mutable std::mutex m_mutex;
  TTaskObjectPtr m_current;
  std::uint64_t m_serial = 0;
  std::string m_soundFile;
  bool m_stopped = false;

  std::unique_ptr<TTaskDispatcher> m_dispatcher;
  std::unique_ptr<TTaskFolderDetector> m_detector;
  std::unique_ptr<TTaskCalcEngine> m_calc;
  std::unique_ptr<TTaskCheckEngine> m_check;
  TTaskTransEngineList m_engines;
  std::unique_ptr<TMonitorDiskThread> m_monitor;
};

}  // namespace solvane
