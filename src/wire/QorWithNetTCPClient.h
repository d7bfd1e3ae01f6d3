#pragma once
// One TCP connection to the backup server with its reader thread
// (TQorTCPClient), and the pool that owns all connections of the process and
// leases them to callers (TQorTCPClientPool).
//
// A call writes a header line and the request frame, then waits until the
// reader thread has delivered the reply with the call's Id. Several calls may
// wait on one connection; replies are matched by Id, not by order. A call
// returns true when the reply arrived; the caller then checks ErrNo.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "wire/QorWithNetDefine.h"
#include "wire/QorWithTlsClient.h"

namespace solvane {

class TQorPack;
class TQorTCPClientPool;

enum class TQorSocketStatus { Resolving, Connecting, Connected, Disconnecting, Disconnected };

class TQorTCPClient {
 public:
  static constexpr std::uint16_t kDefaultPort = 8090;
  static constexpr int kDefaultTimeOut = 10;  // seconds
  static constexpr std::chrono::milliseconds kConnectTimeOut{5000};

  // A connection of its own (no pool: its requests carry no token).
  TQorTCPClient();
  ~TQorTCPClient();
  TQorTCPClient(const TQorTCPClient&) = delete;
  TQorTCPClient& operator=(const TQorTCPClient&) = delete;

  void SetHost(std::string host);
  std::string Host() const;
  void SetPort(std::uint16_t port) { m_port.store(port); }
  std::uint16_t Port() const { return m_port.load(); }
  // Seconds a call waits for its reply; 0 means no limit (for every kind of
  // call).
  void SetTimeOut(int seconds) { m_timeOut.store(seconds); }
  int TimeOut() const { return m_timeOut.load(); }

  // Set by the pool; kind and name before the pool is shared between threads.
  int Index() const { return m_index; }
  int Kind() const { return m_kind; }
  void SetKind(int kind) { m_kind = kind; }
  const std::string& Name() const { return m_name; }
  void SetName(std::string name) { m_name = std::move(name); }

  // True at once when connected; otherwise connects to Host:Port within the
  // time-out and starts the reader thread. On the user-interface thread the
  // wait pumps events every 10 ms; a Connect or Disconnect of this
  // connection from an event handled meanwhile is refused.
  bool Connect(std::chrono::milliseconds connectTimeOut = kConnectTimeOut);
  // Closes the socket; calls waiting on this connection fail at once.
  void Disconnect();
  bool Connected() const { return m_connected.load(); }
  TQorSocketStatus Status() const { return m_status.load(); }
  // The socket's native handle number while connected (BindingHandle).
  std::int64_t Handle() const { return m_handle.load(); }
  // How often Connect tried to open a socket (diagnostics).
  std::uint64_t ConnectAttempts() const { return m_connectAttempts.load(); }
  // Whether the connection is encrypted, and whether its handshake resumed
  // an earlier session (diagnostics).
  bool Encrypted() const { return m_encrypted.load(); }
  bool SessionResumed() const { return m_resumed.load(); }

  // One request and its reply. False at once (packet left as built) when not
  // connected, when a Call/CallUpload already runs on this connection, or
  // when sending fails. False after the wait (packet Reset, ErrNo -1) when
  // the reply does not come within TimeOut or the connection drops. True:
  // the packet holds the reply.
  bool Call(TQorPack& pack);
  // As Call; extra data (may be empty) follows the frame. The reply's own
  // extra data is dropped.
  bool CallUpload(TQorPack& pack, std::string_view extra);
  // As Call, but not turned away by a running Call: in, the extra data to
  // send (none when empty); out, on success, the reply's extra data.
  bool CallDownload(TQorPack& pack, std::string& extra);

  // One request of a pipelined exchange.
  struct TPipelinedCall {
    TQorPack* Pack = nullptr;
    std::string_view Extra;  // sent after the frame; may be empty
    std::string ReplyExtra;  // out: the reply's extra data
    bool Answered = false;   // out: Pack holds the reply
  };
  // Sends every request before waiting for the first reply, so the server
  // works on the next while this one's reply travels; replies are matched
  // by Id. Held like Call (refused at once, nothing sent, while a Call runs
  // on this connection). A request the server refused for a lost session is
  // sent again alone after the pool signed in again. Requests after one that
  // could not be sent stay unanswered. Returns how many were answered.
  std::size_t CallPipelined(std::span<TPipelinedCall> calls);

  bool InCall() const { return m_inCall.load(); }
  bool HasWaitingCall() const { return m_contexts.Count() > 0; }
  const TQorNetContextList& Contexts() const { return m_contexts; }
  const TQorNetMeter& ReceivedMeter() const { return m_received; }
  const TQorNetMeter& SentMeter() const { return m_sent; }

 private:
  friend class TQorTCPClientPool;
  friend class TQorTCPClientLease;
  struct TSocket;
  enum class TWaitResult { Arrived, NoReply };

  TQorTCPClient(TQorTCPClientPool* pool, int index);

  enum class TTransmit { NotSent, NoReply, Arrived };
  // A dropped connection of a pool that reconnects is connected first; a
  // reply saying the session is unknown makes the pool sign in again once
  // and the request is sent again.
  bool Exchange(TQorPack& pack, std::string_view extra, std::string* replyExtra,
                bool mayReauthenticate = true);
  TTransmit Transmit(const std::string& body, std::size_t frameSize, std::size_t extraSize,
                     const std::string& token, TQorPack& pack, std::string* replyExtra);
  bool Send(const std::string& header, const std::string& body);
  TWaitResult WaitForReply(const TQorNetContext& context);
  std::string BuildRequestHeader(std::int64_t id, std::size_t frameSize, std::size_t extraSize,
                                 const std::string& token) const;
  bool OpenSocket(std::chrono::milliseconds connectTimeOut);
  // The handshake and the judgement of the server's certificate (pool's TLS
  // setting); false leaves the socket to be closed.
  bool StartTls(std::chrono::steady_clock::time_point deadline);
  std::size_t ReadSome(char* data, std::size_t size, std::error_code& error);
  bool WriteAll(const std::string& line, const std::string& body);
  void StopReader();
  void ReaderLoop(std::stop_token stop);
  void ConnectionLost();

  TQorTCPClientPool* const m_pool;  // token, reconnection; null without a pool
  const int m_index;
  int m_kind = 0;
  std::string m_name;

  mutable std::mutex m_settingsMutex;
  std::string m_host = "127.0.0.1";
  std::atomic<std::uint16_t> m_port{kDefaultPort};
  std::atomic<int> m_timeOut{kDefaultTimeOut};

  std::mutex m_stateMutex;  // Connect and Disconnect, one at a time
  std::mutex m_writeMutex;  // one request on the socket at a time
  std::unique_ptr<TSocket> m_socket;
  std::jthread m_reader;
  std::atomic<bool> m_connected{false};
  std::atomic<TQorSocketStatus> m_status{TQorSocketStatus::Disconnected};
  std::atomic<std::int64_t> m_handle{0};
  std::atomic<std::uint64_t> m_connectAttempts{0};
  std::atomic<bool> m_encrypted{false};
  std::atomic<bool> m_resumed{false};
  std::atomic<std::thread::id> m_connectingThread{};

  std::atomic<bool> m_inCall{false};
  std::atomic<bool> m_leased{false};  // guarded by the pool's mutex for writes
  TQorNetContextList m_contexts;
  TQorNetMeter m_received;
  TQorNetMeter m_sent;
};

// Exclusive use of one pool connection; returns it to the pool when
// destroyed. Empty when the pool had none to give.
// REQUIRES: the pool outlives its leases.
class TQorTCPClientLease {
 public:
  TQorTCPClientLease() = default;
  TQorTCPClientLease(TQorTCPClientLease&& other) noexcept;
  TQorTCPClientLease& operator=(TQorTCPClientLease&& other) noexcept;
  ~TQorTCPClientLease() { Release(); }

  explicit operator bool() const { return m_client != nullptr; }
  // True when the lease holds a connection that is connected, or that the
  // pool could connect again now (TQorTCPClientPool::EnsureConnected).
  bool Ready() const;
  TQorTCPClient* Get() const { return m_client; }
  TQorTCPClient* operator->() const { return m_client; }
  TQorTCPClient& operator*() const { return *m_client; }
  // Returns the connection to the pool now; the lease is then empty.
  void Release();

 private:
  friend class TQorTCPClientPool;
  TQorTCPClientLease(TQorTCPClientPool* pool, TQorTCPClient* client)
      : m_pool(pool), m_client(client) {}

  TQorTCPClientPool* m_pool = nullptr;
  TQorTCPClient* m_client = nullptr;
};

// Signs in again for the pool when the server no longer knows the session
// (it was removed, or the server lost it). Implemented by the session.
class IQorReauthenticator {
 public:
  virtual ~IQorReauthenticator() = default;
  // Fills a "TUser.Login" request; false when there is nothing to sign in
  // with.
  virtual bool BuildLogin(TQorPack& request) = 0;
  // The sign-in's reply (ErrNo 1 or not); the pool has already taken its
  // token on success.
  virtual void LoginAnswered(const TQorPack& reply) = 0;
};

// Host, port and call time-out taken from the connect text.
struct TQorConnectSettings {
  std::string Host;
  std::uint16_t Port = TQorTCPClient::kDefaultPort;
  int TimeOut = TQorTCPClient::kDefaultTimeOut;
};
// Reads the name=value lines (split at CR LF, names in any letter case).
// Port: 8090 when missing or not a number from 1 to 65535; TimeOut: 10 when
// missing or not a number of 0 or more.
TQorConnectSettings ParseConnectText(std::string_view text);

// All connections of the process. A connection is handed to one holder at a
// time: AcquireFree and FindByName lease it under the pool's lock, and a
// leased connection is busy until the lease ends.
class TQorTCPClientPool {
 public:
  TQorTCPClientPool() = default;
  ~TQorTCPClientPool();  // frees the connections from the last to the first
  TQorTCPClientPool(const TQorTCPClientPool&) = delete;
  TQorTCPClientPool& operator=(const TQorTCPClientPool&) = delete;

  // Appends an unconnected connection whose index is its position.
  TQorTCPClient& AddConnection();
  TQorTCPClient& AddConnection(int kind, std::string name);
  // The process's eight: "Public0".."Public2" (kind 1), "Trans0".."Trans4"
  // (kind 100).
  void FillStandard();
  std::size_t Count() const;
  // For inspection (state, meters); calls go through a lease.
  TQorTCPClient& Item(std::size_t index) const;

  void SetConnectText(std::string text);
  std::string ConnectText() const;
  // Session token added to every request header as |Token=...; empty: none.
  void SetToken(std::string token);
  std::string Token() const;

  // True at once when connected; otherwise takes Host, Port and TimeOut from
  // the connect text and connects within 5 s.
  bool Connect(TQorTCPClient& client);
  // Connects every connection (kind < 1) or those of that kind, in order,
  // and stops at the first that cannot connect. True when all tried are
  // connected.
  bool ConnectAll(int kind);
  // Also turns reconnection off: the connections stay down until connected
  // on purpose.
  void DisconnectAll(int kind);
  bool AnyConnected() const;

  // Reconnection (off until a sign-in turns it on): a call on a dropped
  // connection connects it first, and a keeper thread brings dropped, unused
  // connections back every second, so the state shown is the server's.
  // Failed attempts back off (1 s doubling to 60 s by default) for the whole
  // pool, so a server that is down is not hammered and callers fail at once
  // meanwhile.
  void SetAutoReconnect(bool on);
  bool AutoReconnect() const;
  void SetReconnectBackoff(std::chrono::milliseconds first, std::chrono::milliseconds limit);
  // Connected already, or connected now when reconnection is on and the
  // back-off allows an attempt.
  bool EnsureConnected(TQorTCPClient& client);
  // Where a lost session is renewed; null: calls answered "not signed in"
  // fail as they are. REQUIRES: outlives its use by the pool.
  void SetReauthenticator(IQorReauthenticator* reauthenticator);
  // How often the pool signed in again by itself.
  std::uint64_t Reauthentications() const { return m_reauthentications.load(); }

  // Encrypted connections (off until turned on); connections already open
  // stay as they are.
  void SetTls(bool on);
  bool Tls() const;
  // The fingerprint pinned for the server of the connect text (empty: none
  // yet); also clears the last refusal.
  void SetPinnedFingerprint(std::string fingerprint);
  std::string PinnedFingerprint() const;
  // A fingerprint accepted on first use since the last SetPinnedFingerprint:
  // the caller pins it once the sign-in succeeded. Empty when none.
  std::string FirstUseFingerprint() const;
  // The last connection refused because the certificate changed.
  std::optional<TQorTlsRefusal> TlsRefusal() const;

  // Leases the first connection in pool order that is not leased and has no
  // waiting call (of that kind when kind > 0). Does not look at the
  // connection state. Empty when every one is busy.
  TQorTCPClientLease AcquireFree(int kind);
  // Leases the connection whose name equals name exactly. Empty when there
  // is none, or when it stays busy (leased or with a waiting call) for
  // longer than wait. A transfer engine holds the lease of its own "Trans"
  // connection while it moves a file, so AcquireFree skips it meanwhile.
  TQorTCPClientLease FindByName(std::string_view name,
                                std::chrono::milliseconds wait = std::chrono::milliseconds{0});

 private:
  friend class TQorTCPClientLease;
  friend class TQorTCPClient;
  bool IsFree(const TQorTCPClient& client) const;
  // The pool's verdict on the server a connection reached.
  bool AcceptServer(const TQorTlsPeer& peer, const std::string& host, std::uint16_t port);
  TQorTlsClientContext& TlsContext() { return m_tlsContext; }
  // Signs in again on client unless another caller already did since
  // tokenSent went out. True when the request may be sent again.
  bool Reauthenticate(TQorTCPClient& client, const std::string& tokenSent);
  void KeeperLoop(std::stop_token stop);
  void KeepOnce();
  void StopKeeper();
  void NoteAttempt(bool connected);
  TQorTCPClientLease LeaseLocked(TQorTCPClient& client);
  void Return(TQorTCPClient& client);
  std::vector<TQorTCPClient*> Snapshot(int kind) const;

  mutable std::mutex m_mutex;
  std::condition_variable m_returned;
  std::vector<std::unique_ptr<TQorTCPClient>> m_clients;
  std::string m_connectText;
  std::string m_token;

  bool m_autoReconnect = false;  // guarded by m_mutex
  std::chrono::milliseconds m_firstBackoff{1000};
  std::chrono::milliseconds m_backoffLimit{60000};
  std::chrono::milliseconds m_backoff{0};
  std::chrono::steady_clock::time_point m_retryAt{};

  std::mutex m_reauthMutex;  // one renewal at a time
  IQorReauthenticator* m_reauthenticator = nullptr;
  bool m_reauthRefused = false;  // until a new token is set
  std::atomic<std::uint64_t> m_reauthentications{0};

  mutable std::mutex m_tlsMutex;
  bool m_tls = false;
  std::string m_pinned;
  std::string m_firstUse;
  std::optional<TQorTlsRefusal> m_refusal;
  TQorTlsClientContext m_tlsContext;

  std::mutex m_keeperMutex;
  std::condition_variable_any m_keeperWake;
  std::jthread m_keeper;  // last: stopped before the connections go
};

}  // namespace solvane
