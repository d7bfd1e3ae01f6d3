// Request dispatch on arbitrary requests from a signed-in user: every
// operation of the server gets fuzzed fields and extra data. The server must
// answer every request (a reply frame) and never crash.
//
// The connection's model comes along where it applies: a request small
// enough to be read before sign-in is also sent without a token and must be
// refused as not signed in (but for the profile call and the sign-in); and
// every request and reply passes through one connection's backlog, whose
// peer takes its replies only now and then, so reading must pause while too
// much is held and resume once the replies are taken.
//
// Input layout: byte 0 picks the operation; the rest, up to a NUL byte, is
// lines "name=value" for record set 1 ("2:name=value" for record set 2);
// what follows the NUL is the request's extra data.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "auth/Sessions.h"
#include "handlers/Operations.h"
#include "net/ConnectionBacklog.h"
#include "net/ServerConfig.h"
#include "protocol/Dispatcher.h"
#include "storage/DataDirectory.h"

using namespace solvane;
using namespace solvane::server;

namespace {

struct TFuzzServer {
  TFuzzServer() {
    dir = std::filesystem::temp_directory_path() / ("solvane-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    config.dataDir = dir;
    data = std::make_unique<TDataDirectory>(dir);
    data->EnsureAdministrator();
    sessions = std::make_unique<TSessionStore>(data->Db());
    services = std::make_unique<TServices>(
        TServices{data->Db(), data->Blobs(), data->Staging(), *sessions, throttle, config});
    RegisterAllOperations(dispatcher);
    token = sessions->Create("admin", "127.0.0.1");
    operations = dispatcher.Names();
  }
  std::filesystem::path dir;
  TServerConfig config;
  std::unique_ptr<TDataDirectory> data;
  std::unique_ptr<TSessionStore> sessions;
  TLoginThrottle throttle;
  std::unique_ptr<TServices> services;
  TDispatcher dispatcher;
  std::string token;
  std::vector<std::string> operations;
  TConnectionBacklog backlog{config};
  std::vector<std::size_t> unsent;  // replies the peer has not taken yet
};

TFuzzServer& Server() {
  static TFuzzServer s;
  return s;
}

// The reply joins the peer's unsent ones; the peer takes them all when
// drain is set. Reading stops while the backlog is full and resumes once
// the replies are taken; what is held never exceeds the bound by more than
// the request just read and its reply.
void CheckBacklog(TFuzzServer& s, std::size_t requestBytes, std::size_t replyBytes, bool drain) {
  s.backlog.RequestAnswered(requestBytes, replyBytes);
  s.unsent.push_back(replyBytes);
  if (s.backlog.HeldBytes() >= s.config.maxBacklogBytes + requestBytes + replyBytes)
    __builtin_trap();
  if (s.backlog.HeldBytes() >= s.config.maxBacklogBytes && s.backlog.MayRead()) __builtin_trap();
  if (!drain && s.backlog.MayRead()) return;
  for (std::size_t bytes : s.unsent) s.backlog.ReplySent(bytes);
  s.unsent.clear();
  if (s.backlog.HeldBytes() != 0 || !s.backlog.MayRead()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  TFuzzServer& s = Server();
  const std::string& op = s.operations[data[0] % s.operations.size()];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view fields = rest.substr(0, rest.find('\0'));
  std::string_view extra =
      fields.size() < rest.size() ? rest.substr(fields.size() + 1) : std::string_view{};

  TQorPack request;
  request.SetFunNo(op);
  int lastSet = 1;
  std::size_t start = 0;
  while (start < fields.size()) {
    std::size_t end = fields.find('\n', start);
    if (end == std::string_view::npos) end = fields.size();
    std::string_view line = fields.substr(start, end - start);
    start = end + 1;
    int set = 1;
    if (line.size() > 2 && line[0] >= '1' && line[0] <= '9' && line[1] == ':') {
      set = line[0] - '0';
      line.remove_prefix(2);
    }
    if (set < lastSet || set > lastSet + 1) continue;  // record sets go in order
    lastSet = set;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    request.AddString(set, line.substr(0, eq), line.substr(eq + 1));
  }
  // Through the codec, as the network would deliver it.
  const std::string frame = request.SaveToString();
  TQorPack received;
  received.LoadFromStream(frame);
  const std::size_t requestBytes = frame.size() + extra.size();
  if (!s.backlog.MayRead()) __builtin_trap();  // the peer drained below
  s.backlog.RequestRead(requestBytes);
  s.backlog.RequestStarted();
  TRequestContext ctx(*s.services, received, extra, "127.0.0.1");
  s.dispatcher.Handle(ctx, s.token);
  const std::size_t replyBytes = ctx.Reply().SaveToString().size() + ctx.ExtraOut().size();
  if (replyBytes == 0) __builtin_trap();
  CheckBacklog(s, requestBytes, replyBytes, data[0] & 0x80);

  const bool exempt = op == "TUser.Login" || op == kProfileOperation;
  if (!exempt && requestBytes <= s.backlog.RequestLimit(false)) {
    TQorPack anonymous;
    anonymous.LoadFromStream(frame);
    TRequestContext actx(*s.services, anonymous, extra, "127.0.0.1");
    s.dispatcher.Handle(actx, "");
    if (actx.Reply().ErrNo() != kErrNotSignedIn) __builtin_trap();
  }
  return 0;
}
