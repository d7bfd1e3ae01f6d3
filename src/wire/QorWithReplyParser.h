#pragma once
// Splits the byte stream a connection receives into replies: a header line
// (ended by LF, a CR before it is dropped), then ParamXMLStreamSize bytes of
// frame and ExtraBufferSize bytes of extra data. Does no I/O: the reader
// feeds it whatever the socket delivered, in chunks of any size.
//
// The body of every reply is consumed, also when no call waits for it, so
// binary extra data never gets read as header lines. A header line over
// 1 KiB or a body size over the limits means the stream is broken.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane {

struct TQorReply {
  std::int64_t Id = 0;
  std::string Frame;
  std::string Extra;
};

class TQorReplyParser {
 public:
  static constexpr std::size_t kMaxHeaderLine = 1024;
  static constexpr std::int64_t kMaxFrameSize = 16 * 1024 * 1024;
  static constexpr std::int64_t kMaxExtraSize = 16 * 1024 * 1024;

  // Asked once per reply header with a non-zero Id and frame size: whether
  // to keep the body (true) or to skip it.
  using TWanted = std::function<bool(std::int64_t id)>;

  explicit TQorReplyParser(TWanted wanted) : m_wanted(std::move(wanted)) {}

  // Consumes bytes and appends every completed reply that was wanted. False
  // once the stream is broken; later input is then ignored.
  bool Feed(std::string_view bytes, std::vector<TQorReply>& out);

  bool Broken() const { return m_broken; }
  // Header characters (without line end) and body bytes consumed since the
  // last call.
  std::uint64_t TakeCountedBytes();

 private:
  std::size_t FeedLine(std::string_view bytes);
  std::size_t FeedBody(std::string_view bytes, std::vector<TQorReply>& out);
  void StartReply(std::string_view line);

  TWanted m_wanted;
  bool m_broken = false;
  bool m_inBody = false;
  std::string m_line;
  bool m_keep = false;
  std::int64_t m_frameLeft = 0;
  std::int64_t m_extraLeft = 0;
  TQorReply m_reply;
  std::uint64_t m_counted = 0;
};

}  // namespace solvane
