#include "wire/QorWithNetTCPClient.h"

#include <array>
#include <functional>

#include <asio.hpp>
#include <asio/ssl.hpp>
#include <openssl/ssl.h>

#include "wire/QorWithHeaderLine.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"
#include "wire/QorWithReplyParser.h"
#include "wire/QorWithUiPump.h"

namespace solvane {

namespace {

using asio::ip::tcp;
using TClock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kUiSlice{10};
constexpr std::size_t kReadChunk = 64 * 1024;

// Runs the connect handlers until done() or the deadline; on the
// user-interface thread in 10 ms slices with the pump between them.
void RunUntil(asio::io_context& io, const std::function<bool()>& done,
              TClock::time_point deadline) {
  const bool ui = IsUiThread();
  while (!done()) {
    auto now = TClock::now();
    if (now >= deadline) return;
    auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    if (ui) slice = std::min(slice, kUiSlice);
    io.restart();
    io.run_for(std::max(slice, std::chrono::milliseconds{1}));
    if (ui) PumpUi();
  }
}

struct TConnectState {
  bool done = false;
  asio::error_code error;
  std::vector<tcp::endpoint> endpoints;
};

}  // namespace

// The socket and the io_context that runs its connect. After connecting,
// plain reads (reader thread) and writes (callers) are blocking operations.
// An encrypted connection's TLS state must not be used by two threads at
// once, so there the reader thread runs the io_context: it reads, and it
// also carries out the writes callers hand it, one at a time.
struct TQorTCPClient::TSocket {
  asio::io_context io;
  tcp::socket socket{io};
  std::unique_ptr<asio::ssl::stream<tcp::socket&>> tls;  // while encrypted
  std::string tlsPeer;                                     // "host:port" of tls
  std::mutex ioMutex;
  bool ioRunning = false;  // the reader thread takes writes (guarded by ioMutex)
};

TQorTCPClient::TQorTCPClient() : TQorTCPClient(nullptr, 0) {}

TQorTCPClient::TQorTCPClient(TQorTCPClientPool* pool, int index)
    : m_pool(pool), m_index(index), m_socket(std::make_unique<TSocket>()) {}

TQorTCPClient::~TQorTCPClient() { Disconnect(); }

void TQorTCPClient::SetHost(std::string host) {
  std::lock_guard lock(m_settingsMutex);
  m_host = std::move(host);
}

std::string TQorTCPClient::Host() const {
  std::lock_guard lock(m_settingsMutex);
  return m_host;
}

// ---------------------------------------------------------------- connecting

bool TQorTCPClient::Connect(std::chrono::milliseconds connectTimeOut) {
  // An event handled while this thread connects may ask again: refuse it
  // rather than lock twice.
  if (m_connectingThread.load() == std::this_thread::get_id()) return false;
  std::lock_guard lock(m_stateMutex);
  if (m_connected.load()) return true;
  m_connectingThread.store(std::this_thread::get_id());
  StopReader();
  m_connectAttempts.fetch_add(1);
  bool ok = OpenSocket(connectTimeOut);
  {
    std::lock_guard ioLock(m_socket->ioMutex);
    m_socket->ioRunning = ok && m_socket->tls;
  }
  m_encrypted.store(ok && m_socket->tls);
  if (ok) {
    m_contexts.Open();
    m_connected.store(true);
    m_status.store(TQorSocketStatus::Connected);
    m_reader = std::jthread([this](std::stop_token stop) { ReaderLoop(stop); });
  } else {
    m_status.store(TQorSocketStatus::Disconnected);
  }
  m_connectingThread.store(std::thread::id());
  return ok;
}

bool TQorTCPClient::OpenSocket(std::chrono::milliseconds connectTimeOut) {
  const auto deadline = TClock::now() + connectTimeOut;
  auto state = std::make_shared<TConnectState>();
  const std::string host = Host();
  const std::uint16_t port = Port();

  m_status.store(TQorSocketStatus::Resolving);
  asio::error_code error;
  asio::ip::address address = asio::ip::make_address(host, error);
  if (!error) {
    state->endpoints.emplace_back(address, port);
  } else {
    tcp::resolver resolver(m_socket->io);
    resolver.async_resolve(host, std::to_string(port),
                           [state](asio::error_code ec, tcp::resolver::results_type results) {
                             for (const auto& entry : results)
                               state->endpoints.push_back(entry.endpoint());
                             state->done = true;
                             state->error = ec;
                           });
    RunUntil(
        m_socket->io, [&] { return state->done; }, deadline);
    // An unfinished look-up is abandoned; its handler only touches state.
    if (!state->done || state->error || state->endpoints.empty()) return false;
  }

  m_status.store(TQorSocketStatus::Connecting);
  std::lock_guard writeLock(m_writeMutex);
  tcp::socket& socket = m_socket->socket;
  socket.close(error);
  state->done = false;
  asio::async_connect(socket, state->endpoints, [state](asio::error_code ec, const tcp::endpoint&) {
    state->error = ec;
    state->done = true;
  });
  RunUntil(
      m_socket->io, [&] { return state->done; }, deadline);
  if (!state->done) {
    socket.close(error);  // cancels the attempt; let its handler finish
    RunUntil(
        m_socket->io, [&] { return state->done; }, TClock::now() + std::chrono::seconds(1));
    return false;
  }
  if (state->error) {
    socket.close(error);
    return false;
  }
  socket.set_option(tcp::no_delay(true), error);
  m_socket->tls.reset();
  m_resumed.store(false);
  if (m_pool && m_pool->Tls() && !StartTls(deadline)) {
    m_socket->tls.reset();
    socket.close(error);
    return false;
  }
  m_handle.store(static_cast<std::int64_t>(socket.native_handle()));
  return true;
}

// REQUIRES: m_writeMutex held, the socket connected.
bool TQorTCPClient::StartTls(TClock::time_point deadline) {
  const std::string host = Host();
  const std::uint16_t port = Port();
  auto& tls = m_socket->tls;
  tls = std::make_unique<asio::ssl::stream<tcp::socket&>>(m_socket->socket,
                                                           m_pool->TlsContext().Context());
  m_pool->TlsContext().Prepare(*tls, host, port, m_socket->tlsPeer);
  auto state = std::make_shared<TConnectState>();
  tls->async_handshake(asio::ssl::stream_base::client, [state](asio::error_code ec) {
    state->error = ec;
    state->done = true;
  });
  RunUntil(
      m_socket->io, [&] { return state->done; }, deadline);
  if (!state->done) {
    asio::error_code error;
    m_socket->socket.close(error);  // cancels the handshake; let its handler finish
    RunUntil(
        m_socket->io, [&] { return state->done; }, TClock::now() + std::chrono::seconds(1));
    return false;
  }
  if (state->error || !m_pool->AcceptServer(InspectPeer(*tls), host, port)) return false;
  m_resumed.store(SSL_session_reused(tls->native_handle()) == 1);
  return true;
}

void TQorTCPClient::Disconnect() {
  if (m_connectingThread.load() == std::this_thread::get_id()) return;
  std::lock_guard lock(m_stateMutex);
  m_connected.store(false);
  if (m_status.load() != TQorSocketStatus::Disconnected)
    m_status.store(TQorSocketStatus::Disconnecting);
  StopReader();
  m_contexts.CloseAndFailAll();
  {
    std::lock_guard writeLock(m_writeMutex);
    asio::error_code error;
    m_socket->socket.close(error);
    m_socket->tls.reset();
  }
  m_handle.store(0);
  m_status.store(TQorSocketStatus::Disconnected);
}

// REQUIRES: m_stateMutex held.
void TQorTCPClient::StopReader() {
  if (!m_reader.joinable()) return;
  m_reader.request_stop();
  asio::error_code error;
  m_socket->socket.shutdown(tcp::socket::shutdown_both, error);  // wakes the blocked read
  m_reader.join();
}

// ------------------------------------------------------------------- reading

void TQorTCPClient::ReaderLoop(std::stop_token stop) {
  TQorReplyParser parser([this](std::int64_t id) { return m_contexts.IsWaiting(id); });
  std::vector<char> chunk(kReadChunk);
  std::vector<TQorReply> replies;
  while (!stop.stop_requested()) {
    asio::error_code error;
    std::size_t n = ReadSome(chunk.data(), chunk.size(), error);
    if (error) break;
    bool intact = parser.Feed(std::string_view(chunk.data(), n), replies);
    m_received.Add(static_cast<std::int64_t>(parser.TakeCountedBytes()));
    for (TQorReply& reply : replies)
      m_contexts.Deliver(reply.Id, std::move(reply.Frame), std::move(reply.Extra));
    replies.clear();
    if (!intact) break;
  }
  ConnectionLost();
  if (m_socket->tls) {
    // Writes handed over meanwhile fail now (the socket is shut down); run
    // them so their callers learn it.
    {
      std::lock_guard ioLock(m_socket->ioMutex);
      m_socket->ioRunning = false;
    }
    m_socket->io.restart();
    m_socket->io.run();
  }
}

std::size_t TQorTCPClient::ReadSome(char* data, std::size_t size, std::error_code& error) {
  if (!m_socket->tls) return m_socket->socket.read_some(asio::buffer(data, size), error);
  bool done = false;
  std::size_t n = 0;
  m_socket->tls->async_read_some(asio::buffer(data, size), [&](asio::error_code ec,
                                                               std::size_t k) {
    error = ec;
    n = k;
    done = true;
  });
  m_socket->io.restart();
  while (!done && m_socket->io.run_one() > 0) {
  }
  if (!done) error = asio::error::operation_aborted;  // the loop ran dry: a broken stream
  return n;
}
// Runs on the reader thread when its stream ends, breaks or is shut down.
void TQorTCPClient::ConnectionLost() {
  m_connected.store(false);
  m_status.store(TQorSocketStatus::Disconnected);
  asio::error_code error;
  m_socket->socket.shutdown(tcp::socket::shutdown_both, error);
  m_contexts.CloseAndFailAll();
}

// ------------------------------------------------------------------- calling

bool TQorTCPClient::Call(TQorPack& pack) { return CallUpload(pack, {}); }

bool TQorTCPClient::CallUpload(TQorPack& pack, std::string_view extra) {
  if (m_inCall.exchange(true)) return false;
  bool ok = Exchange(pack, extra, nullptr);
  m_inCall.store(false);
  return ok;
}

bool TQorTCPClient::CallDownload(TQorPack& pack, std::string& extra) {
  std::string replyExtra;
  if (!Exchange(pack, extra, &replyExtra)) return false;
  extra = std::move(replyExtra);
  return true;
}

std::size_t TQorTCPClient::CallPipelined(std::span<TPipelinedCall> calls) {
  if (calls.empty() || m_inCall.exchange(true)) return 0;
  struct TSent {
    std::string body;
    std::size_t frameSize = 0;
    TQorNetContextList::TContext context;
  };
  std::vector<TSent> sent;
  std::size_t answered = 0;
  if (m_connected.load() || (m_pool && m_pool->EnsureConnected(*this))) {
    const std::string token = m_pool ? m_pool->Token() : std::string();
    sent.reserve(calls.size());
    for (TPipelinedCall& call : calls) {
      call.Answered = false;
      TSent s;
      call.Pack->SaveToStream(s.body);
      s.frameSize = s.body.size();
      s.body.append(call.Extra);
      s.context = m_contexts.Start();
      if (!s.context) break;
      if (!Send(BuildRequestHeader(s.context->Id, s.frameSize, call.Extra.size(), token),
                s.body)) {
        m_contexts.CountFailed();
        m_contexts.Remove(s.context);
        break;
      }
      sent.push_back(std::move(s));
    }
    for (std::size_t i = 0; i < sent.size(); ++i) {
      TPipelinedCall& call = calls[i];
      TSent& s = sent[i];
      call.Pack->Reset();
      const TWaitResult result = WaitForReply(*s.context);
      m_contexts.Remove(s.context);
      if (result != TWaitResult::Arrived) {
        m_contexts.CountFailed();
        continue;
      }
      call.Pack->LoadFromStream(s.context->Buffer);
      call.ReplyExtra = std::move(s.context->Extra);
      call.Answered = true;
      if (m_pool && call.Pack->ErrNo() == kErrNoNotSignedIn && m_pool->Reauthenticate(*this, token)) {
        // Refused before it did anything: once more, alone, with the new token.
        call.Answered = (m_connected.load() || m_pool->EnsureConnected(*this)) &&
                        Transmit(s.body, s.frameSize, call.Extra.size(), m_pool->Token(),
                                 *call.Pack, &call.ReplyExtra) == TTransmit::Arrived;
      }
      if (call.Answered) ++answered;
    }
  }
  m_inCall.store(false);
  return answered;
}

bool TQorTCPClient::Exchange(TQorPack& pack, std::string_view extra, std::string* replyExtra,
                             bool mayReauthenticate) {
  if (!m_connected.load() && !(m_pool && m_pool->EnsureConnected(*this))) return false;
  std::string body;
  pack.SaveToStream(body);
  const std::size_t frameSize = body.size();
  body.append(extra);

  std::string token = m_pool ? m_pool->Token() : std::string();
  TTransmit result = Transmit(body, frameSize, extra.size(), token, pack, replyExtra);
  if (result == TTransmit::Arrived && mayReauthenticate && m_pool &&
      pack.ErrNo() == kErrNoNotSignedIn && m_pool->Reauthenticate(*this, token)) {
    // The request itself was refused before it did anything: send it again
    // with the new session's token.
    if (!m_connected.load() && !m_pool->EnsureConnected(*this)) return false;
    token = m_pool->Token();
    result = Transmit(body, frameSize, extra.size(), token, pack, replyExtra);
  }
  return result == TTransmit::Arrived;
}

TQorTCPClient::TTransmit TQorTCPClient::Transmit(const std::string& body, std::size_t frameSize,
                                                 std::size_t extraSize, const std::string& token,
                                                 TQorPack& pack, std::string* replyExtra) {
  TQorNetContextList::TContext context = m_contexts.Start();
  if (!context) return TTransmit::NotSent;
  if (!Send(BuildRequestHeader(context->Id, frameSize, extraSize, token), body)) {
    m_contexts.CountFailed();
    m_contexts.Remove(context);
    return TTransmit::NotSent;
  }

  pack.Reset();
  TWaitResult result = WaitForReply(*context);
  m_contexts.Remove(context);
  if (result != TWaitResult::Arrived) {
    m_contexts.CountFailed();
    return TTransmit::NoReply;
  }
  pack.LoadFromStream(context->Buffer);
  if (replyExtra) *replyExtra = std::move(context->Extra);
  return TTransmit::Arrived;
}

std::string TQorTCPClient::BuildRequestHeader(std::int64_t id, std::size_t frameSize,
                                              std::size_t extraSize,
                                              const std::string& token) const {
  THeaderLine header;
  header.bindingHandle = m_handle.load();
  header.id = id;
  header.frameSize = static_cast<std::int64_t>(frameSize);
  header.extraSize = static_cast<std::int64_t>(extraSize);
  header.token = token;
  return BuildHeaderLine(header);
}

bool TQorTCPClient::Send(const std::string& header, const std::string& body) {
  std::lock_guard lock(m_writeMutex);
  if (!m_connected.load()) return false;
  const std::string line = header + "\r\n";
  if (!WriteAll(line, body)) {
    asio::error_code error;
    // Part of the request may have gone out: the server's stream is out of
    // step, so the connection is finished.
    m_socket->socket.shutdown(tcp::socket::shutdown_both, error);
    return false;
  }
  m_sent.Add(static_cast<std::int64_t>(header.size() + body.size()));
  return true;
}

// REQUIRES: m_writeMutex held.
bool TQorTCPClient::WriteAll(const std::string& line, const std::string& body) {
  std::array<asio::const_buffer, 2> buffers{asio::buffer(line), asio::buffer(body)};
  asio::error_code error;
  if (!m_socket->tls) {
    asio::write(m_socket->socket, buffers, error);
    return !error;
  }
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  bool done = false;
  {
    std::lock_guard ioLock(m_socket->ioMutex);
    if (!m_socket->ioRunning) return false;
    asio::post(m_socket->io, [&] {
      asio::async_write(*m_socket->tls, buffers, [&](asio::error_code ec, std::size_t) {
        std::lock_guard doneLock(doneMutex);
        error = ec;
        done = true;
        doneSignal.notify_one();
      });
    });
  }
  std::unique_lock doneLock(doneMutex);
  doneSignal.wait(doneLock, [&] { return done; });
  return !error;
}

TQorTCPClient::TWaitResult TQorTCPClient::WaitForReply(const TQorNetContext& context) {
  const int timeOut = TimeOut();
  TQorNetContextList::TDeadline deadline;
  if (timeOut > 0) deadline = TClock::now() + std::chrono::seconds(timeOut);

  if (!IsUiThread()) {
    m_contexts.WaitUntil(context, deadline);
  } else {
    while (context.State.load() == TQorNetContext::kWaiting) {
      PumpUi();
      auto slice = TClock::now() + kUiSlice;
      m_contexts.WaitUntil(context, deadline ? std::min(slice, *deadline) : slice);
      PumpUi();
      if (deadline && TClock::now() >= *deadline) break;
    }
  }
  return context.State.load() == TQorNetContext::kArrived ? TWaitResult::Arrived
                                                          : TWaitResult::NoReply;
}

// ----------------------------------------------------- pool: encrypted links

void TQorTCPClientPool::SetTls(bool on) {
  std::lock_guard lock(m_tlsMutex);
  m_tls = on;
}

bool TQorTCPClientPool::Tls() const {
  std::lock_guard lock(m_tlsMutex);
  return m_tls;
}

void TQorTCPClientPool::SetPinnedFingerprint(std::string fingerprint) {
  {
    std::lock_guard lock(m_tlsMutex);
    // A kept session belongs to the certificate it was made with.
    if (fingerprint != m_pinned && fingerprint != m_firstUse) m_tlsContext.Forget();
    m_pinned = std::move(fingerprint);
    m_firstUse.clear();
    m_refusal.reset();
  }
}

std::string TQorTCPClientPool::PinnedFingerprint() const {
  std::lock_guard lock(m_tlsMutex);
  return m_pinned;
}

std::string TQorTCPClientPool::FirstUseFingerprint() const {
  std::lock_guard lock(m_tlsMutex);
  return m_firstUse;
}

std::optional<TQorTlsRefusal> TQorTCPClientPool::TlsRefusal() const {
  std::lock_guard lock(m_tlsMutex);
  return m_refusal;
}

// A certificate first seen now is held to for the pool's other connections,
// so one sign-in never mixes two servers.
bool TQorTCPClientPool::AcceptServer(const TQorTlsPeer& peer, const std::string& host,
                                     std::uint16_t port) {
  std::lock_guard lock(m_tlsMutex);
  if (peer.Fingerprint.empty()) return false;
  const std::string& expected = m_pinned.empty() ? m_firstUse : m_pinned;
  switch (JudgeServerCertificate(peer.ChainAndHostVerified, peer.Fingerprint, expected)) {
    case TQorTlsVerdict::TrustedByCa:
    case TQorTlsVerdict::Pinned:
      return true;
    case TQorTlsVerdict::FirstUse:
      m_firstUse = peer.Fingerprint;
      return true;
    case TQorTlsVerdict::Changed:
      m_refusal = TQorTlsRefusal{host, port, expected, peer.Fingerprint};
      m_tlsContext.Forget();
      return false;
  }
  return false;
}

}  // namespace solvane
