// Frames as real FlightGear sends them: the flight recorded on a c172p (lights, battery and
// throttle changed along the way) decodes line by line with the built-in map.
#include "bridges/fgfs_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridges/testdata/recorded_flight.h"
#include "testing/result_checks.h"

namespace kavri {
namespace {

std::int64_t value_at(const Frame& frame, std::uint32_t offset) {
  for (const OffsetValue& value : frame.offsets) {
    if (value.offset == offset) return value.integer;
  }
  ADD_FAILURE() << "no value for offset " << offset;
  return -1;
}

// The successive different values of `offset` over the flight.
std::vector<std::int64_t> changes(const std::vector<Frame>& frames, std::uint32_t offset) {
  std::vector<std::int64_t> values;
  for (const Frame& frame : frames) {
    const std::int64_t value = value_at(frame, offset);
    if (values.empty() || values.back() != value) values.push_back(value);
  }
  return values;
}

TEST(FgfsFrame, TheRecordedFlightDecodesWithItsLightsAndBatteryChanges) {
  const std::vector<std::string> lines = testing::recorded_flight();
  ASSERT_EQ(lines.size(), 630u);
  std::vector<Frame> frames;
  for (const std::string& line : lines) {
    auto frame = decode_frame(builtin_fgfs_map(), line + "\n");
    ASSERT_TRUE(succeeded(frame)) << line;
    frames.push_back(std::move(*frame));
  }
  // 49 fields make 42 offsets: the seven lights build one word, the TO and FROM flags another.
  EXPECT_EQ(frames[0].offsets.size(), 42u);
  EXPECT_EQ(frame_text(frames[0]).substr(0, 53),
            "$02BC:4=9587 $0570:8=2827020003506 $0578:4=-46323847 ");
  // Beacon and battery on; then nav, landing, beacon off, battery off and on, beacon on, nav
  // off, landing off, instrument lights, cabin light on and off, instrument lights off.
  EXPECT_EQ(changes(frames, 0x0D0C),
            (std::vector<std::int64_t>{0x2, 0x3, 0x7, 0x5, 0x7, 0x6, 0x2, 0x22, 0x222, 0x22, 0x2}));
  EXPECT_EQ(changes(frames, 0x281C), (std::vector<std::int64_t>{1, 0, 1}));
  EXPECT_EQ(changes(frames, 0x088C).front(), 13926);  // throttle 0.85
  EXPECT_EQ(changes(frames, 0x088C).back(), 8077);    // throttle 0.493
}

}  // namespace
}  // namespace kavri
