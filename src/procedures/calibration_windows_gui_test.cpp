// The three calibration windows on a real display (Xvfb in CI), each pictured alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "procedures/calibration_windows.h"
#include "testing/editor_test_bench.h"
#include "testing/screenshot.h"

namespace kavri {
namespace {

class CalibrationWindowsGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
    ui = make_platform_toolkit();
    ASSERT_NE(ui, nullptr);
    rig = std::make_unique<testing::EditorRig>(*ui, std::vector<std::uint8_t>{12});
    ui->set_minimised(MAIN_WINDOW, true);
    ui->set_selection(MainControl::module_selector, 1);
    rig->record(0).gauges[0].course_min = 20;
    rig->record(0).gauges[0].course_max = 230;
  }

  // Shows the window with its sliders preset from the course limits and pictures it.
  void picture(CalibrationKind kind, int window, const std::string& title,
               const std::string& name) {
    open_calibration_window(rig->ctx, kind, {0, "12", 0});
    ASSERT_TRUE(ui->window_exists(window));
    EXPECT_TRUE(
        save_window_screenshot(std::string(KAVRI_BINARY_DIR "/screenshots/") + name, title));
  }

  std::unique_ptr<Toolkit> ui;
  std::unique_ptr<testing::EditorRig> rig;
};

TEST_F(CalibrationWindowsGuiTest, Suction) {
  picture(CalibrationKind::suction, SUCTION_WINDOW, "Calibrage jauge suction - module 12, jauge 1",
          "suction_window.png");
  EXPECT_EQ(ui->value(SuctionControl::slider_7), 230);
}

TEST_F(CalibrationWindowsGuiTest, Oat) {
  picture(CalibrationKind::oat, OAT_WINDOW, "Calibrage Jauge OAT - module 12, jauge 1",
          "oat_window.png");
  EXPECT_EQ(ui->value(OatControl::slider_50), 20);
}

TEST_F(CalibrationWindowsGuiTest, Fuel) {
  picture(CalibrationKind::fuel, FUEL_WINDOW, "Calibrage jauge essence - module 12, jauge 1",
          "fuel_window.png");
  EXPECT_EQ(ui->value(FuelControl::slider_100), 230);
}

}  // namespace
}  // namespace kavri
