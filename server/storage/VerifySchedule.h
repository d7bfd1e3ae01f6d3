#pragma once
// The server's own store check: every period, in a thread of its own, the
// whole store is verified (see StoreVerifier.h) and the outcome logged, with
// each problem in full when there is one. Never repairs anything.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <functional>
#include <string>
#include <stop_token>
#include <thread>

#include "storage/StoreVerifier.h"

namespace solvane::server {

class TVerifySchedule {
 public:
  // The first check runs one period after the start. log receives the
  // outcome of each run as whole lines, from the schedule's thread.
  TVerifySchedule(Database& db, const TFileBlobStore& blobs, std::chrono::milliseconds period,
                  std::function<void(const std::string&)> log);
  // Stops the thread; a check in progress ends early.
  ~TVerifySchedule();
  TVerifySchedule(const TVerifySchedule&) = delete;
  TVerifySchedule& operator=(const TVerifySchedule&) = delete;

 private:
  void Loop(std::stop_token stop);
  void RunOnce(std::stop_token stop);

  Database& m_db;
  const TFileBlobStore& m_blobs;
  std::chrono::milliseconds m_period;
  std::function<void(const std::string&)> m_log;
  std::mutex m_mutex;
  std::condition_variable_any m_wake;
  std::jthread m_thread;  // last: started once the members above exist
};

}  // namespace solvane::server
