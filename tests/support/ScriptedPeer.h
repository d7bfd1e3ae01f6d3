#pragma once
// A scripted stand-in for the backup server on 127.0.0.1 for wire tests.
//
// It accepts connections, reads each request (header line, frame, extra
// data), records it, and answers as the script says: a reply packet (with
// extra data, another Id, after a delay, or held until released), raw bytes,
// nothing at all, or closing the connection.
//
//   TScriptedPeer peer;
//   peer.SetScript([](const TPeerRequest& r) { return TPeerAnswer::Echo(r).Held(); });
//   ... two calls ...; peer.WaitForRequests(2); peer.ReleaseHeld(/*reverse=*/true);

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wire/QorWithHeaderLine.h"
#include "wire/QorWithPack.h"

namespace solvane::testsupport {

struct TPeerRequest {
  int Connection = 0;      // accepted connections are numbered from 1
  std::string HeaderText;  // the header line as received, without CR LF
  THeaderLine Header;
  std::string Frame;  // the frame bytes as sent
  std::string Extra;
  // The frame loaded into a packet.
  TQorPack Pack() const;
};

class TPeerAnswer {
 public:
  enum class TKind { Reply, Raw, Silent, Close };

  // A reply frame (and extra data); its header carries the request's Id.
  static TPeerAnswer Reply(TQorPack pack, std::string extra = {});
  // A reply with the request's FunNo and ErrNo 1.
  static TPeerAnswer Echo(const TPeerRequest& request, std::string extra = {});
  // Bytes written exactly as given (no header is added).
  static TPeerAnswer Raw(std::string bytes);
  static TPeerAnswer Silent();
  // Closes the request's connection.
  static TPeerAnswer Close();

  // The reply's header carries this Id instead of the request's.
  TPeerAnswer WithId(std::int64_t id) &&;
  // Written after this delay.
  TPeerAnswer After(std::chrono::milliseconds delay) &&;
  // Kept until TScriptedPeer::ReleaseHeld.
  TPeerAnswer Held() &&;

  // The bytes to write in answer to the request (empty for Silent, Close).
  std::string Bytes(const TPeerRequest& request) const;

  TKind Kind() const { return m_kind; }
  std::chrono::milliseconds Delay() const { return m_delay; }
  bool IsHeld() const { return m_held; }

 private:
  TKind m_kind = TKind::Silent;
  std::string m_frame;
  std::string m_extra;
  std::string m_raw;
  std::optional<std::int64_t> m_id;
  std::chrono::milliseconds m_delay{0};
  bool m_held = false;
};

class TScriptedPeer {
 public:
  using TScript = std::function<TPeerAnswer(const TPeerRequest&)>;

  // Listens on 127.0.0.1, on a port of the system's choice. Until a script
  // is set, every request gets TPeerAnswer::Echo.
  TScriptedPeer();
  ~TScriptedPeer();
  TScriptedPeer(const TScriptedPeer&) = delete;
  TScriptedPeer& operator=(const TScriptedPeer&) = delete;

  std::uint16_t Port() const;
  // The script runs on the peer's own thread, once per request.
  void SetScript(TScript script);

  std::vector<TPeerRequest> Requests() const;
  // Waits until at least count requests have been recorded.
  bool WaitForRequests(std::size_t count,
                       std::chrono::milliseconds timeOut = std::chrono::seconds(5)) const;
  int ConnectionCount() const;
  // Waits until at least count connections have been accepted.
  bool WaitForConnections(int count,
                          std::chrono::milliseconds timeOut = std::chrono::seconds(5)) const;
  std::size_t HeldCount() const;

  // Writes every held answer, in arrival order or in reverse; returns once
  // the writes are queued ahead of anything the peer answers later.
  void ReleaseHeld(bool reverse = false);
  // Closes every accepted connection.
  void DropConnections();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> m_impl;
};

// A local port on which nothing listens: connecting to it is refused. The
// port stays reserved while the object lives.
class TRefusingPort {
 public:
  TRefusingPort();
  ~TRefusingPort();
  std::uint16_t Port() const { return m_port; }

 private:
  struct TImpl;
  std::unique_ptr<TImpl> m_impl;
  std::uint16_t m_port = 0;
};

}  // namespace solvane::testsupport
