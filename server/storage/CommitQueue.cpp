#include "storage/CommitQueue.h"

namespace solvane::server {

void TCommitQueue::Commit(TJob& job, const TBatchWork& work) {
  std::vector<TJob*> batch;
  {
    std::unique_lock lock(m_mutex);
    m_waiting.push_back(&job);
    m_finished.wait(lock, [&] { return job.m_done || !m_committing; });
    if (job.m_done) return;  // a batch led by another caller took it
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
  {
    std::lock_guard lock(m_mutex);
    for (TJob* j : batch) j->m_done = true;
    m_committing = false;
    ++m_batches;
    m_jobs += batch.size();
  }
  m_finished.notify_all();
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
