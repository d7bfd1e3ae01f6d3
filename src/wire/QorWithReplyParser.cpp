#include "wire/QorWithReplyParser.h"

#include <algorithm>
#include <cctype>

#include "wire/QorWithHeaderLine.h"

namespace solvane {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

bool TQorReplyParser::Feed(std::string_view bytes, std::vector<TQorReply>& out) {
  while (!bytes.empty() && !m_broken) {
    std::size_t used = m_inBody ? FeedBody(bytes, out) : FeedLine(bytes);
    bytes.remove_prefix(used);
  }
  return !m_broken;
}

std::uint64_t TQorReplyParser::TakeCountedBytes() {
  std::uint64_t n = m_counted;
  m_counted = 0;
  return n;
}

std::size_t TQorReplyParser::FeedLine(std::string_view bytes) {
  std::size_t lf = bytes.find('\n');
  std::size_t used = lf == std::string_view::npos ? bytes.size() : lf + 1;
  m_line.append(bytes.substr(0, lf == std::string_view::npos ? bytes.size() : lf));
  // One byte more than the limit may still be the CR of the line end.
  if (m_line.size() > kMaxHeaderLine + 1) {
    m_broken = true;
    return used;
  }
  if (lf == std::string_view::npos) return used;
  if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
  if (m_line.size() > kMaxHeaderLine) {
    m_broken = true;
    return used;
  }
  m_counted += m_line.size();
  std::string_view line = TrimBlanks(m_line);
  if (!line.empty()) StartReply(line);
  m_line.clear();
  return used;
}

void TQorReplyParser::StartReply(std::string_view line) {
  THeaderLine header = ParseHeaderLine(line);
  if (header.frameSize < 0 || header.extraSize < 0 || header.frameSize > kMaxFrameSize ||
      header.extraSize > kMaxExtraSize) {
    m_broken = true;
    return;
  }
  m_keep = header.id != 0 && header.frameSize != 0 && m_wanted && m_wanted(header.id);
  m_frameLeft = header.frameSize;
  m_extraLeft = header.extraSize;
  m_reply = TQorReply{header.id, {}, {}};
  if (m_keep) {
    m_reply.Frame.reserve(static_cast<std::size_t>(header.frameSize));
    m_reply.Extra.reserve(static_cast<std::size_t>(header.extraSize));
  }
  m_inBody = m_frameLeft + m_extraLeft > 0;
  // A kept reply without a body cannot exist (its frame size is non-zero).
}

std::size_t TQorReplyParser::FeedBody(std::string_view bytes, std::vector<TQorReply>& out) {
  std::size_t used = 0;
  auto take = [&](std::int64_t& left, std::string& into) {
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(left), bytes.size() - used);
    if (m_keep) into.append(bytes.substr(used, n));
    left -= static_cast<std::int64_t>(n);
    used += n;
  };
  take(m_frameLeft, m_reply.Frame);
  take(m_extraLeft, m_reply.Extra);
  m_counted += used;
  if (m_frameLeft == 0 && m_extraLeft == 0) {
    m_inBody = false;
    if (m_keep) out.push_back(std::move(m_reply));
    m_reply = TQorReply{};
  }
  return used;
}

}  // namespace solvane
