#include "engine/TaskEngine.h"

#include "platform/CompletionSound.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {

TTaskEngine::TTaskEngine(IEngineContext& ctx, IDrives& drives)
    : m_ctx(ctx), m_soundFile(DefaultCompletionSoundFile()) {
  m_dispatcher = std::make_unique<TTaskDispatcher>(ctx, *this);
  m_detector = std::make_unique<TTaskFolderDetector>(ctx, *this);
  m_calc = std::make_unique<TTaskCalcEngine>(ctx, *this);
  m_check = std::make_unique<TTaskCheckEngine>(ctx, *this);
  m_engines.CreateEngines(ctx, *this);
  m_monitor = std::make_unique<TMonitorDiskThread>(ctx, drives);
  m_dispatcher->Start();
  m_detector->Start();
  m_calc->Start();
  m_check->Start();
  m_engines.StartAll();
}

TTaskEngine::~TTaskEngine() { Stop(); }

TTaskObjectPtr TTaskEngine::CurrentTask() const {
  std::lock_guard lock(m_mutex);
  return m_current;
}

bool TTaskEngine::IsFolderDetectorIdle() const { return m_detector->IsIdle(); }

bool TTaskEngine::IsCalcSlotEmpty() const { return m_calc->IsSlotEmpty(); }

TEngineRun TTaskEngine::CurrentRun() const {
  std::lock_guard lock(m_mutex);
  return {m_current, m_serial};
}

bool TTaskEngine::IsCurrentRunning(const TTaskObject& task, std::uint64_t serial) const {
  {
    std::lock_guard lock(m_mutex);
    if (m_current.get() != &task || m_serial != serial) return false;
  }
  return task.State() == kStateRunning;
}

std::uint64_t TTaskEngine::BeginRun(TTaskObjectPtr task) {
  std::lock_guard lock(m_mutex);
  m_current = std::move(task);
  return ++m_serial;
}

void TTaskEngine::ClearCurrentTask() {
  std::lock_guard lock(m_mutex);
  m_current.reset();
}

bool TTaskEngine::IsPipelineSettled() const {
  return m_detector->IsIdle() && m_calc->IsIdle() && m_engines.AllIdle();
}

bool TTaskEngine::SetEngineActive(bool on) {
  if (!on) {
    m_dispatcher->SetActive(false);
    SetPipelineRunning(false);
    return true;
  }
  const bool loaded = m_ctx.Tasks().LoadFromServer(m_ctx);
  SetPipelineRunning(true);
  m_dispatcher->SetActive(true);
  return loaded;
}

void TTaskEngine::SetPipelineRunning(bool on) {
  if (on) {
    m_detector->Wake();
    m_calc->Wake();
    m_check->SetActive(true);
    m_engines.SetEnginesRunning(true);
  } else {
    m_engines.SetEnginesRunning(false);
    m_check->SetActive(false);
    m_calc->ClearSlotWhenIdle();
  }
}

void TTaskEngine::StartDiskMonitor(std::int32_t warningSpaceMB) {
  m_monitor->Start(warningSpaceMB);
}

void TTaskEngine::Stop() {
  {
    std::lock_guard lock(m_mutex);
    if (m_stopped) return;
    m_stopped = true;
  }
  m_dispatcher->Stop();
  // Walks and transfers end at their next look at the task's state.
  if (auto current = CurrentTask()) current->RequestStop(true);
  m_monitor->Stop();
  m_check->Stop();
  m_calc->Stop();
  m_detector->Stop();
  m_engines.StopAll();
}

void TTaskEngine::NotifyWork() {
  m_dispatcher->Poke();
  m_check->Poke();
}

void TTaskEngine::SetCompletionSoundFile(std::string file) {
  std::lock_guard lock(m_mutex);
  m_soundFile = std::move(file);
}

std::string TTaskEngine::CompletionSoundFile() const {
  std::lock_guard lock(m_mutex);
  return m_soundFile;
}

}  // namespace solvane
