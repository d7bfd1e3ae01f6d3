#pragma once
// One client connection: reads header line, frame and extra data, hands each
// request to a worker and writes the replies back in the order they are
// finished (matched by Id on the client).
//
// What the connection holds is bounded by its backlog (net/ConnectionBacklog):
// a request's buffer grows with the bytes that arrive, never to the size a
// header merely claims; a request larger than the limit before sign-in needs
// a valid session token; and a peer that does not take its replies is not
// read from until they drain, or is closed after the idle time-out.

#include <asio.hpp>

#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "net/ConnectionBacklog.h"
#include "net/ServerConfig.h"
#include "protocol/Dispatcher.h"
#include "wire/QorWithHeaderLine.h"

namespace solvane::server {

class TConnectionManager;

class TServerConnection : public std::enable_shared_from_this<TServerConnection> {
 public:
  TServerConnection(asio::ip::tcp::socket socket, const TServerConfig& config, TServices& services,
                    const TDispatcher& dispatcher, asio::thread_pool& workers,
                    TConnectionManager& manager);

  void Start();
  void Stop();

 private:
  struct TRequest {
    THeaderLine header;
    std::string body;  // frame, then extra data
  };

  void Close();
  void ArmIdleTimer();
  void ReadHeader();
  void OnHeader(std::error_code ec, std::size_t lineLength);
  void AdmitBody(bool signedIn);
  void ReadBody();
  void OnBodyComplete();
  void RunWaiting();
  void Process(const std::shared_ptr<TRequest>& request);
  std::string Answer(const TRequest& request, bool& malformed);
  void Finish(std::size_t requestBytes, std::string reply);
  void WriteNext();

  asio::ip::tcp::socket m_socket;
  const TServerConfig& m_config;
  TServices& m_services;
  const TDispatcher& m_dispatcher;
  asio::thread_pool& m_workers;
  TConnectionManager& m_manager;
  asio::streambuf m_headerBuf;
  asio::steady_timer m_idle;
  std::string m_peer;
  std::int64_t m_handle = 0;
  TConnectionBacklog m_backlog;
  bool m_reading = false;
  std::shared_ptr<TRequest> m_incoming;             // the request being read
  std::size_t m_bodySize = 0;                       // frame + extra of m_incoming
  std::deque<std::shared_ptr<TRequest>> m_waiting;  // read, waiting for a worker
  std::deque<std::string> m_writeQueue;
};

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

}  // namespace solvane::server
