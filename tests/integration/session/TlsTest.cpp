// Encrypted connections end to end: the real server serving TLS and the
// plain protocol on one port, the client pinning the server's certificate in
// its settings, refusing a changed certificate or a man in the middle, and
// the password never crossing the wire readable.
#include <gtest/gtest.h>

#include <ifaddrs.h>
#include <netinet/in.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "ByteRelay.h"
#include "CliProcess.h"
#include "ServerProcess.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "net/TlsIdentity.h"
#include "platform/AutoRun.h"
#include "platform/MemoryRegistry.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithTlsFingerprint.h"

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kPassword[] = "Secret-Pa55word";

class TFixedNetwork : public INetworkInfo {
 public:
  std::string LocalIPAddress() override { return "127.0.0.1"; }
  std::string LocalMacAddress() override { return "00-0C-29-3A-5B-7C"; }
};

class TQuietNotes : public INoteSink {
 public:
  void ShowNote(const std::string&, TNoteKind) override {}
};

// The client's machine: its settings outlive one run of the client, as the
// settings file does.
struct TClientMachine {
  TMemoryRegistry registry;
  TXdgAutoRun autoRun{fs::temp_directory_path().string()};
  TFixedNetwork network;
  TQuietNotes notes;

  // A fresh start of the client, pointed at host:port.
  std::unique_ptr<TPublicInfo> StartClient(const std::string& host, int port, bool tls = true) {
    auto info = std::make_unique<TPublicInfo>(
        TPublicInfoDeps{registry, autoRun, network, notes, "/opt/solvane/solvane", {}});
    TSettings s = info->Settings();
    s.Host = host;
    s.Port = port;
    s.UserCode = "ann";
    s.UserPwd = kPassword;
    s.Pacing = TPacing::Fast;
    s.UseTls = tls;
    info->SetSettings(s);
    return info;
  }
};

// A second identity: what a server restarted with another key, or an
// impostor, presents.
struct TOtherIdentity {
  explicit TOtherIdentity(const fs::path& folder)
      : files(server::DefaultTlsFiles(folder)) {
    server::EnsureSelfSignedIdentity(files);
    fingerprint = PemFileFingerprint(files.certificate.string()).value_or("");
  }
  server::TTlsFiles files;
  std::string fingerprint;
};

class Tls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", kPassword);
    scratch = server.DataDir().parent_path() / "scratch";
    fs::create_directories(scratch);
  }

  std::string ServerFingerprint() const {
    auto shown = server.Admin({"tls", "show"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    const std::string tag = "SHA-256 fingerprint: ";
    const auto at = shown.out.find(tag);
    if (at == std::string::npos) return {};
    return shown.out.substr(at + tag.size(), shown.out.find('\n', at) - at - tag.size());
  }

  TServerProcess server;
  fs::path scratch;
  TClientMachine machine;
};

TEST_F(Tls, SignInOverTlsAndPlainOnOnePortAndOnlyPlainShowsThePassword) {
  TByteRelay relay(server.Port());
  {
    auto info = machine.StartClient("127.0.0.1", relay.Port(), /*tls=*/true);
    const api::TApiStatus status = SignIn(*info);
    ASSERT_TRUE(status.Ok()) << status.Describe();
    Logout(*info);
  }
  const std::string encrypted = relay.ClientBytes();
  ASSERT_FALSE(encrypted.empty());
  EXPECT_EQ(static_cast<unsigned char>(encrypted[0]), 0x16) << "a TLS handshake first";
  EXPECT_EQ(encrypted.find(kPassword), std::string::npos);
  EXPECT_EQ(encrypted.find("UPwd"), std::string::npos);

  TByteRelay plainRelay(server.Port());
  {
    auto info = machine.StartClient("127.0.0.1", plainRelay.Port(), /*tls=*/false);
    const api::TApiStatus status = SignIn(*info);
    ASSERT_TRUE(status.Ok()) << status.Describe();
    Logout(*info);
  }
  const std::string plain = plainRelay.ClientBytes();
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(plain[0], 'B');
  EXPECT_NE(plain.find(kPassword), std::string::npos) << "the capture sees what is sent";
}

TEST_F(Tls, FingerprintPinnedAtFirstSignInSurvivesAClientRestart) {
  const std::string fingerprint = ServerFingerprint();
  ASSERT_FALSE(fingerprint.empty());
  {
    auto info = machine.StartClient("127.0.0.1", server.Port());
    EXPECT_EQ(info->PinnedCertificate(), "");
    ASSERT_TRUE(SignIn(*info).Ok());
    EXPECT_EQ(info->PinnedCertificate(), fingerprint);
    // Every connection of the pool connects with the pinned certificate,
    // encrypted, and the later ones resume the first one's session.
    EXPECT_TRUE(info->ConnectServer());
    int resumed = 0;
    for (std::size_t i = 0; i < info->Pool().Count(); ++i) {
      EXPECT_TRUE(info->Pool().Item(i).Encrypted()) << i;
      resumed += info->Pool().Item(i).SessionResumed() ? 1 : 0;
    }
    EXPECT_GE(resumed, 1);
    Logout(*info);
  }
  auto restarted = machine.StartClient("127.0.0.1", server.Port());
  EXPECT_EQ(restarted->PinnedCertificate(), fingerprint);
  ASSERT_TRUE(server.RestartOnSamePort());  // the same key: still the same server
  const api::TApiStatus again = SignIn(*restarted);
  ASSERT_TRUE(again.Ok()) << again.Describe();
  EXPECT_EQ(restarted->Pool().PinnedFingerprint(), fingerprint);
}

TEST_F(Tls, ChangedCertificateIsRefusedWithBothFingerprintsUntilTrusted) {
  const std::string first = ServerFingerprint();
  {
    auto info = machine.StartClient("127.0.0.1", server.Port());
    ASSERT_TRUE(SignIn(*info).Ok());
  }
  TOtherIdentity other(scratch / "other");
  server.SetExtraArgs({"--tls-cert", other.files.certificate.string(), "--tls-key",
                       other.files.key.string()});
  ASSERT_TRUE(server.RestartOnSamePort());

  auto info = machine.StartClient("127.0.0.1", server.Port());
  const api::TApiStatus refused = SignIn(*info);
  ASSERT_FALSE(refused.Ok());
  EXPECT_NE(refused.message.find(first), std::string::npos) << refused.message;
  EXPECT_NE(refused.message.find(other.fingerprint), std::string::npos) << refused.message;
  EXPECT_NE(refused.message.find("solvane-cli trust 127.0.0.1:" + std::to_string(server.Port())),
            std::string::npos)
      << refused.message;
  const auto refusal = CertificateRefusal(*info);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->Pinned, first);
  EXPECT_EQ(refusal->Presented, other.fingerprint);
  EXPECT_EQ(info->PinnedCertificate(), first) << "never replaced silently";
  EXPECT_FALSE(SignIn(*info).Ok()) << "refused again, not taken on a second try";

  const TServerCertificate trusted = TrustServerCertificate(*info);
  EXPECT_TRUE(trusted.Reached);
  EXPECT_EQ(trusted.Previous, first);
  EXPECT_EQ(trusted.Fingerprint, other.fingerprint);
  auto restarted = machine.StartClient("127.0.0.1", server.Port());
  EXPECT_EQ(restarted->PinnedCertificate(), other.fingerprint);
  const api::TApiStatus accepted = SignIn(*restarted);
  EXPECT_TRUE(accepted.Ok()) << accepted.Describe();
}

TEST_F(Tls, CliRefusesAChangedCertificateAndTrustAcceptsIt) {
  const fs::path config = scratch / "config";
  auto run = [&](std::vector<std::string> args) {
    TCliCall call;
    call.argv = {SOLVANE_CLI_BINARY};
    call.argv.insert(call.argv.end(), args.begin(), args.end());
    call.env = {{"XDG_CONFIG_HOME", config.string()}, {"SOLVANE_PASSWORD", kPassword}};
    return RunCliProcess(call, scratch);
  };
  const std::string address = "127.0.0.1:" + std::to_string(server.Port());
  const std::vector<std::string> tasks = {"--server", address, "--user", "ann", "tasks"};
  const std::string first = ServerFingerprint();
  TCliRun signedIn = run(tasks);
  ASSERT_EQ(signedIn.exitCode, 0) << signedIn.err;

  TOtherIdentity other(scratch / "other");
  server.SetExtraArgs({"--tls-cert", other.files.certificate.string(), "--tls-key",
                       other.files.key.string()});
  ASSERT_TRUE(server.RestartOnSamePort());
  TCliRun refused = run(tasks);
  EXPECT_EQ(refused.exitCode, 4);
  EXPECT_NE(refused.err.find(first), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find(other.fingerprint), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("solvane-cli trust " + address), std::string::npos) << refused.err;

  TCliRun trust = run({"trust", address});
  ASSERT_EQ(trust.exitCode, 0) << trust.err;
  EXPECT_NE(trust.out.find(other.fingerprint), std::string::npos) << trust.out;
  TCliRun again = run(tasks);
  EXPECT_EQ(again.exitCode, 0) << again.err;
  TCliRun plain = run({"--plain", "--server", address, "--user", "ann", "tasks"});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
}

TEST_F(Tls, ManInTheMiddleWithAnotherCertificateIsRefused) {
  TByteRelay relay(server.Port());
  {
    auto info = machine.StartClient("127.0.0.1", relay.Port());
    ASSERT_TRUE(SignIn(*info).Ok());
  }
  TOtherIdentity impostor(scratch / "impostor");
  auto context = server::MakeServerTlsContext(impostor.files);
  relay.SetImpostor(context.get());

  auto info = machine.StartClient("127.0.0.1", relay.Port());
  const api::TApiStatus status = SignIn(*info);
  EXPECT_FALSE(status.Ok());
  // The impostor's side of the handshake may end after the client has already
  // refused it, so its count is awaited rather than read at once.
  for (int i = 0; i < 200 && relay.Handshakes() < 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(relay.Handshakes(), 1) << "the impostor completed its handshake";
  const auto refusal = CertificateRefusal(*info);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->Presented, impostor.fingerprint);
  EXPECT_EQ(relay.ImpostorBytes(), "") << "nothing was sent to the impostor";
  relay.SetImpostor(nullptr);
}

// The first non-loopback IPv4 address of this machine, if it has one.
std::optional<std::string> OtherLocalAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::optional<std::string> found;
  for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
    const asio::ip::address_v4 address(ntohl(in->sin_addr.s_addr));
    if (!address.is_loopback()) found = address.to_string();
  }
  freeifaddrs(list);
  return found;
}

TEST_F(Tls, RequiredRefusesPlainFromAnotherAddressButNotFromThisMachine) {
  const auto address = OtherLocalAddress();
  if (!address) GTEST_SKIP() << "no non-loopback address to connect from";
  server.SetExtraArgs({"--listen", "0.0.0.0:0", "--tls", "required"});
  ASSERT_TRUE(server.Restart());

  auto remotePlain = machine.StartClient(*address, server.Port(), /*tls=*/false);
  const api::TApiStatus refused = SignIn(*remotePlain);
  ASSERT_FALSE(refused.Ok());
  EXPECT_EQ(refused.failure, api::TApiFailure::Refused) << refused.Describe();
  EXPECT_NE(refused.message.find("encrypted connections only"), std::string::npos)
      << refused.message;

  auto remoteTls = machine.StartClient(*address, server.Port(), /*tls=*/true);
  const api::TApiStatus encrypted = SignIn(*remoteTls);
  EXPECT_TRUE(encrypted.Ok()) << encrypted.Describe();

  auto localPlain = machine.StartClient("127.0.0.1", server.Port(), /*tls=*/false);
  const api::TApiStatus local = SignIn(*localPlain);
  EXPECT_TRUE(local.Ok()) << local.Describe();
}

TEST_F(Tls, TlsOffServesPlainOnly) {
  server.SetExtraArgs({"--tls", "off"});
  ASSERT_TRUE(server.Restart());
  auto encrypted = machine.StartClient("127.0.0.1", server.Port(), /*tls=*/true);
  EXPECT_EQ(SignIn(*encrypted).failure, api::TApiFailure::NoConnection);
  auto plain = machine.StartClient("127.0.0.1", server.Port(), /*tls=*/false);
  EXPECT_TRUE(SignIn(*plain).Ok());
}

TEST_F(Tls, KeyAndCertificateAreCreatedPrivateAndKeptAcrossRestarts) {
  const auto files = server::DefaultTlsFiles(server.DataDir());
  for (const fs::path& p : {files.key, files.certificate}) {
    ASSERT_TRUE(fs::exists(p)) << p;
    const auto perms = fs::status(p).permissions();
    EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none) << p;
  }
  const std::string before = ServerFingerprint();
  ASSERT_TRUE(server.Restart());
  EXPECT_EQ(ServerFingerprint(), before);
}

}  // namespace
}  // namespace solvane::testing
