#pragma once
// The ground every typed server call stands on: a link to the server (the
// pool, or one connection the caller already holds), and the outcome of a
// call as a value. Only src/api builds and reads frames; everything above it
// sees plain values and a TApiStatus.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wire/QorWithProtocol.h"

namespace solvane {
class TQorPack;
class TQorTCPClient;
class TQorTCPClientPool;
}  // namespace solvane

namespace solvane::api {

// Why a call did not succeed.
enum class TApiFailure {
  None,          // the server answered with success
  NoConnection,  // no connected connection to send it on
  NoReply,       // sent (or tried) but no reply came back
  Refused,       // the server answered with an ErrNo other than success
  BadReply,      // the reply could not be read as the operation's answer
};

struct TApiStatus {
  TApiFailure failure = TApiFailure::None;
  std::int32_t errNo = static_cast<std::int32_t>(kErrNoOk);  // the server's, when Refused
  std::string message;  // the server's ErrMsg when Refused; else a description

  bool Ok() const { return failure == TApiFailure::None; }
  explicit operator bool() const { return Ok(); }
  // True when the server was reached (it answered, whatever it said).
  bool Reached() const { return failure == TApiFailure::None || failure == TApiFailure::Refused; }
  // One line for a note or a log: the server's message, or what went wrong.
  std::string Describe() const;

  static TApiStatus Success() { return {}; }
  static TApiStatus Failed(TApiFailure failure, std::string message, std::int32_t errNo = 0) {
    return {failure, errNo, std::move(message)};
  }
};

// A call's answer: the status, and the value when it is Ok.
template <class T>
struct TApiResult {
  TApiStatus status;
  T value{};

  bool Ok() const { return status.Ok(); }
  explicit operator bool() const { return status.Ok(); }
  TApiResult() = default;
  TApiResult(TApiStatus s) : status(std::move(s)) {}  // NOLINT: a failure converts
  TApiResult(TApiStatus s, T v) : status(std::move(s)), value(std::move(v)) {}
};

// Where a call goes: a free connection leased from the pool for the call, or
// a connection the caller holds (the engine's transfer connections).
class TApiLink {
 public:
  TApiLink(TQorTCPClientPool& pool) : m_pool(&pool) {}        // NOLINT: implicit on purpose
  TApiLink(TQorTCPClient& client) : m_client(&client) {}      // NOLINT: implicit on purpose

  // Sends pack and leaves the reply in it. Ok only when the reply's ErrNo
  // is success.
  TApiStatus Call(TQorPack& pack) const;
  // As Call; extra (may be empty) follows the frame.
  TApiStatus CallUpload(TQorPack& pack, std::string_view extra) const;
  // As Call; the reply's extra data is left in extra.
  TApiStatus CallDownload(TQorPack& pack, std::string& extra) const;

 private:
  enum class TMode { Plain, Upload, Download };
  TApiStatus Send(TQorPack& pack, TMode mode, std::string_view upExtra,
                  std::string* downExtra) const;

  TQorTCPClientPool* m_pool = nullptr;
  TQorTCPClient* m_client = nullptr;
};

// Many requests on one connection the caller holds, all sent before the
// first reply is awaited (see TQorTCPClient::CallPipelined). extras: the
// extra data of each request (empty: none); replyExtras, when given, gets
// each reply's extra data. One status per pack, as Call would give it.
std::vector<TApiStatus> CallPipelined(TQorTCPClient& client, std::vector<TQorPack>& packs,
                                      const std::vector<std::string_view>& extras,
                                      std::vector<std::string>* replyExtras);

// True when the pool can hand out a connected connection right now.
bool HasConnectedConnection(TQorTCPClientPool& pool);

// Every CR LF (and any lone CR or LF) as the single character 2: how line
// breaks of multi-line texts travel in a frame value.
std::string LineBreaksToWire(const std::string& text);
// Every character 2 as CR LF.
std::string LineBreaksFromWire(const std::string& text);

}  // namespace solvane::api
