#include "protocol/RequestContext.h"

#include "wire/QorWithText.h"

namespace solvane::server {

std::string TRequestContext::Str(std::string_view name, int n) {
  return m_request.FieldByName(n, name).AsString();
}

std::int64_t TRequestContext::Int(std::string_view name, int n) {
  return m_request.FieldByName(n, name).AsInteger();
}

bool TRequestContext::Bool(std::string_view name, int n) {
  return m_request.FieldByName(n, name).AsBoolean();
}

bool TRequestContext::RequireInt(std::string_view name, std::int64_t& out, int n) {
  if (ParseInt64(Str(name, n), out)) return true;
  return Fail(kErrBadRequest, "field " + std::string(name) + " is not a number");
}

const std::string& TRequestContext::UserCode() const {
  static const std::string empty;
  return m_session ? m_session->userCode : empty;
}

bool TRequestContext::RequireOwnUser(std::string_view field) {
  std::string code = Str(field);
  if (code.empty() || code == UserCode()) return true;
  return Fail(kErrForbidden, "the request names another user");
}

bool TRequestContext::FailStorage(std::string_view message) {
  return Fail(kErrStorage, "storage error: " + std::string(message));
}

bool TRequestContext::Fail(ErrNo code, std::string_view message) {
  m_failed = true;
  m_reply.SetResult(code, message);
  return false;
}

}  // namespace solvane::server
