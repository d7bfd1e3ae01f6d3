#pragma once
// The threads under the engine's stages. Each is a std::jthread that idles
// on a condition variable instead of being suspended, so whether it is idle
// can be read at any time and waking it is safe at any moment.
//
//  - TOneShotWorker (folder detector, calc stage, transfer engines): every
//    Wake runs one step, after the resume pause; idle between steps. A Wake
//    during a step runs the step once more afterwards.
//  - TLoopingWorker (dispatcher, check stage): while active, runs a step and
//    then its pause, again and again; idle while inactive. Under the fast
//    profile a step that found no work waits for a Poke (or 10 ms) instead,
//    so an idle loop does not spin.

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace solvane {

class IEngineContext;

class TOneShotWorker {
 public:
  virtual ~TOneShotWorker() = default;
  TOneShotWorker(const TOneShotWorker&) = delete;
  TOneShotWorker& operator=(const TOneShotWorker&) = delete;

  // REQUIRES: once, after the derived object is complete.
  void Start();
  // Asks the thread to end and joins it; a running step sees its stop token.
  // Idempotent. REQUIRES: not called from the worker's own thread.
  void Stop();
  void Wake();
  // No step pending and none running.
  bool IsIdle() const;

 protected:
  explicit TOneShotWorker(IEngineContext& ctx) : m_ctx(ctx) {}
  // Errors raised by the step are swallowed.
  virtual void Step(std::stop_token stop) = 0;

  IEngineContext& m_ctx;

 private:
  void Body(std::stop_token stop);

  mutable std::mutex m_mutex;
  std::condition_variable_any m_wake;
  bool m_pending = false;
  bool m_busy = false;
  std::jthread m_thread;
};

class TLoopingWorker {
 public:
  virtual ~TLoopingWorker() = default;
  TLoopingWorker(const TLoopingWorker&) = delete;
  TLoopingWorker& operator=(const TLoopingWorker&) = delete;

  void Start();
  void Stop();
  void SetActive(bool on);
  bool IsActive() const;
  // New work may be there: ends the idle wait of the fast profile.
  void Poke();

 protected:
  TLoopingWorker(IEngineContext& ctx, int pauseMs) : m_ctx(ctx), m_pauseMs(pauseMs) {}
  // Returns true when the step did some work. Errors raised are swallowed.
  virtual bool Step(std::stop_token stop) = 0;

  IEngineContext& m_ctx;

 private:
  void Body(std::stop_token stop);
  void IdleWait(std::stop_token stop);

  const int m_pauseMs;
  mutable std::mutex m_mutex;
  std::condition_variable_any m_wake;
  bool m_active = false;
  bool m_poked = false;
  std::jthread m_thread;
};

}  // namespace solvane
