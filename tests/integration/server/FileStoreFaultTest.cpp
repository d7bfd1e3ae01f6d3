// A statement of the file store that fails reaches the client as a storage
// error (ErrNo 10 and the statement's message), and changes nothing: the
// store stays as it was, files, versions and recycle bin alike.

#include <gtest/gtest.h>

#include "ServerProcess.h"
#include "StorageFault.h"
#include "StoreCalls.h"

namespace solvane::testing {
namespace {

TEST(FileStoreFaults, AFailedStatementIsAStorageErrorAndChangesNothing) {
  TServerProcess server;
  ASSERT_TRUE(server.Start());
  server.AddUser("u1", "pw1", {"--can-delete", "--space", "100"});
  TTestClient c;
  ASSERT_TRUE(c.Connect(server.Port()));
  ASSERT_TRUE(c.Login("u1", "pw1"));

  const TFileSpec kept{"u1", 100, "C:/docs", "kept.txt", Bytes(3000, 1)};
  const TFileSpec binned{"u1", 100, "C:/docs", "binned.txt", Bytes(500, 2)};
  Backup(c, kept);
  Backup(c, binned);
  TQorPack remove = RemoveRequest("u1", 100, "C:/docs", "binned.txt", false);
  ASSERT_TRUE(c.CallOk(remove));
  const auto bin = ShowTrash(c, "u1", 100).rows;
  ASSERT_EQ(bin.size(), 1u);

  auto state = [&] {
    std::string text;
    for (const auto& f : Show(c, "u1", 100, "C:/docs").Brief()) text += f + ";";
    for (const auto& r : ShowTrash(c, "u1", 100).rows) text += "bin:" + r.at("ObjectName") + ";";
    return text + std::to_string(Restore(c, kept) == kept.content);
  };
  const std::string before = state();

  auto call = [&](TQorPack request, std::string data = {}) {
    return [&c, request, data]() mutable {
      if (!c.Call(request, data)) return std::string("no reply");
      return Outcome(request);
    };
  };
  TFileSpec changed = kept;
  changed.content = Bytes(10, 3);
  const TFileSpec fresh{"u1", 100, "C:/docs", "fresh.txt", Bytes(20, 4)};
  const TQorPack seek = MakeRequest("TBrower.SeekFileObject", {{"UCode", "u1"},
                                                               {"ObjectNameSR", "*.txt"},
                                                               {"SizeIncluded", "0"},
                                                               {"DateIncluded", "0"},
                                                               {"OnlyLastVersion", "1"}});
  const std::string noObjects = "no such table: objects";
  const std::vector<TFaultCase> cases = {
      {"check", RenameAway("objects"), call(CheckRequest(changed)), kStorageError, noObjects},
      {"space of an upload", RenameAway("users"), call(UploadRequest(fresh, 0, 20), fresh.content),
       kStorageError, "users"},
      {"download", RenameAway("objects"), call(DownloadRequest(kept, kept.Size(), kept.date, 1)),
       kStorageError, noObjects},
      {"listing", RenameAway("objects"),
       call(MakeRequest("TBrower.ShowFileObject",
                        {{"UCode", "u1"}, {"TaskKind", "100"}, {"RelatePath", "C:/docs"}})),
       kStorageError, noObjects},
      {"search", RenameAway("objects"), call(seek), kStorageError, noObjects},
      {"removal", Refuse("UPDATE", "objects"),
       call(RemoveRequest("u1", 100, "C:/docs", "kept.txt", false)), kStorageError, kRefusal},
      {"recycle bin listing", RenameAway("trash"),
       call(MakeRequest("TBrower.ShowTrashObject", {{"UCode", "u1"}, {"TaskKind", "100"}})),
       kStorageError, "trash"},
      {"purge", Refuse("DELETE", "versions"),
       call(TrashRequest("TBrower.RemoveTrashObject", "u1", 100, bin[0])), kStorageError,
       kRefusal},
      {"revert", Refuse("UPDATE", "objects"),
       call(TrashRequest("TBrower.RevertTrashObject", "u1", 100, bin[0])), kStorageError,
       kRefusal},
  };
  ExpectFaultsChangeNothing(server, cases, state, before);
  EXPECT_EQ(before, "kept.txt:3000:946164070:1;bin:binned.txt;1");
}

}  // namespace
}  // namespace solvane::testing
