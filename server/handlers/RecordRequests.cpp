#include "handlers/RecordRequests.h"

#include <string>

namespace solvane::server {

namespace {

TQorPack RecordAsPack(TRequestContext& whole, int n) {
  TQorPack pack;
  pack.SetFunNo(whole.Request().FunNo());
  for (const std::string& name : whole.Request().Fields().Names())
    pack.AddString(1, name, whole.Str(name, n));
  return pack;
}

}  // namespace

TRecordRequest::TRecordRequest(TRequestContext& whole, int n, std::string_view extra)
    : m_pack(RecordAsPack(whole, n)),
      m_ctx(whole.Services(), m_pack, extra, whole.PeerAddress()) {
  m_ctx.SetSession(whole.Session());
}

void TRecordRequest::Answer(TQorPack& reply, int n,
                            std::initializer_list<std::string_view> fields) {
  const bool ok = !m_ctx.Failed();
  reply.AddInteger(n, "ErrNo", ok ? kErrNoOk : m_ctx.Reply().ErrNo());
  reply.AddString(n, "ErrMsg", ok ? std::string() : m_ctx.Reply().ErrMsg());
  for (std::string_view field : fields)
    reply.AddString(n, field, ok ? m_ctx.Reply().FieldByName(1, field).AsString() : std::string());
}

bool CheckRecordCount(TRequestContext& ctx) {
  const int count = ctx.RecordSets();
  if (count < 1) return ctx.Fail(kErrBadRequest, "the request names no file");
  if (count > kMaxFilesPerRequest)
    return ctx.Fail(kErrBadRequest,
                    "at most " + std::to_string(kMaxFilesPerRequest) + " files in one request");
  return true;
}

}  // namespace solvane::server
