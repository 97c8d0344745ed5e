#include "device/hid_matching.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/bus_messages.h"

namespace kavri {
namespace {

constexpr HidInterfaceIds kKeyboard{0x046D, 0xC31C, 0x0110};
constexpr HidInterfaceIds kSameVendorOtherProduct{CARD_VENDOR_ID, 0x0002, 0x0100};
constexpr HidInterfaceIds kCardV1{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0100};
constexpr HidInterfaceIds kCardV2{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0200};

std::optional<std::size_t> pick(const std::vector<HidInterfaceIds>& found, int version, int index) {
  return nth_matching_interface(found, CARD_PRODUCT_ID, CARD_VENDOR_ID, version, index);
}

TEST(HidMatching, TakesTheIndexthCardInEnumerationOrder) {
  const std::vector<HidInterfaceIds> found{kKeyboard, kSameVendorOtherProduct, kCardV2, kCardV1};
  EXPECT_EQ(pick(found, -1, 0), 2u);  // any version: the first card
  EXPECT_EQ(pick(found, -1, 1), 3u);
  EXPECT_EQ(pick(found, -1, 2), std::nullopt);
  EXPECT_EQ(pick(found, 0x0100, 0), 3u);  // a given version skips the others
  EXPECT_EQ(pick(found, 0x0300, 0), std::nullopt);
  EXPECT_EQ(pick(found, -1, -1), std::nullopt);
  EXPECT_EQ(pick({kKeyboard, kSameVendorOtherProduct}, -1, 0), std::nullopt);
  EXPECT_EQ(pick({}, -1, 0), std::nullopt);
}

TEST(HidMatching, AnInputPayloadBecomesANineByteReportWithIdZero) {
  BusReport report;
  report.fill(0xEE);
  const std::vector<std::uint8_t> payload{0xFF, 0x0C, 0x05, 0, 2, 12, 0xE8, 0x03, 0x77, 0x88};
  EXPECT_EQ(fill_input_report(report, payload, 8), HidReadStatus::ok);
  EXPECT_EQ(report, (BusReport{0, 0xFF, 0x0C, 0x05, 0, 2, 12, 0xE8, 0x03}));
  EXPECT_EQ(fill_input_report(report, payload, 10), HidReadStatus::ok);  // cut to fit
  EXPECT_EQ(report[8], 0x03);
  EXPECT_EQ(fill_input_report(report, payload, 2), HidReadStatus::ok);  // short: rest zero
  EXPECT_EQ(report, (BusReport{0, 0xFF, 0x0C, 0, 0, 0, 0, 0, 0}));
}

TEST(HidMatching, TimeOutsAndFailuresNeverLeaveTheOldReport) {
  BusReport report;
  report.fill(0xEE);
  const std::vector<std::uint8_t> payload(8, 0x11);
  EXPECT_EQ(fill_input_report(report, payload, 0), HidReadStatus::timed_out);
  EXPECT_EQ(report, BusReport{});
  report.fill(0xEE);
  EXPECT_EQ(fill_input_report(report, payload, -1), HidReadStatus::failed);
  EXPECT_EQ(report, BusReport{});
}

}  // namespace
}  // namespace kavri
