// The virtual panel on a real display (Xvfb in CI), pictured for a look at its layout.
// clang-format off
#include <gtest/gtest.h>
#include <FL/Fl.H>
#include <FL/x.H>
// clang-format on

#include <cstdlib>

#include "ui/screenshot.h"
#include "virtual/bench_modules_file.h"
#include "virtual/virtual_panel.h"

namespace kavri {
namespace {

void send(VirtualCard& card, std::uint8_t code, std::uint8_t address, std::uint8_t data) {
  card.write_report(BusReport{0, code, address, data, 0, 0, 0, 0, 0});
}

TEST(VirtualPanelGuiTest, DrawsTheDemoBench) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  auto ui = make_fltk_toolkit();
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

  XSync(fl_display, False);
  for (int i = 0; i < 20; ++i) Fl::wait(0.01);
  EXPECT_TRUE(save_screenshot(KAVRI_BINARY_DIR "/screenshots/virtual_panel.png"));
}

}  // namespace
}  // namespace kavri
