#pragma once
// Requests of many files: each record set of the request names one file and
// is handled as the request of its own that the one-file operation gets,
// with the caller's session; its result and reply fields are written into
// the reply's record set of the same number. One worker, one round trip and
// (for uploads) one commit batch serve them all.

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "protocol/Dispatcher.h"

namespace solvane::server {

// At most this many record sets in one request of many files.
inline constexpr int kMaxFilesPerRequest = 1024;
// The data of one reply of many downloads stays below this.
inline constexpr std::size_t kMaxDataPerReply = 4u << 20;

class TRecordRequest {
 public:
  // Record set n of the request, with extra as its data.
  TRecordRequest(TRequestContext& whole, int n, std::string_view extra);
  TRecordRequest(const TRecordRequest&) = delete;
  TRecordRequest& operator=(const TRecordRequest&) = delete;

  TRequestContext& Ctx() { return m_ctx; }
  // Writes this request's result ("ErrNo", "ErrMsg") and then, when it
  // succeeded, the named fields of its reply (else empty values) into record
  // set n of reply. Every record set takes the same fields in the same order.
  void Answer(TQorPack& reply, int n, std::initializer_list<std::string_view> fields);

 private:
  TQorPack m_pack;
  TRequestContext m_ctx;
};

// False (and the request failed) when it carries no record set or more than
// kMaxFilesPerRequest.
bool CheckRecordCount(TRequestContext& ctx);

}  // namespace solvane::server
