#pragma once
// Bookkeeping of the call channel: traffic meters and the list of calls that
// wait for their reply on one connection.
//
// The list is shared by the calling threads (start, wait, remove) and the
// connection's reader thread (look up, deliver, fail all); one mutex guards it
// and one condition variable wakes the callers.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace solvane {

// Bytes per second over the last minute: 60 one-second counters, the newest
// last.
class TQorNetMeter {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr std::size_t kSeconds = 60;

  // Adds n bytes to the counter of the current second. Counters of seconds
  // that passed since the last update move towards the oldest; a pause of a
  // minute or more clears them all.
  void Add(std::int64_t n) { AddAt(n, TClock::now()); }
  void AddAt(std::int64_t n, TClock::time_point now);

  std::array<std::int32_t, kSeconds> Counters() const;
  // Sum of all 60 counters.
  std::int64_t Total() const;

 private:
  mutable std::mutex m_mutex;
  std::array<std::int32_t, kSeconds> m_counters{};
  std::optional<std::int64_t> m_lastSecond;  // whole seconds of the last update
};

// One call that waits for its reply.
struct TQorNetContext {
  static constexpr int kWaiting = 0;
  static constexpr int kArrived = 4;
  static constexpr int kConnectionLost = 5;  // the connection dropped first

  explicit TQorNetContext(std::int64_t id) : Id(id) {}

  const std::int64_t Id;
  std::atomic<int> State{kWaiting};
  const std::chrono::steady_clock::time_point Created = std::chrono::steady_clock::now();
  // Written by the reader before State turns kArrived; read by the caller
  // after it saw kArrived.
  std::string Buffer;  // the reply's frame bytes
  std::string Extra;   // the reply's extra data, empty when it has none
};

// The waiting calls of one connection and its three call counters.
class TQorNetContextList {
 public:
  using TContext = std::shared_ptr<TQorNetContext>;
  using TDeadline = std::optional<std::chrono::steady_clock::time_point>;

  // Lets calls start again (the connection came up).
  void Open();
  // The connection went down: refuses new calls and fails every waiting one
  // at once.
  void CloseAndFailAll();

  // Numbers a new call (the calls-started counter, from 1, never reused) and
  // adds it. nullptr, and no number used, while the list is closed.
  TContext Start();
  void Remove(const TContext& context);

  // Whether a call with this Id is waiting (the reader asks before it keeps a
  // reply's body).
  bool IsWaiting(std::int64_t id) const;
  // Hands a reply to its waiting call and wakes it. False when no call with
  // this Id waits any more.
  bool Deliver(std::int64_t id, std::string frame, std::string extra);

  // Blocks until the call is no longer waiting or the deadline (none: no
  // limit) passes. Returns the call's state.
  int WaitUntil(const TQorNetContext& context, TDeadline deadline);

  void CountFailed() { m_callsFailed.fetch_add(1, std::memory_order_relaxed); }

  std::size_t Count() const;
  std::int64_t CallsStarted() const { return m_callsStarted.load(); }
  std::int64_t RepliesReceived() const { return m_repliesReceived.load(); }
  std::int64_t CallsFailed() const { return m_callsFailed.load(); }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<TContext> m_waiting;
  bool m_open = false;
  std::atomic<std::int64_t> m_callsStarted{0};
  std::atomic<std::int64_t> m_repliesReceived{0};
  std::atomic<std::int64_t> m_callsFailed{0};
};

}  // namespace solvane
