// kavri-gauge run as a process on a few gauge configurations.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "testing/files.h"
#include "testing/process.h"

namespace kavri {
namespace {

using Args = std::vector<std::string>;
using testing::ProcessResult;

class KavriGaugeTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    testing::write_file(dir.file(name), text);
    return dir.file(name);
  }

  // A ".jcf" file with the given "key = value" lines after the group header.
  std::string config(const std::string& lines) { return write("gauge.jcf", "[jauge]\r\n" + lines); }

  static ProcessResult run(Args arguments) {
    arguments.insert(arguments.begin(), KAVRI_GAUGE_PROGRAM);
    return testing::run_process(arguments);
  }

  ScratchDirectory dir;
};

TEST_F(KavriGaugeTest, LinearGaugeWithTheCommonStep) {
  const std::string file = config(
      "String_Crs_mini1 = 10\r\nString_crs_maxi1 = 200\r\nString_Crs_mini_FS_1 = 0\r\n"
      "String_Crs_maxi_FS_1 = 190\r\nString_offset1 = $0BC0\r\nString_Loffset1 = 2\r\n"
      "Combo_1_type = 1\r\n");  // list index 1: type 2, ratio 190 / 190 = 1
  // 0 + 10; 100 + 10; -1 on 2 bytes is 65535, clamped to 190, then 200; 250 also 200.
  const ProcessResult r = run({"--config", file, "0", "100", "-1", "$FA"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "10\n110\n200\n200\n");
}

TEST_F(KavriGaugeTest, SplitTypeKeepsItsHighByteWhileTheLowByteStays) {
  const std::string file =
      config("String_offset1 = $0578\r\nString_Loffset1 = 4\r\nCombo_1_type = 18\r\n");  // type 19
  // -90 degrees: 2690 = 10 * 256 + 130; then 2690 + 256 tenths keeps its low byte: nothing is
  // sent, and the module still shows the high byte 10.
  const ProcessResult r =
      run({"--config", file, "-1073741824", std::to_string(-1073741824 + 256 * 1193047), "0"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "130 10\n130 10\n0 0\n");
}

TEST_F(KavriGaugeTest, FuelGaugeOnTheSecondGaugeWithCalibration) {
  const std::string file = config(
      "String_Crs_mini2 = 20\r\nString_crs_maxi2 = 220\r\nString_offset2 = $0B7C\r\n"
      "String_Loffset2 = 4\r\nCombo_2_type = 17\r\n");  // type 18
  const std::string points =
      write("Calibrage.ini",
            "[Essence]\r\nPos0A12S1 = 20\r\nPos25A12S1 = 70\r\nPos50A12S1 = 120\r\n"
            "Pos75A12S1 = 170\r\nPos100A12S1 = 220\r\n");
  const std::string value = std::to_string(60 * 83886);
  const Args common{"--config", file, "--gauge", "2", "--calibration", points};
  const auto with = [&common](Args more) {
    more.insert(more.begin(), common.begin(), common.end());
    return more;
  };
  // 120 + 10 * 50 / 25 - 20, and the common step adds the course minimum back.
  EXPECT_EQ(run(with({"--address", "12", value})).out, "140\n");
  EXPECT_EQ(run(with({"--address", "12", "--battery", "0", value})).out, "20\n");
  EXPECT_EQ(run(with({"--address", "13", value})).out, "20\n");  // no points: all 0
}

TEST_F(KavriGaugeTest, EightByteValuesAreDecimalNumbers) {
  const std::string file = config(
      "String_crs_maxi1 = 255\r\nString_Crs_maxi_FS_1 = 255\r\nString_offset1 = $2000\r\n"
      "String_Loffset1 = 8\r\nCombo_1_type = 5\r\n");  // type 6: value / ratio + half
  EXPECT_EQ(run({"--config", file, "0.5", "1.5", "-127.5"}).out, "128\n129\n0\n");
}

TEST_F(KavriGaugeTest, ClearFailures) {
  const std::string file =
      config("String_offset1 = $0BC0\r\nString_Loffset1 = 2\r\nCombo_1_type = 1\r\n");
  EXPECT_EQ(run({"--config", file, "12x"}).exit_code, 2);
  EXPECT_EQ(run({"--config", file, "1.5"}).exit_code, 2);  // 2 bytes: an integer
  EXPECT_EQ(run({"--config", dir.file("missing.jcf"), "1"}).exit_code, 2);
  EXPECT_EQ(run({"--config", file}).exit_code, 2);  // no value
  EXPECT_EQ(run({"--config", file, "--gauge", "3", "1"}).exit_code, 2);
  EXPECT_EQ(run({"--config", file, "--calibration", file, "1"}).exit_code, 2);
  EXPECT_EQ(run({"--config", file, "--calibration", dir.file("none.ini"), "--address", "1", "1"})
                .exit_code,
            2);
  EXPECT_FALSE(testing::file_exists(dir.file("none.ini")));
  // Gauge 2 of a type that the second list marks "------" is never driven.
  const std::string undriven =
      config("String_offset2 = $0BC0\r\nString_Loffset2 = 2\r\nCombo_2_type = 15\r\n");
  EXPECT_EQ(run({"--config", undriven, "--gauge", "2", "1"}).exit_code, 2);
}

// The demo's fuel gauge at 4,000,000 shows 113 with its points. A calibration file that cannot
// be read ends the run with no position at all, rather than one computed without the points:
// a FIFO is refused without waiting for a writer.
TEST_F(KavriGaugeTest, ACalibrationFileThatCannotBeReadGivesNoPosition) {
  const std::string demo = KAVRI_SOURCE_DIR "/docs/demo/";
  const auto fuel_at = [&](const std::string& calibration) {
    return run({"--config", demo + "fuel-oat.jcf", "--calibration", calibration, "--address", "33",
                "4000000"});
  };
  const ProcessResult read = fuel_at(demo + "Calibrage.ini");
  EXPECT_EQ(read.exit_code, 0);
  EXPECT_EQ(read.out, "113\n");

  ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
  const std::string odd_utf16 = write("odd.ini", std::string("\xFF\xFE[\0E", 5));
  for (const std::string& unreadable :
       {dir.path(), std::string("/dev/zero"), dir.file("fifo.ini"), odd_utf16}) {
    const ProcessResult r = fuel_at(unreadable);
    EXPECT_EQ(r.exit_code, 2) << unreadable;
    EXPECT_EQ(r.out, "") << unreadable;
    EXPECT_NE(r.err.find("the calibration file " + unreadable), std::string::npos) << r.err;
  }
}

// The value of attribute `name` in `text` from `from` on, and where that value ends.
std::pair<std::string, std::size_t> attribute(const std::string& text, const std::string& name,
                                              std::size_t from) {
  const std::size_t start = text.find(" " + name + "=\"", from) + name.size() + 3;
  const std::size_t end = text.find('"', start);
  return {text.substr(start, end - start), end};
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// The demo's fuel and OAT module drawn: both gauges, each curve's points the very numbers that
// the text output gives for the same values, the calibration points and course limits marked.
TEST_F(KavriGaugeTest, PictureOfBothGaugesHoldsTheTextOutputsNumbers) {
  const std::string demo = KAVRI_SOURCE_DIR "/docs/demo/";
  const Args common{"--config",      demo + "fuel-oat.jcf",
                    "--calibration", demo + "Calibrage.ini",
                    "--address",     "33"};
  Args draw = common;
  draw.insert(draw.end(), {"--plot", dir.file("fuel-oat.svg")});
  ASSERT_EQ(run(draw).exit_code, 0);
  const std::string svg = testing::read_file(dir.file("fuel-oat.svg"));
  EXPECT_NE(svg.find("<title>fuel-oat.jcf</title>"), std::string::npos);
  EXPECT_NE(svg.find("jauge 1 : Type XVIII : Fuel non linéaire"), std::string::npos);
  EXPECT_NE(svg.find("jauge 2 : Type XIV : OAT Non Linéaire"), std::string::npos);
  EXPECT_EQ(count_of(svg, "class=\"point\""), 5u + 7u);
  EXPECT_EQ(count_of(svg, "class=\"course\""), 4u);
  EXPECT_NE(svg.find("100 % : 240"), std::string::npos);

  std::size_t at = 0;
  for (const std::string gauge : {"1", "2"}) {
    const auto [number, after_number] = attribute(svg, "data-gauge", at);
    EXPECT_EQ(number, gauge);
    const auto [values, after_values] = attribute(svg, "data-values", after_number);
    const auto [shown, after_shown] = attribute(svg, "data-shown", after_values);
    at = after_shown;
    Args typed = common;
    typed.insert(typed.end(), {"--gauge", gauge});
    std::istringstream words(values);
    for (std::string value; words >> value;) typed.push_back(value);
    EXPECT_GT(typed.size(), common.size() + 100) << "too few points on gauge " << gauge;
    std::string expected = run(typed).out;
    std::replace(expected.begin(), expected.end(), '\n', ',');
    EXPECT_EQ(shown + ",", expected) << "gauge " << gauge;
  }
}

TEST_F(KavriGaugeTest, PictureShowsInversionAndRefusesWhatItCannotDraw) {
  const std::string file = config(
      "String_crs_maxi1 = 200\r\nString_Crs_maxi_FS_1 = 100\r\nString_offset1 = $0BC0\r\n"
      "String_Loffset1 = 2\r\nCombo_1_type = 1\r\nCheckBox_invert_1 = 1\r\n");
  ASSERT_EQ(run({"--config", file, "--plot", dir.file("g.svg")}).exit_code, 0);
  const std::string svg = testing::read_file(dir.file("g.svg"));
  EXPECT_NE(svg.find("inversion cochée"), std::string::npos);
  EXPECT_EQ(count_of(svg, "class=\"curve\""), 1u);  // gauge 2 is not driven
  EXPECT_EQ(run({"--config", file, "--plot", dir.file("g.png")}).exit_code, 2);
  EXPECT_EQ(run({"--config", file, "--plot", dir.file("g.svg"), "1"}).exit_code, 2);
  EXPECT_EQ(run({"--config", file, "--gauge", "2", "--plot", dir.file("g.svg")}).exit_code, 2);
  EXPECT_EQ(run({"--config", file, "--plot", dir.path() + "/no/such/g.svg"}).exit_code, 2);
  // Anything but a regular file at the picture's place is refused, a FIFO without waiting.
  ASSERT_EQ(::mkfifo(dir.file("fifo.svg").c_str(), 0600), 0);
  EXPECT_EQ(run({"--config", file, "--plot", dir.file("fifo.svg")}).exit_code, 2);
  std::filesystem::create_directory(dir.file("folder.svg"));
  EXPECT_EQ(run({"--config", file, "--plot", dir.file("folder.svg")}).exit_code, 2);
}

}  // namespace
}  // namespace kavri
