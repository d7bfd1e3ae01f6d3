#pragma once
// Group commit: writes that finish at the same time become durable together,
// one sync and one transaction for the lot instead of one each.
//
// The caller that arrives while no batch is being committed commits at once
// (it leads), together with whoever is already waiting; callers that arrive
// meanwhile wait and form the next batch, which one of them leads as soon as
// the current one is done. Nobody waits for a timer: a lone write commits
// immediately, and batches grow only with the load.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace solvane::server {

class TCommitQueue {
 public:
  // One caller's part of a batch: the batch's work reads it and writes its
  // result into it. A job whose work failed without a word keeps the result
  // it was made with, so that should say "failed".
  class TJob {
   public:
    virtual ~TJob() = default;

   private:
    friend class TCommitQueue;
    bool m_done = false;
    bool m_leads = false;  // the next batch is this job's to commit
    // Each waiting job is woken on its own, once: when its batch is done or
    // when it is to lead the next one. Waking every waiter at the end of
    // each batch cost more than the batch's own work under many uploads.
    std::condition_variable m_wake;
  };
  using TBatchWork = std::function<void(const std::vector<TJob*>& batch)>;

  // Returns once `job` has been part of a batch that `work` finished, run on
  // this thread or on another caller's. Every caller of one queue passes the
  // same work. An exception of `work` reaches only the caller that led.
  void Commit(TJob& job, const TBatchWork& work) { CommitAll({&job}, work); }
  // The same for several jobs of one caller: they join one batch together,
  // and the call returns once that batch is done.
  void CommitAll(const std::vector<TJob*>& jobs, const TBatchWork& work);

  // Batches finished and jobs in them so far.
  std::uint64_t Batches() const;
  std::uint64_t Jobs() const;
  // Jobs waiting for the next batch.
  std::size_t Waiting() const;

 private:
  void Finish(const std::vector<TJob*>& batch);

  mutable std::mutex m_mutex;
  std::vector<TJob*> m_waiting;
  // A batch is being committed, or its leader has been chosen and is about
  // to take the waiting jobs.
  bool m_committing = false;
  std::uint64_t m_batches = 0;
  std::uint64_t m_jobs = 0;
};

}  // namespace solvane::server
