#include "engine/Unit_Handler_TaskFolderDetect.h"

#include "engine/TaskEngine.h"
#include "tasks/ErrorNotes.h"

namespace solvane {

void TTaskFolderDetector::Step(std::stop_token) {
  const TEngineRun run = m_engine.CurrentRun();
  if (!run.Task || run.Serial == m_detectedRun) return;  // once per run
  {
    auto lock = run.Task->Lock();
    if (!m_engine.IsCurrentRunning(*run.Task, run.Serial)) return;
  }
  m_detectedRun = run.Serial;
  try {
    run.Task->DetectFolders(m_ctx);
  } catch (const std::exception& e) {
    // The walk ends; the folders found so far stay.
    NoteError(m_ctx, "文件夹扫描出错", e.what());
  } catch (...) {
    NoteError(m_ctx, "文件夹扫描出错", kUnknownErrorText);
  }
  m_engine.NotifyWork();
}

}  // namespace solvane
