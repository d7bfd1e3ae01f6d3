#include "storage/CommitQueue.h"

namespace solvane::server {

void TCommitQueue::CommitAll(const std::vector<TJob*>& jobs, const TBatchWork& work) {
  if (jobs.empty()) return;
  // The caller's jobs wait side by side, so one batch takes all of them, and
  // only the first is ever woken: to lead, or when they are done.
  TJob& first = *jobs.front();
  std::vector<TJob*> batch;
  {
    std::unique_lock lock(m_mutex);
    m_waiting.insert(m_waiting.end(), jobs.begin(), jobs.end());
    if (m_committing) {
      first.m_wake.wait(lock, [&] { return first.m_done || first.m_leads; });
      if (first.m_done) return;  // a batch led by another caller took them
    }
    m_committing = true;
    batch.swap(m_waiting);
  }
  try {
    work(batch);
  } catch (...) {
    Finish(batch);
    throw;
  }
  Finish(batch);
}

void TCommitQueue::Finish(const std::vector<TJob*>& batch) {
  std::lock_guard lock(m_mutex);
  // Notified under the lock: a job lives on its caller's stack, which may
  // return as soon as it sees m_done.
  for (TJob* j : batch) {
    j->m_done = true;
    j->m_wake.notify_one();
  }
  ++m_batches;
  m_jobs += batch.size();
  // Whoever waits first leads the next batch; until it takes the waiting
  // jobs, newcomers wait for it rather than lead a batch of their own.
  m_committing = !m_waiting.empty();
  if (m_committing) {
    m_waiting.front()->m_leads = true;
    m_waiting.front()->m_wake.notify_one();
  }
}

std::uint64_t TCommitQueue::Batches() const {
  std::lock_guard lock(m_mutex);
  return m_batches;
}

std::uint64_t TCommitQueue::Jobs() const {
  std::lock_guard lock(m_mutex);
  return m_jobs;
}

std::size_t TCommitQueue::Waiting() const {
  std::lock_guard lock(m_mutex);
  return m_waiting.size();
}

}  // namespace solvane::server
