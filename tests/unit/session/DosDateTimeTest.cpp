#include "session/DosDateTime.h"

#include <gtest/gtest.h>

namespace solvane {
namespace {

using namespace std::chrono_literals;

void ExpectFields(const TLocalDateTime& t, int y, int mo, int d, int h, int mi, int s) {
  EXPECT_EQ(t.year, y);
  EXPECT_EQ(t.month, mo);
  EXPECT_EQ(t.day, d);
  EXPECT_EQ(t.hour, h);
  EXPECT_EQ(t.minute, mi);
  EXPECT_EQ(t.second, s);
}

TEST(DosDateTime, BoundariesPackToTheirBitsAndBack) {
  // 1980-01-01 00:00:00: date (0 << 9 | 1 << 5 | 1), time 0.
  EXPECT_EQ(EncodeDosDateTime({1980, 1, 1, 0, 0, 0}), 0x00210000u);
  // 2107-12-31 23:59:58: date (127 << 9 | 12 << 5 | 31), time (23 << 11 | 59 << 5 | 29).
  EXPECT_EQ(EncodeDosDateTime({2107, 12, 31, 23, 59, 58}), 0xFF9FBF7Du);

  TLocalDateTime t;
  ASSERT_TRUE(DecodeDosDateTime(0x00210000u, t));
  ExpectFields(t, 1980, 1, 1, 0, 0, 0);
  ASSERT_TRUE(DecodeDosDateTime(0xFF9FBF7Du, t));
  ExpectFields(t, 2107, 12, 31, 23, 59, 58);
}

TEST(DosDateTime, OddSecondsRoundDown) {
  TLocalDateTime t;
  ASSERT_TRUE(DecodeDosDateTime(EncodeDosDateTime({2024, 5, 15, 13, 45, 17}), t));
  ExpectFields(t, 2024, 5, 15, 13, 45, 16);
  ASSERT_TRUE(DecodeDosDateTime(EncodeDosDateTime({2024, 5, 15, 13, 45, 59}), t));
  EXPECT_EQ(t.second, 58);
}

TEST(DosDateTime, OutOfRangeOrInvalidFieldsEncodeAsZero) {
  const TLocalDateTime invalid[] = {
      {1979, 12, 31, 23, 59, 59}, {2108, 1, 1, 0, 0, 0},  {2024, 0, 1, 0, 0, 0},
      {2024, 13, 1, 0, 0, 0},     {2024, 2, 30, 0, 0, 0}, {2023, 2, 29, 0, 0, 0},
      {2100, 2, 29, 0, 0, 0},     {2024, 4, 31, 0, 0, 0}, {2024, 1, 0, 0, 0, 0},
      {2024, 1, 1, 24, 0, 0},     {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60},
      {2024, 1, 1, -1, 0, 0},
  };
  for (const TLocalDateTime& t : invalid) {
    EXPECT_EQ(EncodeDosDateTime(t), 0u) << t.year << "-" << t.month << "-" << t.day << " " << t.hour
                                        << ":" << t.minute << ":" << t.second;
  }
  EXPECT_NE(EncodeDosDateTime({2024, 2, 29, 0, 0, 0}), 0u) << "leap day";
  EXPECT_NE(EncodeDosDateTime({2000, 2, 29, 0, 0, 0}), 0u) << "leap day of a 400 year";
}

TEST(DosDateTime, DecodingRejectsInvalidFields) {
  auto pack = [](unsigned yearOffset, unsigned month, unsigned day, unsigned hour, unsigned minute,
                 unsigned halfSeconds) {
    return (yearOffset << 9 | month << 5 | day) << 16 | (hour << 11 | minute << 5 | halfSeconds);
  };
  const std::uint32_t invalid[] = {
      0u,
      pack(44, 0, 1, 0, 0, 0),   // month 0
      pack(44, 13, 1, 0, 0, 0),  // month 13
      pack(44, 2, 30, 0, 0, 0),  // 2024-02-30
      pack(43, 2, 29, 0, 0, 0),  // 2023-02-29
      pack(44, 6, 0, 0, 0, 0),   // day 0
      pack(44, 6, 1, 24, 0, 0),  // hour 24
      pack(44, 6, 1, 0, 60, 0),  // minute 60
      pack(44, 6, 1, 0, 0, 30),  // 60 seconds
  };
  for (std::uint32_t packed : invalid) {
    TLocalDateTime t{1, 1, 1, 1, 1, 1};
    EXPECT_FALSE(DecodeDosDateTime(packed, t)) << std::hex << packed;
    EXPECT_EQ(t.year, 1) << "output untouched on failure";
  }
  TLocalDateTime t;
  EXPECT_TRUE(DecodeDosDateTime(pack(44, 2, 29, 23, 59, 29), t));
}

TEST(DosDateTime, InstantRoundTripsInLocalTimeToTwoSecondSteps) {
  std::optional<DateTime> exact = FromLocalDateTime({2024, 3, 15, 10, 20, 30});
  ASSERT_TRUE(exact);
  std::uint32_t packed = DateTimeToDos(*exact + 1s + 700ms);
  DateTime back;
  ASSERT_TRUE(DosToDateTime(packed, back));
  EXPECT_EQ(back, *exact);

  EXPECT_EQ(DateTimeToDos(*FromLocalDateTime({1975, 6, 1, 12, 0, 0})), 0u);
  EXPECT_EQ(DateTimeToDos(*FromLocalDateTime({2200, 6, 1, 12, 0, 0})), 0u);
  EXPECT_FALSE(DosToDateTime(0, back));
}

}  // namespace
}  // namespace solvane
