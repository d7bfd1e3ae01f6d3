#pragma once
// The listening server: accepts connections, reads header line + frame +
// extra data, hands each request to a worker thread and writes the replies
// back in the order they are finished (matched by Id on the client).

#include <asio.hpp>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "net/ServerConfig.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

class TServerConnection;

// Owns the live connections so that a stop can close them all.
class TConnectionManager {
 public:
  void Start(std::shared_ptr<TServerConnection> c);
  void Stop(const std::shared_ptr<TServerConnection>& c);
  void StopAll();

 private:
  std::mutex m_mutex;
  std::set<std::shared_ptr<TServerConnection>> m_connections;
};

class TServer {
 public:
  TServer(const TServerConfig& config, TServices& services, const TDispatcher& dispatcher);
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
  asio::io_context m_io;
  asio::thread_pool m_workers;
  asio::ip::tcp::acceptor m_acceptor;
  asio::signal_set m_signals;
  TConnectionManager m_manager;
};

}  // namespace solvane::server
