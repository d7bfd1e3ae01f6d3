#include "net/ServerConnection.h"

#include <algorithm>

#include <iostream>

#include "net/ConnectionKind.h"
#include "wire/QorWithPack.h"

namespace solvane::server {

using asio::ip::tcp;

namespace {
// Bytes read from the socket at a time into a request's buffer.
constexpr std::size_t kReadChunk = 64u << 10;
}  // namespace

TServerConnection::TServerConnection(tcp::socket socket, asio::ssl::context& tls,
                                     const TServerConfig& config, TServices& services,
                                     const TDispatcher& dispatcher, asio::thread_pool& workers,
                                     TConnectionManager& manager)
    : m_stream(std::move(socket), tls),
      m_socket(m_stream.Socket()),
      m_config(config),
      m_services(services),
      m_dispatcher(dispatcher),
      m_workers(workers),
      m_manager(manager),
      m_headerBuf(config.maxHeaderLine + 2),
      m_idle(m_socket.get_executor()),
      m_backlog(config) {
  std::error_code ec;
  auto ep = m_socket.remote_endpoint(ec);
  if (!ec) m_peer = ep.address().to_string();
  m_handle = static_cast<std::int64_t>(m_socket.native_handle());
}

// The first byte tells TLS from the plain protocol; it is only peeked at, so
// the handshake or the header line reads it again.
void TServerConnection::Start() {
  ArmIdleTimer();
  m_socket.async_wait(tcp::socket::wait_read,
                      [self = shared_from_this()](std::error_code ec) { self->OnFirstByte(ec); });
}

void TServerConnection::OnFirstByte(std::error_code ec) {
  if (ec) return Close();
  unsigned char first = 0;
  const std::size_t n = m_socket.receive(asio::buffer(&first, 1), tcp::socket::message_peek, ec);
  if (ec || n == 0) return Close();
  std::error_code endpointError;
  const auto peer = m_socket.remote_endpoint(endpointError);
  const bool loopback = !endpointError && IsLoopback(peer.address());
  switch (ClassifyConnection(m_config.tlsMode, first, loopback)) {
    case TConnectionKind::Unknown:
      return Close();
    case TConnectionKind::PlainRefused:
      std::cerr << "refused a plain connection from " << m_peer
                << ": this server requires encrypted connections (--tls required)" << std::endl;
      m_refusePlain = true;
      return ReadHeader();
    case TConnectionKind::Plain:
      return ReadHeader();
    case TConnectionKind::Tls:
      break;
  }
  m_stream.UseTls();
  m_stream.Tls().async_handshake(asio::ssl::stream_base::server,
                                 [self = shared_from_this()](std::error_code hec) {
                                   if (hec) return self->Close();
                                   self->ArmIdleTimer();
                                   self->ReadHeader();
                                 });
}

void TServerConnection::Stop() {
  std::error_code ec;
  m_idle.cancel();
  m_socket.shutdown(tcp::socket::shutdown_both, ec);
  m_socket.close(ec);
  m_waiting.clear();  // never started; the request being read stays until its read ends
}

void TServerConnection::Close() { m_manager.Stop(shared_from_this()); }

// Re-armed whenever bytes move either way. A connection whose requests are
// still at work is not idle; one whose peer neither sends nor reads is.
void TServerConnection::ArmIdleTimer() {
  m_idle.expires_after(m_config.idleTimeout);
  m_idle.async_wait([self = shared_from_this()](std::error_code ec) {
    if (ec) return;
    if (self->m_backlog.Running() > 0) return self->ArmIdleTimer();
    self->Close();
  });
}

void TServerConnection::ReadHeader() {
  if (m_reading || !m_socket.is_open() || !m_backlog.MayRead()) return;  // resumed later
  m_reading = true;
  asio::async_read_until(m_stream, m_headerBuf, '\n',
                         [self = shared_from_this()](std::error_code ec, std::size_t length) {
                           self->OnHeader(ec, length);
                         });
}

void TServerConnection::OnHeader(std::error_code ec, std::size_t lineLength) {
  if (ec) return Close();  // includes a line longer than the limit
  ArmIdleTimer();
  std::string line(asio::buffers_begin(m_headerBuf.data()),
                   asio::buffers_begin(m_headerBuf.data()) + lineLength);
  m_headerBuf.consume(lineLength);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.empty()) {  // a blank line between requests is tolerated
    m_reading = false;
    return ReadHeader();
  }
  auto header = ParseHeaderLineStrict(line, m_config.maxHeaderLine);
  if (!header || header->frameSize <= 0 ||
      static_cast<std::size_t>(header->frameSize) > m_config.maxFrame ||
      static_cast<std::size_t>(header->extraSize) > m_config.maxExtra)
    return Close();
  m_incoming = std::make_shared<TRequest>();
  m_incoming->header = std::move(*header);
  m_bodySize =
      static_cast<std::size_t>(m_incoming->header.frameSize + m_incoming->header.extraSize);
  const std::string& token = m_incoming->header.token;
  if (m_bodySize <= m_backlog.RequestLimit(false) || m_services.sessions.IsLive(token))
    return AdmitBody(true);
  if (token.empty()) return Close();
  // A session saved by an earlier run is looked up in the database, which is
  // the workers' business, not the network thread's.
  asio::post(m_workers, [self = shared_from_this(), token] {
    bool valid = false;
    try {
      valid = self->m_services.sessions.Find(token).has_value();
    } catch (const std::exception&) {  // unreadable store: treated as no session
    }
    asio::post(self->m_socket.get_executor(), [self, valid] { self->AdmitBody(valid); });
  });
}

void TServerConnection::AdmitBody(bool signedIn) {
  if (!m_socket.is_open() || !m_incoming) return;
  if (m_bodySize > m_backlog.RequestLimit(signedIn)) return Close();
  // Bytes that came with the header line start the body.
  const std::size_t early = std::min(m_bodySize, m_headerBuf.size());
  m_incoming->body.resize(early);
  asio::buffer_copy(asio::buffer(m_incoming->body), m_headerBuf.data());
  m_headerBuf.consume(early);
  ReadBody();
}

// The buffer grows by what each read brings, never ahead of the bytes.
void TServerConnection::ReadBody() {
  std::string& body = m_incoming->body;
  const std::size_t have = body.size();
  if (have == m_bodySize) return OnBodyComplete();
  const std::size_t chunk = std::min(kReadChunk, m_bodySize - have);
  body.resize(have + chunk);
  m_stream.async_read_some(asio::buffer(body.data() + have, chunk),
                           [self = shared_from_this(), have](std::error_code ec, std::size_t n) {
                             if (ec || !self->m_incoming) return self->Close();
                             self->m_incoming->body.resize(have + n);
                             self->ArmIdleTimer();
                             self->ReadBody();
                           });
}

void TServerConnection::OnBodyComplete() {
  m_reading = false;
  m_backlog.RequestRead(m_bodySize);
  m_waiting.push_back(std::move(m_incoming));
  RunWaiting();
  ReadHeader();
}

void TServerConnection::RunWaiting() {
  while (!m_waiting.empty() && m_backlog.MayRun()) {
    m_backlog.RequestStarted();
    asio::post(m_workers, [self = shared_from_this(), request = std::move(m_waiting.front())] {
      self->Process(request);
    });
    m_waiting.pop_front();
  }
}

// Runs on a worker thread.
void TServerConnection::Process(const std::shared_ptr<TRequest>& request) {
  bool malformed = false;
  std::string reply = Answer(*request, malformed);
  const std::size_t requestBytes = request->body.size();
  if (malformed) {
    // Not a frame at all: the stream cannot be trusted any further.
    asio::post(m_socket.get_executor(), [self = shared_from_this()] { self->Close(); });
    return;
  }
  asio::post(m_socket.get_executor(),
             [self = shared_from_this(), requestBytes, reply = std::move(reply)]() mutable {
               self->Finish(requestBytes, std::move(reply));
             });
}

// The reply's header line, frame and extra data.
std::string TServerConnection::Answer(const TRequest& request, bool& malformed) {
  const THeaderLine& header = request.header;
  std::string_view frame(request.body.data(), static_cast<std::size_t>(header.frameSize));
  std::string_view extra(request.body.data() + header.frameSize,
                         static_cast<std::size_t>(header.extraSize));
  TQorPack pack;
  if (!pack.LoadFromStream(frame) || pack.LineCount() < 9) {
    malformed = true;
    return {};
  }
  TRequestContext ctx(m_services, pack, extra, m_peer);
  if (m_refusePlain) {
    ctx.Reply().SetFunNo(pack.FunNo());
    ctx.Fail(kErrForbidden,
             "this server accepts encrypted connections only: connect with TLS (turn off the "
             "plain connection setting, or leave out --plain)");
  } else {
    m_dispatcher.Handle(ctx, header.token);
  }
  std::string frameOut = ctx.Reply().SaveToString();
  THeaderLine h;
  h.bindingHandle = m_handle;
  h.id = header.id;
  h.frameSize = static_cast<std::int64_t>(frameOut.size());
  h.extraSize = static_cast<std::int64_t>(ctx.ExtraOut().size());
  std::string out = BuildHeaderLine(h) + "\r\n";
  out.reserve(out.size() + frameOut.size() + ctx.ExtraOut().size());
  out += frameOut;
  out += ctx.ExtraOut();
  return out;
}

void TServerConnection::Finish(std::size_t requestBytes, std::string reply) {
  if (!m_socket.is_open()) return;
  m_backlog.RequestAnswered(requestBytes, reply.size());
  m_writeQueue.push_back(std::move(reply));
  if (m_writeQueue.size() == 1) WriteNext();
  RunWaiting();
  ReadHeader();
}

void TServerConnection::WriteNext() {
  asio::async_write(m_stream, asio::buffer(m_writeQueue.front()),
                    [self = shared_from_this()](std::error_code ec, std::size_t) {
                      if (ec) return self->Close();
                      self->ArmIdleTimer();
                      self->m_backlog.ReplySent(self->m_writeQueue.front().size());
                      self->m_writeQueue.pop_front();
                      if (!self->m_writeQueue.empty()) self->WriteNext();
                      self->ReadHeader();  // resumes reading paused for the backlog
                    });
}

void TConnectionManager::Start(std::shared_ptr<TServerConnection> c) {
  {
    std::lock_guard g(m_mutex);
    m_connections.insert(c);
  }
  c->Start();
}

void TConnectionManager::Stop(const std::shared_ptr<TServerConnection>& c) {
  {
    std::lock_guard g(m_mutex);
    m_connections.erase(c);
  }
  c->Stop();
}

void TConnectionManager::StopAll() {
  std::set<std::shared_ptr<TServerConnection>> all;
  {
    std::lock_guard g(m_mutex);
    all.swap(m_connections);
  }
  for (const auto& c : all) c->Stop();
}

}  // namespace solvane::server
