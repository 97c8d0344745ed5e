#include "config/gauge_config.h"

#include <gtest/gtest.h>

#include "testing/files.h"

namespace kavri {
namespace {

using testing::read_file;
using testing::write_file;

using GaugeConfigFile = testing::ScratchDir;

TEST_F(GaugeConfigFile, ReadMatchesKeysInAnyCaseAndTellsMissingKeysFromEmptyOnes) {
  const std::vector<std::string_view> keys{"Combo_1_type", "String_Crs_maxi_FS_1", "absent",
                                           "String_offset1"};
  EXPECT_FALSE(read_gauge_config(path("absent.jcf"), keys).has_value());
  const std::string file = path("calc.jcf");
  write_file(file,
             "[other]\r\nCombo_1_type = 1\r\n[jauge]\r\ncombo_1_type = 15\r\n"
             "String_Crs_maxi_FS_1 =  16383 \r\nCOMBO_1_TYPE = 3\r\nextra = x\r\n"
             "String_offset1 = \r\n");
  const auto config = read_gauge_config(file, keys);
  ASSERT_TRUE(config.has_value());
  EXPECT_EQ(config->texts,
            (std::vector<std::optional<std::string>>{"15", "16383", std::nullopt, ""}));
  EXPECT_TRUE(config->found);
}

TEST_F(GaugeConfigFile, WriteUpdatesTheGroupInPlaceAndKeepsTheRestOfTheFile) {
  const std::string file = path("panel.jcf");
  write_file(file, "; mine\r\n[JAUGE]\r\nstring_offset1 = $0000\r\n[tail]\r\ny = 2\r\n");
  const std::vector<GaugeConfigLine> lines{{"String_offset1", "$0D0C"}, {"Combo_1_type", "-1"}};
  write_gauge_config(file, lines);
  EXPECT_EQ(read_file(file),
            "; mine\r\n[JAUGE]\r\nString_offset1 = $0D0C\r\nCombo_1_type = -1\r\n"
            "[tail]\r\ny = 2\r\n");
  write_gauge_config(path("new.jcf"), lines);
  EXPECT_EQ(read_file(path("new.jcf")),
            "[jauge]\r\nString_offset1 = $0D0C\r\nCombo_1_type = -1\r\n");
}

}  // namespace
}  // namespace kavri
