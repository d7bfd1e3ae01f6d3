#pragma once
// The folder detector: turns the current task's selection into folder
// entries (the task's DetectFolders), once per run.

#include <cstdint>

#include "engine/EngineWorker.h"

namespace solvane {

class TTaskEngine;

class TTaskFolderDetector : public TOneShotWorker {
 public:
  TTaskFolderDetector(IEngineContext& ctx, TTaskEngine& engine)
      : TOneShotWorker(ctx), m_engine(engine) {}
  ~TTaskFolderDetector() override { Stop(); }

 protected:
  void Step(std::stop_token stop) override;

 private:
  TTaskEngine& m_engine;
  std::uint64_t m_detectedRun = 0;  // the worker thread's own
};

}  // namespace solvane
