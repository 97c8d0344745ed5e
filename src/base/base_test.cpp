#include <gtest/gtest.h>

#include <cfenv>
#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <string>

#include "base/env.h"
#include "base/number_text.h"
#include "base/rounding.h"
#include "base/text_excerpt.h"
#include "testing/fake_env.h"

namespace kavri {
namespace {

TEST(NumberText, SignsBlanksAndBases) {
  EXPECT_EQ(parse_number_text("42"), 42);
  EXPECT_EQ(parse_number_text(" \t 42"), 42);
  EXPECT_EQ(parse_number_text("-100"), -100);
  EXPECT_EQ(parse_number_text("+7"), 7);
  EXPECT_EQ(parse_number_text("$0BC0"), 3008);
  EXPECT_EQ(parse_number_text("$0bc0"), 3008);
  EXPECT_EQ(parse_number_text("-$10"), -16);
  EXPECT_EQ(parse_number_text("%1011"), 11);
  EXPECT_EQ(parse_number_text("  -%11"), -3);
}

TEST(NumberText, StopsAtTheFirstCharacterOutsideTheBase) {
  EXPECT_EQ(parse_number_text("12abc"), 12);
  EXPECT_EQ(parse_number_text("%1012"), 5);  // "2" is no binary digit
  EXPECT_EQ(parse_number_text("$1G"), 1);
  EXPECT_EQ(parse_number_text("12 34"), 12);
  EXPECT_EQ(parse_number_text("1.5"), 1);
  // Only one sign, and no blank between the sign and the digits.
  EXPECT_EQ(parse_number_text("--5"), 0);
  EXPECT_EQ(parse_number_text("- 5"), 0);
  // A blank is skipped only at the start; a newline is no blank.
  EXPECT_EQ(parse_number_text("\n5"), 0);
}

TEST(NumberText, NoDigitGivesZero) {
  EXPECT_EQ(parse_number_text(""), 0);
  EXPECT_EQ(parse_number_text("   "), 0);
  EXPECT_EQ(parse_number_text("-"), 0);
  EXPECT_EQ(parse_number_text("$"), 0);
  EXPECT_EQ(parse_number_text("%"), 0);
  EXPECT_EQ(parse_number_text("abc"), 0);  // decimal: "a" is not a digit
  EXPECT_EQ(parse_number_text(std::string("\0"
                                          "5",
                                          2)),
            0);
}

TEST(NumberText, WrapsModulo2To64OnOverflow) {
  EXPECT_EQ(parse_number_text("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(parse_number_text("9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(parse_number_text("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(parse_number_text("18446744073709551616"), 0);  // 2^64
  EXPECT_EQ(parse_number_text("18446744073709551617"), 1);
  EXPECT_EQ(parse_number_text("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(parse_number_text("$1FFFFFFFFFFFFFFFF"), -1);  // the 65th bit falls off
  EXPECT_EQ(parse_number_text("-$8000000000000000"), std::numeric_limits<std::int64_t>::min());
  // A thousand digits keep wrapping without trouble (the sanitizer build checks for UB).
  EXPECT_EQ(parse_number_text(std::string(1000, '9')),
            static_cast<std::int64_t>(
                static_cast<std::uint64_t>(parse_number_text(std::string(999, '9'))) * 10u + 9u));
  // Callers keep the low bits of their destination.
  EXPECT_EQ(static_cast<std::uint8_t>(parse_number_text("300")), 44);
  EXPECT_EQ(static_cast<std::uint16_t>(parse_number_text("-1")), 0xFFFF);
}

TEST(NumberDisplay, DecimalAndOffsets) {
  EXPECT_EQ(format_decimal(0), "0");
  EXPECT_EQ(format_decimal(-100), "-100");
  EXPECT_EQ(format_decimal(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(format_offset(0), "$0000");
  EXPECT_EQ(format_offset(0x0BC0), "$0BC0");
  EXPECT_EQ(format_offset(0xabcd), "$ABCD");
  EXPECT_EQ(format_offset(0xFFFF), "$FFFF");
  // What is shown reads back as the same offset.
  EXPECT_EQ(parse_number_text(format_offset(0x0D0C)), 0x0D0C);
}

TEST(Rounding, HalfGoesToTheEvenNeighbour) {
  EXPECT_EQ(round_to_i32(0.5), 0);
  EXPECT_EQ(round_to_i32(1.5), 2);
  EXPECT_EQ(round_to_i32(2.5), 2);
  EXPECT_EQ(round_to_i32(-0.5), 0);
  EXPECT_EQ(round_to_i32(-1.5), -2);
  EXPECT_EQ(round_to_i32(-2.5), -2);
  EXPECT_EQ(round_to_i32(2.4999), 2);
  EXPECT_EQ(round_to_i32(2.5001), 3);
  EXPECT_EQ(round_to_i32(-2.6), -3);
  // The largest double below 0.5 is no half.
  EXPECT_EQ(round_to_i32(std::nextafter(0.5, 0.0)), 0);
  EXPECT_EQ(round_to_i64(4503599627370497.0), 4503599627370497);  // 2^52 + 1 is integral
}

TEST(Rounding, DoesNotDependOnTheFloatingPointRoundingMode) {
  // A library may leave another rounding mode set; the driver's rounding stays the same.
  const int saved = std::fegetround();
  std::fesetround(FE_UPWARD);
  const std::int32_t half = round_to_i32(0.5);
  const std::int32_t one_half = round_to_i32(1.5);
  const std::int32_t low = round_to_i32(1.2);
  std::fesetround(FE_DOWNWARD);
  const std::int32_t minus_half = round_to_i32(-0.5);
  const std::int32_t high = round_to_i32(1.8);
  std::fesetround(saved);
  EXPECT_EQ(half, 0);
  EXPECT_EQ(one_half, 2);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(minus_half, 0);
  EXPECT_EQ(high, 2);
}

TEST(Rounding, TruncationGoesTowardZero) {
  EXPECT_EQ(trunc_to_i32(2.9), 2);
  EXPECT_EQ(trunc_to_i32(-2.9), -2);
  EXPECT_EQ(trunc_to_i32(-0.1), 0);
}

TEST(Rounding, NarrowingKeepsTheLowBits) {
  EXPECT_EQ(round_to_byte(255.4), 255);
  EXPECT_EQ(round_to_byte(256.0), 0);
  EXPECT_EQ(round_to_byte(300.0), 44);
  EXPECT_EQ(round_to_byte(-1.0), 255);
  EXPECT_EQ(round_to_i32(4294967296.0 + 5.0), 5);
  EXPECT_EQ(round_to_i32(2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(trunc_to_i32(-2147483649.5), std::numeric_limits<std::int32_t>::max());
}

TEST(Rounding, NonFiniteAndHugeInputsHaveDefinedResults) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(round_to_i32(nan), 0);
  EXPECT_EQ(round_to_i32(inf), 0);
  EXPECT_EQ(round_to_i32(-inf), 0);
  EXPECT_EQ(round_to_byte(nan), 0);
  EXPECT_EQ(trunc_to_i32(-inf), 0);
  EXPECT_EQ(round_to_i64(nan), 0);
  // Beyond 2^63 the low 64 bits of the exact integer are kept.
  EXPECT_EQ(wrap_to_i64(9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(wrap_to_i64(18446744073709551616.0), 0);                  // 2^64
  EXPECT_EQ(wrap_to_i64(18446744073709551616.0 + 4096.0 * 2), 8192);  // 2^64 + 2^13
  EXPECT_EQ(wrap_to_i64(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(wrap_to_i64(-18446744073709551616.0 - 8192.0), -8192);
  EXPECT_EQ(wrap_to_i64(-18446744073709551616.0), 0);
  EXPECT_EQ(wrap_to_i64(1e300), 0);  // a multiple of 2^64
  EXPECT_EQ(round_to_i32(-1e300), 0);
  EXPECT_EQ(round_to_byte(std::numeric_limits<double>::max()), 0);
  EXPECT_EQ(round_to_byte(std::numeric_limits<double>::denorm_min()), 0);
}

TEST(SystemEnvTest, ClockIsMonotonicAndSleepsWithoutStopRunToTheEnd) {
  SystemEnv env;
  const std::int64_t before = env.now_ms();
  EXPECT_TRUE(env.sleep_for(Millis(2)));
  EXPECT_GE(env.now_ms(), before);
  std::stop_source never_stopped;
  EXPECT_TRUE(env.sleep_for(Millis(1), never_stopped.get_token()));
}

TEST(SystemEnvTest, StopRequestWakesALongSleepAtOnce) {
  SystemEnv env;
  std::promise<bool> sleeping;
  std::promise<bool> woke;
  std::future<bool> sleeping_future = sleeping.get_future();
  std::future<bool> woke_future = woke.get_future();
  // An hour-long sleep: without a working wake-up the bounded wait below fails the test.
  Worker worker = env.start_thread([&](std::stop_token stop) {
    sleeping.set_value(true);
    woke.set_value(env.sleep_for(std::chrono::hours(1), stop));
  });
  ASSERT_EQ(sleeping_future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  worker.request_stop();
  ASSERT_EQ(woke_future.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_FALSE(woke_future.get());  // returned early because of the stop
  worker.stop_and_join();
  EXPECT_FALSE(worker.joinable());
}

TEST(SystemEnvTest, SleepAfterTheStopReturnsAtOnce) {
  SystemEnv env;
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(env.sleep_for(std::chrono::hours(1), stop.get_token()));
}

TEST(SystemEnvTest, DestroyingAWorkerStopsAndJoinsIt) {
  SystemEnv env;
  std::atomic<bool> ended{false};
  {
    Worker worker = env.start_thread([&](std::stop_token stop) {
      while (env.sleep_for(std::chrono::hours(1), stop)) {
      }
      ended = true;
    });
  }
  EXPECT_TRUE(ended.load());
}

TEST(FakeEnvTest, SleepsAdvanceVirtualTimeAndAreRecorded) {
  FakeEnv env;
  EXPECT_EQ(env.now_ms(), 0);
  EXPECT_TRUE(env.sleep_for(Millis(1000)));
  env.advance(Millis(5));
  EXPECT_TRUE(env.sleep_for(Millis(3)));
  EXPECT_EQ(env.now_ms(), 1008);
  EXPECT_EQ(env.sleeps(), (std::vector<std::int64_t>{1000, 3}));
  env.clear_sleeps();
  EXPECT_TRUE(env.sleeps().empty());
  EXPECT_EQ(env.now_ms(), 1008);
}

TEST(FakeEnvTest, StoppedSleepReturnsFalseWithoutMovingTheClock) {
  FakeEnv env;
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(env.sleep_for(Millis(500), stop.get_token()));
  EXPECT_EQ(env.now_ms(), 0);
  EXPECT_EQ(env.sleeps(), (std::vector<std::int64_t>{500}));
}

TEST(FakeEnvTest, ThreadsAreRealAndStopCooperatively) {
  FakeEnv env;
  std::atomic<int> passes{0};
  Worker worker = env.start_thread([&](std::stop_token stop) {
    while (env.sleep_for(Millis(5), stop)) ++passes;
  });
  EXPECT_EQ(env.threads_started(), 1);
  worker.stop_and_join();
  // Every pass that completed slept 5 virtual milliseconds.
  EXPECT_GE(env.now_ms(), 5 * static_cast<std::int64_t>(passes.load()));
  EXPECT_EQ(static_cast<std::int64_t>(env.sleeps().size()), passes.load() + 1);
}

TEST(TextExcerpt, ShortWordsShowWholeLongOnesByTheirEndsAndControlsNever) {
  EXPECT_EQ(excerpt("--bogus"), "--bogus");
  EXPECT_EQ(excerpt("a\x1B[2Jb\n"), "a?[2Jb?");
  const std::string long_word = "début" + std::string(100000, 'x') + "fin";
  const std::string shown = excerpt(long_word);
  EXPECT_LE(shown.size(), EXCERPT_LIMIT);
  EXPECT_TRUE(shown.starts_with("début")) << shown;
  EXPECT_TRUE(shown.ends_with("fin"));
  // "é" (2 bytes) straddling the cut is kept whole or left out, never halved.
  const std::string accents(200, 'a');
  std::string straddling = accents.substr(0, 27) + "é" + accents;
  EXPECT_EQ(excerpt(straddling).substr(0, 27), accents.substr(0, 27));
  EXPECT_EQ(excerpt(straddling)[27], '.');
}

}  // namespace
}  // namespace kavri
