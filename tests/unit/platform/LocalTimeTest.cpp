#include "platform/LocalTime.h"

#include <gtest/gtest.h>

namespace solvane {
namespace {

using namespace std::chrono_literals;

TEST(LocalTime, FieldsRoundTripAndFractionIsDropped) {
  TLocalDateTime in{2024, 2, 29, 13, 14, 15};
  std::optional<DateTime> t = FromLocalDateTime(in);
  ASSERT_TRUE(t);
  TLocalDateTime out = ToLocalDateTime(*t + 999ms);
  EXPECT_EQ(out.year, 2024);
  EXPECT_EQ(out.month, 2);
  EXPECT_EQ(out.day, 29);
  EXPECT_EQ(out.hour, 13);
  EXPECT_EQ(out.minute, 14);
  EXPECT_EQ(out.second, 15);
  EXPECT_EQ(out.dayOfWeek, 4) << "2024-02-29 is a Thursday";
}

TEST(LocalTime, OutOfRangeFieldsCarryOver) {
  std::optional<DateTime> dayZero = FromLocalDateTime({2024, 3, 0, 12, 0, 0});
  ASSERT_TRUE(dayZero);
  TLocalDateTime out = ToLocalDateTime(*dayZero);
  EXPECT_EQ(out.month, 2);
  EXPECT_EQ(out.day, 29);
}

TEST(LocalTime, InstantBeforeTheEpochIsFlooredNotRounded) {
  std::optional<DateTime> t = FromLocalDateTime({1960, 6, 1, 10, 0, 0});
  ASSERT_TRUE(t);
  EXPECT_EQ(ToLocalDateTime(*t + 500ms).second, 0);
  EXPECT_EQ(ToLocalDateTime(*t - 500ms).second, 59);
}

TEST(LocalTime, YearsDateTimeCannotHoldAreRefused) {
  EXPECT_FALSE(FromLocalDateTime({3000, 1, 1, 0, 0, 0}));
  EXPECT_FALSE(FromLocalDateTime({1600, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace solvane
