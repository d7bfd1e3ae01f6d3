// Splitting the received byte stream into replies, fed in chunks of every
// size.

#include <gtest/gtest.h>

#include "wire/QorWithReplyParser.h"

namespace solvane {
namespace {

const std::string kExtra1 = std::string("\r\n") + '\0' + "x";
const std::string kUnwantedBody =
    "frame7\r\nBindingHandle=00000000|CF_SEND_PARAM:Id=00000002|ParamXMLStreamSize=00000003\r\n"
    "xyz\r\n\r\n\n";

// Reply 1 (wanted, with extra), reply 7 (nobody waits: its body holds a
// header-looking line and line ends), a blank line, reply 2 in lower case
// with other keys, then a header with Id 0 and a body.
std::string Stream() {
  return "BindingHandle=00000009|CF_SEND_PARAM:Id=00000001|ParamXMLStreamSize=00000006|"
         "ExtraBufferSize=00000004\r\n"
         "frame1" +
         kExtra1 + "CF_SEND_PARAM:Id=00000007|ParamXMLStreamSize=00000006|ExtraBufferSize=" +
         std::to_string(kUnwantedBody.size() - 6) + "\r\n" + kUnwantedBody +
         "\r\n"
         "  extrabuffersize=0|foo=bar|paramxmlstreamsize=00000006|cf_send_param:id=2  \n"
         "frame2"
         "CF_SEND_PARAM:Id=00000000|ParamXMLStreamSize=00000004\r\n"
         "zero";
}
// Line ends of the stream: three CR LF after headers, one blank line, one LF.
constexpr std::uint64_t kLineEndBytes = 2 + 2 + 2 + 2 + 1;

std::vector<TQorReply> FeedInChunks(const std::string& bytes, std::size_t chunk,
                                    std::size_t firstChunk, std::uint64_t& counted) {
  TQorReplyParser parser([](std::int64_t id) { return id == 1 || id == 2; });
  std::vector<TQorReply> out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t n = pos == 0 ? firstChunk : chunk;
    EXPECT_TRUE(parser.Feed(std::string_view(bytes).substr(pos, n), out));
    counted += parser.TakeCountedBytes();
    pos += n;
  }
  return out;
}

TEST(QorWithReplyParser, SameRepliesAtEveryChunkSplit) {
  const std::string bytes = Stream();
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, bytes.size()}) {
    for (std::size_t first = 1; first <= bytes.size(); ++first) {
      SCOPED_TRACE("chunk " + std::to_string(chunk) + ", first " + std::to_string(first));
      std::uint64_t counted = 0;
      std::vector<TQorReply> replies = FeedInChunks(bytes, chunk, first, counted);
      ASSERT_EQ(replies.size(), 2u);
      EXPECT_EQ(replies[0].Id, 1);
      EXPECT_EQ(replies[0].Frame, "frame1");
      EXPECT_EQ(replies[0].Extra, kExtra1);
      EXPECT_EQ(replies[1].Id, 2);
      EXPECT_EQ(replies[1].Frame, "frame2");
      EXPECT_EQ(replies[1].Extra, "");
      // Everything but the line ends (blanks around a header count).
      EXPECT_EQ(counted, bytes.size() - kLineEndBytes);
      if (chunk == bytes.size()) break;
    }
  }
}

TEST(QorWithReplyParser, BrokenStreams) {
  const std::string header = "CF_SEND_PARAM:Id=00000001|";
  struct Case {
    const char* name;
    std::string bytes;
    bool broken;
  };
  const std::vector<Case> cases = {
      {"LineOf1024IsFine", std::string(1024, 'A') + "\r\n", false},
      {"LineOver1KiB", std::string(1025, 'A') + "\r\n", true},
      {"EndlessLine", std::string(5000, 'A'), true},
      {"FrameAtLimit", header + "ParamXMLStreamSize=16777216\r\n", false},
      {"FrameOverLimit", header + "ParamXMLStreamSize=16777217\r\n", true},
      {"ExtraOverLimit", header + "ParamXMLStreamSize=1|ExtraBufferSize=16777217\r\n", true},
      {"NegativeSize", header + "ParamXMLStreamSize=-5\r\n", true},
      {"GarbageLineIsIgnored", "hello world\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TQorReplyParser parser([](std::int64_t) { return true; });
    std::vector<TQorReply> out;
    EXPECT_EQ(parser.Feed(c.bytes, out), !c.broken);
    EXPECT_EQ(parser.Broken(), c.broken);
    EXPECT_TRUE(out.empty());
  }
}

}  // namespace
}  // namespace solvane
