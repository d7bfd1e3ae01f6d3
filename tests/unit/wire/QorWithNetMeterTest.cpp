// Traffic meters and the waiting-call list.

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "wire/QorWithNetDefine.h"

namespace solvane {
namespace {

using namespace std::chrono_literals;
using TClock = TQorNetMeter::TClock;

struct MeterCase {
  const char* name;
  std::vector<std::pair<std::chrono::milliseconds, std::int64_t>> adds;  // time, bytes
  std::vector<std::int32_t> newest;  // expected counters, oldest of them first
  std::int64_t total;
};

class MeterTest : public ::testing::TestWithParam<MeterCase> {};

TEST_P(MeterTest, CountsPerSecond) {
  const TClock::time_point base{std::chrono::seconds(1000)};  // a whole second
  TQorNetMeter meter;
  for (const auto& [at, n] : GetParam().adds) meter.AddAt(n, base + at);
  auto counters = meter.Counters();
  const auto& newest = GetParam().newest;
  std::vector<std::int32_t> tail(counters.end() - static_cast<std::ptrdiff_t>(newest.size()),
                                 counters.end());
  EXPECT_EQ(tail, newest);
  EXPECT_EQ(meter.Total(), GetParam().total);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeterTest,
    ::testing::Values(
        MeterCase{"SameSecondAdds", {{0ms, 5}, {500ms, 7}}, {0, 12}, 12},
        MeterCase{"ThreeSecondsLater", {{0ms, 5}, {3000ms, 2}}, {5, 0, 0, 2}, 7},
        // Less than a second apart but across a second boundary.
        MeterCase{"NextSecondAfterShortGap", {{900ms, 5}, {1100ms, 3}}, {5, 3}, 8},
        // A steady trickle still moves on every second.
        MeterCase{
            "Trickle", {{0ms, 1}, {600ms, 1}, {1200ms, 1}, {1800ms, 1}, {2400ms, 1}}, {2, 2, 1}, 5},
        MeterCase{"FiftyNineSecondsKeepTheOldest", {{0ms, 5}, {59000ms, 1}}, {0, 1}, 6},
        MeterCase{"AMinuteClearsAll", {{0ms, 5}, {60000ms, 1}}, {0, 1}, 1},
        MeterCase{"SaturatesInsteadOfOverflowing",
                  {{0ms, 2'000'000'000}, {10ms, 2'000'000'000}},
                  {2'147'483'647},
                  2'147'483'647}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(QorNetContextList, NumbersCallsFromOneAndOnlyWhileOpen) {
  TQorNetContextList list;
  EXPECT_EQ(list.Start(), nullptr);  // closed: no number used
  list.Open();
  auto a = list.Start();
  auto b = list.Start();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Id, 1);
  EXPECT_EQ(b->Id, 2);
  list.Remove(a);
  EXPECT_FALSE(list.Deliver(1, "late", ""));  // its caller gave up
  EXPECT_TRUE(list.Deliver(2, "frame", "extra"));
  EXPECT_EQ(b->State.load(), TQorNetContext::kArrived);
  EXPECT_EQ(b->Buffer, "frame");
  EXPECT_EQ(b->Extra, "extra");
  EXPECT_FALSE(list.Deliver(2, "again", ""));  // delivered once only
  list.CloseAndFailAll();
  list.Open();
  EXPECT_EQ(list.Start()->Id, 3);
  EXPECT_EQ(list.RepliesReceived(), 1);
}

TEST(QorNetContextList, ClosingWakesAWaitingCaller) {
  TQorNetContextList list;
  list.Open();
  auto context = list.Start();
  auto waiter = std::async(std::launch::async, [&] { return list.WaitUntil(*context, {}); });
  std::this_thread::sleep_for(20ms);
  list.CloseAndFailAll();
  ASSERT_EQ(waiter.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(waiter.get(), TQorNetContext::kConnectionLost);
  EXPECT_EQ(list.WaitUntil(*context, TClock::now()), TQorNetContext::kConnectionLost);
}

}  // namespace
}  // namespace solvane
