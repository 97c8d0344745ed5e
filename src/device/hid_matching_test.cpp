#include "device/hid_matching.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/bus_messages.h"

namespace kavri {
namespace {

TEST(HidMatching, AnInputPayloadBecomesANineByteReportWithIdZero) {
  BusReport report;
  report.fill(0xEE);
  const std::vector<std::uint8_t> payload{0xFF, 0x0C, 0x05, 0, 2, 12, 0xE8, 0x03, 0x77, 0x88};
  EXPECT_EQ(fill_input_report(report, payload, 8), HidStatus::ok);
  EXPECT_EQ(report, (BusReport{0, 0xFF, 0x0C, 0x05, 0, 2, 12, 0xE8, 0x03}));
  EXPECT_EQ(fill_input_report(report, payload, 10), HidStatus::ok);  // cut to fit
  EXPECT_EQ(report[8], 0x03);
  EXPECT_EQ(fill_input_report(report, payload, 2), HidStatus::ok);  // short: rest zero
  EXPECT_EQ(report, (BusReport{0, 0xFF, 0x0C, 0, 0, 0, 0, 0, 0}));
}

TEST(HidMatching, TimeOutsAndRemovalsNeverLeaveTheOldReport) {
  BusReport report;
  report.fill(0xEE);
  const std::vector<std::uint8_t> payload(8, 0x11);
  EXPECT_EQ(fill_input_report(report, payload, 0), HidStatus::timed_out);
  EXPECT_EQ(report, BusReport{});
  report.fill(0xEE);
  EXPECT_EQ(fill_input_report(report, payload, -1), HidStatus::gone);
  EXPECT_EQ(report, BusReport{});
}

}  // namespace
}  // namespace kavri
