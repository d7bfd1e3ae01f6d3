#include "storage/VerifySchedule.h"

#include <sstream>

namespace solvane::server {

TVerifySchedule::TVerifySchedule(Database& db, const TFileBlobStore& blobs,
                                 std::chrono::milliseconds period,
                                 std::function<void(const std::string&)> log)
    : m_db(db),
      m_blobs(blobs),
      m_period(period),
      m_log(std::move(log)),
      m_thread([this](std::stop_token stop) { Loop(stop); }) {}

TVerifySchedule::~TVerifySchedule() {
  m_thread.request_stop();
  m_wake.notify_all();
}

void TVerifySchedule::Loop(std::stop_token stop) {
  for (;;) {
    {
      std::unique_lock lock(m_mutex);
      m_wake.wait_for(lock, stop, m_period, [] { return false; });
    }
    if (stop.stop_requested()) return;
    RunOnce(stop);
  }
}

void TVerifySchedule::RunOnce(std::stop_token stop) {
  std::ostringstream text;
  try {
    TVerifyOptions options;
    options.cancelled = [&stop] { return stop.stop_requested(); };
    const TVerifyReport report = VerifyStore(m_db, m_blobs, options);
    if (report.Damaged()) {
      std::ostringstream details;
      WriteVerifyReport(report, details);
      std::istringstream lines(details.str());
      for (std::string line; std::getline(lines, line);) text << "scheduled " << line << "\n";
    } else {
      text << "scheduled " << VerifySummary(report) << "\n";
    }
  } catch (const std::exception& e) {
    text << "scheduled verify failed: " << e.what() << "\n";
  }
  m_log(text.str());
}

}  // namespace solvane::server
