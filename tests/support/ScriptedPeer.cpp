#include "ScriptedPeer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include <asio.hpp>

namespace solvane::testsupport {

using asio::ip::tcp;

// ------------------------------------------------------------------ requests

TQorPack TPeerRequest::Pack() const {
  TQorPack pack;
  pack.LoadFromStream(Frame);
  return pack;
}

TPeerAnswer TPeerAnswer::Reply(TQorPack pack, std::string extra) {
  TPeerAnswer a;
  a.m_kind = TKind::Reply;
  a.m_frame = pack.SaveToString();
  a.m_extra = std::move(extra);
  return a;
}

TPeerAnswer TPeerAnswer::Echo(const TPeerRequest& request, std::string extra) {
  TQorPack pack;
  pack.SetFunNo(request.Pack().FunNo());
  pack.SetResult(1, "");
  return Reply(std::move(pack), std::move(extra));
}

TPeerAnswer TPeerAnswer::Raw(std::string bytes) {
  TPeerAnswer a;
  a.m_kind = TKind::Raw;
  a.m_raw = std::move(bytes);
  return a;
}

TPeerAnswer TPeerAnswer::Silent() { return TPeerAnswer{}; }

TPeerAnswer TPeerAnswer::Close() {
  TPeerAnswer a;
  a.m_kind = TKind::Close;
  return a;
}

TPeerAnswer TPeerAnswer::WithId(std::int64_t id) && {
  m_id = id;
  return std::move(*this);
}

TPeerAnswer TPeerAnswer::After(std::chrono::milliseconds delay) && {
  m_delay = delay;
  return std::move(*this);
}

TPeerAnswer TPeerAnswer::Held() && {
  m_held = true;
  return std::move(*this);
}

std::string TPeerAnswer::Bytes(const TPeerRequest& request) const {
  if (m_kind == TKind::Raw) return m_raw;
  if (m_kind != TKind::Reply) return {};
  THeaderLine header;
  header.id = m_id.value_or(request.Header.id);
  header.frameSize = static_cast<std::int64_t>(m_frame.size());
  header.extraSize = static_cast<std::int64_t>(m_extra.size());
  return BuildHeaderLine(header) + "\r\n" + m_frame + m_extra;
}

// ---------------------------------------------------------------------- peer

namespace {

struct TSession {
  TSession(tcp::socket s, int n) : socket(std::move(s)), number(n) {}
  tcp::socket socket;
  int number;
  asio::streambuf inbox;
  std::deque<std::string> outbox;
  bool writing = false;
};
using TSessionPtr = std::shared_ptr<TSession>;

struct THeldAnswer {
  std::weak_ptr<TSession> session;
  std::string bytes;
};

std::string Take(asio::streambuf& inbox, std::size_t n) {
  auto begin = asio::buffers_begin(inbox.data());
  std::string bytes(begin, begin + static_cast<std::ptrdiff_t>(n));
  inbox.consume(n);
  return bytes;
}

}  // namespace

// Everything below runs on the peer's own thread except the public
// operations, which post their work there.
struct TScriptedPeer::TImpl {
  asio::io_context io;
  tcp::acceptor acceptor{io};
  std::thread thread;
  std::uint16_t port = 0;

  mutable std::mutex mutex;                 // guards what the test thread reads
  mutable std::condition_variable changed;  // a request or connection came
  TScript script = [](const TPeerRequest& r) { return TPeerAnswer::Echo(r); };
  std::vector<TPeerRequest> requests;
  int connections = 0;
  std::vector<THeldAnswer> held;

  std::vector<TSessionPtr> sessions;  // peer thread only

  void Accept() {
    acceptor.async_accept([this](asio::error_code ec, tcp::socket socket) {
      if (ec) return;
      int number;
      {
        std::lock_guard lock(mutex);
        number = ++connections;
      }
      changed.notify_all();
      auto session = std::make_shared<TSession>(std::move(socket), number);
      sessions.push_back(session);
      ReadHeader(session);
      Accept();
    });
  }

  void ReadHeader(const TSessionPtr& s) {
    asio::async_read_until(s->socket, s->inbox, "\r\n",
                           [this, s](asio::error_code ec, std::size_t n) {
                             if (ec) return Close(s);
                             std::string line = Take(s->inbox, n);
                             line.resize(line.size() - 2);
                             auto header = ParseHeaderLineStrict(line);
                             if (!header) return Close(s);
                             ReadBody(s, std::move(line), *header);
                           });
  }

  void ReadBody(const TSessionPtr& s, std::string line, THeaderLine header) {
    const auto need = static_cast<std::size_t>(header.frameSize + header.extraSize);
    auto finish = [this, s, line = std::move(line), header, need](asio::error_code ec,
                                                                  std::size_t) {
      if (ec) return Close(s);
      TPeerRequest request;
      request.Connection = s->number;
      request.HeaderText = line;
      request.Header = header;
      request.Frame = Take(s->inbox, static_cast<std::size_t>(header.frameSize));
      request.Extra = Take(s->inbox, need - request.Frame.size());
      Record(request);
      Answer(s, request);
      ReadHeader(s);
    };
    if (s->inbox.size() >= need)
      finish({}, 0);
    else
      asio::async_read(s->socket, s->inbox, asio::transfer_exactly(need - s->inbox.size()),
                       std::move(finish));
  }

  void Record(const TPeerRequest& request) {
    {
      std::lock_guard lock(mutex);
      requests.push_back(request);
    }
    changed.notify_all();
  }

  void Answer(const TSessionPtr& s, const TPeerRequest& request) {
    TScript current;
    {
      std::lock_guard lock(mutex);
      current = script;
    }
    TPeerAnswer answer = current(request);
    if (answer.Kind() == TPeerAnswer::TKind::Silent) return;
    if (answer.Kind() == TPeerAnswer::TKind::Close) return Close(s);
    std::string bytes = answer.Bytes(request);
    if (answer.IsHeld()) {
      std::lock_guard lock(mutex);
      held.push_back({s, std::move(bytes)});
    } else if (answer.Delay().count() > 0) {
      auto timer = std::make_shared<asio::steady_timer>(io, answer.Delay());
      std::weak_ptr<TSession> weak = s;
      timer->async_wait([this, timer, weak, bytes = std::move(bytes)](asio::error_code ec) {
        if (auto session = weak.lock(); session && !ec) Enqueue(session, bytes);
      });
    } else {
      Enqueue(s, std::move(bytes));
    }
  }

  void Enqueue(const TSessionPtr& s, std::string bytes) {
    s->outbox.push_back(std::move(bytes));
    if (!s->writing) WriteNext(s);
  }

  void WriteNext(const TSessionPtr& s) {
    if (s->outbox.empty()) {
      s->writing = false;
      return;
    }
    s->writing = true;
    asio::async_write(s->socket, asio::buffer(s->outbox.front()),
                      [this, s](asio::error_code ec, std::size_t) {
                        s->outbox.pop_front();
                        if (ec) return Close(s);
                        WriteNext(s);
                      });
  }

  void Close(const TSessionPtr& s) {
    asio::error_code ec;
    s->socket.shutdown(tcp::socket::shutdown_both, ec);
    s->socket.close(ec);
  }

  // Runs work on the peer thread and waits for it.
  void RunOnPeer(std::function<void()> work) {
    std::promise<void> done;
    asio::post(io, [&] {
      work();
      done.set_value();
    });
    done.get_future().wait();
  }
};

TScriptedPeer::TScriptedPeer() : m_impl(std::make_unique<TImpl>()) {
  TImpl& p = *m_impl;
  tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
  p.acceptor.open(endpoint.protocol());
  p.acceptor.bind(endpoint);
  p.acceptor.listen();
  p.port = p.acceptor.local_endpoint().port();
  p.Accept();
  p.thread = std::thread([&p] { p.io.run(); });
}

TScriptedPeer::~TScriptedPeer() {
  TImpl& p = *m_impl;
  p.RunOnPeer([&p] {
    asio::error_code ec;
    p.acceptor.close(ec);
    for (const auto& s : p.sessions) p.Close(s);
  });
  p.io.stop();
  p.thread.join();
}

std::uint16_t TScriptedPeer::Port() const { return m_impl->port; }

void TScriptedPeer::SetScript(TScript script) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->script = std::move(script);
}

std::vector<TPeerRequest> TScriptedPeer::Requests() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->requests;
}

bool TScriptedPeer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeOut) const {
  std::unique_lock lock(m_impl->mutex);
  return m_impl->changed.wait_for(lock, timeOut, [&] { return m_impl->requests.size() >= count; });
}

bool TScriptedPeer::WaitForConnections(int count, std::chrono::milliseconds timeOut) const {
  std::unique_lock lock(m_impl->mutex);
  return m_impl->changed.wait_for(lock, timeOut, [&] { return m_impl->connections >= count; });
}

int TScriptedPeer::ConnectionCount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->connections;
}

std::size_t TScriptedPeer::HeldCount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->held.size();
}

void TScriptedPeer::ReleaseHeld(bool reverse) {
  TImpl& p = *m_impl;
  p.RunOnPeer([&p, reverse] {
    std::vector<THeldAnswer> answers;
    {
      std::lock_guard lock(p.mutex);
      answers.swap(p.held);
    }
    if (reverse) std::reverse(answers.begin(), answers.end());
    for (auto& a : answers)
      if (auto s = a.session.lock()) p.Enqueue(s, std::move(a.bytes));
  });
}

void TScriptedPeer::DropConnections() {
  TImpl& p = *m_impl;
  p.RunOnPeer([&p] {
    for (const auto& s : p.sessions) p.Close(s);
  });
}

// ------------------------------------------------------------- refusing port

struct TRefusingPort::TImpl {
  asio::io_context io;
  tcp::socket socket{io};
};

TRefusingPort::TRefusingPort() : m_impl(std::make_unique<TImpl>()) {
  // Bound but not listening: the port is taken and connections get a reset.
  tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
  m_impl->socket.open(endpoint.protocol());
  m_impl->socket.bind(endpoint);
  m_port = m_impl->socket.local_endpoint().port();
}

TRefusingPort::~TRefusingPort() = default;

}  // namespace solvane::testsupport
