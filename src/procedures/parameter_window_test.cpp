#include "procedures/parameter_window.h"

#include <gtest/gtest.h>

#include <set>

#include "testing/editor_test_bench.h"

namespace kavri {
namespace {

using testing::EditorBench;

class ParameterWindowTest : public ::testing::Test {
 protected:
  // What `read` gives for each control, in order.
  template <typename Value>
  std::vector<Value> each(const std::vector<int>& controls, Value (Toolkit::*read)(int) const) {
    std::vector<Value> values;
    for (int control : controls) values.push_back((ui.*read)(control));
    return values;
  }

  EditorBench bench{{7, 12}};
  HeadlessToolkit& ui = bench.ui;
};

// One control per parameter, at the numbers the window has always used.
TEST(ParameterControls, OnePerParameter) {
  std::set<int> controls;
  for (const ParamInfo& info : param_infos()) controls.insert(param_control(info.param));
  EXPECT_EQ(controls.size(), std::size_t{PARAM_FIELD_COUNT});
  EXPECT_EQ(param_control(Param::gauge1_course_max), 20);
  EXPECT_EQ(param_control(Param::gauge1_type), 29);
  EXPECT_EQ(param_control(Param::gauge1_inverted), 24);
  EXPECT_EQ(param_control(Param::analog_offset), 78);
}

TEST_F(ParameterWindowTest, OpensFilledFromTheSelectedModulesRecord) {
  ModuleRecord& r = bench.record(1);
  r.gauges[0].offset = 0x0BC0;
  r.gauges[0].offset_length = 2;
  r.analog_param = 16383;
  r.gauges[0].sim_min = -100;
  r.gauges[1].sim_max = 70000;  // shown as the signed 32-bit value it holds
  r.gauges[0].type = 18;
  r.gauges[1].type = 41;  // past the list: no entry
  r.outputs[0].type = 2;
  r.analog_type = 0;  // no entry
  r.gauges[0].inverted = 255;
  r.gauges[1].inverted = 1;  // only 255 ticks the box
  bench.open_editor(2);

  const auto* window = ui.window(PARAMETER_WINDOW);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->spec.title, "Paramétrages");
  EXPECT_FALSE(window->spec.close_box);
  EXPECT_EQ(bench.ctx.editor_module, 1);
  const std::vector<int> fields{
      param_control(Param::gauge1_offset),  param_control(Param::gauge1_offset_length),
      param_control(Param::analog_param),   param_control(Param::gauge1_sim_min),
      param_control(Param::gauge2_sim_max), param_control(Param::gauge2_offset),
      ParameterControl::address_field,      ParameterControl::new_address_field};
  EXPECT_EQ(each(fields, &Toolkit::text), (std::vector<std::string>{"$0BC0", "2", "16383", "-100",
                                                                    "70000", "$0000", "12", "12"}));
  const std::vector<int> lists{param_control(Param::gauge1_type), param_control(Param::gauge2_type),
                               param_control(Param::output1_type),
                               param_control(Param::analog_type)};
  EXPECT_EQ(each(lists, &Toolkit::item_count), (std::vector<int>{40, 40, 2, 3}));
  EXPECT_EQ(each(lists, &Toolkit::selection), (std::vector<int>{17, -1, 1, -1}));
  EXPECT_EQ(ui.item_count(param_control(Param::output2_type)), 2);
  EXPECT_EQ(ui.value(param_control(Param::gauge1_inverted)), 1);
  EXPECT_EQ(ui.value(param_control(Param::gauge2_inverted)), 0);
  EXPECT_TRUE(ui.enabled(ParameterControl::calibrate_1_button));
  EXPECT_FALSE(ui.enabled(ParameterControl::calibrate_2_button));
}

TEST_F(ParameterWindowTest, ParametersWithEntry50SelectedReadsNoRecord) {
  bench.ctx.editor_module = 1;
  bench.open_editor(0);
  EXPECT_FALSE(ui.window_exists(PARAMETER_WINDOW));
  EXPECT_EQ(bench.ctx.editor_module, 1);
  // No selection at all (during the exploration) is refused alike.
  bench.open_editor(-1);
  EXPECT_FALSE(ui.window_exists(PARAMETER_WINDOW));
}

TEST_F(ParameterWindowTest, ChoosingAGauge1TypeSetsItsButtonAndTheMainSlider) {
  bench.open_editor(1);
  bench.choose(param_control(Param::gauge1_type), 17);  // type 18: a calibration table
  EXPECT_TRUE(ui.enabled(ParameterControl::calibrate_1_button));

  bench.choose(param_control(Param::gauge1_type), 16);  // type 17: a full-turn needle
  EXPECT_EQ(ui.range_max(MainControl::position_slider_1), 359);
  EXPECT_TRUE(ui.enabled(ParameterControl::calibrate_1_button));

  ui.set_value(MainControl::position_slider_1, 300);
  bench.choose(param_control(Param::gauge1_type), 0);  // type 1
  EXPECT_FALSE(ui.enabled(ParameterControl::calibrate_1_button));
  EXPECT_EQ(ui.value(MainControl::position_slider_1), 255);
  EXPECT_EQ(ui.text(MainControl::value_field_1), "255");
  EXPECT_EQ(ui.range_max(MainControl::position_slider_1), 255);

  bench.choose(param_control(Param::gauge2_type), 13);  // type 14
  EXPECT_TRUE(ui.enabled(ParameterControl::calibrate_2_button));
  bench.choose(param_control(Param::gauge2_type), 15);
  EXPECT_FALSE(ui.enabled(ParameterControl::calibrate_2_button));
  EXPECT_EQ(ui.range_max(MainControl::position_slider_1), 255);  // gauge 2 leaves the slider alone
}

TEST_F(ParameterWindowTest, CancelClosesAndChangesNothing) {
  bench.record(0).gauges[0].course_min = 5;
  bench.open_editor(1);
  ui.user_type(param_control(Param::gauge1_course_min), "99");
  ui.user_type(ParameterControl::new_address_field, "30");
  bench.card.clear_received();
  bench.press(ParameterControl::cancel_button);
  bench.run_until([] { return false; }, 100);
  EXPECT_FALSE(ui.window_exists(PARAMETER_WINDOW));
  EXPECT_EQ(bench.record(0).gauges[0].course_min, 5);
  EXPECT_TRUE(bench.card.received().empty());
}

TEST_F(ParameterWindowTest, OpeningAgainRebuildsTheWindowForTheNewSelection) {
  bench.record(0).gauges[0].course_min = 5;
  bench.record(1).gauges[0].course_min = 6;
  bench.open_editor(1);
  ui.user_type(param_control(Param::gauge1_course_min), "99");  // lost: never written
  bench.open_editor(2);
  EXPECT_EQ(ui.text(param_control(Param::gauge1_course_min)), "6");
  EXPECT_EQ(bench.ctx.editor_module, 1);
  // editor_module stays with the window, not with the selector.
  ui.set_selection(MainControl::module_selector, 1);
  EXPECT_EQ(bench.ctx.editor_module, 1);
}

TEST_F(ParameterWindowTest, ImportKeepsTheCalibrationButtonsAsTheyWere) {
  bench.record(0).gauges[0].type = 18;
  bench.open_editor(1);
  const auto jcf = bench.dir / "Jauge.jcf";
  testing::write_file(jcf.string(), "[jauge]\r\nCombo_1_type = 0\r\nCombo_2_type = 11\r\n");
  ui.queue_file_choice(jcf.string());
  bench.press(ParameterControl::import_button);
  EXPECT_EQ(ui.selection(param_control(Param::gauge1_type)), 0);
  EXPECT_EQ(ui.selection(param_control(Param::gauge2_type)), 11);
  EXPECT_TRUE(ui.enabled(ParameterControl::calibrate_1_button));
  EXPECT_FALSE(ui.enabled(ParameterControl::calibrate_2_button));
}

// The edits made before an import stay where the file holds no key, and a write after it sends
// both the edits and the file's values.
TEST_F(ParameterWindowTest, AnImportKeepsTheEditsOfKeysTheFileDoesNotHold) {
  bench.open_editor(1);
  ui.user_type(param_control(Param::analog_param), "77");
  ui.user_toggle(param_control(Param::output1_inverted));
  bench.pass();
  ui.user_select(param_control(Param::output2_type), 1);
  bench.pass();
  const auto jcf = bench.dir / "gauge.jcf";
  testing::write_file(jcf.string(), "[jauge]\r\nString_offset1 = $0BC0\r\n");
  ui.queue_file_choice(jcf.string());
  bench.press(ParameterControl::import_button);
  EXPECT_EQ(ui.text(param_control(Param::analog_param)), "77");
  EXPECT_EQ(ui.value(param_control(Param::output1_inverted)), 1);
  EXPECT_EQ(ui.selection(param_control(Param::output2_type)), 1);
  EXPECT_EQ(ui.text(param_control(Param::gauge1_offset)), "$0BC0");

  bench.press(ParameterControl::write_button);
  ASSERT_TRUE(bench.run_until([&] { return !ui.window_exists(PARAMETER_WINDOW); }));
  const ModuleRecord& written = bench.record(0);
  EXPECT_EQ(written.analog_param, 77);
  EXPECT_EQ(written.outputs[0].inverted, 255);
  EXPECT_EQ(written.outputs[1].type, 2);
  EXPECT_EQ(written.gauges[0].offset, 0x0BC0);
}

TEST_F(ParameterWindowTest, ExportWritesTheWindowsFields) {
  bench.record(0).gauges[0].offset = 0x0BC0;
  bench.open_editor(1);
  const auto jcf = bench.dir / "out.jcf";
  ui.queue_file_choice(jcf.string());
  bench.press(ParameterControl::export_button);
  const std::string text = testing::read_file(jcf.string());
  EXPECT_NE(text.find("String_offset1 = $0BC0"), std::string::npos) << text;
}

}  // namespace
}  // namespace kavri
