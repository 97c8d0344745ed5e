// The parameter window on a real display (Xvfb in CI), pictured for a look at its layout.
// clang-format off
#include <gtest/gtest.h>
#include <FL/Fl.H>
#include <FL/x.H>
// clang-format on

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

  XSync(fl_display, False);
  for (int i = 0; i < 20; ++i) Fl::wait(0.01);
  EXPECT_TRUE(
      save_window_screenshot(KAVRI_BINARY_DIR "/screenshots/parameter_window.png", "Paramétrages"));
}

}  // namespace
}  // namespace kavri
