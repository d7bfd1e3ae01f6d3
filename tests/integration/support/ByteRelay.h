#pragma once
// A relay on 127.0.0.1 between a client and the real server, for tests that
// look at a connection from the middle: it records every byte the client
// sends, and, given a TLS context of its own, it can play the man in the
// middle (it ends the client's TLS with its own certificate and talks plain
// to the server).

#include <asio.hpp>
#include <asio/ssl.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace solvane::testing {

class TByteRelay {
 public:
  // serverPort: the real server's port on 127.0.0.1. impostor: when set,
  // clients are answered with TLS under this context.
  explicit TByteRelay(int serverPort, asio::ssl::context* impostor = nullptr);
  ~TByteRelay();

  int Port() const { return m_port; }
  // Connections accepted from now on meet this impostor (null: none).
  void SetImpostor(asio::ssl::context* impostor);
  // Every byte clients sent through the relay so far, as they went over the
  // wire, on connections the relay passed through untouched.
  std::string ClientBytes() const;
  // What clients sent to the impostor, decrypted.
  std::string ImpostorBytes() const;
  // Connections whose TLS handshake with the impostor completed.
  int Handshakes() const;

 private:
  struct TLink;
  void Accept();
  void Record(const char* data, std::size_t n, bool decrypted);

  int m_serverPort;
  asio::ssl::context* m_impostor;  // guarded by m_mutex
  asio::io_context m_io;
  asio::ip::tcp::acceptor m_acceptor{m_io};
  int m_port = 0;
  mutable std::mutex m_mutex;
  std::string m_clientBytes;
  std::string m_impostorBytes;
  int m_handshakes = 0;
  std::thread m_thread;
};

}  // namespace solvane::testing
