#include "net/TServer.h"

namespace solvane::server {

using asio::ip::tcp;

TServer::TServer(const TServerConfig& config, TServices& services, const TDispatcher& dispatcher,
                 std::unique_ptr<asio::ssl::context> tls)
    : m_config(config),
      m_services(services),
      m_dispatcher(dispatcher),
      // Connections need a context to exist even when no handshake is allowed.
      m_tls(tls ? std::move(tls)
                : std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server)),
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
      m_manager.Start(std::make_shared<TServerConnection>(std::move(s), *m_tls, m_config, m_services,
                                                          m_dispatcher, m_workers, m_manager));
    }
    Accept();
  });
}

}  // namespace solvane::server
