#include "api/ApiCall.h"

#include "wire/QorWithNetTCPClient.h"
#include "wire/QorWithPack.h"

namespace solvane::api {

std::string TApiStatus::Describe() const {
  switch (failure) {
    case TApiFailure::None:
      return "ok";
    case TApiFailure::Refused:
      if (message.empty()) return "the server refused the request (ErrNo " + std::to_string(errNo) + ")";
      return message;
    default:
      return message;
  }
}

namespace {
TApiStatus StatusOfReply(const TQorTCPClient& client, bool answered, const TQorPack& pack,
                         const std::string& operation);
}  // namespace

TApiStatus TApiLink::Call(TQorPack& pack) const {
  return Send(pack, TMode::Plain, {}, nullptr);
}

TApiStatus TApiLink::CallUpload(TQorPack& pack, std::string_view extra) const {
  return Send(pack, TMode::Upload, extra, nullptr);
}

TApiStatus TApiLink::CallDownload(TQorPack& pack, std::string& extra) const {
  return Send(pack, TMode::Download, {}, &extra);
}

TApiStatus TApiLink::Send(TQorPack& pack, TMode mode, std::string_view upExtra,
                          std::string* downExtra) const {
  const std::string operation = pack.FunNo();
  TQorTCPClientLease lease;
  TQorTCPClient* client = m_client;
  if (!client) {
    lease = m_pool->AcquireFree(-1);
    if (!lease.Ready())
      return TApiStatus::Failed(TApiFailure::NoConnection,
                                "no connection to the server for " + operation);
    client = &*lease;
  }
  bool answered = false;
  switch (mode) {
    case TMode::Plain: answered = client->Call(pack); break;
    case TMode::Upload: answered = client->CallUpload(pack, upExtra); break;
    case TMode::Download: answered = client->CallDownload(pack, *downExtra); break;
  }
  return StatusOfReply(*client, answered, pack, operation);
}

namespace {

TApiStatus StatusOfReply(const TQorTCPClient& client, bool answered, const TQorPack& pack,
                         const std::string& operation) {
  if (!answered) {
    if (!client.Connected())
      return TApiStatus::Failed(TApiFailure::NoConnection,
                                "no connection to the server for " + operation);
    return TApiStatus::Failed(TApiFailure::NoReply, "no reply from the server to " + operation);
  }
  if (pack.ErrNo() != kErrNoOk)
    return TApiStatus::Failed(TApiFailure::Refused, pack.ErrMsg(), pack.ErrNo());
  return TApiStatus::Success();
}

}  // namespace

std::vector<TApiStatus> CallPipelined(TQorTCPClient& client, std::vector<TQorPack>& packs,
                                      const std::vector<std::string_view>& extras,
                                      std::vector<std::string>* replyExtras) {
  std::vector<std::string> operations;
  std::vector<TQorTCPClient::TPipelinedCall> calls(packs.size());
  operations.reserve(packs.size());
  for (std::size_t i = 0; i < packs.size(); ++i) {
    operations.push_back(packs[i].FunNo());
    calls[i].Pack = &packs[i];
    if (i < extras.size()) calls[i].Extra = extras[i];
  }
  client.CallPipelined(calls);
  std::vector<TApiStatus> statuses;
  statuses.reserve(packs.size());
  if (replyExtras) replyExtras->resize(packs.size());
  for (std::size_t i = 0; i < packs.size(); ++i) {
    statuses.push_back(StatusOfReply(client, calls[i].Answered, packs[i], operations[i]));
    if (replyExtras) (*replyExtras)[i] = std::move(calls[i].ReplyExtra);
  }
  return statuses;
}

bool HasConnectedConnection(TQorTCPClientPool& pool) {
  TQorTCPClientLease lease = pool.AcquireFree(-1);
  return lease.Ready();
}

std::string LineBreaksToWire(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += '\x02';
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string LineBreaksFromWire(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\x02')
      out += "\r\n";
    else
      out += c;
  }
  return out;
}

}  // namespace solvane::api
