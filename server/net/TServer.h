#pragma once
// The listening server: accepts connections (net/ServerConnection) and runs
// their requests on a pool of worker threads.

#include <asio.hpp>
#include <asio/ssl/context.hpp>

#include <memory>
#include <string>

#include "net/ServerConfig.h"
#include "net/ServerConnection.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

class TServer {
 public:
  // tls: the context for encrypted connections (net/TlsIdentity); null when
  // the mode is off.
  TServer(const TServerConfig& config, TServices& services, const TDispatcher& dispatcher,
          std::unique_ptr<asio::ssl::context> tls = nullptr);
  ~TServer();

  // Binds and listens; returns the bound "HOST:PORT". Throws on failure.
  std::string Listen();
  // Runs until Stop() or SIGINT/SIGTERM.
  void Run();
  void Stop();

 private:
  void Accept();

  const TServerConfig& m_config;
  TServices& m_services;
  const TDispatcher& m_dispatcher;
  std::unique_ptr<asio::ssl::context> m_tls;
  asio::io_context m_io;
  asio::thread_pool m_workers;
  asio::ip::tcp::acceptor m_acceptor;
  asio::signal_set m_signals;
  TConnectionManager m_manager;
};

}  // namespace solvane::server
