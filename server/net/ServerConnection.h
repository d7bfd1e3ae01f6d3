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
#include <asio/ssl.hpp>

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

// The connection's byte stream: the socket itself, or TLS over it once the
// first byte has shown a TLS handshake. Reads and writes go to whichever is
// in use, so the request and reply logic is the same for both.
class TConnectionStream {
 public:
  using executor_type = asio::ip::tcp::socket::executor_type;
  TConnectionStream(asio::ip::tcp::socket socket, asio::ssl::context& tls)
      : m_tls(std::move(socket), tls) {}

  executor_type get_executor() { return Socket().get_executor(); }
  asio::ip::tcp::socket& Socket() { return m_tls.next_layer(); }
  asio::ssl::stream<asio::ip::tcp::socket>& Tls() { return m_tls; }
  void UseTls() { m_useTls = true; }
  bool UsesTls() const { return m_useTls; }

  template <class Buffers, class Handler>
  void async_read_some(const Buffers& buffers, Handler&& handler) {
    if (m_useTls) return m_tls.async_read_some(buffers, std::forward<Handler>(handler));
    Socket().async_read_some(buffers, std::forward<Handler>(handler));
  }
  template <class Buffers, class Handler>
  void async_write_some(const Buffers& buffers, Handler&& handler) {
    if (m_useTls) return m_tls.async_write_some(buffers, std::forward<Handler>(handler));
    Socket().async_write_some(buffers, std::forward<Handler>(handler));
  }

 private:
  asio::ssl::stream<asio::ip::tcp::socket> m_tls;
  bool m_useTls = false;
};

class TServerConnection : public std::enable_shared_from_this<TServerConnection> {
 public:
  // tls: the server's context; used only when the peer starts a handshake.
  TServerConnection(asio::ip::tcp::socket socket, asio::ssl::context& tls,
                    const TServerConfig& config, TServices& services,
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
  void OnFirstByte(std::error_code ec);
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

  TConnectionStream m_stream;
  asio::ip::tcp::socket& m_socket;  // the stream's socket
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
  bool m_refusePlain = false;  // plain while TLS is required: every request refused
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
