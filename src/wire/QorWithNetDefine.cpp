#include "wire/QorWithNetDefine.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace solvane {

namespace {

std::int32_t SaturatingAdd(std::int32_t counter, std::int64_t n) {
  std::int64_t sum = std::int64_t{counter} + n;
  sum = std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(sum);
}

}  // namespace

// Counters belong to calendar seconds of the clock, so a steady trickle of
// updates less than a second apart still moves them on every new second.
void TQorNetMeter::AddAt(std::int64_t n, TClock::time_point now) {
  const std::int64_t second =
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  std::lock_guard lock(m_mutex);
  const std::int64_t passed = m_lastSecond ? second - *m_lastSecond : 0;
  if (passed >= static_cast<std::int64_t>(kSeconds)) {
    m_counters.fill(0);
  } else if (passed > 0) {
    std::rotate(m_counters.begin(), m_counters.begin() + passed, m_counters.end());
    std::fill(m_counters.end() - passed, m_counters.end(), 0);
  }
  m_counters.back() = SaturatingAdd(m_counters.back(), n);
  // A clock that went back keeps the newer second.
  if (!m_lastSecond || passed > 0) m_lastSecond = second;
}

std::array<std::int32_t, TQorNetMeter::kSeconds> TQorNetMeter::Counters() const {
  std::lock_guard lock(m_mutex);
  return m_counters;
}

std::int64_t TQorNetMeter::Total() const {
  std::lock_guard lock(m_mutex);
  return std::accumulate(m_counters.begin(), m_counters.end(), std::int64_t{0});
}

void TQorNetContextList::Open() {
  std::lock_guard lock(m_mutex);
  m_open = true;
}

void TQorNetContextList::CloseAndFailAll() {
  {
    std::lock_guard lock(m_mutex);
    m_open = false;
    for (const TContext& c : m_waiting) {
      int expected = TQorNetContext::kWaiting;
      c->State.compare_exchange_strong(expected, TQorNetContext::kConnectionLost);
    }
  }
  m_changed.notify_all();
}

TQorNetContextList::TContext TQorNetContextList::Start() {
  std::lock_guard lock(m_mutex);
  if (!m_open) return nullptr;
  auto context = std::make_shared<TQorNetContext>(m_callsStarted.fetch_add(1) + 1);
  m_waiting.push_back(context);
  return context;
}

void TQorNetContextList::Remove(const TContext& context) {
  std::lock_guard lock(m_mutex);
  std::erase(m_waiting, context);
}

bool TQorNetContextList::IsWaiting(std::int64_t id) const {
  std::lock_guard lock(m_mutex);
  return std::any_of(m_waiting.begin(), m_waiting.end(), [id](const TContext& c) {
    return c->Id == id && c->State.load() == TQorNetContext::kWaiting;
  });
}

bool TQorNetContextList::Deliver(std::int64_t id, std::string frame, std::string extra) {
  {
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [id](const TContext& c) {
      return c->Id == id && c->State.load() == TQorNetContext::kWaiting;
    });
    if (it == m_waiting.end()) return false;
    TQorNetContext& context = **it;
    context.Buffer = std::move(frame);
    context.Extra = std::move(extra);
    context.State.store(TQorNetContext::kArrived);
    m_repliesReceived.fetch_add(1);
  }
  m_changed.notify_all();
  return true;
}

int TQorNetContextList::WaitUntil(const TQorNetContext& context, TDeadline deadline) {
  std::unique_lock lock(m_mutex);
  auto settled = [&context] { return context.State.load() != TQorNetContext::kWaiting; };
  if (deadline)
    m_changed.wait_until(lock, *deadline, settled);
  else
    m_changed.wait(lock, settled);
  return context.State.load();
}

std::size_t TQorNetContextList::Count() const {
  std::lock_guard lock(m_mutex);
  return m_waiting.size();
}

}  // namespace solvane
