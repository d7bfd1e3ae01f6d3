#pragma once
// The check stage: asks the server whether each queued upload must be sent
// and from which byte ("TUpDown.Check"). Under the standard profile one
// check per step; under the fast profile a step sends the checks of up to
// kChecksInFlight queued files in one request (api::UpDownCheckMany), one
// round trip for them all.

#include <cstddef>
#include <cstdint>

#include "api/UpDownApi.h"
#include "engine/EngineWorker.h"
#include "tasks/TPostBag.h"

namespace solvane {

class TTaskEngine;
class TTaskObject;

// The resume position of a check reply, aligned down to a whole segment so
// that segment numbers and byte positions agree; never below 0.
std::int64_t AlignToSegment(std::int64_t position);

class TTaskCheckEngine : public TLoopingWorker {
 public:
  static constexpr int kStepPauseMs = 100;
  static constexpr std::size_t kChecksInFlight = 64;
  static constexpr int kPublicKind = 1;

  TTaskCheckEngine(IEngineContext& ctx, TTaskEngine& engine)
      : TLoopingWorker(ctx, kStepPauseMs), m_engine(engine) {}
  ~TTaskCheckEngine() override { Stop(); }

  // One step of checks (one, or many under the fast profile); true when an
  // item was checked or failed.
  bool CheckOne();

 protected:
  bool Step(std::stop_token) override { return CheckOne(); }

 private:
  bool CheckMany();
  // REQUIRES: the task's lock held.
  bool TakeAnswer(TTaskObject& task, std::uint64_t serial, const TPostBagItemPtr& item,
                  const api::TApiResult<api::TCheckAnswer>& answer);

  TTaskEngine& m_engine;
};

}  // namespace solvane
