#pragma once
// The figures the progress monitor shows, apart from any widget: overall
// percentages, shortened file names, byte amounts and the time left.

#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

namespace solvane {

// part * 100 / whole in 64-bit integers, capped at 100; 0 when whole is 0
// or below, or part is below 0.
int OverallPercent(std::int64_t part, std::int64_t whole);

// A name of at most maxChars characters: longer ones lose the middle of
// their folder part ("…" in its place) and keep the file name; a file name
// that alone is too long keeps its last characters.
QString ElideMiddle(const QString& path, int maxChars = 70);

// "0 B", "12.3 KB", "4.0 MB", "1.25 GB".
QString FormatBytes(std::int64_t bytes);

// "mm:ss", or "h:mm:ss" from one hour on.
QString FormatDuration(std::chrono::seconds d);

// The time left of a run, from how fast its files have been finishing since
// the first sample. Known only once the folder walk is over (the number of
// files to move no longer grows) and files have been finishing for a while.
class TTimeLeftEstimate {
 public:
  using Clock = std::chrono::steady_clock;

  void Reset() { m_first.reset(); }
  // finished: files done or failed; needed: files that need moving;
  // walking: folders still to walk.
  std::optional<std::chrono::seconds> Sample(Clock::time_point now, std::int64_t finished,
                                             std::int64_t needed, std::int64_t walking);

 private:
  struct TPoint {
    Clock::time_point at;
    std::int64_t finished = 0;
  };
  std::optional<TPoint> m_first;
};

}  // namespace solvane
