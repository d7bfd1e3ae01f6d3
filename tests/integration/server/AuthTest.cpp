// Permissions between users through the real server: managers in standard
// mode, requests, approval, rejection and revocation in secure mode, and the
// authorisation matrix of every operation that names a user or a share
// folder.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>

#include "ServerProcess.h"
#include "ShareCalls.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

using TNames = std::vector<std::string>;
using TRows = std::vector<std::map<std::string, std::string>>;

const std::regex kDateTime(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");

class Auth : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    for (const char* u : {"ann", "bob", "cid", "dan"})
      server.AddUser(u, std::string(u) + "-pw",
                     {"--can-delete", "--name", std::string(u) + " name"});
    ann = SignIn("ann");
    bob = SignIn("bob");
    cid = SignIn("cid");
    dan = SignIn("dan");
  }
  std::unique_ptr<TTestClient> SignIn(const std::string& user) {
    auto c = std::make_unique<TTestClient>();
    EXPECT_TRUE(c->Connect(server.Port()));
    EXPECT_TRUE(c->Login(user, user + "-pw"));
    return c;
  }
  void Admin(const std::vector<std::string>& args) {
    auto r = server.Admin(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  // TAuth.Select: the other users' codes; AuthDate checked on the way.
  TNames Viewable(TTestClient& c, const std::string& user, int direction) {
    TQorPack p = MakeRequest(
        "TAuth.Select",
        {{"KRN_SecurityMode", "0"}, {"UCode", user}, {"Direction", std::to_string(direction)}});
    EXPECT_EQ(ErrOf(c, p), 1);
    TNames out;
    for (const auto& r : Records(p, {"UCode", "UName", "AuthDate"})) {
      EXPECT_TRUE(std::regex_match(r.at("AuthDate"), kDateTime)) << r.at("AuthDate");
      EXPECT_EQ(r.at("UName"), r.at("UCode") + " name");
      out.push_back(r.at("UCode"));
    }
    return out;
  }
  TRows Pending(TTestClient& c, const std::string& user, int direction = 0) {
    TQorPack p = MakeRequest("TAuth.SelectMessage",
                             {{"UCode", user}, {"Direction", std::to_string(direction)}});
    EXPECT_EQ(ErrOf(c, p), 1);
    return Records(p, {"Sender", "UName", "Context", "SendDate", "Comment", "Receiver"});
  }
  int Send(TTestClient& c, const std::string& sender, const std::string& receiver,
           const std::string& context = "may I see your backups?") {
    TQorPack p = MakeRequest("TAuth.SendMessage", {{"UAdmin", sender},
                                                   {"UIPAddr", "127.0.0.1"},
                                                   {"UMAC", "00-0C-29-3A-5B-7C"},
                                                   {"Sender", sender},
                                                   {"Receiver", receiver},
                                                   {"Comment", "audit"},
                                                   {"Context", context}});
    return ErrOf(c, p);
  }
  int Decide(TTestClient& c, const std::string& receiver, const std::string& sender,
             const std::string& sendDate, bool allow) {
    TQorPack p = MakeRequest("TAuth.ReceiveMessage", {{"UAdmin", receiver},
                                                      {"UIPAddr", "127.0.0.1"},
                                                      {"UMAC", "00-0C-29-3A-5B-7C"},
                                                      {"Receiver", receiver},
                                                      {"Sender", sender},
                                                      {"SendDate", sendDate},
                                                      {"IsAllowed", allow ? "1" : "0"}});
    return ErrOf(c, p);
  }
  int Repeal(TTestClient& c, const std::string& receiver, const std::string& sender) {
    TQorPack p = MakeRequest("TAuth.Repeal", {{"UAdmin", receiver},
                                              {"UIPAddr", "127.0.0.1"},
                                              {"UMAC", "00-0C-29-3A-5B-7C"},
                                              {"Sender", sender},
                                              {"Receiver", receiver}});
    return ErrOf(c, p);
  }
  // Sender asks, receiver approves the request as listed.
  void Grant(TTestClient& senderClient, const std::string& sender, const std::string& receiver,
             TTestClient& receiverClient) {
    ASSERT_EQ(Send(senderClient, sender, receiver), 1);
    for (const auto& r : Pending(receiverClient, receiver))
      if (r.at("Sender") == sender) {
        ASSERT_EQ(Decide(receiverClient, receiver, sender, r.at("SendDate"), true), 1);
        return;
      }
    FAIL() << "no pending request of " << sender;
  }

  TServerProcess server;
  std::unique_ptr<TTestClient> ann, bob, cid, dan;
};

TEST_F(Auth, UserSelectListsEveryUserByCode) {
  TQorPack p = MakeRequest("TUser.Select", {});
  ASSERT_EQ(ErrOf(*cid, p), 1);
  TNames codes, names;
  for (const auto& r : Records(p, {"Code", "Name"})) {
    codes.push_back(r.at("Code"));
    names.push_back(r.at("Name"));
  }
  EXPECT_EQ(codes, (TNames{"admin", "ann", "bob", "cid", "dan"}));
  EXPECT_EQ(names[1], "ann name");
}

TEST_F(Auth, InStandardModeAManagerViewsHisUsersStoresReadOnly) {
  Admin({"user", "set", "bob", "--manager", "ann"});
  TFileSpec report{"bob", 100, "C:\\work", "report.txt", "bob's numbers"};
  Backup(*bob, report);

  EXPECT_EQ(Viewable(*ann, "ann", 0), TNames{"bob"});
  EXPECT_EQ(Viewable(*bob, "bob", 1), TNames{"ann"});
  EXPECT_TRUE(Viewable(*bob, "bob", 0).empty());
  EXPECT_TRUE(Viewable(*cid, "cid", 0).empty());

  EXPECT_EQ(Show(*ann, "bob", 100, "C:/work").Brief(), TNames{"report.txt:13:946164070:1"});
  EXPECT_EQ(Restore(*ann, report), report.content);
  TFileSpec byAnn = report;
  byAnn.content = "forged";
  EXPECT_EQ(Check(*ann, byAnn).errNo, 4) << "viewing never writes";
  TQorPack remove = RemoveRequest("bob", 100, "C:/work", "report.txt", false);
  EXPECT_EQ(ErrOf(*ann, remove), 4);
  EXPECT_EQ(Show(*cid, "bob", 100, "C:/work").errNo, 4);
  EXPECT_EQ(Send(*cid, "cid", "bob"), 6) << "no requests in standard mode";

  // The next request after the link is gone is refused.
  Admin({"user", "set", "bob", "--manager", ""});
  EXPECT_EQ(Show(*ann, "bob", 100, "C:/work").errNo, 4);
  EXPECT_TRUE(Viewable(*ann, "ann", 0).empty());
}

TEST_F(Auth, InSecureModeRequestsAreApprovedRejectedAndRevoked) {
  Admin({"user", "set", "bob", "--manager", "ann"});
  Admin({"auth", "mode", "1"});
  TQorPack profile = MakeRequest("TSystem.GetProfile", {});
  ASSERT_EQ(ErrOf(*ann, profile), 1);
  EXPECT_EQ(profile.FieldByName(1, "KRN_SecurityMode").AsString(), "1");
  TFileSpec plan{"ann", 100, "C:\\plans", "plan.txt", "ann's plan"};
  Backup(*ann, plan);
  EXPECT_EQ(Show(*ann, "bob", 100, "").errNo, 4) << "managers count in standard mode only";

  ASSERT_EQ(Send(*bob, "bob", "ann", "first"), 1);
  ASSERT_EQ(Send(*bob, "bob", "ann", "second"), 1);  // replaces the first
  TRows pending = Pending(*ann, "ann");
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].at("Sender"), "bob");
  EXPECT_EQ(pending[0].at("UName"), "bob name");
  EXPECT_EQ(pending[0].at("Context"), "second");
  EXPECT_EQ(pending[0].at("Comment"), "audit");
  EXPECT_TRUE(std::regex_match(pending[0].at("SendDate"), kDateTime));
  TRows sent = Pending(*bob, "bob", 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].at("Receiver"), "ann");
  EXPECT_EQ(sent[0].at("UName"), "ann name");

  const std::string date = pending[0].at("SendDate");
  EXPECT_EQ(Decide(*ann, "ann", "bob", "2000-01-01 00:00:00", true), 5);
  EXPECT_EQ(Decide(*cid, "ann", "bob", date, true), 4) << "only the receiver decides";
  EXPECT_EQ(Show(*bob, "ann", 100, "C:/plans").errNo, 4) << "not before the approval";
  ASSERT_EQ(Decide(*ann, "ann", "bob", date, true), 1);
  EXPECT_EQ(Decide(*ann, "ann", "bob", date, true), 5) << "decided already";
  EXPECT_TRUE(Pending(*ann, "ann").empty());
  EXPECT_EQ(Viewable(*bob, "bob", 0), TNames{"ann"});
  EXPECT_EQ(Viewable(*ann, "ann", 1), TNames{"bob"});
  EXPECT_TRUE(Viewable(*ann, "ann", 0).empty());
  EXPECT_EQ(Show(*bob, "ann", 100, "C:/plans").Brief(), TNames{"plan.txt:10:946164070:1"});
  EXPECT_EQ(Restore(*bob, plan), plan.content);
  EXPECT_EQ(Send(*bob, "bob", "ann"), 6) << "granted already";

  ASSERT_EQ(Send(*cid, "cid", "ann"), 1);
  ASSERT_EQ(Decide(*ann, "ann", "cid", Pending(*ann, "ann").at(0).at("SendDate"), false), 1);
  EXPECT_TRUE(Pending(*ann, "ann").empty());
  EXPECT_EQ(Show(*cid, "ann", 100, "C:/plans").errNo, 4) << "rejected";

  struct TBad {
    const char* what;
    std::string sender, receiver, context;
    int errNo;
  };
  for (const TBad& b :
       {TBad{"to himself", "cid", "cid", "x", 2}, TBad{"to nobody", "cid", "nobody", "x", 5},
        TBad{"without content", "cid", "ann", "", 2},
        TBad{"in another's name", "dan", "ann", "x", 4}})
    EXPECT_EQ(Send(*cid, b.sender, b.receiver, b.context), b.errNo) << b.what;

  EXPECT_EQ(Repeal(*bob, "ann", "bob"), 4) << "only the granting user revokes";
  ASSERT_EQ(Repeal(*ann, "ann", "bob"), 1);
  EXPECT_EQ(Show(*bob, "ann", 100, "C:/plans").errNo, 4) << "the very next request";
  EXPECT_EQ(Repeal(*ann, "ann", "bob"), 5);
  EXPECT_TRUE(Viewable(*bob, "bob", 0).empty());
}

// Every operation that names a user or a share folder, asked by the owner,
// a permission holder, another user, a session without token and a user
// whose permission was revoked. Refusals carry no record and no byte.
TEST_F(Auth, AuthorisationMatrix) {
  Admin({"auth", "mode", "1"});
  const std::string secretName = "secret-report.txt", secretBytes = "ANN-SECRET-BYTES";
  TFileSpec secret{"ann", 100, "C:\\data", secretName, secretBytes};
  Backup(*ann, secret);
  for (const char* name : {"gone.txt", "t1.txt", "t2.txt"})
    Backup(*ann, TFileSpec{"ann", 100, "C:\\data", name, name});
  for (const char* name : {"t1.txt", "t2.txt"}) {
    TQorPack r = RemoveRequest("ann", 100, "C:/data", name, false);
    ASSERT_EQ(ErrOf(*ann, r), 1);
  }
  const std::int64_t vault = InsertFolder(*ann, "ann", 0, "vault", true, "vault-pw");
  ASSERT_GT(vault, 0);
  ASSERT_EQ(ShareUpload(*ann, {"ann", vault, "share-secret.txt", secretBytes}), 1);
  Grant(*bob, "bob", "ann", *ann);
  Grant(*dan, "dan", "ann", *ann);
  ASSERT_EQ(Repeal(*ann, "ann", "dan"), 1);
  TTestClient anonymous;
  ASSERT_TRUE(anonymous.Connect(server.Port()));

  const std::string run = "946164071", task = "946164070";
  auto trashCall = [&](const std::string& op, const std::string& name) {
    return MakeRequest(op, {{"UCode", "ann"},
                            {"TaskKind", "100"},
                            {"ObjectKind", "0"},
                            {"ObjectName", name},
                            {"ObjectSize", "6"},
                            {"ObjectDate", "946164070"},
                            {"AbsoluteObjectName", "C:/data/" + name}});
  };
  const TShareFile shared{"", vault, "share-secret.txt", secretBytes};

  // A request as the role's user sends it (`me`); store requests name ann.
  using TBuilder = std::function<TQorPack(const std::string& me)>;
  struct TOperation {
    const char* name;
    bool holderMay;  // a permission holder may do it (the owner always may)
    TBuilder build;
    std::string extraIn = {};
  };
  TFileSpec fresh{"ann", 100, "C:\\data", "new.txt", "n"};
  const TOperation ops[] = {
      {"browse", true,
       [&](auto&) {
         return MakeRequest("TBrower.ShowFileObject", {{"UCode", "ann"},
                                                       {"TaskKind", "100"},
                                                       {"RelatePath", "C:/data"},
                                                       {"IsInlcudeSubFolder", "1"}});
       }},
      {"search", true,
       [&](auto&) {
         return MakeRequest("TBrower.SeekFileObject", {{"UCode", "ann"},
                                                       {"ObjectNameSR", ""},
                                                       {"SizeIncluded", "0"},
                                                       {"DateIncluded", "0"},
                                                       {"OnlyLastVersion", "1"}});
       }},
      {"download", true,
       [&](auto&) { return DownloadRequest(secret, secret.Size(), secret.date, 1); }},
      {"task list", true,
       [&](auto&) {
         return MakeRequest("TTask.SelectByUser", {{"UCode", "ann"}});
       }},
      {"task report", true,
       [&](auto&) {
         return MakeRequest(
             "TTask.SelectReport",
             {{"UCode", "ann"}, {"StartSession", "0"}, {"EndSeesion", "4294967295"}});
       }},
      {"run list", true,
       [&](auto&) {
         return MakeRequest(
             "TLog.TaskLog_Select",
             {{"UCode", "ann"}, {"StartSession", "0"}, {"EndSeesion", "4294967295"}});
       }},
      {"policy", true,
       [&](auto&) {
         return MakeRequest("TPolicy.SelectByUser", {{"UCode", "ann"}});
       }},
      {"check", false, [&](auto&) { return CheckRequest(fresh); }},
      {"upload", false, [&](auto&) { return UploadRequest(fresh, 0, 1); }, "n"},
      {"sync listing", false,
       [&](auto&) {
         return MakeRequest("TUpDown.FolderCheck", {{"UCode", "ann"},
                                                    {"TaskID", task},
                                                    {"TaskKind", "200"},
                                                    {"ObjectID", "1"},
                                                    {"ObjectName", "C:/sync/a.txt"},
                                                    {"ObjectKind", "0"},
                                                    {"ObjectFolder", "C:/sync/"},
                                                    {"ObjectSize", "1"},
                                                    {"ObjectDate", "946164070"}});
       }},
      {"remove", false,
       [&](auto&) { return RemoveRequest("ann", 100, "C:/data", "gone.txt", false); }},
      {"recycle bin", false,
       [&](auto&) {
         return MakeRequest("TBrower.ShowTrashObject", {{"UCode", "ann"}, {"TaskKind", "100"}});
       }},
      {"revert", false, [&](auto&) { return trashCall("TBrower.RevertTrashObject", "t1.txt"); }},
      {"purge", false, [&](auto&) { return trashCall("TBrower.RemoveTrashObject", "t2.txt"); }},
      {"task start", false,
       [&](auto&) {
         return MakeRequest("TTask.Start", {{"UCode", "ann"},
                                            {"TaskID", task},
                                            {"TaskName", "临时任务"},
                                            {"TaskKind", "100"},
                                            {"TaskDirection", "0"},
                                            {"SessionID", run},
                                            {"IsTemporary", "1"}});
       }},
      {"own account", false,
       [&](auto&) {
         return MakeRequest("TUser.SelectOne", {{"UCode", "ann"}});
       }},
      {"who views", false,
       [&](auto&) {
         return MakeRequest("TAuth.Select", {{"UCode", "ann"}, {"Direction", "1"}});
       }},
      {"requests", false,
       [&](auto&) {
         return MakeRequest("TAuth.SelectMessage", {{"UCode", "ann"}, {"Direction", "0"}});
       }},
      {"share list", false, [&](auto&) { return SelectFilesRequest(vault); }},
      {"share download", false,
       [&](const std::string& me) {
         TShareFile f = shared;
         f.user = me;
         return ShareDownloadRequest(f, 1);
       }},
      {"share check", false,
       [&](const std::string& me) {
         TShareFile f{me, vault, "more.txt", "m"};
         return ShareCheckRequest(f);
       }},
      {"share update", false,
       [&](const std::string& me) {
         return UpdateFolderRequest(me, vault, 0, "vault", true, kMarker, "", "ann");
       }},
      {"share delete", false,
       [&](const std::string& me) { return RemoveFileRequest(me, vault, "share-secret.txt"); }},
      {"share remove folder", false,
       [&](const std::string& me) { return RemoveFolderRequest(me, vault); }},
      {"revoke", false,
       [&](auto&) {
         return MakeRequest("TAuth.Repeal",
                            {{"UAdmin", ""}, {"Sender", "bob"}, {"Receiver", "ann"}});
       }},
  };

  struct TRole {
    const char* name;
    std::string user;
    TTestClient* client;
  };
  // The owner asks last, after everyone else was refused what he may change.
  const TRole roles[] = {{"other user", "cid", cid.get()},
                         {"revoked", "dan", dan.get()},
                         {"no token", "ann", &anonymous},
                         {"holder", "bob", bob.get()},
                         {"owner", "ann", ann.get()}};
  for (const TOperation& op : ops) {
    for (const TRole& role : roles) {
      SCOPED_TRACE(std::string(op.name) + " by " + role.name);
      const bool owner = role.user == "ann" && role.client != &anonymous;
      const bool allowed = owner || (op.holderMay && role.user == "bob");
      const int expected = allowed ? 1 : (role.client == &anonymous ? 3 : 4);
      TQorPack request = op.build(role.user);
      std::string extraOut;
      ASSERT_EQ(ErrOf(*role.client, request, &extraOut, op.extraIn), expected) << request.ErrMsg();
      if (allowed) continue;
      EXPECT_EQ(request.RecordSetCount(), 0);
      EXPECT_TRUE(extraOut.empty());
      const std::string raw = request.SaveToString();
      for (const std::string& leak : {secretName, secretBytes, std::string("share-secret")})
        EXPECT_EQ(raw.find(leak), std::string::npos) << leak;
    }
  }
}

}  // namespace
}  // namespace solvane::testing
