#include "config/calibration_tables.h"

#include <gtest/gtest.h>

#include <memory>

#include "testing/files.h"

namespace kavri {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::write_file;

TEST(CalibrationKeys, GroupsPointKeysAndKeysOfOneGauge) {
  EXPECT_EQ(calibration_group(CalibrationKind::suction), "suction");
  EXPECT_EQ(calibration_group(CalibrationKind::oat), "OAT_NL");
  EXPECT_EQ(calibration_group(CalibrationKind::fuel), "Essence");
  ASSERT_EQ(calibration_point_keys(CalibrationKind::suction).size(), 6u);
  ASSERT_EQ(calibration_point_keys(CalibrationKind::oat).size(), 7u);
  ASSERT_EQ(calibration_point_keys(CalibrationKind::fuel).size(), 5u);
  EXPECT_EQ(calibration_point_keys(CalibrationKind::suction)[3], "Pos5A");
  EXPECT_EQ(calibration_point_keys(CalibrationKind::oat)[0], "Pos-50A");
  EXPECT_EQ(calibration_point_keys(CalibrationKind::oat)[6], "Pos50A");
  EXPECT_EQ(calibration_point_keys(CalibrationKind::fuel)[4], "Pos100A");
  EXPECT_EQ(calibration_key(CalibrationKind::suction, 0, "12", 0), "Pos0A12S0");
  EXPECT_EQ(calibration_key(CalibrationKind::oat, 1, "7", 1), "Pos-40A7S1");
  EXPECT_EQ(calibration_key(CalibrationKind::fuel, 4, "200", 1), "Pos100A200S1");
  EXPECT_EQ(calibration_key(CalibrationKind::fuel, 5, "12", 0), "");
  EXPECT_EQ(calibration_key(CalibrationKind::oat, -1, "12", 0), "");
}

// Every point of every table set to `value`, to see which ones a load changes.
void fill(CalibrationTables& t, std::uint8_t value) {
  for (auto& slot : t.suction_calibration)
    for (auto& b : slot) b = value;
  for (auto& slot : t.oat_calibration)
    for (auto& b : slot) b = value;
  for (auto& slot : t.fuel_calibration)
    for (auto& b : slot) b = value;
}

// A scratch directory for the file, and tables whose every point is 77.
class CalibrationFile : public testing::ScratchDir {
 protected:
  CalibrationFile() { fill(*tables, 77); }
  const std::string file = path("Calibrage.ini");
  std::unique_ptr<CalibrationTables> tables = std::make_unique<CalibrationTables>();
};

TEST_F(CalibrationFile, LoadsThePointsOfOneGaugeOfOneModuleIntoItsSlot) {
  const std::string text =
      "[suction]\r\nPos0A12S1 = 10\r\nPos3A12S1 = 20\r\nPos4A12S1=300\r\npos5a12s1 = -1\r\n"
      "Pos6A12S1 = abc\r\nPos0A12S0 = 99\r\nPos0A13S1 = 98\r\n"
      "[OAT_NL]\r\nPos-50A12S1 = 1\r\nPos50A12S1 = 7\r\n"
      "[Essence]\r\nPos100A12S1 = 250\r\n; a comment\r\n";
  write_file(file, text);
  load_calibration(*tables, 3, "12", 1, file);
  const auto& suction = tables->suction_calibration[3];
  EXPECT_EQ(suction[1], 10);
  EXPECT_EQ(suction[3], 20);
  EXPECT_EQ(suction[5], 44);   // 300: the low 8 bits
  EXPECT_EQ(suction[7], 255);  // -1, key in other letter case
  EXPECT_EQ(suction[9], 0);    // not a number
  EXPECT_EQ(suction[11], 0);   // missing
  EXPECT_EQ(tables->oat_calibration[3][1], 1);
  EXPECT_EQ(tables->oat_calibration[3][13], 7);
  EXPECT_EQ(tables->oat_calibration[3][7], 0);
  EXPECT_EQ(tables->fuel_calibration[3][9], 250);
  // Gauge 1's bytes only: gauge 0's points and other slots are left alone.
  for (int k = 0; k < SUCTION_POINTS; ++k) EXPECT_EQ(suction[2 * k], 77);
  EXPECT_EQ(tables->suction_calibration[2][1], 77);
  EXPECT_EQ(tables->fuel_calibration[4][9], 77);
  EXPECT_EQ(read_file(file), text);  // loading writes nothing
}

TEST_F(CalibrationFile, AMissingFileIsCreatedEmptyAndEveryPointReadsZero) {
  load_calibration(*tables, 50, "9", 0, file);  // the last slot
  EXPECT_TRUE(file_exists(file));
  EXPECT_EQ(read_file(file), "");
  for (int k = 0; k < OAT_POINTS; ++k) {
    EXPECT_EQ(tables->oat_calibration[50][2 * k], 0);
    EXPECT_EQ(tables->oat_calibration[50][2 * k + 1], 77);
  }
  EXPECT_EQ(tables->fuel_calibration[50][8], 0);
}

TEST_F(CalibrationFile, OutOfRangeModuleOrGaugeChangesNothing) {
  load_calibration(*tables, 51, "12", 0, file);
  load_calibration(*tables, -1, "12", 0, file);
  load_calibration(*tables, 0, "12", 2, file);
  load_calibration(*tables, 0, "12", -1, file);
  EXPECT_FALSE(file_exists(file));
  for (const auto& slot : tables->fuel_calibration) {
    for (const auto& b : slot) EXPECT_EQ(b, 77);
  }
}

TEST_F(CalibrationFile, AFileThatCanBeNeitherOpenedNorCreatedGivesZeros) {
  load_calibration(*tables, 0, "12", 0, path("no_such_dir/Calibrage.ini"));
  EXPECT_EQ(tables->suction_calibration[0][6], 0);
  EXPECT_EQ(tables->suction_calibration[0][7], 77);
}

}  // namespace
}  // namespace kavri
