// The mail store and the mail choice of mail tasks through the real server:
// message uploads of kind 500, the mail area of the browser, the recycle
// bin, search, and refused requests.

#include <gtest/gtest.h>

#include "ServerProcess.h"
#include "StoreCalls.h"
#include "TaskTestSupport.h"

namespace solvane::testing {
namespace {

using TNames = std::vector<std::string>;

constexpr const char* kTaskId = "946164070";
constexpr std::int64_t kMailDate = 673253408;  // 2000-01-01 01:01:01, every message's date

// A message file as the mail upload task sends it.
struct TMessage {
  std::string user = "u1";
  std::string client = "Foxmail";
  std::string kind = "0";  // "ObjectCargo"
  std::string parentId = "3";
  std::string folderId = "3001";  // "ObjectData"
  std::string name;
  std::string content;
  std::string description = "Subject=hello\x02Sender=ann@example.org\x02MessageID=1\x02";

  std::string SentFolder() const { return "\\" + client + "\\" + parentId + "\\"; }
  std::string StoreFolder() const { return "/" + client + "/" + parentId + "/" + folderId; }
  std::int64_t Size() const { return static_cast<std::int64_t>(content.size()); }
};

TFields TransferFields(const TMessage& m) {
  return {{"UCode", m.user},
          {"TaskID", kTaskId},
          {"SessionID", "946164071"},
          {"TaskKind", "500"},
          {"ObjectName", m.name},
          {"ObjectFolder", m.SentFolder()},
          {"ObjectData", m.folderId},
          {"ObjectCargo", m.kind},
          {"ObjectCargo2", m.description},
          {"ObjectSize", std::to_string(m.Size())},
          {"ObjectDate", std::to_string(kMailDate)}};
}

TQorPack MailCheck(const TMessage& m) {
  TFields f = TransferFields(m);
  f.insert(f.end(), {{"Position", "0"}, {"Action", "0"}});
  return MakeRecords("TUpDown.Check", {f});
}

TQorPack MailUpload(const TMessage& m, std::int64_t offset, std::int64_t length) {
  TFields f = TransferFields(m);
  f.insert(f.end(), {{"SegmentCount", std::to_string((m.Size() + kSeg - 1) / kSeg)},
                     {"SegmentOrder", std::to_string(offset / kSeg + 1)},
                     {"Source_Offset", std::to_string(offset)},
                     {"Source_Size", std::to_string(length)}});
  return MakeRecords("TUpDown.UpLoad", {f});
}

// A download as the restore sends it: the store folder of the listing, or
// the fields of the upload.
TQorPack MailDownload(const TMessage& m, bool asListed, std::int64_t order) {
  return MakeRequest("TUpDown.DownLoad",
                     {{"UCode", m.user},
                      {"TaskKind", "500"},
                      {"ObjectName", m.name},
                      {"ObjectFolder", asListed ? m.StoreFolder() : m.SentFolder()},
                      {"ObjectData", asListed ? "-1" : m.folderId},
                      {"ObjectCargo", "C:\\restore\\" + m.name},
                      {"ObjectCargo2", ""},
                      {"ObjectSize", std::to_string(m.Size())},
                      {"ObjectDate", std::to_string(kMailDate)},
                      {"SegmentCount", "1"},
                      {"SegmentOrder", std::to_string(order)}});
}

TQorPack ShowFolders(const std::string& user, const std::string& client) {
  return MakeRequest("TBrower.ShowMCObject_Folder", {{"UCode", user}, {"MCKindName", client}});
}

TQorPack ShowMessages(const std::string& user, const std::string& client,
                      const std::string& folder) {
  return MakeRequest("TBrower.ShowMCObject_Message",
                     {{"UCode", user}, {"MCKindName", client}, {"MCFolder", folder}});
}

TQorPack RemoveFolder(const std::string& user, const std::string& client,
                      const std::string& folder) {
  return MakeRequest("TBrower.RemoveMC_Folder",
                     {{"UCode", user}, {"MCKindName", client}, {"MCFolder", folder}});
}

TQorPack RemoveMessage(const TMessage& m, const std::string& user) {
  return MakeRequest("TBrower.RemoveMC_Message", {{"UCode", user},
                                                  {"MCKindName", m.client},
                                                  {"MCFolder", m.folderId},
                                                  {"ObjectName", m.name},
                                                  {"ObjectSize", std::to_string(m.Size())},
                                                  {"ObjectDate", std::to_string(kMailDate)}});
}

TFields FolderRecord(const std::string& parentId, const std::string& folderId,
                     const std::string& whole, const std::string& user = "u1") {
  return {{"UAdmin", user},
          {"UIPAddr", "127.0.0.1"},
          {"UMac", "00-0C-29-3A-5B-7C"},
          {"UCode", user},
          {"TaskID", kTaskId},
          {"MCKind", "0"},
          {"MCFolderParentID", parentId},
          {"MCFolderID", folderId},
          {"MCData", "0"},
          {"MCCargo", "C:\\Foxmail\\mail\\ann\\"},
          {"MCFileName1", "in.box"},
          {"MCFileName2", "in.ind"},
          {"MCIsSelected", whole}};
}

TFields MessageRecord(const std::string& folderId, const std::string& messageId,
                      const std::string& sent, const std::string& subject = "周报\tweek 10") {
  return {{"UAdmin", "u1"},
          {"UIPAddr", "127.0.0.1"},
          {"UMac", "00-0C-29-3A-5B-7C"},
          {"UCode", "u1"},
          {"TaskID", kTaskId},
          {"MCKind", "0"},
          {"MCFolderID", folderId},
          {"MCMessageID", messageId},
          {"MCMessageSubject", subject},
          {"MCMessageSender", "bob@example.org"},
          {"MCMessageSentDate", sent},
          {"MCMessageSize", "2048"},
          {"MCMessageUpdateDate", "0"},
          {"MCMessageCago", ""}};
}

// Fields of several reply columns joined per record with ":".
TNames Rows(TQorPack& p, const std::vector<std::string>& fields) {
  TNames out;
  for (auto& r : Records(p, fields)) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) row += (i ? ":" : "") + r[fields[i]];
    out.push_back(row);
  }
  return out;
}

class Mail : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1", {"--can-delete", "--space", "100"});
    server.AddUser("u2", "pw2", {"--space", "100"});
    ASSERT_TRUE(u1.Connect(server.Port()) && u1.Login("u1", "pw1"));
    ASSERT_TRUE(u2.Connect(server.Port()) && u2.Login("u2", "pw2"));
  }

  int ErrNo(TTestClient& c, TQorPack p, const std::string& extra = {}) {
    return c.Call(p, extra) ? p.ErrNo() : -1;
  }
  int ErrNo(const std::string& funNo, const std::vector<TFields>& records) {
    return ErrNo(u1, MakeRecords(funNo, records));
  }
  // Check, then send every segment from the position the server names.
  void Backup(const TMessage& m) {
    TQorPack check = MailCheck(m);
    ASSERT_TRUE(u1.CallOk(check)) << check.ErrMsg();
    if (check.FieldByName(1, "Action").AsInteger() == 0) return;
    for (std::int64_t pos = check.FieldByName(1, "refPosition").AsInteger(); pos < m.Size();
         pos += kSeg) {
      const std::string data = m.content.substr(pos, kSeg);
      TQorPack up = MailUpload(m, pos, static_cast<std::int64_t>(data.size()));
      ASSERT_TRUE(u1.CallOk(up, data)) << up.ErrMsg();
    }
  }
  std::string Restore(const TMessage& m, bool asListed, int* err = nullptr) {
    std::string all;
    for (std::int64_t order = 1;; ++order) {
      TQorPack p = MailDownload(m, asListed, order);
      std::string data;
      if (!u1.Call(p, {}, &data) || p.ErrNo() != 1) {
        if (err) *err = p.ErrNo();
        return all;
      }
      if (data.empty()) return all;
      all += data;
    }
  }
  std::int64_t Action(const TMessage& m) {
    TQorPack p = MailCheck(m);
    EXPECT_TRUE(u1.CallOk(p));
    EXPECT_EQ(p.FieldByName(1, "refPosition").AsString(), "0");
    return p.FieldByName(1, "Action").AsInteger();
  }
  TNames FolderList(const std::string& client) {
    TQorPack p = ShowFolders("u1", client);
    EXPECT_TRUE(u1.CallOk(p));
    return Rows(p, {"ObjectFolder", "ObjectName"});
  }
  TNames MessageList(const std::string& folder, const std::string& client = "Foxmail") {
    TQorPack p = ShowMessages("u1", client, folder);
    EXPECT_TRUE(u1.CallOk(p));
    return Rows(p, {"ObjectFolder", "ObjectName", "ObjectSize"});
  }
  TMessage Message(const std::string& folderId, const std::string& name, std::size_t size,
                   std::uint32_t seed) {
    TMessage m;
    m.folderId = folderId;
    m.name = name;
    m.content = Bytes(size, seed);
    return m;
  }

  TServerProcess server;
  TTestClient u1, u2;
};

TEST_F(Mail, ChoiceOfFoldersAndMessagesRoundTripsAndIsReplacedWhole) {
  ASSERT_EQ(
      ErrNo(u1, MakeRecords("TTask.Insert", {TaskDefinition("u1", kTaskId, {{"Kind", "500"}})})),
      1);
  ASSERT_EQ(
      ErrNo("TTask.SetMCObject", {FolderRecord("3", "3001", "1"), FolderRecord("3", "3003", "0"),
                                  FolderRecord("-1", "8589934592", "0")}),
      1);
  ASSERT_EQ(
      ErrNo("TTask.SetMCObject_Message", {MessageRecord("3003", "7", "2008-03-05 10:11:12"),
                                          MessageRecord("3003", "9", "1899-12-30 00:00:00", "")}),
      1);

  TQorPack folders = MakeRequest("TTask.GetMCObject", {{"TaskID", kTaskId}});
  ASSERT_TRUE(u1.CallOk(folders));
  EXPECT_EQ(Rows(folders, {"MCFolderParentID", "MCFolderID", "IsSelected", "MCFileName1",
                           "MCFileName2", "MCKind"}),
            (TNames{"3:3001:1:in.box:in.ind:0", "3:3003:0:in.box:in.ind:0",
                    "-1:8589934592:0:in.box:in.ind:0"}));
  TQorPack messages =
      MakeRequest("TTask.GetMCObject_Message", {{"TaskID", kTaskId}, {"MCFolderID", "3003"}});
  ASSERT_TRUE(u1.CallOk(messages));
  EXPECT_EQ(
      Rows(messages, {"MCMessageID", "MCMessageSubject", "MCMessageSender", "MCMessageSentDate"}),
      (TNames{"7:周报\tweek 10:bob@example.org:946164070", "9::bob@example.org:0"}))
      << "the sent date comes back packed; a date before 1980 has none";
  TQorPack whole =
      MakeRequest("TTask.GetMCObject_Message", {{"TaskID", kTaskId}, {"MCFolderID", "3001"}});
  ASSERT_TRUE(u1.CallOk(whole));
  EXPECT_EQ(whole.RecordSetCount(), 0);

  // A new folder list replaces the old one and drops the messages chosen
  // before: the message list is not sent when none is chosen singly.
  ASSERT_EQ(ErrNo("TTask.SetMCObject", {FolderRecord("3", "3003", "1")}), 1);
  folders = MakeRequest("TTask.GetMCObject", {{"TaskID", kTaskId}});
  ASSERT_TRUE(u1.CallOk(folders));
  EXPECT_EQ(Rows(folders, {"MCFolderID", "IsSelected"}), TNames{"3003:1"});
  messages =
      MakeRequest("TTask.GetMCObject_Message", {{"TaskID", kTaskId}, {"MCFolderID", "3003"}});
  ASSERT_TRUE(u1.CallOk(messages));
  EXPECT_EQ(messages.RecordSetCount(), 0);
}

TEST_F(Mail, BadOrForeignChoicesChangeNothing) {
  ASSERT_EQ(
      ErrNo(u1, MakeRecords("TTask.Insert", {TaskDefinition("u1", kTaskId, {{"Kind", "500"}})})),
      1);
  ASSERT_EQ(ErrNo(u1, MakeRecords("TTask.Insert", {TaskDefinition("u1", "946164080")})), 1);
  ASSERT_EQ(ErrNo("TTask.SetMCObject", {FolderRecord("3", "3001", "0")}), 1);
  ASSERT_EQ(ErrNo("TTask.SetMCObject_Message", {MessageRecord("3001", "7", "2008-03-05 10:11:12")}),
            1);

  auto with = [](TFields f, const std::string& name, const std::string& value) {
    for (auto& field : f)
      if (field.first == name) field.second = value;
    return f;
  };
  const TFields folder = FolderRecord("3", "3002", "1");
  const TFields message = MessageRecord("3001", "8", "2008-03-05 10:11:12");
  struct TCase {
    const char* what;
    TTestClient* by;
    TQorPack request;
    int errNo;
  };
  std::vector<TCase> cases = {
      {"unknown mail client kind", &u1,
       MakeRecords("TTask.SetMCObject", {folder, with(folder, "MCKind", "3")}), 2},
      {"folder ID no number", &u1,
       MakeRecords("TTask.SetMCObject", {folder, with(folder, "MCFolderID", "x")}), 2},
      {"control character", &u1,
       MakeRecords("TTask.SetMCObject", {with(folder, "MCCargo", "a\x03")}), 2},
      {"records of two tasks", &u1,
       MakeRecords("TTask.SetMCObject", {folder, with(folder, "TaskID", "946164080")}), 2},
      {"record of another user", &u1,
       MakeRecords("TTask.SetMCObject", {folder, with(folder, "UCode", "u2")}), 4},
      {"no record", &u1, MakeRecords("TTask.SetMCObject", {}), 2},
      {"unknown task", &u1, MakeRecords("TTask.SetMCObject", {with(folder, "TaskID", "946164090")}),
       5},
      {"file task", &u1, MakeRecords("TTask.SetMCObject", {with(folder, "TaskID", "946164080")}),
       6},
      {"sent date no date", &u1,
       MakeRecords("TTask.SetMCObject_Message",
                   {message, with(message, "MCMessageSentDate", "2008-13-05 10:11:12")}),
       2},
      {"negative size", &u1,
       MakeRecords("TTask.SetMCObject_Message", {with(message, "MCMessageSize", "-5")}), 2},
      {"message of a folder not chosen", &u1,
       MakeRecords("TTask.SetMCObject_Message", {message, with(message, "MCFolderID", "9")}), 6},
      {"another user's task by his code", &u2, MakeRecords("TTask.SetMCObject", {folder}), 4},
      {"another user's task by one's own code", &u2,
       MakeRecords("TTask.SetMCObject", {FolderRecord("3", "3002", "1", "u2")}), 5},
      {"reading another user's choice", &u2,
       MakeRequest("TTask.GetMCObject", {{"UCode", "u1"}, {"TaskID", kTaskId}}), 4},
  };
  for (auto& c : cases) EXPECT_EQ(ErrNo(*c.by, c.request), c.errNo) << c.what;

  TQorPack folders = MakeRequest("TTask.GetMCObject", {{"TaskID", kTaskId}});
  ASSERT_TRUE(u1.CallOk(folders));
  EXPECT_EQ(Rows(folders, {"MCFolderID", "IsSelected"}), TNames{"3001:0"});
  TQorPack messages =
      MakeRequest("TTask.GetMCObject_Message", {{"TaskID", kTaskId}, {"MCFolderID", "3001"}});
  ASSERT_TRUE(u1.CallOk(messages));
  EXPECT_EQ(Rows(messages, {"MCMessageID"}), TNames{"7"});
}

TEST_F(Mail, UploadedMessagesAreListedByFolderAndComeBackByteIdentical) {
  TMessage big = Message("3001", "1.eml", 2 * kSeg + 17, 1);
  big.content += "\r\n.\r\n\x01\x02";  // line ends and separators are plain bytes here
  TMessage small = Message("3001", "2.eml", 100, 2);
  small.description = "Subject=回复: 周报\x02SendDate=2008-03-05 10:11:12\x02";
  TMessage outlook = Message("201", "1.msg", 300, 3);
  outlook.client = "Outlook";
  outlook.kind = "1";
  outlook.parentId = "2";
  // Another message once sat at this place with the same size; its upload
  // broke off after one segment. Its bytes must not become part of this one.
  TMessage broken = big;
  broken.content = Bytes(big.content.size(), 7);
  broken.description = "Subject=earlier\x02";
  const std::string first = broken.content.substr(0, kSeg);
  TQorPack part = MailUpload(broken, 0, kSeg);
  ASSERT_TRUE(u1.CallOk(part, first));
  Backup(big);
  Backup(small);
  Backup(outlook);

  EXPECT_EQ(FolderList("Foxmail"), TNames{"3:3001"});
  EXPECT_EQ(FolderList("Outlook"), TNames{"2:201"});
  EXPECT_EQ(FolderList(""), (TNames{":Foxmail", ":Outlook"})) << "the mail clients";
  TQorPack listing = ShowMessages("u1", "Foxmail", "3001");
  ASSERT_TRUE(u1.CallOk(listing));
  EXPECT_EQ(Rows(listing, {"ObjectFolder", "ObjectName", "ObjectSize", "ObjectDate", "ObjectData",
                           "ObjectCargo"}),
            (TNames{"/Foxmail/3/3001:1.eml:524312:673253408:3001:0",
                    "/Foxmail/3/3001:2.eml:100:673253408:3001:0"}));
  EXPECT_EQ(listing.FieldByName(2, "ObjectCargo2").AsString(), small.description);

  for (bool asListed : {true, false}) {
    EXPECT_TRUE(Restore(big, asListed) == big.content) << asListed;
    EXPECT_EQ(Restore(small, asListed), small.content) << asListed;
  }
  EXPECT_EQ(Restore(outlook, true), outlook.content);

  EXPECT_EQ(Action(small), 0) << "stored already";
  TMessage renamed = small;  // the same bytes, described anew
  renamed.description = "Subject=other\x02";
  EXPECT_EQ(Action(renamed), 1);
  Backup(renamed);
  EXPECT_EQ(Action(renamed), 0) << "the new description is kept";
  TMessage moved = renamed;  // another message of the same size in its place
  moved.content = Bytes(100, 9);
  moved.description = "Subject=third\x02";
  EXPECT_EQ(Action(moved), 1);
  Backup(moved);
  EXPECT_EQ(Action(moved), 0);
  EXPECT_EQ(Restore(moved, true), moved.content);
}

TEST_F(Mail, FoldersComeAfterTheirParentsAndSameNamedMessagesStayApart) {
  TMessage inbox = Message("3001", "1.eml", 500, 1), sent = Message("3003", "1.eml", 500, 2);
  TMessage child = Message("9", "1.eml", 10, 3), parent = Message("2", "1.eml", 10, 4);
  for (TMessage* m : {&child, &parent}) {
    m->client = "OutlookExpress";
    m->kind = "2";
  }
  child.parentId = "2";
  parent.parentId = "8";
  for (const TMessage* m : {&inbox, &sent, &child, &parent}) Backup(*m);

  EXPECT_EQ(MessageList("3001"), TNames{"/Foxmail/3/3001:1.eml:500"});
  EXPECT_EQ(MessageList("3003"), TNames{"/Foxmail/3/3003:1.eml:500"});
  EXPECT_EQ(Restore(inbox, false), inbox.content);
  EXPECT_EQ(Restore(sent, false), sent.content);
  EXPECT_EQ(Action(inbox), 0);
  EXPECT_EQ(FolderList("OutlookExpress"), (TNames{"8:2", "2:9"})) << "parent first";
}

TEST_F(Mail, RemovedMessagesAndFoldersGoToTheMailBinAndComeBack) {
  TMessage a = Message("3001", "1.eml", 700, 1), b = Message("3001", "2.eml", 800, 2),
           c = Message("3002", "1.eml", 900, 3);
  for (const TMessage* m : {&a, &b, &c}) Backup(*m);

  ASSERT_EQ(ErrNo(u1, RemoveMessage(a, "u1")), 1);
  EXPECT_EQ(MessageList("3001"), TNames{"/Foxmail/3/3001:2.eml:800"});
  int err = 0;
  Restore(a, true, &err);
  EXPECT_EQ(err, 5);
  ASSERT_EQ(ErrNo(u1, RemoveFolder("u1", "Foxmail", "3002")), 1);
  EXPECT_EQ(FolderList("Foxmail"), TNames{"3:3001"});
  EXPECT_EQ(ErrNo(u1, ShowMessages("u1", "Foxmail", "3002")), 5);

  TListing bin = ShowTrash(u1, "u1", 500);
  ASSERT_EQ(bin.errNo, 1);
  ASSERT_EQ(bin.rows.size(), 2u);
  EXPECT_EQ(bin.rows[0]["ObjectKind"] + ":" + bin.rows[0]["AbsoluteObjectName"],
            "1:/Foxmail/3/3002");
  EXPECT_EQ(bin.rows[1]["ObjectName"] + ":" + bin.rows[1]["ObjectSize"] + ":" +
                bin.rows[1]["ObjectDate"] + ":" + bin.rows[1]["AbsoluteObjectName"],
            "1.eml:700:673253408:/Foxmail/3/3001/1.eml");
  EXPECT_EQ(ShowTrash(u1, "u1", 100).rows.size(), 0u) << "the file backup bin is another bin";

  for (const auto& row : bin.rows)
    ASSERT_EQ(TrashCall(u1, "TBrower.RevertTrashObject", "u1", 500, row), 1);
  EXPECT_EQ(FolderList("Foxmail"), (TNames{"3:3001", "3:3002"}));
  EXPECT_EQ(MessageList("3001"),
            (TNames{"/Foxmail/3/3001:1.eml:700", "/Foxmail/3/3001:2.eml:800"}));
  for (const TMessage* m : {&a, &b, &c}) EXPECT_EQ(Restore(*m, true), m->content) << m->name;
  EXPECT_EQ(ShowTrash(u1, "u1", 500).rows.size(), 0u);
}

TEST_F(Mail, SearchFindsMailMessages) {
  Backup(Message("3001", "1.eml", 100, 1));
  solvane::testing::Backup(u1, TFileSpec{"u1", 100, "C:/docs", "note.eml", Bytes(50, 2)});
  TQorPack p = MakeRequest("TBrower.SeekFileObject", {{"UCode", "u1"},
                                                      {"ObjectNameSR", "*.eml"},
                                                      {"SizeIncluded", "0"},
                                                      {"ObjectSize_Min", "-1"},
                                                      {"ObjectSize_Max", "-1"},
                                                      {"DateIncluded", "0"},
                                                      {"ObjectDate_Min", "-1"},
                                                      {"ObjectDate_Max", "-1"},
                                                      {"OnlyLastVersion", "1"}});
  ASSERT_TRUE(u1.CallOk(p));
  EXPECT_EQ(Rows(p, {"ObjectFolder", "ObjectName", "ObjectSize"}),
            (TNames{"100|C:/docs:note.eml:50", "500|/Foxmail/3/3001:1.eml:100"}));
}

TEST_F(Mail, AManagerBrowsesAndRestoresMailButNeverRemovesIt) {
  TMessage m = Message("3001", "1.eml", 100, 1);
  Backup(m);
  server.AddUser("boss", "pw3", {"--can-delete"});
  ASSERT_EQ(server.Admin({"user", "set", "u1", "--manager", "boss"}).exitCode, 0);
  TTestClient boss;
  ASSERT_TRUE(boss.Connect(server.Port()) && boss.Login("boss", "pw3"));

  TQorPack folders = ShowFolders("u1", "Foxmail");
  ASSERT_TRUE(boss.CallOk(folders));
  EXPECT_EQ(Rows(folders, {"ObjectFolder", "ObjectName"}), TNames{"3:3001"});
  TQorPack messages = ShowMessages("u1", "Foxmail", "3001");
  ASSERT_TRUE(boss.CallOk(messages));
  EXPECT_EQ(Rows(messages, {"ObjectFolder", "ObjectName"}), TNames{"/Foxmail/3/3001:1.eml"});
  TQorPack download = MailDownload(m, true, 1);
  std::string data;
  ASSERT_TRUE(boss.CallOk(download, {}, &data));
  EXPECT_EQ(data, m.content);

  EXPECT_EQ(ErrNo(boss, RemoveMessage(m, "u1")), 4);
  EXPECT_EQ(ErrNo(boss, RemoveFolder("u1", "Foxmail", "3001")), 4);
  EXPECT_EQ(ErrNo(boss, MailCheck(m)), 4) << "nor uploads into it";
  EXPECT_EQ(MessageList("3001"), TNames{"/Foxmail/3/3001:1.eml:100"});
}

TEST_F(Mail, RefusedMailRequestsChangeNothing) {
  TMessage m = Message("3001", "1.eml", 100, 1);
  Backup(m);
  TMessage other = Message("3002", "2.eml", 10, 2);
  auto check = [&](void (*change)(TMessage&)) {
    TMessage bad = other;
    change(bad);
    return MailCheck(bad);
  };
  struct TCase {
    const char* what;
    TTestClient* by;
    TQorPack request;
    int errNo;
  };
  std::vector<TCase> cases = {
      {"no parent ID", &u1, check([](TMessage& b) { b.parentId = ""; }), 2},
      {"unknown client", &u1, check([](TMessage& b) { b.client = "Eudora"; }), 2},
      {"parent ID no number", &u1, check([](TMessage& b) { b.parentId = "x"; }), 2},
      {"parent ID ..", &u1, check([](TMessage& b) { b.parentId = ".."; }), 2},
      {"folder ID in the folder", &u1, check([](TMessage& b) { b.parentId = "3\\3002"; }), 2},
      {"no folder ID", &u1, check([](TMessage& b) { b.folderId = ""; }), 2},
      {"folder ID -1", &u1, check([](TMessage& b) { b.folderId = "-1"; }), 2},
      {"kind of another client", &u1, check([](TMessage& b) { b.kind = "1"; }), 2},
      {"control character in the description", &u1,
       check([](TMessage& b) { b.description = "Subject=a\x03"; }), 2},
      {"upload with a bad folder", &u1,
       MailUpload(
           [&] {
             TMessage b = other;
             b.client = "Eudora";
             return b;
           }(),
           0, 10),
       2},
      {"another user's folders", &u2, ShowFolders("u1", "Foxmail"), 4},
      {"another user's messages", &u2, ShowMessages("u1", "Foxmail", "3001"), 4},
      {"another user's message removed", &u2, RemoveMessage(m, "u1"), 4},
      {"another user's folder removed", &u2, RemoveFolder("u1", "Foxmail", "3001"), 4},
      {"removal without the delete right", &u2, RemoveFolder("u2", "Foxmail", "3001"), 4},
      {"another user's message downloaded", &u2, MailDownload(m, true, 1), 4},
      {"unknown client listed", &u1, ShowFolders("u1", "Eudora"), 2},
      {"folder no number", &u1, ShowMessages("u1", "Foxmail", "inbox"), 2},
      {"unknown folder", &u1, ShowMessages("u1", "Foxmail", "4242"), 5},
      {"unknown folder removed", &u1, RemoveFolder("u1", "Foxmail", "4242"), 5},
      {"unknown message removed", &u1, RemoveMessage(other, "u1"), 5},
  };
  for (auto& c : cases) {
    const bool upload = c.request.FunNo() == "TUpDown.UpLoad";
    EXPECT_EQ(ErrNo(*c.by, c.request, upload ? other.content : ""), c.errNo) << c.what;
  }
  EXPECT_EQ(FolderList("Foxmail"), TNames{"3:3001"});
  EXPECT_EQ(MessageList("3001"), TNames{"/Foxmail/3/3001:1.eml:100"});
  EXPECT_EQ(ShowTrash(u1, "u1", 500).rows.size(), 0u);
  EXPECT_EQ(Show(u1, "u1", 500, "").Brief(), TNames{"//"});
  EXPECT_EQ(Show(u1, "u1", 500, "/").Brief(), TNames{"Foxmail/"});
  EXPECT_EQ(CountFiles(server.DataDir() / "staging"), 0);
}

}  // namespace
}  // namespace solvane::testing
