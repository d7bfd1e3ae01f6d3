// The Foxmail store parser on generated files, good and broken, each fed at
// every truncation point.

#include <gtest/gtest.h>

#include <array>

#include "FoxmailStoreWriter.h"
#include "mail/QorWithMCFoxmailParser.h"

namespace solvane {
namespace {

using test::MakeFoxmailAccounts;
using test::MakeFoxmailMailbox;
using test::TFoxmailAccountSpec;
using test::TFoxmailMessageSpec;

const std::string kGbkName = "\xD5\xC5\xC8\xFD";  // two GBK characters

std::vector<TFoxmailAccountSpec> TwoAccounts() {
  return {{kGbkName, "/mail/ann/"}, {"bob", std::string("/mail/bob\0junk", 14)}};
}

TEST(FoxmailAccounts, ReadsNamesAndPathsInFileOrder) {
  const auto list = ParseFoxmailAccounts(MakeFoxmailAccounts(TwoAccounts()));
  EXPECT_EQ(list.Error, TFoxmailError::None);
  EXPECT_EQ(list.Count, 2);
  ASSERT_EQ(list.Accounts.size(), 2u);
  EXPECT_EQ(list.Accounts[0].Name, kGbkName);
  EXPECT_EQ(list.Accounts[0].Path, "/mail/ann/");
  EXPECT_EQ(list.Accounts[1].Name, "bob");
  EXPECT_EQ(list.Accounts[1].Path, "/mail/bob");  // cut at the zero byte
}

TEST(FoxmailAccounts, NamesAreCutAtZeroAndAt126Bytes) {
  const auto list = ParseFoxmailAccounts(
      MakeFoxmailAccounts({{std::string(200, 'n'), "/a"}, {std::string("ab\0cd", 5), "/b"}}));
  ASSERT_EQ(list.Accounts.size(), 2u);
  EXPECT_EQ(list.Accounts[0].Name, std::string(126, 'n'));
  EXPECT_EQ(list.Accounts[1].Name, "ab");
  EXPECT_EQ(list.Accounts[1].Path, "/b");  // the long name did not shift the next record
}

TEST(FoxmailAccounts, ListEndsAtStopMarksAndBadLengths) {
  struct TCase {
    const char* What;
    TFoxmailAccountSpec Second;
    TFoxmailError Error;
  };
  const std::vector<TCase> cases = {
      {"name length 0", {"", "/b"}, TFoxmailError::None},
      {"path length 512", {"b", std::string(512, 'p')}, TFoxmailError::None},
      {"negative name length", {"b", "/b", "x", -5, std::nullopt}, TFoxmailError::BadLength},
      {"negative path length", {"b", "/b", "x", std::nullopt, -1}, TFoxmailError::BadLength},
      {"name length past the end",
       {"b", "/b", "x", 0x7FFFFFFF, std::nullopt},
       TFoxmailError::Truncated},
      {"path length just below the stop, past the end",
       {"b", "/b", "x", std::nullopt, 511},
       TFoxmailError::Truncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    const auto list =
        ParseFoxmailAccounts(MakeFoxmailAccounts({{"a", "/a"}, c.Second, {"c", "/c"}}));
    EXPECT_EQ(list.Count, 3);
    EXPECT_EQ(list.Error, c.Error);
    ASSERT_EQ(list.Accounts.size(), 1u);
    EXPECT_EQ(list.Accounts[0].Name, "a");
  }
}

TEST(FoxmailAccounts, HugeOrNegativeCountsStopAtTheData) {
  EXPECT_EQ(ParseFoxmailAccounts(MakeFoxmailAccounts(TwoAccounts(), -4)).Accounts.size(), 0u);
  const auto huge = ParseFoxmailAccounts(MakeFoxmailAccounts(TwoAccounts(), 0x7FFFFFFF));
  EXPECT_EQ(huge.Accounts.size(), 2u);
  EXPECT_EQ(huge.Error, TFoxmailError::Truncated);
}

TEST(FoxmailAccounts, EveryTruncationKeepsACompletePrefix) {
  const std::string full = MakeFoxmailAccounts(TwoAccounts());
  const auto whole = ParseFoxmailAccounts(full);
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    const auto list = ParseFoxmailAccounts(std::string_view(full).substr(0, cut));
    EXPECT_EQ(list.Error, TFoxmailError::Truncated);
    ASSERT_LE(list.Accounts.size(), 2u);
    for (std::size_t i = 0; i < list.Accounts.size(); ++i) {
      EXPECT_EQ(list.Accounts[i].Name, whole.Accounts[i].Name);
      EXPECT_EQ(list.Accounts[i].Path, whole.Accounts[i].Path);
    }
  }
}

TEST(FoxmailIndex, CountIsWholeRecordsAfterTheHeader) {
  const std::vector<std::pair<std::uint64_t, std::size_t>> cases = {{0, 0},
                                                                    {64, 0},
                                                                    {65, 0},
                                                                    {64 + 175, 0},
                                                                    {64 + 176, 1},
                                                                    {64 + 176 * 3, 3},
                                                                    {64 + 176 * 3 + 100, 3}};
  for (const auto& [size, count] : cases) EXPECT_EQ(FoxmailIndexCount(size), count) << size;
}

TEST(FoxmailIndex, RecordsGiveMarkOffsetSizeAndTexts) {
  const auto mb = MakeFoxmailMailbox({
      {"first", "ann@x", "\xC4\xE3\xBA\xC3"},  // GBK subject kept as bytes
      {"second", "bob@x", "gone", true},
      {"third", "", "", false, std::nullopt, 20u * 1024 * 1024},
  });
  const auto r1 = ParseFoxmailIndexRecord(mb.Index, 1);
  ASSERT_TRUE(r1);
  EXPECT_FALSE(r1->Deleted);
  EXPECT_EQ(r1->Offset, static_cast<std::int32_t>(mb.Offsets[0]));
  EXPECT_EQ(r1->Size, 5u);
  EXPECT_EQ(r1->Sender, "ann@x");
  EXPECT_EQ(r1->Subject, "\xC4\xE3\xBA\xC3");
  EXPECT_TRUE(ParseFoxmailIndexRecord(mb.Index, 2)->Deleted);
  EXPECT_EQ(ParseFoxmailIndexRecord(mb.Index, 3)->Size, (20u * 1024 * 1024) % 16777216u);
  EXPECT_FALSE(ParseFoxmailIndexRecord(mb.Index, 0));
  EXPECT_FALSE(ParseFoxmailIndexRecord(mb.Index, 4));
}

TEST(FoxmailIndex, TextWindowReachesTenBytesIntoTheNextRecord) {
  auto mb = MakeFoxmailMailbox({{"a", std::string(143, 's'), ""}, {"b", "next", "x"}});
  // Record 1's texts fill it to its end; the next record's first bytes carry on.
  std::fill_n(mb.Index.begin() + 64 + 176, 10, 't');
  const auto r1 = ParseFoxmailIndexRecord(mb.Index, 1);
  EXPECT_EQ(r1->Sender, std::string(143, 's') + std::string(10, 't'));
  EXPECT_EQ(r1->Subject, "");
  mb.Index[64 + 176 + 8] = '\0';
  const auto cut = ParseFoxmailIndexRecord(mb.Index, 1);
  EXPECT_EQ(cut->Sender, std::string(143, 's') + "tttttttt");
  EXPECT_EQ(cut->Subject, "t");
  // The last record's window past the end of the file reads as zero.
  auto last = MakeFoxmailMailbox({{"a", std::string(143, 's'), ""}});
  EXPECT_EQ(ParseFoxmailIndexRecord(last.Index, 1)->Sender, std::string(143, 's'));
}

TEST(FoxmailIndex, EveryTruncationListsOnlyWholeRecords) {
  const auto mb =
      MakeFoxmailMailbox({{"a", "s1", "t1"}, {"b", "s2", "t2", true}, {"c", "s3", "t3"}});
  for (std::size_t cut = 0; cut <= mb.Index.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::string_view index = std::string_view(mb.Index).substr(0, cut);
    const std::size_t count = FoxmailIndexCount(cut);
    EXPECT_EQ(count, cut < 64 ? 0 : (cut - 64) / 176);
    for (std::size_t n = 1; n <= 4; ++n) {
      const auto r = ParseFoxmailIndexRecord(index, n);
      ASSERT_EQ(r.has_value(), n <= count);
      if (!r) continue;
      const auto whole = ParseFoxmailIndexRecord(mb.Index, n);
      EXPECT_EQ(r->Sender, whole->Sender);
      EXPECT_EQ(r->Subject, whole->Subject);
      EXPECT_EQ(r->Offset, whole->Offset);
      EXPECT_EQ(r->Deleted, whole->Deleted);
    }
  }
}

TEST(FoxmailBox, SendDateFromTheTextBeforeTheZone) {
  struct TCase {
    std::string Head;
    std::optional<std::array<int, 6>> Expected;
  };
  const std::vector<TCase> cases = {
      {"Date: Mon, 05 Jan 2009 08:15:00 +0800\r\n", std::array<int, 6>{2009, 1, 5, 8, 15, 0}},
      {"Date: 31 Dec 2010 23:59:59 +0800", std::array<int, 6>{2010, 12, 31, 23, 59, 59}},
      {"Date: Mon, 05 Jan 2009 08:15:00 +0100\r\n", std::nullopt},
      {"Date: Mon, 5 Jan 2009 08:15:00 +0800\r\n", std::nullopt},
      {"Date: Mon, 05 jan 2009 08:15:00 +0800\r\n", std::nullopt},
      {"Date: Mon, 05 Foo 2009 08:15:00 +0800\r\n", std::nullopt},
      {"9 08:15:00 +0800", std::nullopt},
      {std::string("Date: Mon, 05 Jan 2009\0 08:15:00 +0800", 38), std::nullopt},
      {std::string(1001, 'x') + "05 Jan 2009 08:15:00 +0800", std::nullopt},
      {"\xFF\xFE\x81 05 Jan 2009 08:15:00 +0800", std::array<int, 6>{2009, 1, 5, 8, 15, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Head);
    const auto t = ParseFoxmailSendDate(c.Head);
    ASSERT_EQ(t.has_value(), c.Expected.has_value());
    if (!t) continue;
    const std::array<int, 6> got = {t->year, t->month, t->day, t->hour, t->minute, t->second};
    EXPECT_EQ(got, *c.Expected);
  }
}

TEST(FoxmailBox, MessagesAreExtractedOnlyWhenWhollyInside) {
  const std::string box = "0123456789";
  struct TCase {
    std::int64_t Offset, Size;
    TFoxmailError Error;
    const char* Bytes;
  };
  const std::vector<TCase> cases = {
      {2, 3, TFoxmailError::None, "234"},    {0, 10, TFoxmailError::None, "0123456789"},
      {9, 1, TFoxmailError::None, "9"},      {9, 2, TFoxmailError::Truncated, ""},
      {10, 1, TFoxmailError::Truncated, ""}, {0x7FFFFFFF, 5, TFoxmailError::Truncated, ""},
      {-1, 3, TFoxmailError::BadLength, ""}, {4, 0, TFoxmailError::Empty, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Offset << "+" << c.Size);
    const auto got = ExtractFoxmailMessage(box, c.Offset, c.Size);
    EXPECT_EQ(got.Error, c.Error);
    EXPECT_EQ(got.Bytes, c.Bytes);
  }
}

}  // namespace
}  // namespace solvane
