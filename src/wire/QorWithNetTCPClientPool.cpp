// The connection pool and its leases (declared in QorWithNetTCPClient.h).

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>
#include <utility>

#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"
#include "wire/QorWithText.h"
#include "wire/QorWithUiPump.h"

namespace solvane {

namespace {

constexpr std::chrono::milliseconds kFindSlice{10};
constexpr std::chrono::milliseconds kKeeperInterval{1000};

bool SameNameNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The value of the first line "name=value" with that name; nullopt when none.
std::optional<std::string_view> ValueOf(std::string_view text, std::string_view name) {
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && SameNameNoCase(line.substr(0, eq), name))
      return line.substr(eq + 1);
  }
  return std::nullopt;
}

}  // namespace

TQorConnectSettings ParseConnectText(std::string_view text) {
  TQorConnectSettings settings;
  if (auto host = ValueOf(text, "Host")) settings.Host = std::string(*host);
  std::int64_t n = 0;
  if (auto port = ValueOf(text, "Port"); port && ParseInt64(*port, n) && n >= 1 && n <= 65535)
    settings.Port = static_cast<std::uint16_t>(n);
  if (auto timeOut = ValueOf(text, "TimeOut");
      timeOut && ParseInt64(*timeOut, n) && n >= 0 && n <= std::numeric_limits<int>::max())
    settings.TimeOut = static_cast<int>(n);
  return settings;
}

// --------------------------------------------------------------------- lease

TQorTCPClientLease::TQorTCPClientLease(TQorTCPClientLease&& other) noexcept
    : m_pool(std::exchange(other.m_pool, nullptr)),
      m_client(std::exchange(other.m_client, nullptr)) {}

TQorTCPClientLease& TQorTCPClientLease::operator=(TQorTCPClientLease&& other) noexcept {
  if (this != &other) {
    Release();
    m_pool = std::exchange(other.m_pool, nullptr);
    m_client = std::exchange(other.m_client, nullptr);
  }
  return *this;
}

bool TQorTCPClientLease::Ready() const {
  if (!m_client) return false;
  return m_pool ? m_pool->EnsureConnected(*m_client) : m_client->Connected();
}

void TQorTCPClientLease::Release() {
  if (m_pool && m_client) m_pool->Return(*m_client);
  m_pool = nullptr;
  m_client = nullptr;
}

// ---------------------------------------------------------------------- pool

TQorTCPClientPool::~TQorTCPClientPool() {
  StopKeeper();
  while (!m_clients.empty()) m_clients.pop_back();
}

TQorTCPClient& TQorTCPClientPool::AddConnection() {
  std::lock_guard lock(m_mutex);
  m_clients.push_back(
      std::unique_ptr<TQorTCPClient>(new TQorTCPClient(this, static_cast<int>(m_clients.size()))));
  return *m_clients.back();
}

TQorTCPClient& TQorTCPClientPool::AddConnection(int kind, std::string name) {
  TQorTCPClient& client = AddConnection();
  std::lock_guard lock(m_mutex);
  client.SetKind(kind);
  client.SetName(std::move(name));
  return client;
}

void TQorTCPClientPool::FillStandard() {
  for (int i = 0; i < 3; ++i) AddConnection(1, "Public" + std::to_string(i));
  for (int i = 0; i < 5; ++i) AddConnection(100, "Trans" + std::to_string(i));
}

std::size_t TQorTCPClientPool::Count() const {
  std::lock_guard lock(m_mutex);
  return m_clients.size();
}

TQorTCPClient& TQorTCPClientPool::Item(std::size_t index) const {
  std::lock_guard lock(m_mutex);
  return *m_clients.at(index);
}

void TQorTCPClientPool::SetConnectText(std::string text) {
  std::lock_guard lock(m_mutex);
  m_connectText = std::move(text);
}

std::string TQorTCPClientPool::ConnectText() const {
  std::lock_guard lock(m_mutex);
  return m_connectText;
}

void TQorTCPClientPool::SetToken(std::string token) {
  std::lock_guard lock(m_mutex);
  if (!token.empty() && token != m_token) m_reauthRefused = false;
  m_token = std::move(token);
}

std::string TQorTCPClientPool::Token() const {
  std::lock_guard lock(m_mutex);
  return m_token;
}

bool TQorTCPClientPool::Connect(TQorTCPClient& client) {
  if (client.Connected()) return true;
  TQorConnectSettings settings = ParseConnectText(ConnectText());
  client.SetHost(settings.Host);
  client.SetPort(settings.Port);
  client.SetTimeOut(settings.TimeOut);
  client.Connect(TQorTCPClient::kConnectTimeOut);
  PumpUi();
  return client.Connected();
}

bool TQorTCPClientPool::ConnectAll(int kind) {
  for (TQorTCPClient* client : Snapshot(kind))
    if (!Connect(*client)) return false;
  return true;
}

void TQorTCPClientPool::DisconnectAll(int kind) {
  SetAutoReconnect(false);
  for (TQorTCPClient* client : Snapshot(kind)) client->Disconnect();
}

// ------------------------------------------------------------- reconnection

void TQorTCPClientPool::SetAutoReconnect(bool on) {
  {
    std::lock_guard lock(m_mutex);
    m_autoReconnect = on;
    m_backoff = std::chrono::milliseconds{0};
    m_retryAt = {};
  }
  std::lock_guard keeperLock(m_keeperMutex);
  if (on && !m_keeper.joinable())
    m_keeper = std::jthread([this](std::stop_token stop) { KeeperLoop(stop); });
}

bool TQorTCPClientPool::AutoReconnect() const {
  std::lock_guard lock(m_mutex);
  return m_autoReconnect;
}

void TQorTCPClientPool::SetReconnectBackoff(std::chrono::milliseconds first,
                                            std::chrono::milliseconds limit) {
  std::lock_guard lock(m_mutex);
  m_firstBackoff = first;
  m_backoffLimit = std::max(first, limit);
}

bool TQorTCPClientPool::EnsureConnected(TQorTCPClient& client) {
  if (client.Connected()) return true;
  {
    std::lock_guard lock(m_mutex);
    if (!m_autoReconnect || std::chrono::steady_clock::now() < m_retryAt) return false;
  }
  const bool connected = Connect(client);
  NoteAttempt(connected);
  return connected;
}

void TQorTCPClientPool::NoteAttempt(bool connected) {
  std::lock_guard lock(m_mutex);
  if (connected) {
    m_backoff = std::chrono::milliseconds{0};
    m_retryAt = {};
    return;
  }
  m_backoff = m_backoff.count() == 0 ? m_firstBackoff : std::min(m_backoff * 2, m_backoffLimit);
  m_retryAt = std::chrono::steady_clock::now() + m_backoff;
}

void TQorTCPClientPool::SetReauthenticator(IQorReauthenticator* reauthenticator) {
  std::lock_guard reauthLock(m_reauthMutex);
  m_reauthenticator = reauthenticator;
}

bool TQorTCPClientPool::Reauthenticate(TQorTCPClient& client, const std::string& tokenSent) {
  std::lock_guard reauthLock(m_reauthMutex);
  {
    std::lock_guard lock(m_mutex);
    if (m_token != tokenSent) return !m_token.empty();  // renewed meanwhile
    if (m_reauthRefused || !m_autoReconnect) return false;
  }
  if (!m_reauthenticator) return false;
  TQorPack login;
  bool renewed = m_reauthenticator->BuildLogin(login) &&
                 client.Exchange(login, {}, nullptr, /*mayReauthenticate=*/false) &&
                 login.ErrNo() == kErrNoOk;
  std::string token = renewed ? login.FieldByName(1, kTokenField).AsString() : std::string();
  renewed = renewed && !token.empty();
  {
    std::lock_guard lock(m_mutex);
    if (renewed) {
      m_token = std::move(token);
    } else {
      m_reauthRefused = true;  // once: a refused password is not tried again and again
    }
  }
  if (renewed) m_reauthentications.fetch_add(1);
  m_reauthenticator->LoginAnswered(login);
  return renewed;
}

void TQorTCPClientPool::KeeperLoop(std::stop_token stop) {
  std::unique_lock lock(m_keeperMutex);
  while (!stop.stop_requested()) {
    m_keeperWake.wait_for(lock, stop, kKeeperInterval, [] { return false; });
    if (stop.stop_requested()) break;
    lock.unlock();
    KeepOnce();
    lock.lock();
  }
}

// Reconnects the dropped connections nobody uses, in pool order, until one
// attempt fails (the back-off then holds further ones).
void TQorTCPClientPool::KeepOnce() {
  if (!AutoReconnect()) return;
  for (TQorTCPClient* client : Snapshot(0)) {
    if (client->Connected()) continue;
    TQorTCPClientLease lease;
    {
      std::lock_guard lock(m_mutex);
      if (!IsFree(*client)) continue;
      lease = LeaseLocked(*client);
    }
    if (!EnsureConnected(*client)) return;
  }
}

void TQorTCPClientPool::StopKeeper() {
  std::jthread keeper;
  {
    std::lock_guard keeperLock(m_keeperMutex);
    keeper = std::move(m_keeper);
  }
  if (keeper.joinable()) {
    keeper.request_stop();
    keeper.join();
  }
}

bool TQorTCPClientPool::AnyConnected() const {
  std::lock_guard lock(m_mutex);
  return std::any_of(m_clients.begin(), m_clients.end(),
                     [](const auto& c) { return c->Connected(); });
}

std::vector<TQorTCPClient*> TQorTCPClientPool::Snapshot(int kind) const {
  std::lock_guard lock(m_mutex);
  std::vector<TQorTCPClient*> chosen;
  for (const auto& c : m_clients)
    if (kind < 1 || c->Kind() == kind) chosen.push_back(c.get());
  return chosen;
}

// REQUIRES: m_mutex held.
bool TQorTCPClientPool::IsFree(const TQorTCPClient& client) const {
  return !client.m_leased.load() && !client.HasWaitingCall();
}

// REQUIRES: m_mutex held and the client free.
TQorTCPClientLease TQorTCPClientPool::LeaseLocked(TQorTCPClient& client) {
  client.m_leased.store(true);
  return TQorTCPClientLease(this, &client);
}

void TQorTCPClientPool::Return(TQorTCPClient& client) {
  {
    std::lock_guard lock(m_mutex);
    client.m_leased.store(false);
  }
  m_returned.notify_all();
}

TQorTCPClientLease TQorTCPClientPool::AcquireFree(int kind) {
  std::lock_guard lock(m_mutex);
  for (const auto& c : m_clients)
    if ((kind <= 0 || c->Kind() == kind) && IsFree(*c)) return LeaseLocked(*c);
  return {};
}

TQorTCPClientLease TQorTCPClientPool::FindByName(std::string_view name,
                                                 std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::unique_lock lock(m_mutex);
  auto it = std::find_if(m_clients.begin(), m_clients.end(),
                         [name](const auto& c) { return c->Name() == name; });
  if (it == m_clients.end()) return {};
  TQorTCPClient& client = **it;
  // Leases come back with a notification; a waiting call that ends does
  // not, hence the short slices.
  while (!IsFree(client)) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return {};
    m_returned.wait_until(lock, std::min(deadline, now + kFindSlice));
  }
  return LeaseLocked(client);
}

}  // namespace solvane
