#include "procedures/calibration_windows.h"

#include <gtest/gtest.h>

#include "testing/editor_test_bench.h"

namespace kavri {
namespace {

using testing::EditorBench;

// Two modules: index 0 at address 7, index 1 at address 12.
class CalibrationWindowsTest : public ::testing::Test {
 protected:
  CalibrationWindowsTest() {
    for (int i = 0; i < 2; ++i) {
      bench.record(i).gauges[0].course_min = 20;
      bench.record(i).gauges[0].course_max = 200;
      bench.record(i).gauges[1].course_min = 30;
      bench.record(i).gauges[1].course_max = 210;
    }
  }

  // Opens the parameter window of selector entry `entry` and presses its "calibrage" button
  // of gauge `gauge` (0 or 1).
  void calibrate(int entry, int gauge) {
    bench.open_editor(entry);
    bench.press(gauge == 0 ? ParameterControl::calibrate_1_button
                           : ParameterControl::calibrate_2_button);
  }

  std::vector<int> sliders(int first, int last) const {
    std::vector<int> values;
    for (int control = first; control <= last; ++control) values.push_back(ui.value(control));
    return values;
  }

  std::string file() const { return bench.ctx.calibration_file; }

  EditorBench bench{{7, 12}};
  HeadlessToolkit& ui = bench.ui;
};

TEST_F(CalibrationWindowsTest, SliderDrivesTheNeedleAndSetsThePoint) {
  bench.record(1).gauges[1].type = 14;
  calibrate(2, 1);
  ASSERT_TRUE(ui.window_exists(OAT_WINDOW));
  bench.card.clear_received();
  bench.move(OatControl::slider_0, 128);
  const auto received = bench.card.received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], (BusReport{0, CMD_SET_POSITION_2, 12, 128, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bench.calibration.oat_calibration[1][7], 128);  // point Pos0A (k = 3), gauge 2
}

TEST_F(CalibrationWindowsTest, ValidateWritesTheWindowsKeysInSliderOrderAndNothingElse) {
  testing::write_file(file(),
                      "; calibrated on the bench\r\n"
                      "[suction]\r\nPos0A12S0 = 44\r\n"
                      "[OAT_NL]\r\nPos50A13S0 = 200\r\nPos0A12S1 = 77\r\n"
                      "[Essence]\r\nPos0A12S0 = 9\r\n");
  bench.record(1).gauges[0].type = 14;
  calibrate(2, 0);
  bench.move(OatControl::slider_minus_50, 33);  // point Pos-50A
  bench.press(OatControl::validate_button);

  EXPECT_FALSE(ui.window_exists(OAT_WINDOW));
  const std::string text = testing::read_file(file());
  for (const char* kept :
       {"; calibrated on the bench", "[suction]\r\nPos0A12S0 = 44\r\n", "Pos50A13S0 = 200\r\n",
        "Pos0A12S1 = 77\r\n", "[Essence]\r\nPos0A12S0 = 9\r\n"}) {
    EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
  }
  // Not yet calibrated: the first three sliders stood at the course minimum, the rest at
  // the maximum, until the user moved the last one.
  const char* written[] = {"Pos50A12S0 = 20", "Pos40A12S0 = 20",   "Pos20A12S0 = 20",
                           "Pos0A12S0 = 200", "Pos-20A12S0 = 200", "Pos-40A12S0 = 200",
                           "Pos-50A12S0 = 33"};
  std::size_t previous = text.find("[OAT_NL]");
  for (const char* key : written) {
    const std::size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos) << key << " in\n" << text;
    EXPECT_GT(at, previous) << key;
    previous = at;
  }
  EXPECT_LT(previous, text.find("[Essence]"));
}

TEST_F(CalibrationWindowsTest, FuelSlidersComeFromThePointsOrFromTheCourseLimits) {
  bench.record(0).gauges[0].type = 18;
  calibrate(1, 0);
  ASSERT_TRUE(ui.window_exists(FUEL_WINDOW));
  EXPECT_TRUE(std::filesystem::exists(file()));  // created empty on the first load
  for (int k = 0; k < FUEL_POINTS; ++k) EXPECT_EQ(bench.calibration.fuel_calibration[0][2 * k], 0);
  EXPECT_EQ(sliders(FuelControl::slider_0, FuelControl::slider_100),
            (std::vector<int>{20, 20, 200, 200, 200}));
  bench.press(FuelControl::cancel_button);

  testing::write_file(file(),
                      "[Essence]\r\nPos0A7S0 = 10\r\nPos25A7S0 = 60\r\nPos50A7S0 = 110\r\n"
                      "Pos75A7S0 = 160\r\nPos100A7S0 = 210\r\n");
  calibrate(1, 0);
  EXPECT_EQ(sliders(FuelControl::slider_0, FuelControl::slider_100),
            (std::vector<int>{10, 60, 110, 160, 210}));
}

TEST_F(CalibrationWindowsTest, SuctionPresetUsesTheGaugesOwnLimits) {
  bench.record(0).gauges[1].type = 12;
  calibrate(1, 1);
  ASSERT_TRUE(ui.window_exists(SUCTION_WINDOW));
  EXPECT_EQ(ui.window(SUCTION_WINDOW)->spec.title, "Calibrage jauge suction - module 7, jauge 2");
  EXPECT_EQ(sliders(SuctionControl::slider_0, SuctionControl::slider_7),
            (std::vector<int>{30, 30, 30, 210, 210, 210}));
}

TEST_F(CalibrationWindowsTest, CancelLeavesTheFileAndKeepsThePointsMoved) {
  testing::write_file(file(), "[Essence]\r\nPos0A7S0 = 10\r\n");
  bench.record(0).gauges[0].type = 18;
  calibrate(1, 0);
  bench.move(FuelControl::slider_0, 99);
  bench.press(FuelControl::cancel_button);
  EXPECT_FALSE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(testing::read_file(file()), "[Essence]\r\nPos0A7S0 = 10\r\n");
  EXPECT_EQ(bench.calibration.fuel_calibration[0][0], 99);
}

TEST_F(CalibrationWindowsTest, NothingOpensWhileEntry50IsSelected) {
  bench.record(0).gauges[0].type = 18;
  bench.open_editor(1);
  ui.set_selection(MainControl::module_selector, 0);
  bench.press(ParameterControl::calibrate_1_button);
  EXPECT_FALSE(ui.window_exists(FUEL_WINDOW));
}

// The window calibrates the gauge it was opened for, whatever the main window selects or
// another "calibrage" button asks meanwhile; the transfer cycle leaves that needle to it.
TEST_F(CalibrationWindowsTest, AnOpenWindowKeepsItsGaugeAndItsUnsavedPoints) {
  bench.record(0).gauges[0].type = 18;
  bench.record(0).gauges[1].type = 12;
  calibrate(1, 0);
  ASSERT_TRUE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(ui.window(FUEL_WINDOW)->spec.title, "Calibrage jauge essence - module 7, jauge 1");
  EXPECT_EQ(bench.hand_driven_gauge, 0);
  bench.move(FuelControl::slider_50, 77);

  bench.press(ParameterControl::calibrate_2_button);  // the suction gauge beside it
  EXPECT_FALSE(ui.window_exists(SUCTION_WINDOW));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].second,
            "Un calibrage est déjà en cours (module 7, jauge 1) : validez-le ou annulez-le "
            "d'abord.");
  ui.set_selection(MainControl::module_selector, 0);  // "50": no module
  bench.card.clear_received();
  bench.move(FuelControl::slider_75, 88);
  EXPECT_EQ(bench.card.received(),
            (std::vector<BusReport>{{0, CMD_SET_POSITION_1, 7, 88, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(sliders(FuelControl::slider_0, FuelControl::slider_100),
            (std::vector<int>{20, 20, 77, 88, 200}));
  EXPECT_EQ(bench.calibration.fuel_calibration[0][6], 88);

  bench.press(FuelControl::validate_button);
  EXPECT_FALSE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(bench.hand_driven_gauge, -1);
  EXPECT_NE(testing::read_file(file()).find("Pos75A7S0 = 88"), std::string::npos);
}

// A calibration window belongs to the parameter window: "Annule" there closes it too, and its
// gauge is let go (driven by the transfer cycle again, open to a new calibration).
TEST_F(CalibrationWindowsTest, CancellingTheParameterWindowClosesItsCalibrationWindow) {
  bench.record(0).gauges[0].type = 18;
  calibrate(1, 0);
  ASSERT_TRUE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(ui.window(FUEL_WINDOW)->spec.owner, PARAMETER_WINDOW);
  bench.press(ParameterControl::cancel_button);
  EXPECT_FALSE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(bench.hand_driven_gauge, -1);
  calibrate(1, 0);
  EXPECT_TRUE(ui.window_exists(FUEL_WINDOW));
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(CalibrationWindowsTest, ValidateThatCannotSaveKeepsTheWindowAndSaysSo) {
  testing::write_file(file(), "[Essence]\r\nPos0A7S0 = 10\r\n");
  std::filesystem::permissions(file(), std::filesystem::perms(0444));
  std::filesystem::permissions(bench.dir, std::filesystem::perms(0755));
  bench.record(0).gauges[0].type = 18;
  calibrate(1, 0);
  bench.move(FuelControl::slider_0, 99);
  EXPECT_TRUE(testing::run_unprivileged([&] {
    bench.press(FuelControl::validate_button);
    return ui.window_exists(FUEL_WINDOW) && ui.value(FuelControl::slider_0) == 99 &&
           ui.messages().size() == 1 &&
           ui.messages()[0].second == "Je ne peux pas enregistrer le calibrage dans le fichier " +
                                          file() + " : les points restent dans la fenêtre.";
  }));
  EXPECT_EQ(testing::read_file(file()), "[Essence]\r\nPos0A7S0 = 10\r\n");
}

TEST_F(CalibrationWindowsTest, ReloadBeforeTheTransferLeavesTheOpenWindowsGaugeAlone) {
  testing::write_file(file(), "[Essence]\r\nPos100A12S0 = 250\r\nPos0A12S0 = 5\r\n");
  bench.record(0).gauges[0].type = 18;
  bench.record(1).gauges[0].type = 18;
  calibrate(1, 0);
  bench.move(FuelControl::slider_0, 99);
  EXPECT_EQ(load_calibrations(bench.calibration, gauges_to_reload(bench.ctx), file()),
            PrefsOpening::opened);
  EXPECT_EQ(sliders(FuelControl::slider_0, FuelControl::slider_100),
            (std::vector<int>{99, 20, 200, 200, 200}));
  EXPECT_EQ(bench.calibration.fuel_calibration[0][0], 99);
  EXPECT_EQ(bench.calibration.fuel_calibration[1][0], 5);
}

TEST_F(CalibrationWindowsTest, OneWindowAtATimeEachWithItsOwnLabels) {
  bench.record(0).gauges[0].type = 12;
  bench.record(0).gauges[1].type = 18;
  calibrate(1, 0);
  bench.press(ParameterControl::calibrate_2_button);
  ASSERT_TRUE(ui.window_exists(SUCTION_WINDOW));
  EXPECT_FALSE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(ui.control(SuctionControl::graduation_7)->window, SUCTION_WINDOW);
  EXPECT_EQ(ui.text(SuctionControl::graduation_0), "0");
  bench.press(SuctionControl::cancel_button);
  bench.press(ParameterControl::calibrate_2_button);
  ASSERT_TRUE(ui.window_exists(FUEL_WINDOW));
  EXPECT_EQ(ui.text(FuelControl::graduation_100), "100");
}

}  // namespace
}  // namespace kavri
