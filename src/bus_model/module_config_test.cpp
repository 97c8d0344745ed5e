#include "bus_model/module_config.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavri {
namespace {

std::size_t slot(Param param) { return static_cast<std::size_t>(param); }

// The texts of a ".jcf" file: each list takes only its own entries (40 gauge types, 2 output
// types, 3 analog types); beyond them, below them or not a number it holds no entry or the
// first. A key the file does not hold keeps what was there.
TEST(ModuleConfig, FileTextsSetOnlyTheirKeysAndEachListOnlyItsEntries) {
  struct Case {
    Param param;
    const char* text;
    int state;
  };
  const Case cases[] = {
      {Param::gauge1_type, "39", 39},    {Param::gauge1_type, "40", -1},
      {Param::gauge2_type, "-1", -1},    {Param::output1_type, "1", 1},
      {Param::output1_type, "2", -1},    {Param::analog_type, "%10", 2},
      {Param::analog_type, "3", -1},     {Param::output2_type, "abc", 0},
      {Param::gauge1_inverted, "7", 1},  {Param::gauge2_inverted, "4294967296", 1},
      {Param::output1_inverted, "0", 0},
  };
  const auto order = gauge_config_order();
  for (const Case& c : cases) {
    ModuleConfig config;
    config.texts[slot(Param::analog_param)] = "typed";
    config.states[slot(c.param)] = 5;
    std::vector<std::optional<std::string>> texts(order.size());
    const auto at = std::find(order.begin(), order.end(), c.param) - order.begin();
    texts[static_cast<std::size_t>(at)] = c.text;
    apply_gauge_config_texts(config, texts);
    EXPECT_EQ(config.states[slot(c.param)], c.state) << param_info(c.param).name << " " << c.text;
    EXPECT_EQ(config.texts[slot(Param::analog_param)], "typed");
  }
}

// The gauge calculator's record from a file equals the window's import then EEPROM write: an
// index past the list stores type 0, not the index + 1.
TEST(ModuleConfig, AFileIndexPastTheListStoresNoType) {
  std::vector<std::optional<std::string>> texts(gauge_config_order().size());
  texts[12] = "45";  // Combo_1_type
  ASSERT_EQ(gauge_config_order()[12], Param::gauge1_type);
  ModuleRecord record;
  ModuleConfig config = config_of_record(record);
  apply_gauge_config_texts(config, texts);
  store_config(config, record);
  EXPECT_EQ(record.gauges[0].type, 0);
}

}  // namespace
}  // namespace kavri
