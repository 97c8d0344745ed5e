// The parameter window on a real display (Xvfb in CI), pictured for a look at its layout.
#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/editor_test_bench.h"
#include "testing/screenshot.h"

namespace kavri {
namespace {

TEST(ParameterWindowGuiTest, ShowsEveryControlInPlace) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  auto ui = make_platform_toolkit();
  ASSERT_NE(ui, nullptr);
  testing::EditorRig rig(*ui, {12});
  rig.open_filled_editor();
  ASSERT_TRUE(ui->window_exists(PARAMETER_WINDOW));
  EXPECT_EQ(ui->text(param_control(Param::gauge1_offset)), "$0BC0");
  EXPECT_TRUE(ui->enabled(ParameterControl::calibrate_1_button));
  EXPECT_TRUE(
      save_window_screenshot(KAVRI_BINARY_DIR "/screenshots/parameter_window.png", "Paramétrages"));
}

}  // namespace
}  // namespace kavri
