// The share area through the real server: the folder tree and its owner
// rules, folder passwords that never leave the server and unlock a folder
// per session, read-only folders, share uploads and downloads, and the
// administrator's share commands.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "ServerProcess.h"
#include "ShareCalls.h"
#include "StorageFault.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

using TNames = std::vector<std::string>;

class Share : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    for (const char* u : {"ann", "bob", "cid"}) server.AddUser(u, std::string(u) + "-pw");
    ann = SignIn("ann");
    bob = SignIn("bob");
    cid = SignIn("cid");
  }
  std::unique_ptr<TTestClient> SignIn(const std::string& user) {
    auto c = std::make_unique<TTestClient>();
    EXPECT_TRUE(c->Connect(server.Port()));
    EXPECT_TRUE(c->Login(user, user + "-pw"));
    return c;
  }
  // "name(owner)" of every folder in reply order, children after parents.
  TNames Tree(TTestClient& c) {
    TNames out;
    for (const auto& r : SelectFolders(c).rows)
      out.push_back(r.at("Name") + "(" + r.at("Ownner") + ")@" + r.at("ParentID"));
    return out;
  }
  int Blobs() { return CountFiles(server.DataDir() / "blobs"); }

  TServerProcess server;
  std::unique_ptr<TTestClient> ann, bob, cid;
};

TEST_F(Share, FoldersFormOneTreeThatOnlyTheirOwnersChange) {
  const std::int64_t docs = InsertFolder(*ann, "ann", 0, "docs");
  ASSERT_GT(docs, 0);
  const std::int64_t sub = InsertFolder(*ann, "ann", docs, "sub");
  const std::int64_t pub = InsertFolder(*bob, "bob", 0, "pub");
  ASSERT_GT(sub, 0);
  ASSERT_GT(pub, 0);
  EXPECT_EQ(InsertFolder(*bob, "bob", docs, "intruder"), -4) << "parent of another owner";
  EXPECT_EQ(InsertFolder(*ann, "ann", 0, "docs"), -6) << "same name beside it";
  EXPECT_EQ(InsertFolder(*ann, "ann", 9999, "x"), -5) << "no such parent";
  TQorPack foreignOwner = MakeRequest("TShareFolder.Insert", {{"ParentFolderID", "0"},
                                                              {"Name", "x"},
                                                              {"IsReadOnly", "0"},
                                                              {"Owner", "bob"},
                                                              {"AccessPwd", ""}});
  EXPECT_EQ(ErrOf(*ann, foreignOwner), 4) << "a folder for someone else";

  const std::string d = std::to_string(docs);
  EXPECT_EQ(Tree(*cid), (TNames{"docs(ann)@0", "sub(ann)@" + d, "pub(bob)@0"}));
  auto first = SelectFolders(*cid).rows.at(0);
  EXPECT_EQ(first.at("ID"), d);
  EXPECT_EQ(first.at("IsReadOnly"), "0");
  EXPECT_EQ(first.at("AccessPwd"), "");

  // Moving a parent below its child would make a cycle; the parent now
  // comes after "pub" by name but still before its child.
  TQorPack cycle = UpdateFolderRequest("ann", docs, sub, "docs", false, "");
  EXPECT_EQ(ErrOf(*ann, cycle), 6);
  TQorPack renamed = UpdateFolderRequest("ann", docs, 0, "reports", true, "", "yearly");
  ASSERT_EQ(ErrOf(*ann, renamed), 1);
  EXPECT_EQ(Tree(*cid), (TNames{"pub(bob)@0", "reports(ann)@0", "sub(ann)@" + d}));
  EXPECT_EQ(SelectFolders(*cid).rows.at(1).at("Comment"), "yearly");

  TQorPack byOther = UpdateFolderRequest("bob", docs, 0, "mine", false, "");
  EXPECT_EQ(ErrOf(*bob, byOther), 4);
  TQorPack handOver = UpdateFolderRequest("ann", docs, 0, "reports", true, "", "", "bob");
  EXPECT_EQ(ErrOf(*ann, handOver), 4) << "only the administrator changes the owner";
  TQorPack removeByOther = RemoveFolderRequest("bob", sub);
  EXPECT_EQ(ErrOf(*bob, removeByOther), 4);
  TQorPack removeParent = RemoveFolderRequest("ann", docs);
  EXPECT_EQ(ErrOf(*ann, removeParent), 6) << "subfolders first";
  TQorPack removeSub = RemoveFolderRequest("ann", sub);
  EXPECT_EQ(ErrOf(*ann, removeSub), 1);
  removeParent = RemoveFolderRequest("ann", docs);
  EXPECT_EQ(ErrOf(*ann, removeParent), 1);
  EXPECT_EQ(Tree(*ann), TNames{"pub(bob)@0"});
  EXPECT_EQ(SelectFiles(*ann, docs).errNo, 5);
}

TEST_F(Share, PasswordNeverLeavesTheServerAndUnlocksTheFolderForOneSession) {
  const std::string secret = "Geheim-7731";
  const std::int64_t vault = InsertFolder(*ann, "ann", 0, "vault", false, secret);
  const std::int64_t open = InsertFolder(*ann, "ann", 0, "open");
  ASSERT_GT(vault, 0);
  TShareFile f{"ann", vault, "plan.txt", "the plan"};
  ASSERT_EQ(ShareUpload(*ann, f), 1);

  TQorPack folders = MakeRequest("TShareFolder.SelectFolder", {});
  ASSERT_EQ(ErrOf(*bob, folders), 1);
  EXPECT_EQ(folders.SaveToString().find(secret), std::string::npos);
  auto rows = Records(folders, {"ID", "AccessPwd"});
  EXPECT_EQ(rows.at(0).at("AccessPwd"), "") << "open";
  EXPECT_EQ(rows.at(1).at("AccessPwd"), kMarker) << "vault";

  // Locked: no listing, no download, no upload, no delete, not even a name.
  TShareFile theirs{"bob", vault, "plan.txt", "the plan"};
  EXPECT_EQ(SelectFiles(*bob, vault).errNo, 4);
  int err = 0;
  EXPECT_EQ(ShareDownload(*bob, theirs, &err), "");
  EXPECT_EQ(err, 4);
  EXPECT_EQ(ShareUpload(*bob, TShareFile{"bob", vault, "mine.txt", "x"}), 4);
  TQorPack remove = RemoveFileRequest("bob", vault, "plan.txt");
  EXPECT_EQ(ErrOf(*bob, remove), 4);
  EXPECT_EQ(SelectFiles(*bob, vault, "wrong").errNo, 7);
  EXPECT_EQ(SelectFiles(*ann, vault, "wrong").errNo, 7) << "a typed password is always checked";

  TShareListing opened = SelectFiles(*bob, vault, secret);
  ASSERT_EQ(opened.errNo, 1);
  EXPECT_EQ(opened.Brief(), TNames{"plan.txt:8:946164070"});
  EXPECT_EQ(SelectFiles(*bob, vault).errNo, 1) << "this session opened it";
  EXPECT_EQ(ShareDownload(*bob, theirs), "the plan");
  EXPECT_EQ(SelectFiles(*ann, vault).errNo, 1) << "the owner needs no password";
  EXPECT_EQ(SelectFiles(*cid, vault).errNo, 4) << "another session stays locked";
  EXPECT_EQ(SelectFiles(*cid, open).errNo, 1);
  auto bobAgain = SignIn("bob");
  EXPECT_EQ(SelectFiles(*bobAgain, vault).errNo, 4) << "a new session of the same user too";

  // The marker keeps the password; a new one locks every session out again.
  TQorPack keep = UpdateFolderRequest("ann", vault, 0, "vault", false, kMarker);
  ASSERT_EQ(ErrOf(*ann, keep), 1);
  EXPECT_EQ(SelectFiles(*bob, vault).errNo, 1);
  TQorPack change = UpdateFolderRequest("ann", vault, 0, "vault", false, "n3w-secret");
  ASSERT_EQ(ErrOf(*ann, change), 1);
  EXPECT_EQ(SelectFiles(*bob, vault).errNo, 4);
  EXPECT_EQ(SelectFiles(*bob, vault, secret).errNo, 7);
  EXPECT_EQ(SelectFiles(*bob, vault, "n3w-secret").errNo, 1);
  TQorPack clear = UpdateFolderRequest("ann", vault, 0, "vault", false, "");
  ASSERT_EQ(ErrOf(*ann, clear), 1);
  EXPECT_EQ(SelectFolders(*cid).rows.at(1).at("AccessPwd"), "");
  EXPECT_EQ(SelectFiles(*cid, vault).errNo, 1);

  // Not in the database either: only salted hashes are kept.
  for (const char* file : {"solvane.db", "solvane.db-wal"}) {
    std::ifstream in(server.DataDir() / file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.find(secret), std::string::npos) << file;
    EXPECT_EQ(bytes.find("n3w-secret"), std::string::npos) << file;
  }
}

TEST_F(Share, ReadOnlyFolderTakesFilesOnlyFromItsOwnerAndServesEveryone) {
  const std::int64_t ro = InsertFolder(*ann, "ann", 0, "published", true);
  const std::int64_t rw = InsertFolder(*ann, "ann", 0, "drop", false);
  ASSERT_EQ(ShareUpload(*ann, {"ann", ro, "a.txt", "by ann"}), 1);
  ASSERT_EQ(ShareUpload(*ann, {"ann", rw, "a.txt", "by ann"}), 1);

  struct TCase {
    std::int64_t folder;
    const char* what;
    int expected;  // for bob
  };
  for (const TCase& c : {TCase{ro, "read-only", 4}, TCase{rw, "writable", 1}}) {
    SCOPED_TRACE(c.what);
    // Downloads work in both; bob's own file only gets into the writable one.
    EXPECT_EQ(ShareDownload(*bob, {"bob", c.folder, "a.txt", "by ann"}), "by ann");
    TShareFile mine{"bob", c.folder, "b.txt", Bytes(kSeg + 7, 5)};
    TQorPack check = ShareCheckRequest(mine);
    EXPECT_EQ(ErrOf(*bob, check), c.expected);
    for (std::int64_t pos : {std::int64_t{0}, kSeg}) {  // segments sent without asking
      const std::string data = mine.content.substr(pos, kSeg);
      TQorPack segment = ShareUploadRequest(mine, pos, static_cast<std::int64_t>(data.size()));
      EXPECT_EQ(ErrOf(*bob, segment, nullptr, data), c.expected);
    }
    TQorPack remove = RemoveFileRequest("bob", c.folder, "a.txt");
    EXPECT_EQ(ErrOf(*bob, remove), c.expected);
  }
  EXPECT_EQ(SelectFiles(*cid, ro).Brief(), TNames{"a.txt:6:946164070"});
  EXPECT_EQ(SelectFiles(*cid, rw).Brief(), TNames{"b.txt:262151:946164070"});
  for (int expected : {1, 5}) {
    TQorPack remove = RemoveFileRequest("ann", ro, "a.txt");
    EXPECT_EQ(ErrOf(*ann, remove), expected);
  }
}

TEST_F(Share, FilesMoveByteIdenticalAndGoForGoodWithTheirFolder) {
  const std::int64_t box = InsertFolder(*ann, "ann", 0, "box");
  TShareFile big{"bob", box, "big.bin", Bytes(3 * kSeg + 1234, 11), 946164080};
  ASSERT_EQ(ShareUpload(*bob, big), 1);
  EXPECT_EQ(SelectFiles(*cid, box).Brief(), TNames{"big.bin:787666:946164080"});
  TShareFile fetched = big;
  fetched.user = "cid";
  EXPECT_EQ(ShareDownload(*cid, fetched), big.content);
  TQorPack again = ShareCheckRequest(big);
  ASSERT_EQ(ErrOf(*bob, again), 1);
  EXPECT_EQ(again.FieldByName(1, "Action").AsInteger(), 0) << "unchanged";

  // The local folder of a share upload plays no part; a bad name is refused.
  TShareFile sneaky{"bob", box, "../big.bin", "x"};
  TQorPack sneakyCheck = ShareCheckRequest(sneaky);
  EXPECT_EQ(ErrOf(*bob, sneakyCheck), 2);
  TShareFile nowhere{"bob", 424242, "x.bin", "x"};
  EXPECT_EQ(ShareUpload(*bob, nowhere), 5);
  TShareFile asAnn = big;
  asAnn.user = "ann";
  TQorPack foreign = ShareCheckRequest(asAnn);
  EXPECT_EQ(ErrOf(*bob, foreign), 4) << "UCode names another user";
  // A share file is not in the owner's backup store or its search.
  EXPECT_EQ(Show(*ann, "ann", 100, "").rows.size(), 0u);
  TQorPack share171 = MakeRequest("TBrower.ShowFileObject",
                                  {{"UCode", "ann"}, {"TaskKind", "171"}, {"RelatePath", "/"}});
  EXPECT_EQ(ErrOf(*ann, share171), 2);

  ASSERT_EQ(Blobs(), 1);
  TQorPack removeBox = RemoveFolderRequest("ann", box);
  ASSERT_EQ(ErrOf(*ann, removeBox), 1);
  EXPECT_EQ(Blobs(), 0) << "the files went with the folder";
  EXPECT_EQ(InsertFolder(*ann, "ann", 0, "box"), box + 1) << "IDs are not reused";
  EXPECT_TRUE(SelectFiles(*ann, box + 1).rows.empty());
}

TEST_F(Share, UncleanFolderFieldsAreRefusedAndChangeNothing) {
  struct TCase {
    const char* what;
    std::string name, comment, pwd, parent;
  };
  const std::vector<TCase> cases = {
      {"empty name", "", "", "", "0"},
      {"name with a separator", "a/b", "", "", "0"},
      {"dot dot", "..", "", "", "0"},
      {"control character", "a\tb", "", "", "0"},
      {"long comment", "ok", std::string(5000, 'c'), "", "0"},
      {"the marker as a password", "ok", "", kMarker, "0"},
      {"parent not a number", "ok", "", "", "top"},
      {"negative parent", "ok", "", "", "-3"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TQorPack p = MakeRequest("TShareFolder.Insert", {{"ParentFolderID", c.parent},
                                                     {"Name", c.name},
                                                     {"Comment", c.comment},
                                                     {"IsReadOnly", "0"},
                                                     {"Owner", "ann"},
                                                     {"AccessPwd", c.pwd}});
    EXPECT_EQ(ErrOf(*ann, p), 2);
  }
  EXPECT_TRUE(SelectFolders(*ann).rows.empty());
  TQorPack noToken = MakeRequest("TShareFolder.SelectFolder", {});
  TTestClient anonymous;
  ASSERT_TRUE(anonymous.Connect(server.Port()));
  EXPECT_EQ(ErrOf(anonymous, noToken), 3);
}

TEST_F(Share, AdministratorManagesFoldersAndHandsThemOver) {
  auto add = server.Admin({"share", "add", "team", "--owner", "ann", "--read-only", "0",
                           "--password", "adm-secret", "--comment", "for all"});
  ASSERT_EQ(add.exitCode, 0) << add.err;
  const auto rows = SelectFolders(*bob).rows;
  ASSERT_EQ(rows.size(), 1u);
  const std::int64_t team = std::stoll(rows[0].at("ID"));
  EXPECT_EQ(SelectFolders(*bob).rows[0].at("AccessPwd"), kMarker);
  ASSERT_EQ(SelectFiles(*bob, team, "adm-secret").errNo, 1);
  ASSERT_EQ(ShareUpload(*bob, {"bob", team, "f.txt", "content"}), 1);

  auto list = server.Admin({"share", "list"});
  ASSERT_EQ(list.exitCode, 0);
  EXPECT_NE(list.out.find("team\tann\t0\tyes\tfor all"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("adm-secret"), std::string::npos);

  const std::string id = std::to_string(team);
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"share", "add", "x"},                       // no owner
           {"share", "add", "x", "--owner", "nobody"},  // unknown owner
           {"share", "add", "team", "--owner", "ann"},  // name taken
           {"share", "add", "x", "--owner", "ann", "--parent", "77"},
           {"share", "set", id, "--parent", id},  // into itself
           {"share", "set", id, "--read-only", "maybe"},
           {"share", "set", id, "--password", "p", "--no-password"},
           {"share", "set", "77", "--name", "y"},
           {"share", "remove", "77"}}) {
    auto r = server.Admin(bad);
    EXPECT_NE(r.exitCode, 0) << bad[0] << " " << bad[1] << " " << bad[2];
    EXPECT_NE(r.err.find("error"), std::string::npos);
  }

  // Handed over to cid: his folder now, with its files.
  auto set = server.Admin({"share", "set", id, "--owner", "cid", "--no-password"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(SelectFolders(*ann).rows[0].at("Ownner"), "cid");
  EXPECT_EQ(SelectFolders(*ann).rows[0].at("AccessPwd"), "");
  EXPECT_EQ(ShareDownload(*ann, {"ann", team, "f.txt", "content"}), "content");
  TQorPack removeByAnn = RemoveFolderRequest("ann", team);
  EXPECT_EQ(ErrOf(*ann, removeByAnn), 4);

  auto remove = server.Admin({"share", "remove", id});
  ASSERT_EQ(remove.exitCode, 0) << remove.err;
  EXPECT_TRUE(SelectFolders(*ann).rows.empty());
  EXPECT_EQ(Blobs(), 0);
}

// A statement that fails on the server comes back as the "storage error"
// reply (or the admin command's error) and changes nothing: a folder whose
// row could not be removed keeps its files, a hand-over whose files could
// not follow keeps its owner.
TEST_F(Share, FailedStatementsReplyStorageErrorAndChangeNothing) {
  const std::int64_t docs = InsertFolder(*ann, "ann", 0, "docs");
  ASSERT_GT(docs, 0);
  const TShareFile plan{"ann", docs, "plan.txt", "the plan"};
  ASSERT_EQ(ShareUpload(*ann, plan), 1);
  const std::string id = std::to_string(docs);
  // The tree, the folder's files and the file itself, as one text.
  auto state = [&] {
    std::string text;
    for (const auto& r : SelectFolders(*bob).rows)
      text += r.at("Name") + "(" + r.at("Ownner") + ")" + r.at("Comment") + ";";
    for (const auto& f : SelectFiles(*ann, docs).Brief()) text += f + ";";
    return text + ShareDownload(*ann, plan) + ";" + std::to_string(Blobs());
  };
  const std::string before = state();

  auto call = [&](TQorPack request) {
    return [&, request]() mutable { return std::to_string(ErrOf(*ann, request)) + " " +
                                           request.ErrMsg(); };
  };
  auto admin = [&](std::vector<std::string> args) { return AdminOutcome(server, std::move(args)); };
  const auto foldersAway = RenameAway("share_folders");
  const std::string storageError = kStorageError;
  const std::string noFolders = "no such table: share_folders";
  const std::vector<TFaultCase> cases = {
      {"folder inserted", Refuse("INSERT", "share_folders"),
       call(InsertFolderRequest("ann", 0, "new", false, "")), storageError, kRefusal},
      {"folder updated", Refuse("UPDATE", "share_folders"),
       call(UpdateFolderRequest("ann", docs, 0, "renamed", false, kMarker, "note")), storageError,
       kRefusal},
      {"folder removed", Refuse("DELETE", "share_folders"), call(RemoveFolderRequest("ann", docs)),
       storageError, kRefusal},
      {"tree listed", foldersAway, call(MakeRequest("TShareFolder.SelectFolder", {})),
       storageError, noFolders},
      {"files listed", foldersAway, call(SelectFilesRequest(docs)), storageError, noFolders},
      {"file checked for upload", foldersAway, call(ShareCheckRequest(plan)), storageError,
       noFolders},
      {"folder removed by the administrator", Refuse("DELETE", "share_folders"),
       admin({"share", "remove", id}), "exit 1 error: ", kRefusal},
      {"folder handed over, its files refused", Refuse("UPDATE", "objects"),
       admin({"share", "set", id, "--owner", "cid", "--comment", "cid's"}), "exit 1 error: ",
       kRefusal},
      {"folders listed by the administrator", foldersAway, admin({"share", "list"}),
       "exit 1 error: ", noFolders},
  };
  ExpectFaultsChangeNothing(server, cases, state, before);
  EXPECT_EQ(before, "docs(ann);plan.txt:8:946164070;the plan;1");
}

}  // namespace
}  // namespace solvane::testing
