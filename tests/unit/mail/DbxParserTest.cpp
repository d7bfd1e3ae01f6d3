// The .dbx parser on generated stores, good and deliberately broken.

#include <gtest/gtest.h>

#include "DbxStoreWriter.h"
#include "mail/QorWithMCDbxParser.h"

namespace solvane {
namespace {

using test::TDbxEntry;
using test::TDbxField;
using test::TDbxStoreWriter;

std::vector<TDbxMessage> ParseAll(std::string_view file) {
  std::vector<TDbxMessage> out;
  for (std::uint32_t offset : WalkDbxTree(file).RecordOffsets) {
    const TDbxRecordRead read = ReadDbxRecord(file, offset);
    if (read.Record) out.push_back(ParseDbxMessage(*read.Record));
  }
  return out;
}

std::string Repeat(std::string_view unit, std::size_t bytes) {
  std::string s;
  while (s.size() < bytes) s += unit;
  s.resize(bytes);
  return s;
}

TEST(DbxParser, ReadsMessagesAndTheirBlockChains) {
  const std::string longText = Repeat("Line of a long message.\r\n", 1300);
  const auto store = test::WriteMessageStore({
      {"Ann <ann@x>", "Hello", std::string("17"), "From: Ann\r\n\r\nshort", 0x01D0000000000000ull},
      {"Bob", "Long", std::nullopt, longText, 0},
  });
  const TDbxTreeWalk walk = WalkDbxTree(store.Bytes);
  ASSERT_EQ(walk.Error, TDbxError::None);
  ASSERT_EQ(walk.RecordOffsets, store.Records);
  const auto messages = ParseAll(store.Bytes);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].Sender, "Ann <ann@x>");
  EXPECT_EQ(messages[0].Subject, "Hello");
  EXPECT_EQ(messages[0].MessageID, 17);
  EXPECT_EQ(messages[0].SendFileTime, 0x01D0000000000000ull);
  EXPECT_EQ(messages[0].Offset, store.Chains[0]);
  EXPECT_EQ(messages[1].MessageID, 0);
  EXPECT_EQ(messages[1].Size, 1300);
  EXPECT_EQ(ReadDbxMessageText(store.Bytes, store.Chains[0]).Text, "From: Ann\r\n\r\nshort");
  const TDbxMessageText text = ReadDbxMessageText(store.Bytes, store.Chains[1]);
  EXPECT_EQ(text.Error, TDbxError::None);
  EXPECT_EQ(text.Text, longText);  // three blocks
}

TEST(DbxParser, FolderRecordsQualifyByFileNameOrMarker) {
  struct TCase {
    std::vector<TDbxField> Fields;
    bool IsFolder;
    std::string FileName;
  };
  const std::vector<TCase> cases = {
      {{TDbxField::Text(0x02, "Inbox"), TDbxField::Value(0x80, 3), TDbxField::Value(0x81, 1)},
       false,
       ""},
      {{TDbxField::Text(0x02, "Local"), TDbxField::Word(0x06, 0)}, true, ""},
      {{TDbxField::Text(0x03, "Inbox.dbx")}, true, "Inbox.dbx"},
  };
  for (const TCase& c : cases) {
    TDbxStoreWriter w;
    const std::uint32_t record = w.AddRecord(c.Fields);
    const auto read = ReadDbxRecord(w.Bytes(), record);
    ASSERT_TRUE(read.Record);
    const auto folder = ParseDbxFolder(*read.Record);
    EXPECT_EQ(folder.has_value(), c.IsFolder);
    if (folder) {
      EXPECT_EQ(folder->FileName, c.FileName);
    }
  }
  const std::string folders = test::WriteFoldersStore({{5, 2, "Inbox", "Inbox.dbx"}});
  const auto read = ReadDbxRecord(folders, WalkDbxTree(folders).RecordOffsets.at(0));
  const auto folder = ParseDbxFolder(*read.Record);
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->FolderID, 5);
  EXPECT_EQ(folder->ParentID, 2);
  EXPECT_EQ(folder->Name, "Inbox");
}

TEST(DbxParser, AttributesApplyInRecordOrderAndKeepDefaults) {
  struct TCase {
    const char* Name;
    std::vector<TDbxField> Fields;
    std::int64_t MessageID;
    bool OffsetIsRecord;
    std::int64_t Offset;
    std::string Subject;
  };
  const std::vector<TCase> cases = {
      {"no block offset keeps the record's own", {TDbxField::Text(0x08, "s")}, 0, true, 0, "s"},
      {"0x84 after 0x04 wins",
       {TDbxField::Word(0x04, 1000), TDbxField::Value(0x84, 2000)},
       0,
       false,
       2000,
       ""},
      {"0x04 after 0x84 wins",
       {TDbxField::Value(0x84, 2000), TDbxField::Word(0x04, 1000)},
       0,
       false,
       1000,
       ""},
      {"number text that is no number", {TDbxField::Text(0x07, "12a")}, 0, true, 0, ""},
      {"number text", {TDbxField::Text(0x07, "4711")}, 4711, true, 0, ""},
      {"zero byte inside a text",
       {TDbxField::Text(0x08, std::string("ab\0cd", 5))},
       0,
       true,
       0,
       "ab"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDbxStoreWriter w;
    const std::uint32_t record = w.AddRecord(c.Fields);
    const auto read = ReadDbxRecord(w.Bytes(), record);
    ASSERT_TRUE(read.Record);
    const TDbxMessage m = ParseDbxMessage(*read.Record);
    EXPECT_EQ(m.MessageID, c.MessageID);
    EXPECT_EQ(m.Offset, c.OffsetIsRecord ? record : c.Offset);
    EXPECT_EQ(m.Subject, c.Subject);
  }
}

TEST(DbxParser, TwentyFourBitCountsAndValues) {
  TDbxStoreWriter w;
  std::vector<TDbxEntry> entries;
  for (int i = 0; i < 300; ++i)  // more entries than one byte can count
    entries.push_back({w.AddRecord({TDbxField::Value(0x91, 0xFEDCBA)}), 0});
  w.SetRoot(w.AddNode(entries));
  const auto messages = ParseAll(w.Bytes());
  ASSERT_EQ(messages.size(), 300u);
  EXPECT_EQ(messages.back().Size, 0xFEDCBA);
}

TEST(DbxParser, SkipsDeletedAndLyingRecordsAndNodes) {
  TDbxStoreWriter w;
  const std::uint32_t good = w.AddRecord({TDbxField::Text(0x0D, "kept")});
  const std::uint32_t lying = w.AddRecord({TDbxField::Text(0x0D, "lies")});
  w.PutU32(lying, lying + 4);
  const std::uint32_t lyingNode = w.AddNode({{good, 0}});
  w.PutU32(lyingNode, 1);
  // An emptied entry (record 0, negative child) stands where a deleted message was.
  const std::uint32_t root = w.AddNode({{0, 0xFFFFFFF0u}, {lying, lyingNode}, {good, 0}});
  w.SetRoot(root);
  const TDbxTreeWalk walk = WalkDbxTree(w.Bytes());
  EXPECT_EQ(walk.Error, TDbxError::None);
  const auto messages = ParseAll(w.Bytes());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Sender, "kept");
}

TEST(DbxParser, NodesPointingBackAreProcessedOnce) {
  TDbxStoreWriter w;
  const std::uint32_t r1 = w.AddRecord({TDbxField::Text(0x0D, "one")});
  const std::uint32_t r2 = w.AddRecord({TDbxField::Text(0x0D, "two")});
  const std::uint32_t child = w.AddNode({{r2, 0}});
  const std::uint32_t root = w.AddNode({{r1, child}, {0, 0}}, child, 0);
  // The child names the root through both links and its entry's child.
  w.PutU32(child + 8, root);
  w.PutU32(child + 12, root);
  w.PutU32(child + 24 + 4, root);
  w.PutU32(root + 24 + 12 + 4, root);  // and the root names itself
  w.SetRoot(root);
  const TDbxTreeWalk walk = WalkDbxTree(w.Bytes());
  EXPECT_EQ(walk.Error, TDbxError::None);
  EXPECT_EQ(walk.RecordOffsets, (std::vector<std::uint32_t>{r1, r2}));
}

TEST(DbxParser, HostileLengthsEndInAnError) {
  TDbxStoreWriter w;
  const std::uint32_t record = w.AddRecord({TDbxField::Text(0x08, "x")});
  const std::uint32_t node = w.AddNode({{record, 0}});
  w.SetRoot(node);
  struct TCase {
    const char* Name;
    std::uint32_t Pos;
    std::uint32_t Value;
  };
  const std::vector<TCase> cases = {
      {"root beyond the end", 0x30, 0x7FFFFFF0u},
      {"entry count beyond the end", node + 16, 0xFFFFFF00u},
      {"record body beyond the end", record + 4, 0x7FFFFFFFu},
      {"more attribute words than body", record + 8, 0x00FF0000u},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string bytes = w.Bytes();
    for (int i = 0; i < 4; ++i) bytes[c.Pos + i] = static_cast<char>(c.Value >> (8 * i));
    TDbxError error = WalkDbxTree(bytes).Error;
    if (error == TDbxError::None) error = ReadDbxRecord(bytes, record).Error;
    EXPECT_EQ(error, TDbxError::Truncated);
  }
  // A data position outside the data area gives no text rather than a read past it.
  EXPECT_EQ(DbxTextAt("abc", 3), "");
  EXPECT_FALSE(DbxFileTimeAt("1234567", 0));
}

TEST(DbxParser, BrokenChainsFailInsteadOfExportingPart) {
  const std::string text = Repeat("0123456789", 1200);  // three blocks
  TDbxStoreWriter w;
  const std::uint32_t first = w.AddChain(text);
  const std::uint32_t second = first + test::kDbxBlockSize;
  struct TCase {
    const char* Name;
    std::uint32_t Pos;
    std::uint32_t Value;
    TDbxError Error;
  };
  const std::vector<TCase> cases = {
      {"second block's first field lies", second, second + 1, TDbxError::ChainBroken},
      {"next points back to the first", second + test::kDbxBlockNextPos, first,
       TDbxError::ChainLoop},
      {"next points past the end", second + test::kDbxBlockNextPos, 0x7FFFFF00u,
       TDbxError::Truncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string bytes = w.Bytes();
    for (int i = 0; i < 4; ++i) bytes[c.Pos + i] = static_cast<char>(c.Value >> (8 * i));
    EXPECT_EQ(ReadDbxMessageText(bytes, first).Error, c.Error);
  }
  // The file cut inside the last block.
  EXPECT_EQ(ReadDbxMessageText(std::string_view(w.Bytes()).substr(0, w.Bytes().size() - 400), first)
                .Error,
            TDbxError::Truncated);
}

TEST(DbxParser, BlockTextStopsAtZeroByteAndAtItsCount) {
  TDbxStoreWriter w;
  const std::uint32_t zero = w.AddChain(std::string("abc\0def", 7));
  const std::uint32_t counted = w.AddChain("abcdef");
  w.PutU32(counted + 8, 4);
  const std::uint32_t overlong = w.AddChain(Repeat("z", 512));
  w.PutU32(overlong + 8, 0xFFFFFFFFu);  // no more than one block's text is taken
  EXPECT_EQ(ReadDbxMessageText(w.Bytes(), zero).Text, "abc");
  EXPECT_EQ(ReadDbxMessageText(w.Bytes(), counted).Text, "abcd");
  EXPECT_EQ(ReadDbxMessageText(w.Bytes(), overlong).Text, Repeat("z", 512));
}

// Every prefix of a small store: no crash, no read past the bytes, and
// never more than the whole store yields.
TEST(DbxParser, EveryTruncationPointIsSafe) {
  const auto store = test::WriteMessageStore({
      {"a", "s1", std::string("1"), Repeat("x", 600), 1},
      {"b", "s2", std::nullopt, "short", 2},
  });
  const std::string folders = test::WriteFoldersStore({{1, 0, "Inbox", "Inbox.dbx"}});
  for (const std::string* whole : {&store.Bytes, &folders}) {
    for (std::size_t n = 0; n <= whole->size(); ++n) {
      const std::string cut = whole->substr(0, n);  // own buffer: sanitizers see overreads
      const TDbxTreeWalk walk = WalkDbxTree(cut);
      EXPECT_LE(walk.RecordOffsets.size(), 2u);
      for (std::uint32_t offset : walk.RecordOffsets) {
        const auto read = ReadDbxRecord(cut, offset);
        if (!read.Record) continue;
        ParseDbxFolder(*read.Record);
        const TDbxMessage m = ParseDbxMessage(*read.Record);
        const TDbxMessageText text = ReadDbxMessageText(cut, static_cast<std::uint32_t>(m.Offset));
        if (text.Error == TDbxError::None) {
          EXPECT_LE(text.Text.size(), 600u);
        }
      }
    }
  }
  const TDbxTreeWalk whole = WalkDbxTree(store.Bytes);
  EXPECT_EQ(whole.Error, TDbxError::None);
  EXPECT_EQ(whole.RecordOffsets.size(), 2u);
}

}  // namespace
}  // namespace solvane
