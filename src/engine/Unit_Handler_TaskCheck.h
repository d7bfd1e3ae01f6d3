#pragma once
// The check stage: asks the server, one queued upload per step, whether the
// file must be sent and from which byte ("TUpDown.Check").

#include <cstdint>

#include "engine/EngineWorker.h"
#include "tasks/TPostBag.h"

namespace solvane {

class TTaskEngine;

// The resume position of a check reply, aligned down to a whole segment so
// that segment numbers and byte positions agree; never below 0.
std::int64_t AlignToSegment(std::int64_t position);

class TTaskCheckEngine : public TLoopingWorker {
 public:
  static constexpr int kStepPauseMs = 100;

  TTaskCheckEngine(IEngineContext& ctx, TTaskEngine& engine)
      : TLoopingWorker(ctx, kStepPauseMs), m_engine(engine) {}
  ~TTaskCheckEngine() override { Stop(); }

  // One check (the thread's step); true when an item was checked or failed.
  bool CheckOne();

 protected:
  bool Step(std::stop_token) override { return CheckOne(); }

 private:
  TTaskEngine& m_engine;
};

}  // namespace solvane
