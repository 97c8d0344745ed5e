// kavri-bench's command line: which spellings of its options and their values are taken.
#include "virtual/bench_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavri {
namespace {

std::optional<BenchOptions> parse(std::vector<std::string_view> args) {
  return parse_bench_options(args);
}

TEST(BenchOptions, RunForTakesWholeAndDecimalSecondsOnly) {
  EXPECT_EQ(parse_seconds_as_ms("3"), 3000);
  EXPECT_EQ(parse_seconds_as_ms("0.25"), 250);
  EXPECT_EQ(parse_seconds_as_ms(".5"), 500);
  EXPECT_EQ(parse_seconds_as_ms("12."), 12000);
  EXPECT_EQ(parse_seconds_as_ms("1.23456"), 1234);
  EXPECT_EQ(parse_seconds_as_ms("0"), 0);
  for (const char* bad :
       {"", ".", "-1", "+1", "1e3", "1.2.3", " 3", "3 ", "3s", "0x10", "99999999999999999999999"}) {
    EXPECT_EQ(parse_seconds_as_ms(bad), std::nullopt) << bad;
  }
}

TEST(BenchOptions, EveryOptionInAnyOrder) {
  const auto options = parse({"--no-sim", "--trace", "t.txt", "--run-for", "2.5", "--headless",
                              "--modules", "m", "--replug-at", "5", "--unplug-at", "3.25"});
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->no_sim);
  EXPECT_TRUE(options->headless);
  EXPECT_EQ(options->trace_file, "t.txt");
  EXPECT_EQ(options->modules_file, "m");
  EXPECT_EQ(options->run_for_ms, 2500);
  EXPECT_EQ(options->unplug_at_ms, 3250);
  EXPECT_EQ(options->replug_at_ms, 5000);

  const auto linked = parse({"--key-file", "k", "--link", "sim:9017"});
  ASSERT_TRUE(linked);
  EXPECT_EQ(linked->link, "sim:9017");
  EXPECT_EQ(linked->key_file, "k");
  EXPECT_TRUE(linked->no_sim) << "the simulator is the relay's";

  const auto none = parse({});
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->modules_file || none->trace_file || none->run_for_ms || none->unplug_at_ms ||
               none->replug_at_ms);
  EXPECT_FALSE(none->headless || none->no_sim);
}

TEST(BenchOptions, AnythingElseIsRefused) {
  for (const auto& args : std::vector<std::vector<std::string_view>>{{"--modules"},
                                                                     {"--trace"},
                                                                     {"--run-for", "x"},
                                                                     {"--unplug-at"},
                                                                     {"--replug-at", "-2"},
                                                                     {"-h"},
                                                                     {"--help"},
                                                                     {"file"},
                                                                     {"--headless=1"},
                                                                     {"--HEADLESS"},
                                                                     {"--link", "h:1"},
                                                                     {"--key-file", "k"}}) {
    EXPECT_EQ(parse(args), std::nullopt) << args[0];
  }
}

}  // namespace
}  // namespace kavri
