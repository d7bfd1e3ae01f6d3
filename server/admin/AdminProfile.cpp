// `admin profile show|set`: the values the system profile call answers
// before sign-in (installation name, application name, versions, default
// space of new users). The security mode has its own command (`auth mode`).

#include <map>

#include "admin/AdminCli.h"
#include "storage/ProfileStore.h"

namespace solvane::server {

namespace {

// Name -> check of a new value; an empty result means valid.
using TCheck = std::string (*)(const std::string&);

std::string NonEmptyText(const std::string& v) {
  if (v.empty()) return "must not be empty";
  if (v.size() > 200) return "must be at most 200 bytes";
  for (unsigned char c : v)
    if (c < 0x20) return "must not hold control characters";
  return {};
}

std::string PositiveMegabytes(const std::string& v) {
  auto mb = ParseWholeNumber(v);
  if (!mb || *mb < 1 || *mb > 2147483647) return "takes a whole number of megabytes from 1";
  return {};
}

const std::map<std::string, TCheck>& Settable() {
  static const std::map<std::string, TCheck> names = {
      {"EnterprizeName", NonEmptyText},     {"AppName", NonEmptyText},
      {"KRN_MajorVersion", NonEmptyText},   {"KRN_MinorVersion", NonEmptyText},
      {"KRN_DefaultUserSpace", PositiveMegabytes},
  };
  return names;
}

int Show(TAdminContext& ctx, const TAdminArgs&) {
  auto values = TProfileStore(ctx.db).All();
  if (!values.Ok()) {
    ctx.err << "error: " << values.Error() << "\n";
    return 1;
  }
  for (const auto& [key, value] : *values) ctx.out << key << "\t" << value << "\n";
  return 0;
}

int Set(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string& name = a.positional[0];
  const std::string& value = a.positional[1];
  if (name == "KRN_SecurityMode") {
    ctx.err << "error: the security mode is set with 'auth mode 0|1'\n";
    return 1;
  }
  auto it = Settable().find(name);
  if (it == Settable().end()) {
    ctx.err << "error: unknown profile value '" << name
            << "'; settable: EnterprizeName, AppName, KRN_MajorVersion, KRN_MinorVersion, "
               "KRN_DefaultUserSpace\n";
    return 1;
  }
  if (std::string problem = it->second(value); !problem.empty()) {
    ctx.err << "error: " << name << " " << problem << "\n";
    return 1;
  }
  if (auto stored = TProfileStore(ctx.db).Set(name, value); !stored.Ok()) {
    ctx.err << "error: " << stored.Error() << "\n";
    return 1;
  }
  ctx.out << name << " = " << value << "\n";
  return 0;
}

}  // namespace

void RegisterAdminProfileCommands(TAdminRegistry& r) {
  r.Add({"profile", "show", "profile show", "show the system profile values", 0, 0, {}, Show});
  r.Add({"profile", "set", "profile set NAME VALUE",
         "set EnterprizeName, AppName, KRN_MajorVersion, KRN_MinorVersion or "
         "KRN_DefaultUserSpace (MB for new users)",
         2, 2, {}, Set});
}

}  // namespace solvane::server
