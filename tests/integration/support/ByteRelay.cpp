#include "ByteRelay.h"

#include <array>
#include <functional>

namespace solvane::testing {

using asio::ip::tcp;

// One client connection and its connection to the server. Bytes are copied
// both ways by two pumps on the relay's single thread.
struct TByteRelay::TLink : std::enable_shared_from_this<TByteRelay::TLink> {
  TLink(TByteRelay& relay, tcp::socket client, asio::ssl::context* impostor)
      : relay(relay),
        impostor(impostor),
        client(std::move(client)),
        tls(this->client, impostor ? *impostor : plainContext),
        server(relay.m_io) {}

  TByteRelay& relay;
  asio::ssl::context* impostor;
  tcp::socket client;
  asio::ssl::context plainContext{asio::ssl::context::tls_server};  // unused without impostor
  asio::ssl::stream<tcp::socket&> tls;
  tcp::socket server;
  std::array<char, 65536> up{}, down{};

  void Start() {
    asio::error_code ec;
    server.connect({asio::ip::make_address("127.0.0.1"),
                    static_cast<unsigned short>(relay.m_serverPort)},
                   ec);
    if (ec) return Close();
    if (!impostor) return Pump();
    tls.async_handshake(asio::ssl::stream_base::server,
                        [self = shared_from_this()](asio::error_code hec) {
                          if (hec) return self->Close();
                          {
                            std::lock_guard lock(self->relay.m_mutex);
                            ++self->relay.m_handshakes;
                          }
                          self->Pump();
                        });
  }

  void Pump() {
    ReadClient();
    ReadServer();
  }

  void ReadClient() {
    auto done = [self = shared_from_this()](asio::error_code ec, std::size_t n) {
      if (ec) return self->Close();
      self->relay.Record(self->up.data(), n, self->impostor != nullptr);
      asio::async_write(self->server, asio::buffer(self->up.data(), n),
                        [self](asio::error_code wec, std::size_t) {
                          if (wec) return self->Close();
                          self->ReadClient();
                        });
    };
    if (impostor)
      tls.async_read_some(asio::buffer(up), done);
    else
      client.async_read_some(asio::buffer(up), done);
  }

  void ReadServer() {
    server.async_read_some(asio::buffer(down), [self = shared_from_this()](asio::error_code ec,
                                                                          std::size_t n) {
      if (ec) return self->Close();
      auto written = [self](asio::error_code wec, std::size_t) {
        if (wec) return self->Close();
        self->ReadServer();
      };
      if (self->impostor)
        asio::async_write(self->tls, asio::buffer(self->down.data(), n), written);
      else
        asio::async_write(self->client, asio::buffer(self->down.data(), n), written);
    });
  }

  void Close() {
    asio::error_code ec;
    client.close(ec);
    server.close(ec);
  }
};

TByteRelay::TByteRelay(int serverPort, asio::ssl::context* impostor)
    : m_serverPort(serverPort), m_impostor(impostor) {
  tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
  m_acceptor.open(endpoint.protocol());
  m_acceptor.bind(endpoint);
  m_acceptor.listen();
  m_port = m_acceptor.local_endpoint().port();
  Accept();
  m_thread = std::thread([this] { m_io.run(); });
}

TByteRelay::~TByteRelay() {
  m_io.stop();
  m_thread.join();
}

void TByteRelay::Accept() {
  m_acceptor.async_accept([this](asio::error_code ec, tcp::socket socket) {
    if (ec) return;
    asio::ssl::context* impostor = nullptr;
    {
      std::lock_guard lock(m_mutex);
      impostor = m_impostor;
    }
    std::make_shared<TLink>(*this, std::move(socket), impostor)->Start();
    Accept();
  });
}

void TByteRelay::SetImpostor(asio::ssl::context* impostor) {
  std::lock_guard lock(m_mutex);
  m_impostor = impostor;
}

void TByteRelay::Record(const char* data, std::size_t n, bool decrypted) {
  std::lock_guard lock(m_mutex);
  (decrypted ? m_impostorBytes : m_clientBytes).append(data, n);
}

std::string TByteRelay::ImpostorBytes() const {
  std::lock_guard lock(m_mutex);
  return m_impostorBytes;
}

std::string TByteRelay::ClientBytes() const {
  std::lock_guard lock(m_mutex);
  return m_clientBytes;
}

int TByteRelay::Handshakes() const {
  std::lock_guard lock(m_mutex);
  return m_handshakes;
}

}  // namespace solvane::testing
