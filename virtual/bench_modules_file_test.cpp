#include "virtual/bench_modules_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "device/bus_messages.h"
#include "testing/eventually.h"
#include "testing/files.h"
#include "testing/result_checks.h"
#include "virtual/quiet_saver.h"

namespace kavri {
namespace {

using testing::read_file;

const ScratchDirectory& scratch() {
  static const ScratchDirectory dir;
  return dir;
}

// A file of the scratch directory holding `text`.
std::string scratch_file(const char* name, const std::string& text) {
  testing::write_file(scratch().file(name), text);
  return scratch().file(name);
}

void expect_same_eeprom(const VirtualModule& a, const VirtualModule& b) {
  EXPECT_EQ(a.address, b.address);
  EXPECT_EQ(a.params, b.params);
  EXPECT_EQ(a.analog_value, b.analog_value);
}

void send(VirtualCard& card, std::uint8_t code, std::uint8_t address, std::uint8_t data) {
  card.write_report(make_report(code, address, data));
}

const char* const kBench =
    "; two modules, listed in discovery order\n"
    "[panel right]\n"
    "address = 41\n"
    "gauge1_type = 13\n"
    "gauge1_offset = $0E8C\n"
    "gauge1_sim_min = -50\n"
    "gauge1_sim_max = 50\n"
    "gauge1_course_max = 300\n"
    "note = kept as it is\n"
    "analog_value = $03E8\n"
    "[Panel Left]\n"
    "address = 12\n"
    "output2_inverted = 255\n";

TEST(BenchModulesFile, LoadsGroupsInFileOrderWithTheNumberRule) {
  const auto modules = load_bench_modules(scratch_file("bench_load.ini", kBench));
  ASSERT_TRUE(succeeded(modules));
  ASSERT_EQ(modules->size(), 2u);
  const VirtualModule& right = (*modules)[0];
  EXPECT_EQ(right.address, 41);
  EXPECT_EQ(right.param(Param::gauge1_type), 13);
  EXPECT_EQ(right.param(Param::gauge1_offset), 0x0E8C);
  EXPECT_EQ(right.param(Param::gauge1_sim_min), -50);
  EXPECT_EQ(right.param(Param::gauge1_course_max), 300 & 0xFF);  // what a byte keeps
  EXPECT_EQ(right.param(Param::gauge2_type), 0);                 // missing: 0
  EXPECT_EQ(right.analog_value, 1000);
  EXPECT_EQ((*modules)[1].address, 12);
  EXPECT_EQ((*modules)[1].param(Param::output2_inverted), 255);
}

TEST(BenchModulesFile, EepromWritesAndAddressChangesSurviveASaveAndReload) {
  const std::string path = scratch_file("bench_save.ini", kBench);
  VirtualCard card(*load_bench_modules(path));
  send(card, 59, 41, 0xC0);  // gauge1_offset $0BC0, low byte then high byte
  send(card, 58, 41, 0x0B);
  send(card, 63, 41, 0x9C);  // gauge1_sim_min -100
  send(card, 62, 41, 0xFF);
  send(card, 57, 12, 17);  // gauge1_type of the second module
  send(card, CMD_SET_ADDRESS, 12, 14);
  card.set_analog_value(1, 777);
  ASSERT_TRUE(succeeded(save_bench_modules(path, card.modules())));

  const std::string text = read_file(path);
  EXPECT_NE(text.find("two modules, listed in discovery order"), std::string::npos);
  EXPECT_NE(text.find("note = kept as it is"), std::string::npos);
  EXPECT_NE(text.find("$0BC0"), std::string::npos);  // offsets as the parameter window shows

  const auto reloaded = load_bench_modules(path);
  ASSERT_TRUE(succeeded(reloaded));
  ASSERT_EQ(reloaded->size(), 2u);
  const auto edited = card.modules();
  expect_same_eeprom((*reloaded)[0], edited[0]);
  expect_same_eeprom((*reloaded)[1], edited[1]);
  EXPECT_EQ((*reloaded)[0].param(Param::gauge1_sim_min), -100);
  EXPECT_EQ((*reloaded)[1].address, 14);
}

TEST(BenchModulesFile, UnusableFilesAreRefusedWithAMessage) {
  EXPECT_NE(failure_message(load_bench_modules(scratch().file("no_such_bench.ini")))
                .find("no_such_bench.ini"),
            std::string::npos);
  // A directory.
  EXPECT_FALSE(failure_message(load_bench_modules(scratch().path())).empty());
  EXPECT_NE(failure_message(load_bench_modules(scratch_file("bench_flat.ini", "address = 12\n")))
                .find("groupe"),
            std::string::npos);
  const std::string twice = scratch_file("bench_twice.ini", "[a]\naddress=1\n[A]\naddress=2\n");
  EXPECT_NE(failure_message(load_bench_modules(twice)).find("deux fois"), std::string::npos);

  const std::string one = scratch_file("bench_one.ini", "[a]\naddress=1\n");
  EXPECT_FALSE(failure_message(save_bench_modules(one, demo_bench())).empty());
  EXPECT_EQ(read_file(one), "[a]\naddress=1\n");
}

// `text` (ASCII) as UTF-16 with its mark.
std::string utf16(std::string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : text) bytes += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
  return bytes;
}

// A modules file is read as any preferences file is: a UTF-16 file (as Notepad saves one) loads
// its modules and is saved back in UTF-16; plain text behind a UTF-16 mark is refused, never
// taken for modules of all-zero keys.
TEST(BenchModulesFile, IsReadInTheEncodingsOfEveryPreferencesFile) {
  for (const bool big_endian : {false, true}) {
    const std::string path = scratch_file("bench_utf16.ini", utf16(kBench, big_endian));
    auto modules = load_bench_modules(path);
    ASSERT_TRUE(succeeded(modules));
    ASSERT_EQ(modules->size(), 2u);
    EXPECT_EQ((*modules)[0].param(Param::gauge1_offset), 0x0E8C);
    EXPECT_EQ((*modules)[1].address, 12);
    (*modules)[1].address = 14;
    ASSERT_TRUE(succeeded(save_bench_modules(path, *modules)));
    EXPECT_TRUE(read_file(path).starts_with(big_endian ? "\xFE\xFF" : "\xFF\xFE"));
    EXPECT_EQ((*load_bench_modules(path))[1].address, 14);
  }
  const std::string mangled = scratch_file("bench_mangled.ini", "\xFF\xFE" + std::string(kBench));
  EXPECT_NE(failure_message(load_bench_modules(mangled)).find("bench_mangled.ini"),
            std::string::npos);
}

TEST(DemoBench, FourModulesWithVariedGaugeTypes) {
  const auto bench = demo_bench();
  ASSERT_EQ(bench.size(), 4u);
  std::set<std::int64_t> types;
  for (const auto& m : bench) {
    types.insert(m.param(Param::gauge1_type));
    types.insert(m.param(Param::gauge2_type));
    for (const auto& info : param_infos()) {
      EXPECT_EQ(eeprom_value(info.param, m.param(info.param)), m.param(info.param)) << info.name;
    }
  }
  EXPECT_GE(types.size(), 6u);
  EXPECT_TRUE(types.contains(17));                        // 16-bit positions
  EXPECT_TRUE(types.contains(14) && types.contains(18));  // calibration tables
  EXPECT_EQ(bench[0].param(Param::gauge2_sim_min), -16383);
}

// An EEPROM write is some forty reports: the modules file is saved once after the last, on the
// saver's thread, and a change still waiting at the end is saved then.
TEST(QuietSaverTest, SavesOnceAfterABurstOfChangesAndNeverOnTheCallersThread) {
  SystemEnv env;
  std::atomic<int> saves{0}, saves_on_caller{0};
  const std::thread::id caller = std::this_thread::get_id();
  const auto save = [&] { ++(std::this_thread::get_id() == caller ? saves_on_caller : saves); };
  {
    const auto saver = QuietSaver::start(env, save);
    ASSERT_TRUE(succeeded(saver));
    for (int report = 0; report < PARAM_COUNT; ++report) (*saver)->changed();
    EXPECT_TRUE(testing::eventually([&] { return saves > 0; }, std::chrono::seconds(10)));
  }
  EXPECT_EQ(saves, 1);
  (*QuietSaver::start(env, save))->changed();
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(saves_on_caller, 0);
}

}  // namespace
}  // namespace kavri
