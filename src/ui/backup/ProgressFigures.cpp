#include "ui/backup/ProgressFigures.h"

#include <algorithm>
#include <limits>

namespace solvane {

int OverallPercent(std::int64_t part, std::int64_t whole) {
  if (whole <= 0 || part <= 0) return 0;
  if (part >= whole) return 100;
  // part < whole here; part * 100 would overflow only for huge counts.
  if (part > std::numeric_limits<std::int64_t>::max() / 100)
    return static_cast<int>(std::min<std::int64_t>(100, part / (whole / 100)));
  return static_cast<int>(part * 100 / whole);
}

QString ElideMiddle(const QString& path, int maxChars) {
  if (path.size() <= maxChars || maxChars < 2) return path;
  const QString ellipsis = QString::fromUtf8("…");
  const int cut = static_cast<int>(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')));
  const QString name = cut >= 0 ? path.mid(cut) : path;  // with its separator
  const int headRoom = maxChars - static_cast<int>(name.size()) - 1;
  if (headRoom < 1) return ellipsis + path.right(maxChars - 1);
  return path.left(headRoom) + ellipsis + name;
}

QString FormatBytes(std::int64_t bytes) {
  if (bytes < 1024) return QString::number(bytes < 0 ? 0 : bytes) + " B";
  static const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  return QString::number(value, 'f', value < 10 ? 2 : 1) + " " + units[unit];
}

QString FormatDuration(std::chrono::seconds d) {
  const qint64 total = d.count() < 0 ? 0 : d.count();
  const qint64 h = total / 3600, m = total / 60 % 60, s = total % 60;
  const auto two = [](qint64 v) { return QString::number(v).rightJustified(2, '0'); };
  return h > 0 ? QString::number(h) + ":" + two(m) + ":" + two(s) : two(m) + ":" + two(s);
}

std::optional<std::chrono::seconds> TTimeLeftEstimate::Sample(Clock::time_point now,
                                                              std::int64_t finished,
                                                              std::int64_t needed,
                                                              std::int64_t walking) {
  if (!m_first || finished < m_first->finished) m_first = TPoint{now, finished};
  if (walking > 0 || needed <= 0) return std::nullopt;
  const std::int64_t left = needed - finished;
  if (left <= 0) return std::chrono::seconds(0);
  const std::int64_t progressed = finished - m_first->finished;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_first->at);
  if (progressed <= 0 || elapsed < std::chrono::seconds(2)) return std::nullopt;
  const double perFile = static_cast<double>(elapsed.count()) / static_cast<double>(progressed);
  return std::chrono::seconds(static_cast<std::int64_t>(perFile * left / 1000.0 + 0.5));
}

}  // namespace solvane
