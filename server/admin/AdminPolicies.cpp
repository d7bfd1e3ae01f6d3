// `admin policy add|set|list|assign|unassign|remove`: the administrator's
// policies (a size limit and include/exclude patterns applied on top of
// every upload task's own filter) and the users they apply to.

#include "admin/AdminCli.h"
#include "storage/PolicyStore.h"
#include "handlers/TaskFields.h"
#include "storage/UserStore.h"
#include "storage/Database.h"

namespace solvane::server {

namespace {

constexpr std::size_t kMaxPolicyNameBytes = 64;
constexpr long long kMaxSizeMb = 0x7FFFFFFF;

int Fail(TAdminContext& ctx, const std::string& message) {
  ctx.err << "error: " << message << "\n";
  return 1;
}

// Options other than the patterns may be given once.
bool RefuseRepeated(TAdminContext& ctx, const TAdminArgs& a) {
  for (const auto& [name, values] : a.repeated) {
    if (name == "include" || name == "exclude" || values.size() < 2) continue;
    Fail(ctx, "--" + name + " is given more than once");
    return true;
  }
  return false;
}

// "--max-size MB" (or "none" for no limit) into megabytes, -1 for none.
std::optional<std::int64_t> ReadMaxSize(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string text = a.Get("max-size");
  if (text == "none") return -1;
  auto mb = ParseWholeNumber(text);
  if (!mb || *mb > kMaxSizeMb) {
    Fail(ctx, "--max-size takes a whole number of megabytes (0 .. 2147483647) or 'none'");
    return std::nullopt;
  }
  return *mb;
}

// The --include and --exclude patterns, in the form the client reads.
std::optional<std::vector<TFilterPattern>> ReadPatterns(TAdminContext& ctx, const TAdminArgs& a) {
  std::vector<TFilterPattern> patterns;
  for (const char* option : {"include", "exclude"}) {
    for (const std::string& text : a.GetAll(option)) {
      auto p = NormalisePattern(text);
      if (!p || p->empty()) {
        Fail(ctx, std::string("--") + option + " needs a pattern of 1 to 1024 bytes " +
                      "without control characters");
        return std::nullopt;
      }
      patterns.push_back({*p, std::string(option) == "include"});
    }
  }
  return patterns;
}

// The named policy; nullopt, with the error written, when there is none or
// the store cannot be read.
std::optional<TPolicyRecord> ExistingPolicy(TAdminContext& ctx, const std::string& name) {
  auto policy = FindPolicy(ctx.db, name);
  if (!policy.Ok()) {
    Fail(ctx, policy.Error());
    return std::nullopt;
  }
  if (!*policy) Fail(ctx, "no policy '" + name + "'");
  return *policy;
}

// Commits the change when its last step succeeded; else writes the error and
// leaves the transaction to roll back.
int CommitAfter(TAdminContext& ctx, Transaction& tx, const TStoreResult<void>& step) {
  if (!step.Ok()) return Fail(ctx, step.Error());
  tx.Commit();
  return 0;
}

int AddPolicy(TAdminContext& ctx, const TAdminArgs& a) {
  TPolicyRecord policy;
  policy.name = a.positional[0];
  if (policy.name.empty() || !IsCleanText(policy.name, kMaxPolicyNameBytes))
    return Fail(ctx, "a policy name is 1 to 64 bytes without control characters");
  if (RefuseRepeated(ctx, a)) return 1;
  if (a.Has("max-size")) {
    auto mb = ReadMaxSize(ctx, a);
    if (!mb) return 1;
    policy.maxFileSizeMb = *mb;
  }
  auto patterns = ReadPatterns(ctx, a);
  if (!patterns) return 1;
  Transaction tx(ctx.db);
  auto existing = FindPolicy(ctx.db, policy.name);
  if (!existing.Ok()) return Fail(ctx, existing.Error());
  if (*existing) return Fail(ctx, "policy '" + policy.name + "' exists already");
  if (auto inserted = InsertPolicy(ctx.db, policy); !inserted.Ok())
    return Fail(ctx, inserted.Error());
  if (CommitAfter(ctx, tx, ReplacePolicyPatterns(ctx.db, policy.id, *patterns)) != 0) return 1;
  ctx.out << "added policy " << policy.name << " (id " << policy.id << ")\n";
  return 0;
}

int SetPolicy(TAdminContext& ctx, const TAdminArgs& a) {
  if (a.options.empty()) return Fail(ctx, "name at least one option to change");
  if (RefuseRepeated(ctx, a)) return 1;
  const bool replacePatterns = a.Has("include") || a.Has("exclude") || a.Has("no-patterns");
  if (a.Has("no-patterns") && (a.Has("include") || a.Has("exclude")))
    return Fail(ctx, "--no-patterns cannot be combined with --include or --exclude");
  std::optional<std::int64_t> maxSize;
  if (a.Has("max-size") && !(maxSize = ReadMaxSize(ctx, a))) return 1;
  auto patterns = ReadPatterns(ctx, a);
  if (!patterns) return 1;
  Transaction tx(ctx.db);
  auto policy = ExistingPolicy(ctx, a.positional[0]);
  if (!policy) return 1;
  if (maxSize) {
    if (auto limited = UpdatePolicyLimit(ctx.db, policy->id, *maxSize); !limited.Ok())
      return Fail(ctx, limited.Error());
  }
  if (replacePatterns) {
    if (auto replaced = ReplacePolicyPatterns(ctx.db, policy->id, *patterns); !replaced.Ok())
      return Fail(ctx, replaced.Error());
  }
  tx.Commit();
  ctx.out << "changed policy " << policy->name << "\n";
  return 0;
}

int ListAll(TAdminContext& ctx, const TAdminArgs&) {
  auto policies = ListPolicies(ctx.db);
  if (!policies.Ok()) return Fail(ctx, policies.Error());
  ctx.out << "id\tname\tmax-size-mb\tusers\n";
  for (const TPolicyRecord& p : *policies) {
    auto assigned = PolicyUsers(ctx.db, p.id);
    auto patterns = PolicyPatterns(ctx.db, p.id);
    if (!assigned.Ok()) return Fail(ctx, assigned.Error());
    if (!patterns.Ok()) return Fail(ctx, patterns.Error());
    std::string users;
    for (const std::string& u : *assigned) users += (users.empty() ? "" : ",") + u;
    ctx.out << p.id << "\t" << p.name << "\t"
            << (p.maxFileSizeMb < 0 ? std::string("none") : std::to_string(p.maxFileSizeMb)) << "\t"
            << users << "\n";
    for (const TFilterPattern& f : *patterns)
      ctx.out << "\t" << (f.isInclude ? "include" : "exclude") << "\t" << f.pattern << "\n";
  }
  return 0;
}

int Assign(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string& user = a.positional[1];
  auto known = TUserStore(ctx.db).Exists(user);
  if (!known.Ok()) return Fail(ctx, known.Error());
  if (!*known) return Fail(ctx, "no user '" + user + "'");
  Transaction tx(ctx.db);
  auto policy = ExistingPolicy(ctx, a.positional[0]);
  if (!policy) return 1;
  auto earlier = PolicyOfUser(ctx.db, user);
  if (!earlier.Ok()) return Fail(ctx, earlier.Error());
  if (CommitAfter(ctx, tx, AssignPolicy(ctx.db, policy->id, user)) != 0) return 1;
  ctx.out << "policy " << policy->name << " applies to " << user;
  if (*earlier && (*earlier)->id != policy->id) ctx.out << " (in place of " << (*earlier)->name << ")";
  ctx.out << "\n";
  return 0;
}

int Unassign(TAdminContext& ctx, const TAdminArgs& a) {
  const std::string& user = a.positional[1];
  Transaction tx(ctx.db);
  auto policy = ExistingPolicy(ctx, a.positional[0]);
  if (!policy) return 1;
  auto unassigned = UnassignPolicy(ctx.db, policy->id, user);
  if (!unassigned.Ok()) return Fail(ctx, unassigned.Error());
  if (!*unassigned)
    return Fail(ctx, "policy '" + policy->name + "' does not apply to '" + user + "'");
  tx.Commit();
  ctx.out << "policy " << policy->name << " no longer applies to " << user << "\n";
  return 0;
}

int Remove(TAdminContext& ctx, const TAdminArgs& a) {
  Transaction tx(ctx.db);
  auto policy = ExistingPolicy(ctx, a.positional[0]);
  if (!policy) return 1;
  const auto users = PolicyUsers(ctx.db, policy->id);
  if (!users.Ok()) return Fail(ctx, users.Error());
  if (CommitAfter(ctx, tx, RemovePolicy(ctx.db, policy->id)) != 0) return 1;
  ctx.out << "removed policy " << policy->name;
  if (!users->empty()) ctx.out << " (it applied to " << users->size() << " user(s))";
  ctx.out << "\n";
  return 0;
}

}  // namespace

void RegisterAdminPolicyCommands(TAdminRegistry& r) {
  r.Add({"policy",
         "add",
         "policy add NAME [--max-size MB] [--include PATTERN]... [--exclude PATTERN]...",
         "create a policy: largest file an upload may take (no limit without --max-size) and "
         "patterns every file or folder must match (--include) or must not match (--exclude)",
         1,
         1,
         {"max-size", "include", "exclude"},
         AddPolicy});
  r.Add({"policy",
         "set",
         "policy set NAME [--max-size MB|none] [--include PATTERN]... [--exclude PATTERN]... "
         "[--no-patterns]",
         "change a policy's size limit; --include/--exclude replace all its patterns, "
         "--no-patterns removes them",
         1,
         1,
         {"max-size", "include", "exclude", "no-patterns"},
         SetPolicy});
  r.Add({"policy",
         "list",
         "policy list",
         "list every policy with its patterns and users",
         0,
         0,
         {},
         ListAll});
  r.Add({"policy",
         "assign",
         "policy assign NAME USER",
         "apply the policy to the user (in place of any policy he had)",
         2,
         2,
         {},
         Assign});
  r.Add({"policy",
         "unassign",
         "policy unassign NAME USER",
         "the policy no longer applies to the user",
         2,
         2,
         {},
         Unassign});
  r.Add({"policy",
         "remove",
         "policy remove NAME",
         "remove the policy; its users are left without a policy",
         1,
         1,
         {},
         Remove});
}

}  // namespace solvane::server
