#include "net/TServer.h"

#include <deque>
#include <iostream>

#include "wire/QorWithHeaderLine.h"
#include "wire/QorWithPack.h"

namespace solvane::server {

using asio::ip::tcp;

class TServerConnection : public std::enable_shared_from_this<TServerConnection> {
 public:
  TServerConnection(tcp::socket socket, const TServerConfig& config, TServices& services,
                    const TDispatcher& dispatcher, asio::thread_pool& workers,
                    TConnectionManager& manager)
      : m_socket(std::move(socket)),
        m_config(config),
        m_services(services),
        m_dispatcher(dispatcher),
        m_workers(workers),
        m_manager(manager),
        m_headerBuf(config.maxHeaderLine + 2),
        m_idle(m_socket.get_executor()) {
    std::error_code ec;
    auto ep = m_socket.remote_endpoint(ec);
    if (!ec) m_peer = ep.address().to_string();
    m_handle = static_cast<std::int64_t>(m_socket.native_handle());
  }

  void Start() {
    ArmIdleTimer();
    ReadHeader();
  }

  void Stop() {
    std::error_code ec;
    m_idle.cancel();
    m_socket.shutdown(tcp::socket::shutdown_both, ec);
    m_socket.close(ec);
  }

 private:
  void Close() { m_manager.Stop(shared_from_this()); }

  void ArmIdleTimer() {
    m_idle.expires_after(m_config.idleTimeout);
    m_idle.async_wait([self = shared_from_this()](std::error_code ec) {
      if (ec) return;
      if (self->m_inFlight > 0) {
        self->ArmIdleTimer();
        return;
      }
      self->Close();
    });
  }

  void ReadHeader() {
    if (m_reading || !m_socket.is_open()) return;
    if (m_inFlight >= m_config.maxInFlightPerConnection) return;  // resumed by Finish
    m_reading = true;
    asio::async_read_until(
        m_socket, m_headerBuf, '\n',
        [self = shared_from_this()](std::error_code ec, std::size_t lineLength) {
          self->OnHeader(ec, lineLength);
        });
  }

  void OnHeader(std::error_code ec, std::size_t lineLength) {
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
    m_header = *header;
    const std::size_t total = static_cast<std::size_t>(header->frameSize + header->extraSize);
    m_body.assign(total, '\0');
    const std::size_t already = std::min(total, m_headerBuf.size());
    asio::buffer_copy(asio::buffer(m_body.data(), already), m_headerBuf.data());
    m_headerBuf.consume(already);
    asio::async_read(m_socket, asio::buffer(m_body.data() + already, total - already),
                     [self = shared_from_this()](std::error_code e, std::size_t) {
                       self->OnBody(e);
                     });
  }

  void OnBody(std::error_code ec) {
    if (ec) return Close();
    ArmIdleTimer();
    m_reading = false;
    ++m_inFlight;
    auto body = std::make_shared<std::string>(std::move(m_body));
    m_body.clear();
    asio::post(m_workers, [self = shared_from_this(), header = m_header, body] {
      self->Process(header, *body);
    });
    ReadHeader();
  }

  // Runs on a worker thread.
  void Process(const THeaderLine& header, const std::string& body) {
    std::string_view frame(body.data(), static_cast<std::size_t>(header.frameSize));
    std::string_view extra(body.data() + header.frameSize,
                           static_cast<std::size_t>(header.extraSize));
    TQorPack request;
    std::string out;
    if (!request.LoadFromStream(frame) || request.Lines().size() < 9) {
      // Not a frame at all: the stream cannot be trusted any further.
      asio::post(m_socket.get_executor(), [self = shared_from_this()] { self->Close(); });
      return;
    }
    TRequestContext ctx(m_services, request, extra, m_peer);
    m_dispatcher.Handle(ctx, header.token);
    std::string frameOut = ctx.Reply().SaveToString();
    THeaderLine h;
    h.bindingHandle = m_handle;
    h.id = header.id;
    h.frameSize = static_cast<std::int64_t>(frameOut.size());
    h.extraSize = static_cast<std::int64_t>(ctx.ExtraOut().size());
    out = BuildHeaderLine(h) + "\r\n";
    out += frameOut;
    out += ctx.ExtraOut();
    asio::post(m_socket.get_executor(),
               [self = shared_from_this(), reply = std::move(out)]() mutable {
                 self->Finish(std::move(reply));
               });
  }

  void Finish(std::string reply) {
    --m_inFlight;
    m_writeQueue.push_back(std::move(reply));
    if (m_writeQueue.size() == 1) WriteNext();
    ReadHeader();
  }

  void WriteNext() {
    asio::async_write(m_socket, asio::buffer(m_writeQueue.front()),
                      [self = shared_from_this()](std::error_code ec, std::size_t) {
                        if (ec) return self->Close();
                        self->m_writeQueue.pop_front();
                        if (!self->m_writeQueue.empty()) self->WriteNext();
                      });
  }

  tcp::socket m_socket;
  const TServerConfig& m_config;
  TServices& m_services;
  const TDispatcher& m_dispatcher;
  asio::thread_pool& m_workers;
  TConnectionManager& m_manager;
  asio::streambuf m_headerBuf;
  asio::steady_timer m_idle;
  std::string m_peer;
  std::int64_t m_handle = 0;
  THeaderLine m_header;
  std::string m_body;
  std::deque<std::string> m_writeQueue;
  int m_inFlight = 0;
  bool m_reading = false;
};

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

TServer::TServer(const TServerConfig& config, TServices& services, const TDispatcher& dispatcher)
    : m_config(config),
      m_services(services),
      m_dispatcher(dispatcher),
      m_workers(static_cast<std::size_t>(config.workerThreads)),
      m_acceptor(m_io),
      m_signals(m_io, SIGINT, SIGTERM) {}

TServer::~TServer() {
  Stop();
  m_workers.join();
}

std::string TServer::Listen() {
  tcp::resolver resolver(m_io);
  tcp::endpoint endpoint = *resolver.resolve(m_config.host, std::to_string(m_config.port)).begin();
  m_acceptor.open(endpoint.protocol());
  m_acceptor.set_option(tcp::acceptor::reuse_address(true));
  m_acceptor.bind(endpoint);
  m_acceptor.listen();
  auto bound = m_acceptor.local_endpoint();
  return bound.address().to_string() + ":" + std::to_string(bound.port());
}

void TServer::Run() {
  m_signals.async_wait([this](std::error_code, int) { Stop(); });
  Accept();
  m_io.run();
}

void TServer::Stop() {
  asio::post(m_io, [this] {
    std::error_code ec;
    m_acceptor.close(ec);
    m_signals.cancel(ec);
    m_manager.StopAll();
  });
}

void TServer::Accept() {
  m_acceptor.async_accept(asio::make_strand(m_io), [this](std::error_code ec, tcp::socket s) {
    if (!m_acceptor.is_open()) return;
    if (!ec) {
      s.set_option(tcp::no_delay(true), ec);
      m_manager.Start(std::make_shared<TServerConnection>(std::move(s), m_config, m_services,
                                                          m_dispatcher, m_workers, m_manager));
    }
    Accept();
  });
}

}  // namespace solvane::server
