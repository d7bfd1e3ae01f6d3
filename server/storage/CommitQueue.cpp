#include "storage/CommitQueue.h"

namespace solvane::server {

void TCommitQueue::Commit(TJob& job, const TBatchWork& work) {
  std::vector<TJob*> batch;
  {
    std::unique_lock lock(m_mutex);
    m_waiting.push_back(&job);
    if (m_committing) {
      job.m_wake.wait(lock, [&] { return job.m_done || job.m_leads; });
      if (job.m_done) return;  // a batch led by another caller took it
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
