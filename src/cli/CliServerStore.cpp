#include "cli/CliServerStore.h"

#include <filesystem>

#include "client/Unit_PublicInfo.h"
#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithPack.h"

namespace solvane::cli {

bool ListServerFolder(TPublicInfo& info, int kind, const std::string& path,
                      std::vector<TServerEntry>& out) {
  TQorPack p;
  p.SetFunNo("TBrower.ShowFileObject");
  p.AddString(1, "UCode", info.UserCode());
  p.AddString(1, "TaskKind", std::to_string(kind));
  p.AddString(1, "RelatePath", ToSlashes(path));
  p.AddString(1, "IsInlcudeSubFolder", "1");
  TQorTCPClientLease c = info.Pool().AcquireFree(-1);
  if (!c.Ready() || !c->Call(p) || p.ErrNo() != 1) return false;
  for (int n = 1; n <= p.RecordSetCount(); ++n) {
    TServerEntry e;
    e.name = p.FieldByName(n, "ObjectName").AsString();
    e.folder = p.FieldByName(n, "ObjectFolder").AsString();
    e.isFolder = p.FieldByName(n, "ObjectKind").AsInteger() == 1;
    e.size = p.FieldByName(n, "ObjectSize").AsInteger();
    e.date = p.FieldByName(n, "ObjectDate").AsInteger();
    e.version = p.FieldByName(n, "ObjectVersion").AsInteger();
    out.push_back(e);
  }
  return true;
}

std::string AbsoluteLocal(const std::string& path) {
  std::string absolute = path;
  if (path.empty() || path[0] != '/') {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (!error) absolute = here.string() + "/" + path;
  }
  return WithoutTrailingSlash(absolute);
}

std::string WithoutTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace solvane::cli
