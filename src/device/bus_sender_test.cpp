#include "device/bus_sender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

namespace kavri {
namespace {

// A card that keeps every report as it stood at the moment it was written.
class RecordingCard final : public HidCard {
 public:
  HidStatus write_report(std::span<const std::uint8_t> report) override {
    std::lock_guard lock(mutex_);
    BusReport copy{};
    std::copy_n(report.begin(), std::min<std::size_t>(report.size(), copy.size()), copy.begin());
    written_.push_back(copy);
    return HidStatus::ok;
  }
  HidStatus read_report(std::span<std::uint8_t> report, int) override {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    return HidStatus::timed_out;
  }
  std::vector<BusReport> written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<BusReport> written_;
};

TEST(BusSender, ComposesBytesOneToThreeAndLeavesTheRestZero) {
  RecordingCard card;
  BusSender sender(card);
  sender.send(CMD_RESET_MODULE, 12, 0);
  sender.send(CMD_DUMP_PARAMS, 12, 3);
  const auto written = card.written();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], (BusReport{0, 7, 12, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(written[1], (BusReport{0, 0xFF, 12, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sender.last_report(), written[1]);
}

TEST(BusSender, ReadAnalogKeepsThePreviousDataByteAndExploreIsAllZero) {
  RecordingCard card;
  BusSender sender(card);
  sender.send(CMD_SET_POSITION_1, 20, 123);
  sender.send_read_analog(12);
  sender.send_explore();
  const auto written = card.written();
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[1], (BusReport{0, CMD_READ_ANALOG, 12, 123, 0, 0, 0, 0, 0}));
  EXPECT_EQ(written[2], BusReport{});
}

// The address byte is a function of code and data, so a report built from two senders'
// bytes shows at once.
std::uint8_t address_for(std::uint8_t code, std::uint8_t data) {
  return static_cast<std::uint8_t>(code * 31 + data * 7 + 1);
}

TEST(BusSender, ConcurrentSendersNeverMixTheirReports) {
  RecordingCard card;
  BusSender sender(card);
  constexpr int kThreads = 4;
  constexpr int kReportsEach = 2000;
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&sender, t] {
        const auto code = static_cast<std::uint8_t>(t + 1);
        for (int i = 0; i < kReportsEach; ++i) {
          const auto data = static_cast<std::uint8_t>(i);
          sender.send(code, address_for(code, data), data);
        }
      });
    }
  }
  const auto written = card.written();
  ASSERT_EQ(written.size(), std::size_t{kThreads * kReportsEach});
  for (const auto& report : written) {
    ASSERT_GE(report[1], 1);
    ASSERT_LE(report[1], kThreads);
    ASSERT_EQ(report[2], address_for(report[1], report[3])) << "mixed report";
  }
}

}  // namespace
}  // namespace kavri
