// The typed server calls that no screen or command drives end to end yet,
// against the real server: a field sent under a wrong name or read from the
// wrong reply field shows up as a refusal or a value that did not come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "ServerProcess.h"
#include "ShareCalls.h"
#include "api/AuthApi.h"
#include "api/MailApi.h"
#include "api/ShareFolderApi.h"
#include "api/UserApi.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "platform/AutoRun.h"
#include "platform/MemoryRegistry.h"

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;

class TFixedNetwork : public INetworkInfo {
 public:
  std::string LocalIPAddress() override { return "127.0.0.1"; }
  std::string LocalMacAddress() override { return "00-0C-29-3A-5B-7C"; }
};

class TQuietNotes : public INoteSink {
 public:
  void ShowNote(const std::string&, TNoteKind) override {}
};

// One signed-in client: its shared state and the caller its requests name.
struct TSignedIn {
  TMemoryRegistry registry;
  TXdgAutoRun autoRun{fs::temp_directory_path().string()};
  TFixedNetwork network;
  TQuietNotes notes;
  std::unique_ptr<TPublicInfo> info;

  api::TCaller Caller() const { return {info->UserCode(), "127.0.0.1", "00-0C-29-3A-5B-7C"}; }
  TQorTCPClientPool& Link() { return info->Pool(); }
};

class SessionApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw", {"--name", "Ann Lee", "--can-delete"});
    server.AddUser("bob", "pw", {"--name", "Bob Wu"});
  }

  std::unique_ptr<TSignedIn> SignInAs(const std::string& user) {
    auto s = std::make_unique<TSignedIn>();
    s->info = std::make_unique<TPublicInfo>(TPublicInfoDeps{
        s->registry, s->autoRun, s->network, s->notes, "/opt/solvane/solvane", {}});
    TSettings settings = s->info->Settings();
    settings.Host = "127.0.0.1";
    settings.Port = static_cast<std::uint16_t>(server.Port());
    settings.UserCode = user;
    settings.UserPwd = "pw";
    settings.Pacing = TPacing::Fast;
    s->info->SetSettings(settings);
    const api::TApiStatus status = SignIn(*s->info);
    EXPECT_TRUE(status.Ok()) << status.Describe();
    return s;
  }

  TServerProcess server;
};

TEST_F(SessionApi, UserSelectListsEveryUserWithTheirNames) {
  auto ann = SignInAs("ann");
  const auto users = api::UserSelect(ann->Link());
  ASSERT_TRUE(users.Ok()) << users.status.Describe();
  std::vector<std::pair<std::string, std::string>> got;
  for (const auto& u : users.value) got.emplace_back(u.Code, u.Name);
  EXPECT_NE(std::find(got.begin(), got.end(), std::pair<std::string, std::string>{"ann", "Ann Lee"}),
            got.end());
  EXPECT_NE(std::find(got.begin(), got.end(), std::pair<std::string, std::string>{"bob", "Bob Wu"}),
            got.end());
}

const api::TShareFolderEntry* FolderById(const std::vector<api::TShareFolderEntry>& folders,
                                         std::int64_t id) {
  for (const auto& f : folders)
    if (f.ID == id) return &f;
  return nullptr;
}

TEST_F(SessionApi, ShareFolderMadeChangedEmptiedAndRemovedAsTheListShowsIt) {
  auto ann = SignInAs("ann");
  const api::TCaller caller = ann->Caller();

  const auto made = api::ShareFolderInsert(
      ann->Link(), caller, {0, "reports", "weekly", true, "ann", "secret"});
  ASSERT_TRUE(made.Ok()) << made.status.Describe();
  auto listed = api::ShareFolderSelectFolder(ann->Link());
  ASSERT_TRUE(listed.Ok());
  const auto* folder = FolderById(listed.value, made.value);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->ParentID, 0);
  EXPECT_EQ(folder->Name, "reports");
  EXPECT_EQ(folder->Comment, "weekly");
  EXPECT_EQ(folder->Owner, "ann");
  EXPECT_TRUE(folder->IsReadOnly);
  EXPECT_TRUE(folder->HasPassword);

  // The marker keeps the password; an empty one removes it.
  ASSERT_TRUE(api::ShareFolderUpdate(ann->Link(), caller, made.value,
                                     {0, "reports 2026", "monthly", false, "ann",
                                      api::kSharePasswordKept}));
  listed = api::ShareFolderSelectFolder(ann->Link());
  folder = FolderById(listed.value, made.value);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->Name, "reports 2026");
  EXPECT_EQ(folder->Comment, "monthly");
  EXPECT_FALSE(folder->IsReadOnly);
  EXPECT_TRUE(folder->HasPassword);
  // Another user opens it with the password it kept.
  auto bob = SignInAs("bob");
  EXPECT_EQ(api::ShareFolderSelect(bob->Link(), made.value, "wrong").status.errNo,
            api::kShareErrWrongPassword);
  EXPECT_TRUE(api::ShareFolderSelect(bob->Link(), made.value, "secret").Ok());
  ASSERT_TRUE(api::ShareFolderUpdate(ann->Link(), caller, made.value,
                                     {0, "reports 2026", "monthly", false, "ann", ""}));
  listed = api::ShareFolderSelectFolder(ann->Link());
  EXPECT_FALSE(FolderById(listed.value, made.value)->HasPassword);

  // A file put there is listed, then removed by name.
  TTestClient raw;
  ASSERT_TRUE(raw.Connect(server.Port()) && raw.Login("ann", "pw"));
  ASSERT_EQ(ShareUpload(raw, {"ann", made.value, "plan.txt", "the plan", 946164070}), 1);
  auto files = api::ShareFolderSelect(ann->Link(), made.value, "");
  ASSERT_TRUE(files.Ok()) << files.status.Describe();
  ASSERT_EQ(files.value.size(), 1u);
  EXPECT_EQ(files.value[0].ObjectName, "plan.txt");
  EXPECT_EQ(files.value[0].ObjectSize, 8);
  EXPECT_EQ(files.value[0].ObjectDate, 946164070);
  ASSERT_TRUE(api::ShareFolderRemove(ann->Link(), caller, made.value, files.value[0]));
  files = api::ShareFolderSelect(ann->Link(), made.value, "");
  EXPECT_TRUE(files.Ok() && files.value.empty());

  ASSERT_TRUE(api::ShareFolderRemoveFolder(ann->Link(), caller, made.value));
  listed = api::ShareFolderSelectFolder(ann->Link());
  EXPECT_EQ(FolderById(listed.value, made.value), nullptr);
}

TEST_F(SessionApi, PermissionAskedApprovedListedBothWaysAndRevoked) {
  ASSERT_EQ(server.Admin({"auth", "mode", "1"}).exitCode, 0);
  auto ann = SignInAs("ann");
  auto bob = SignInAs("bob");

  ASSERT_TRUE(api::AuthSendMessage(bob->Link(), bob->Caller(), "ann", "audit", "may I?"));
  const auto pending = api::AuthSelectMessage(ann->Link(), "ann");
  ASSERT_TRUE(pending.Ok()) << pending.status.Describe();
  ASSERT_EQ(pending.value.size(), 1u);
  const api::TAuthRequestEntry& request = pending.value[0];
  EXPECT_EQ(request.Sender, "bob");
  EXPECT_EQ(request.UName, "Bob Wu");
  EXPECT_EQ(request.Context, "may I?");
  EXPECT_EQ(request.Comment, "audit");

  ASSERT_TRUE(api::AuthReceiveMessage(ann->Link(), ann->Caller(), "bob", request.SendDate, true));
  const auto viewable = api::AuthSelect(bob->Link(), 1, "bob", api::TAuthDirection::Viewable);
  ASSERT_TRUE(viewable.Ok());
  ASSERT_EQ(viewable.value.size(), 1u);
  EXPECT_EQ(viewable.value[0].UCode, "ann");
  EXPECT_EQ(viewable.value[0].UName, "Ann Lee");
  EXPECT_EQ(viewable.value[0].AuthDate.size(), 19u) << viewable.value[0].AuthDate;
  const auto viewers = api::AuthSelect(ann->Link(), 1, "ann", api::TAuthDirection::Viewers);
  ASSERT_TRUE(viewers.Ok());
  ASSERT_EQ(viewers.value.size(), 1u);
  EXPECT_EQ(viewers.value[0].UCode, "bob");
  EXPECT_TRUE(api::AuthSelectMessage(ann->Link(), "ann").value.empty());

  ASSERT_TRUE(api::AuthRepeal(ann->Link(), ann->Caller(), "bob"));
  EXPECT_TRUE(api::AuthSelect(bob->Link(), 1, "bob", api::TAuthDirection::Viewable).value.empty());
}

TEST_F(SessionApi, RefusedPermissionCallsCarryTheServersNumberAndMessage) {
  // Standard mode: requests between users are refused.
  auto bob = SignInAs("bob");
  const api::TApiStatus refused =
      api::AuthSendMessage(bob->Link(), bob->Caller(), "ann", "", "may I?");
  EXPECT_EQ(refused.failure, api::TApiFailure::Refused);
  EXPECT_NE(refused.errNo, 1);
  EXPECT_FALSE(refused.message.empty());
}

// A message file of ann's Foxmail folder 3001 (parent 3), as a mail backup
// uploads it.
void StoreMessage(TTestClient& c, const std::string& name, const std::string& content) {
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"UCode", "ann"},          {"TaskID", "946164070"},     {"SessionID", "946164071"},
      {"TaskKind", "500"},       {"ObjectName", name},        {"ObjectFolder", "\\Foxmail\\3\\"},
      {"ObjectData", "3001"},    {"ObjectCargo", "0"},        {"ObjectCargo2", "Subject=hi\x02"},
      {"ObjectSize", std::to_string(content.size())},          {"ObjectDate", "673253408"}};
  auto check = fields;
  check.insert(check.end(), {{"Position", "0"}, {"Action", "0"}});
  TQorPack p = MakeRequest("TUpDown.Check", check);
  ASSERT_TRUE(c.CallOk(p)) << p.ErrMsg();
  auto upload = fields;
  upload.insert(upload.end(), {{"SegmentCount", "1"}, {"SegmentOrder", "1"},
                               {"Source_Offset", "0"},
                               {"Source_Size", std::to_string(content.size())}});
  TQorPack up = MakeRequest("TUpDown.UpLoad", upload);
  ASSERT_TRUE(c.CallOk(up, content)) << up.ErrMsg();
}

std::vector<std::string> StoredMessages(TTestClient& c) {
  TQorPack p = MakeRequest("TBrower.ShowMCObject_Message",
                           {{"UCode", "ann"}, {"MCKindName", "Foxmail"}, {"MCFolder", "3001"}});
  std::vector<std::string> names;
  if (!c.Call(p) || p.ErrNo() != 1) return names;
  for (int n = 1; n <= p.RecordSetCount(); ++n)
    names.push_back(p.FieldByName(n, "ObjectName").AsString());
  return names;
}

TEST_F(SessionApi, MailMessageThenItsFolderGoIntoTheRecycleBin) {
  TTestClient raw;
  ASSERT_TRUE(raw.Connect(server.Port()) && raw.Login("ann", "pw"));
  StoreMessage(raw, "1.eml", "first message");
  StoreMessage(raw, "2.eml", "second");
  auto ann = SignInAs("ann");
  const api::TMailFolderRef folder{"ann", "Foxmail", 3001, 3};

  ASSERT_TRUE(api::BrowerRemoveMCMessage(ann->Link(), folder, "1.eml", 13, 673253408));
  EXPECT_EQ(StoredMessages(raw), std::vector<std::string>{"2.eml"});
  const api::TApiStatus again = api::BrowerRemoveMCMessage(ann->Link(), folder, "1.eml", 13, 673253408);
  EXPECT_EQ(again.failure, api::TApiFailure::Refused) << "removed once only";

  ASSERT_TRUE(api::BrowerRemoveMCFolder(ann->Link(), folder));
  EXPECT_TRUE(StoredMessages(raw).empty());
  EXPECT_EQ(api::BrowerRemoveMCFolder(ann->Link(), folder).failure, api::TApiFailure::Refused);
}

}  // namespace
}  // namespace solvane::testing
