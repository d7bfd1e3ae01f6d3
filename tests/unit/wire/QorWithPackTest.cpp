#include <gtest/gtest.h>

#include <chrono>

#include "wire/QorWithHeaderLine.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithText.h"

namespace solvane {
namespace {

const std::string kEmptyFrame =
    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
    "<Frame>\r\n"
    "  <FunNo></FunNo>\r\n"
    "  <ErrNo>-1</ErrNo>\r\n"
    "  <ErrMsg></ErrMsg>\r\n"
    "  <Fields></Fields>\r\n"
    "  <RecordSets>\r\n"
    "  </RecordSets>\r\n"
    "</Frame>\r\n";

TEST(QorWithPack, NewPacketSavesTheEmptyFrame) {
  TQorPack p;
  EXPECT_EQ(p.SaveToString(), kEmptyFrame);
  EXPECT_EQ(p.ErrNo(), -1);
  EXPECT_EQ(p.RecordSetCount(), 0);
}

TEST(QorWithPack, FieldsLineAndRecordLineAreByteExactAndLazilyWritten) {
  TQorPack p;
  p.AddString(1, "UCode", "u1");
  p.AddString(1, "UIPAddr", "192.168.0.7");
  // The record is still pending: only line 5 changed.
  EXPECT_EQ(p.Fields().Names().size(), 2u);
  const auto& lines = p.Lines();  // writes the pending record
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[5], "  <Fields>UCode\x01UIPAddr\x01</Fields>");
  EXPECT_EQ(lines[7], "    <RecordSet>u1\x01" "192.168.0.7\x01</RecordSet>");
}

TEST(QorWithPack, LogoutFrameIs278Bytes) {
  TQorPack p;
  p.SetFunNo("TUser.Logout");
  p.AddString(1, "UAdmin", "u1");
  p.AddString(1, "UIPAddr", "192.168.0.7");
  p.AddString(1, "UMAC", "00-0C-29-3A-5B-7C");
  p.AddString(1, "UCode", "u1");
  std::string bytes = p.SaveToString();
  EXPECT_EQ(bytes.size(), 278u);
  THeaderLine h;
  h.bindingHandle = 1234;
  h.id = 3;
  h.frameSize = static_cast<std::int64_t>(bytes.size());
  EXPECT_EQ(BuildHeaderLine(h),
            "BindingHandle=00001234|CF_SEND_PARAM:Id=00000003|ParamXMLStreamSize=00000278");
}

TEST(QorWithPack, SeveralRecordSetsRoundTrip) {
  TQorPack p;
  p.SetFunNo("TBrower.ShowFileObject");
  for (int n = 1; n <= 3; ++n) {
    p.AddString(n, "Name", "f" + std::to_string(n));
    p.AddInteger(n, "Size", n * 1000);
    p.AddBoolean(n, "IsFolder", n == 2);
    p.AddString(n, "Note", "");  // an empty last value survives
  }
  EXPECT_EQ(p.RecordSetCount(), 3);
  TQorPack q;
  ASSERT_TRUE(q.LoadFromStream(p.SaveToString()));
  EXPECT_EQ(q.FunNo(), "TBrower.ShowFileObject");
  ASSERT_EQ(q.RecordSetCount(), 3);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(q.FieldByName(n, "name").AsString(), "f" + std::to_string(n));
    EXPECT_EQ(q.FieldByName(n, "SIZE").AsInteger(), n * 1000);
    EXPECT_EQ(q.FieldByName(n, "IsFolder").AsBoolean(), n == 2);
    EXPECT_EQ(q.FieldByName(n, "Note").AsString(), "");
  }
  // Outside the record sets and unknown names: empty.
  EXPECT_EQ(q.FieldByName(4, "Name").AsString(), "");
  EXPECT_EQ(q.FieldByName(1, "Nope").AsInteger(), 0);
  EXPECT_FALSE(q.FieldByName(1, "Nope").AsBoolean());
}

TEST(QorWithPack, RepeatedNameIsDefinedOnceButValueAppended) {
  TQorPack p;
  p.AddString(1, "A", "1");
  p.AddString(1, "a", "2");
  const auto& lines = p.Lines();
  EXPECT_EQ(lines[5], "  <Fields>A\x01</Fields>");
  EXPECT_EQ(lines[7], "    <RecordSet>1\x01" "2\x01</RecordSet>");
}

TEST(QorWithPack, FieldResultIsOverwrittenByTheNextLookup) {
  TQorPack p;
  p.AddString(1, "A", "first");
  p.AddString(1, "B", "second");
  const TQorPackField& f = p.FieldByName(1, "A");
  EXPECT_EQ(f.AsString(), "first");
  p.FieldByName(1, "B");
  EXPECT_EQ(f.AsString(), "second");
}

TEST(QorWithPack, ReplyLoading) {
  struct Case {
    const char* name;
    std::string text;
    std::string funNo;
    int errNo;
    std::string errMsg;
  };
  const Case cases[] = {
      {"ErrNo not a number reads 0",
       "<?xml?>\r\n<Frame>\r\n  <FunNo>X.Y</FunNo>\r\n  <ErrNo>abc</ErrNo>\r\n"
       "  <ErrMsg>bad</ErrMsg>\r\n  <Fields></Fields>\r\n  <RecordSets>\r\n  </RecordSets>\r\n"
       "</Frame>\r\n",
       "X.Y", 0, "bad"},
      {"tags in other letter case, LF only",
       "<?xml?>\n<Frame>\n  <funno>A.B</FUNNO>\n  <errno>1</ERRNO>\n  <errmsg>ok</ErrMsg>\n",
       "A.B", 1, "ok"},
      {"short frame stops at the first missing line (ErrMsg line missing keeps ErrNo)",
       "<?xml?>\r<Frame>\r  <FunNo>C.D</FunNo>\r  <ErrNo>1</ErrNo>", "C.D", -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TQorPack p;
    p.Reset();
    ASSERT_TRUE(p.LoadFromStream(c.text));
    EXPECT_EQ(p.FunNo(), c.funNo);
    EXPECT_EQ(p.ErrNo(), c.errNo);
    EXPECT_EQ(p.ErrMsg(), c.errMsg);
  }
  TQorPack empty;
  EXPECT_FALSE(empty.LoadFromStream(""));
}

TEST(QorWithPack, ServerResultIsWrittenIntoTheFrame) {
  TQorPack reply;
  reply.SetFunNo("TUser.Login");
  reply.SetResult(1, "");
  reply.AddString(1, "Name", "Ann");
  TQorPack client;
  ASSERT_TRUE(client.LoadFromStream(reply.SaveToString()));
  EXPECT_EQ(client.ErrNo(), 1);
  EXPECT_EQ(client.FieldByName(1, "Name").AsString(), "Ann");
}

TEST(QorWithPack, NamesOutsideGbkSurviveSaveAndLoad) {
  // CJK in GBK, a CJK Extension B character and an emoji, neither in GBK.
  const std::string name = "报告\xF0\xA0\x80\x80-\xF0\x9F\x98\x80.txt";
  TQorPack p;
  p.AddString(1, "ObjectName", name);
  std::string bytes = p.SaveToString();
  // GBK characters are encoded as GBK: 报 is B1 A8.
  EXPECT_NE(bytes.find("\xB1\xA8"), std::string::npos);
  TQorPack q;
  ASSERT_TRUE(q.LoadFromStream(bytes));
  EXPECT_EQ(q.FieldByName(1, "ObjectName").AsString(), name);
}

TEST(QorWithPack, DateTimeValues) {
  using namespace std::chrono;
  DateTime t;
  ASSERT_TRUE(ParseDateTime("2024-02-29 13:05:09", t));
  TQorPack p;
  p.AddDateTime(1, "When", t);
  p.AddString(1, "Bad", "2024-13-01 00:00:00");
  p.AddString(1, "Empty", "");
  EXPECT_EQ(p.FieldByName(1, "When").AsString(), "2024-02-29 13:05:09");
  EXPECT_EQ(p.FieldByName(1, "When").AsDateTime(), t);
  for (const char* bad : {"Bad", "Empty"}) {
    auto now = system_clock::now();
    auto got = p.FieldByName(1, bad).AsDateTime();
    EXPECT_LT(abs(duration_cast<seconds>(got - now).count()), 5) << bad;
  }
  EXPECT_FALSE(ParseDateTime("2023-02-29 00:00:00", t));
}

TEST(QorWithText, Helpers) {
  EXPECT_EQ(BoolToText(true), "1");
  EXPECT_EQ(BoolToText(false), "0");
  EXPECT_TRUE(TextToBool("1abc"));
  EXPECT_FALSE(TextToBool(""));
  EXPECT_FALSE(TextToBool("true"));
  EXPECT_EQ(PadLeft("278", 8, '0'), "00000278");
  EXPECT_EQ(PadLeft("123456789", 8, '0'), "23456789");
  EXPECT_EQ(PadLeft("12345678", 8, '0'), "12345678");
  EXPECT_EQ(GbkLength("报告a"), 5u);
}

TEST(QorWithHeaderLine, ParsesKeysInAnyOrderAndCase) {
  THeaderLine h = ParseHeaderLine(
      "extrabuffersize=00000010| paramxmlstreamsize=00000300 |Other=zz|cf_send_param:id=00000042");
  EXPECT_EQ(h.id, 42);
  EXPECT_EQ(h.frameSize, 300);
  EXPECT_EQ(h.extraSize, 10);
  EXPECT_EQ(ParseHeaderLine("CF_SEND_PARAM:Id=x1|ParamXMLStreamSize=").id, 0);
}

TEST(QorWithHeaderLine, StrictFormRejectsMalformedLines) {
  EXPECT_TRUE(ParseHeaderLineStrict(
      "BindingHandle=00000001|CF_SEND_PARAM:Id=00000001|ParamXMLStreamSize=00000009|Token=abC"));
  EXPECT_EQ(ParseHeaderLineStrict("CF_SEND_PARAM:Id=1|ParamXMLStreamSize=9|Token=abC")->token,
            "abC");
  for (const char* bad : {"", "garbage", "CF_SEND_PARAM:Id=1", "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=-5",
                          "CF_SEND_PARAM:Id=z|ParamXMLStreamSize=5", "CF_SEND_PARAM:Id=1|ParamXMLStreamSize=5|x"})
    EXPECT_FALSE(ParseHeaderLineStrict(bad)) << bad;
  EXPECT_FALSE(ParseHeaderLineStrict(std::string(2000, 'a')));
}

}  // namespace
}  // namespace solvane
