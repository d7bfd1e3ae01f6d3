#include "api/AuthApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

TApiStatus AuthSendMessage(const TApiLink& link, const TCaller& caller,
                           const std::string& receiver, const std::string& comment,
                           const std::string& context) {
  TQorPack p = NewFrame("TAuth.SendMessage");
  AddAddress(p, 1, caller);
  p.AddString(1, "Sender", caller.UserCode);
  p.AddString(1, "Receiver", receiver);
  p.AddString(1, "Comment", comment);
  p.AddString(1, "Context", context);
  return link.Call(p);
}

TApiResult<std::vector<TAuthEntry>> AuthSelect(const TApiLink& link, std::int64_t securityMode,
                                               const std::string& userCode,
                                               TAuthDirection direction) {
  TQorPack p = NewFrame("TAuth.Select");
  p.AddInteger(1, "KRN_SecurityMode", securityMode);
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "Direction", static_cast<std::int64_t>(direction));
  TApiStatus status = link.Call(p);
  if (!status) return status;
  std::vector<TAuthEntry> users;
  for (int n = 1, count = p.RecordSetCount(); n <= count; ++n)
    users.push_back({p.FieldByName(n, "UCode").AsString(), p.FieldByName(n, "UName").AsString(),
                     p.FieldByName(n, "AuthDate").AsString()});
  return {status, std::move(users)};
}

TApiResult<std::vector<TAuthRequestEntry>> AuthSelectMessage(const TApiLink& link,
                                                             const std::string& userCode) {
  TQorPack p = NewFrame("TAuth.SelectMessage");
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "Direction", 0);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  std::vector<TAuthRequestEntry> requests;
  for (int n = 1, count = p.RecordSetCount(); n <= count; ++n) {
    TAuthRequestEntry r;
    r.Sender = p.FieldByName(n, "Sender").AsString();
    r.UName = p.FieldByName(n, "UName").AsString();
    r.Context = p.FieldByName(n, "Context").AsString();
    r.SendDate = p.FieldByName(n, "SendDate").AsString();
    r.Comment = p.FieldByName(n, "Comment").AsString();
    requests.push_back(std::move(r));
  }
  return {status, std::move(requests)};
}

TApiStatus AuthReceiveMessage(const TApiLink& link, const TCaller& caller,
                              const std::string& sender, const std::string& sendDate,
                              bool allowed) {
  TQorPack p = NewFrame("TAuth.ReceiveMessage");
  AddAddress(p, 1, caller);
  p.AddString(1, "Receiver", caller.UserCode);
  p.AddString(1, "Sender", sender);
  p.AddString(1, "SendDate", sendDate);
  p.AddString(1, "IsAllowed", allowed ? "1" : "0");
  return link.Call(p);
}

TApiStatus AuthRepeal(const TApiLink& link, const TCaller& caller, const std::string& sender) {
  TQorPack p = NewFrame("TAuth.Repeal");
  AddAddress(p, 1, caller);
  p.AddString(1, "Sender", sender);
  p.AddString(1, "Receiver", caller.UserCode);
  return link.Call(p);
}

}  // namespace solvane::api
