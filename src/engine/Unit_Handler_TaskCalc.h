#pragma once
// The calc stage: queues the files of one folder entry of the current task
// at a time (the task's CalcFolder; a sync upload reports the folder's
// listing first). The dispatcher fills its one slot and wakes it.

#include <cstdint>
#include <mutex>

#include "engine/EngineWorker.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TTaskEngine;

class TTaskCalcEngine : public TOneShotWorker {
 public:
  static constexpr int kFolderCheckAttempts = 5;

  TTaskCalcEngine(IEngineContext& ctx, TTaskEngine& engine)
      : TOneShotWorker(ctx), m_engine(engine) {}
  ~TTaskCalcEngine() override { Stop(); }

  // Fills the slot with an entry of the run's task and wakes the stage.
  void Assign(TTaskObjectPtr task, std::uint64_t run, TFolderObjectPtr entry);
  bool IsSlotEmpty() const;
  // Empties the slot unless a step works on it.
  void ClearSlotWhenIdle();

 protected:
  void Step(std::stop_token stop) override;

 private:
  struct TSlot {
    TTaskObjectPtr Task;
    std::uint64_t Run = 0;
    TFolderObjectPtr Entry;
  };
  TSlot TakeSlotCopy() const;
  void ClearSlot();

  TTaskEngine& m_engine;
  mutable std::mutex m_slotMutex;
  TSlot m_slot;
};

}  // namespace solvane
