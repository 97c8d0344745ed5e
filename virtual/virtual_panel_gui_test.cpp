// The virtual panel on a real display (Xvfb in CI), pictured for a look at its layout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "testing/screenshot.h"
#include "virtual/bench_modules_file.h"
#include "virtual/virtual_panel.h"

namespace kavri {
namespace {

void send(VirtualCard& card, std::uint8_t code, std::uint8_t address, std::uint8_t data) {
  card.write_report(BusReport{0, code, address, data, 0, 0, 0, 0, 0});
}

bool picture_panel(const char* png_path) {
  return save_window_screenshot(png_path, "Kavri - banc virtuel");
}

TEST(VirtualPanelGuiTest, DrawsTheDemoBench) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  auto ui = make_platform_toolkit();
  ASSERT_NE(ui, nullptr);
  VirtualCard card(demo_bench());
  Dispatch dispatch;
  VirtualPanel panel(*ui, card, dispatch);
  send(card, CMD_SET_POSITION_1, 12, 180);
  send(card, CMD_SET_POSITION_2, 12, 64);
  send(card, CMD_SET_POSITION_1, 20, 0x84);  // 16-bit compass needle: 0x0384 = 900, a quarter
  send(card, CMD_SET_POSITION_2, 20, 0x03);
  send(card, CMD_SET_POSITION_1, 33, 120);
  send(card, CMD_SET_POSITION_2, 33, 255);
  send(card, CMD_SET_POSITION_1, 41, 30);
  send(card, CMD_SET_POSITION_2, 41, 128);
  send(card, CMD_SET_OUTPUT_1, 12, 1);
  send(card, CMD_SET_BACKLIGHT, COMMON_ADDRESS, 170);
  card.set_analog_value(3, 50000);
  panel.refresh();
  EXPECT_EQ(ui->value(VirtualPanel::dial(1, 1)), 900);

  EXPECT_TRUE(picture_panel(KAVRI_BINARY_DIR "/screenshots/virtual_panel.png"));
}

// A full bus: 51 modules with needles spread over their dials, every other output lit, one
// 16-bit compass and the analog inputs at varied values.
TEST(VirtualPanelGuiTest, DrawsAFullBus) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  auto ui = make_platform_toolkit();
  ASSERT_NE(ui, nullptr);
  std::vector<VirtualModule> modules(51);
  for (std::size_t i = 0; i < modules.size(); ++i) {
    modules[i].address = static_cast<std::uint8_t>(i + 1);
    modules[i].analog_value = static_cast<std::uint16_t>(i * 1285);
  }
  modules[1].set_param(Param::gauge1_type, 17);
  VirtualCard card(std::move(modules));
  Dispatch dispatch;
  VirtualPanel panel(*ui, card, dispatch);
  for (int address = 1; address <= 51; ++address) {
    const auto a = static_cast<std::uint8_t>(address);
    send(card, CMD_SET_POSITION_1, a, static_cast<std::uint8_t>(address * 5));
    send(card, CMD_SET_POSITION_2, a, static_cast<std::uint8_t>(255 - address * 5));
    send(card, CMD_SET_OUTPUT_1, a, static_cast<std::uint8_t>(address % 2));
    send(card, CMD_SET_OUTPUT_2, a, static_cast<std::uint8_t>(address % 3 == 0));
  }
  send(card, CMD_SET_BACKLIGHT, COMMON_ADDRESS, 255);
  panel.refresh();
  EXPECT_EQ(ui->value(VirtualPanel::dial(50, 1)), 255);

  EXPECT_TRUE(picture_panel(KAVRI_BINARY_DIR "/screenshots/virtual_panel_51.png"));
}

}  // namespace
}  // namespace kavri
