#include "engine/EngineWorker.h"

#include <chrono>
#include <exception>

#include "tasks/EngineContext.h"
#include "tasks/ErrorNotes.h"

namespace solvane {

namespace {
constexpr int kResumePauseMs = 100;
constexpr std::chrono::milliseconds kFastIdleWait{10};

// A failed step ends with a note; the thread goes on with the next.
template <typename F>
void Noting(IEngineContext& ctx, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    NoteError(ctx, "任务引擎的一步出错", e.what());
  } catch (...) {
    NoteError(ctx, "任务引擎的一步出错", kUnknownErrorText);
  }
}
}  // namespace

void TOneShotWorker::Start() {
  m_thread = std::jthread([this](std::stop_token stop) { Body(stop); });
}

void TOneShotWorker::Stop() {
  if (!m_thread.joinable()) return;
  m_thread.request_stop();
  m_thread.join();
}

void TOneShotWorker::Wake() {
  {
    std::lock_guard lock(m_mutex);
    m_pending = true;
  }
  m_wake.notify_all();
}

bool TOneShotWorker::IsIdle() const {
  std::lock_guard lock(m_mutex);
  return !m_pending && !m_busy;
}

void TOneShotWorker::Body(std::stop_token stop) {
  while (!stop.stop_requested()) {
    {
      std::unique_lock lock(m_mutex);
      if (!m_wake.wait(lock, stop, [this] { return m_pending; })) return;
    }
    m_ctx.Pace(kResumePauseMs);
    {
      std::lock_guard lock(m_mutex);
      m_pending = false;
      m_busy = true;
    }
    Noting(m_ctx, [&] { Step(stop); });
    std::lock_guard lock(m_mutex);
    m_busy = false;
  }
}

void TLoopingWorker::Start() {
  m_thread = std::jthread([this](std::stop_token stop) { Body(stop); });
}

void TLoopingWorker::Stop() {
  if (!m_thread.joinable()) return;
  m_thread.request_stop();
  m_thread.join();
}

void TLoopingWorker::SetActive(bool on) {
  {
    std::lock_guard lock(m_mutex);
    m_active = on;
  }
  m_wake.notify_all();
}

bool TLoopingWorker::IsActive() const {
  std::lock_guard lock(m_mutex);
  return m_active;
}

void TLoopingWorker::Poke() {
  {
    std::lock_guard lock(m_mutex);
    m_poked = true;
  }
  m_wake.notify_all();
}

void TLoopingWorker::IdleWait(std::stop_token stop) {
  std::unique_lock lock(m_mutex);
  m_wake.wait_for(lock, stop, kFastIdleWait, [this] { return m_poked || !m_active; });
  m_poked = false;
}

void TLoopingWorker::Body(std::stop_token stop) {
  while (!stop.stop_requested()) {
    {
      std::unique_lock lock(m_mutex);
      if (!m_wake.wait(lock, stop, [this] { return m_active; })) return;
      m_poked = false;
    }
    bool worked = false;
    Noting(m_ctx, [&] { worked = Step(stop); });
    m_ctx.Pace(m_pauseMs);
    if (!worked && m_ctx.Pacing() == TPacing::Fast) IdleWait(stop);
  }
}

}  // namespace solvane
