#include "bus_model/module_params.h"

#include <gtest/gtest.h>

#include <set>

#include "device/bus_messages.h"

namespace kavri {
namespace {

TEST(ParamAnswers, HighThenLowAssemblesTheFieldAndALowAloneAdds) {
  ModuleRecord record;
  ASSERT_TRUE(apply_param_answer(record, 154, 0x0D));
  ASSERT_TRUE(apply_param_answer(record, 155, 0x0C));
  EXPECT_EQ(record.gauges[0].offset, 0x0D0C);
  ASSERT_TRUE(apply_param_answer(record, 155, 0x01));
  EXPECT_EQ(record.gauges[0].offset, 0x0D0D);
}

TEST(ParamAnswers, SignedAndWideFieldsKeepTheirMeaning) {
  ModuleRecord record;
  apply_param_answer(record, 160, 156);
  apply_param_answer(record, 161, 64);
  EXPECT_EQ(record.gauges[0].sim_max, 40000);
  apply_param_answer(record, 158, 255);
  apply_param_answer(record, 159, 255);
  EXPECT_EQ(record.gauges[0].sim_min, -1);
  apply_param_answer(record, 185, 17);
  EXPECT_EQ(record.gauges[0].type, 17);
}

TEST(ParamAnswers, CodesOutsideTheDumpChangeNothing) {
  ModuleRecord record;
  record.gauges[0].offset = 0x1234;
  for (int code : {0, 149, 188, 200, 254, 255}) {
    EXPECT_FALSE(apply_param_answer(record, static_cast<std::uint8_t>(code), 99)) << code;
  }
  for (const auto& info : param_infos()) {
    const std::int64_t expected = info.param == Param::gauge1_offset ? 0x1234 : 0;
    EXPECT_EQ(read_param(record, info.param), expected) << info.name;
  }
}

// Every write code 51-88 and every answer code 150-187 names exactly one byte of one field.
TEST(ParamTable, CoversEveryWriteAndAnswerCodeExactlyOnce) {
  std::multiset<int> write_codes, answer_codes;
  for (const auto& info : param_infos()) {
    write_codes.insert(info.write_code);
    answer_codes.insert(info.answer_code);
    if (info.two_bytes) {
      write_codes.insert(info.write_code_high);
      answer_codes.insert(info.answer_code_low);
    }
    EXPECT_EQ(&param_info(info.param), &info);
  }
  ASSERT_EQ(write_codes.size(), std::size_t{PARAM_COUNT});
  ASSERT_EQ(answer_codes.size(), std::size_t{PARAM_COUNT});
  for (int code = CMD_WRITE_PARAM_FIRST; code <= CMD_WRITE_PARAM_LAST; ++code) {
    EXPECT_EQ(write_codes.count(code), 1u) << code;
  }
  for (int code = RSP_PARAM_FIRST; code <= RSP_PARAM_LAST; ++code) {
    EXPECT_EQ(answer_codes.count(code), 1u) << code;
  }
  EXPECT_EQ(param_info(Param::output2_inverted).answer_code, RSP_PARAM_LAST);
}

// One ".jcf" key per parameter; the file's order is its own.
TEST(ParamTable, GaugeConfigKeys) {
  std::set<std::string_view> keys;
  int states = 0;
  for (const auto& info : param_infos()) {
    keys.insert(info.jcf_key);
    states += is_state_kind(info.kind) ? 1 : 0;
  }
  EXPECT_EQ(keys.size(), std::size_t{PARAM_FIELD_COUNT});
  EXPECT_EQ(states, 9);  // 5 lists, 4 boxes
  const auto order = gauge_config_keys();
  ASSERT_EQ(order.size(), std::size_t{PARAM_FIELD_COUNT});
  EXPECT_EQ(std::set<std::string_view>(order.begin(), order.end()), keys);
  EXPECT_EQ(order.front(), "String_Crs_mini1");
  EXPECT_EQ(order[2], "String_crs_maxi1");  // lower-case "crs", as files hold it
  EXPECT_EQ(order[12], "Combo_1_type");
  EXPECT_EQ(order.back(), "String_ANParam1");
  EXPECT_EQ(param_value_of_state(ParamKind::type_list, -1), 0);
  EXPECT_EQ(param_value_of_state(ParamKind::inversion_box, -7), 255);
}

TEST(ParamValues, WriteKeepsTheBitsTheFieldHolds) {
  ModuleRecord record;
  write_param(record, Param::gauge1_sim_min, -100);
  EXPECT_EQ(read_param(record, Param::gauge1_sim_min), -100);
  write_param(record, Param::gauge1_course_min, 0x1FF);
  EXPECT_EQ(read_param(record, Param::gauge1_course_min), 0xFF);
  write_param(record, Param::analog_param, 0x12345);
  EXPECT_EQ(read_param(record, Param::analog_param), 0x2345);
}

TEST(ComputeRatio, SimulatorUnitsPerStepAndZeroForAFlatCourse) {
  ModuleRecord record;
  record.gauges[0].sim_max = 16383;
  record.gauges[0].course_max = 255;
  record.gauges[1].sim_min = -1;
  record.gauges[1].sim_max = 40000;
  record.gauges[1].course_min = 10;
  record.gauges[1].course_max = 10;
  compute_ratio(record);
  EXPECT_NEAR(record.gauges[0].ratio, 16383.0 / 255.0, 1e-3);
  EXPECT_EQ(record.gauges[1].ratio, 0.0f);

  record.gauges[1].course_max = 20;  // sim_max's low 16 bits, unsigned, minus a signed sim_min
  record.gauges[1].sim_max = 0x1FFFF;
  compute_ratio(record);
  EXPECT_NEAR(record.gauges[1].ratio, (65535.0 + 1.0) / 10.0, 1e-2);
}

}  // namespace
}  // namespace kavri
