#include "procedures/eeprom_write.h"

#include <gtest/gtest.h>

#include "procedures/exploration.h"
#include "testing/editor_test_bench.h"

namespace kavri {
namespace {

using testing::EditorBench;

constexpr std::uint8_t kAddress = 7;

struct Sent {
  int code;
  int data;
  bool operator==(const Sent&) const = default;
};

void PrintTo(const Sent& sent, std::ostream* out) { *out << sent.code << "/" << sent.data; }

class EepromWriteTest : public ::testing::Test {
 protected:
  EepromWriteTest() {
    // gauge2_type 0 opens with no entry selected.
    const std::pair<Param, std::int64_t> fields[] = {
        {Param::gauge1_course_min, 10},    {Param::gauge1_course_max, 240},
        {Param::gauge2_course_max, 200},   {Param::gauge1_inverted, 255},
        {Param::gauge1_type, 18},          {Param::gauge2_type, 0},
        {Param::gauge1_offset, 0x1234},    {Param::gauge1_sim_max, 16383},
        {Param::gauge2_sim_min, -5},       {Param::gauge2_sim_max, 1000},
        {Param::gauge1_offset_length, 2},  {Param::gauge2_offset_length, 4},
        {Param::output1_offset, 0x0D0C},   {Param::output1_offset_length, 1},
        {Param::output2_offset_length, 2}, {Param::output1_type, 1},
        {Param::output2_type, 1},          {Param::analog_offset, 0x66C0},
        {Param::analog_offset_length, 2},  {Param::analog_type, 3},
        {Param::analog_param, 16383},      {Param::output2_inverted, 255},
    };
    for (const auto& [param, value] : fields) write_param(bench.record(0), param, value);
    bench.open_editor(1);
    bench.card.clear_received();
  }

  // The user's edits of the tests below.
  void edit_fields() {
    bench.ui.user_type(param_control(Param::gauge1_offset), "$0BC0");
    bench.ui.user_type(param_control(Param::gauge2_offset), "3008");
    bench.ui.user_type(param_control(Param::gauge1_sim_min), "-100");
    bench.ui.user_type(ParameterControl::new_address_field, "12");
    bench.ui.user_select(param_control(Param::output1_type), 1);  // "Type II : -1/0/1"
    bench.pass();
  }

  std::vector<Sent> sent() const {
    std::vector<Sent> result;
    for (const BusReport& report : bench.card.received()) {
      EXPECT_EQ(report[2], kAddress) << "code " << int{report[1]};
      result.push_back({report[1], report[3]});
    }
    return result;
  }

  bool window_open() const { return bench.ui.window_exists(PARAMETER_WINDOW); }

  EditorBench bench{{kAddress}};
};

TEST_F(EepromWriteTest, SendsEveryParameterThenTheAddressAndStoresWhatItSent) {
  edit_fields();
  bench.press(ParameterControl::write_button);
  ASSERT_TRUE(bench.run_until([&] { return !window_open(); }));

  ASSERT_EQ(bench.ui.messages().size(), 1u);
  EXPECT_EQ(bench.ui.messages()[0].first, "Configuration de la jauge");
  EXPECT_EQ(bench.ui.messages()[0].second, "Mettre le strap de configuration");
  const std::vector<Sent> expected{
      {51, 10},   {52, 240},  {53, 0},    {54, 200},  {55, 255},  {56, 0},    {57, 18},
      {72, 0},    {59, 0xC0}, {58, 0x0B}, {61, 0xC0}, {60, 0x0B}, {63, 0x9C}, {62, 0xFF},
      {65, 0xFF}, {64, 0x3F}, {67, 0xFB}, {66, 0xFF}, {69, 0xE8}, {68, 0x03}, {70, 2},
      {71, 4},    {74, 0x0C}, {73, 0x0D}, {76, 0},    {75, 0},    {77, 1},    {78, 2},
      {79, 2},    {80, 1},    {82, 0xC0}, {81, 0x66}, {83, 2},    {84, 3},    {86, 0xFF},
      {85, 0x3F}, {87, 0},    {88, 255},  {50, 12},
  };
  EXPECT_EQ(sent(), expected);

  const ModuleRecord& r = bench.record(0);
  EXPECT_EQ(r.gauges[0].offset, 0x0BC0);
  EXPECT_EQ(r.gauges[1].offset, 0x0BC0);
  EXPECT_EQ(r.gauges[0].sim_min, -100);
  EXPECT_EQ(r.gauges[1].type, 0);
  EXPECT_EQ(r.outputs[0].type, 2);
  EXPECT_EQ(r.gauges[0].inverted, 255);
  // The new address is known only after the next exploration.
  EXPECT_EQ(r.address, kAddress);
}

TEST_F(EepromWriteTest, StoresATwoByteValueOnlyOnceBothBytesAreSent) {
  edit_fields();
  bench.press(ParameterControl::write_button);
  // Up to the low byte of gauge1_offset (report 9): the record still holds the old value.
  ASSERT_TRUE(bench.run_until([&] { return bench.card.received().size() == 9; }));
  EXPECT_EQ(bench.record(0).gauges[0].offset, 0x1234);
  ASSERT_TRUE(bench.run_until([&] { return bench.card.received().size() == 10; }));
  EXPECT_EQ(bench.record(0).gauges[0].offset, 0x0BC0);
}

TEST_F(EepromWriteTest, PausesBetweenReportsWithoutHoldingTheLoop) {
  bench.press(ParameterControl::write_button);
  std::vector<std::int64_t> times{bench.env.now_ms() - 3};  // the first report, before the sleep
  std::size_t seen = 1;
  std::int64_t closed_at = -1;
  for (int pass = 0; pass < 1000 && closed_at < 0; ++pass) {
    const std::int64_t before = bench.env.now_ms();
    bench.pass();
    if (bench.card.received().size() > seen) {
      ++seen;
      times.push_back(before);
    }
    if (!window_open()) closed_at = before;
  }
  ASSERT_EQ(times.size(), 39u);
  for (std::size_t i = 1; i < 38; ++i) {
    EXPECT_GE(times[i] - times[i - 1], 10) << "before report " << i + 1;
    EXPECT_LE(times[i] - times[i - 1], 13) << "before report " << i + 1;
  }
  EXPECT_GE(closed_at - times.back(), 100);
  EXPECT_LE(closed_at - times.back(), 103);
  // The loop kept its own 3 ms rhythm: the write never slept.
  for (std::int64_t sleep : bench.env.sleeps()) EXPECT_EQ(sleep, 3);
}

// Neither a second write nor "Paramètres" acts before the write has ended: the window is not
// rebuilt from a record that the write has only half updated.
TEST_F(EepromWriteTest, RefusesASecondWriteAndARebuildUntilTheFirstHasEnded) {
  edit_fields();
  bench.ui.user_press(ParameterControl::write_button);
  // Pressed twice before the loop took the first.
  bench.ui.user_press(ParameterControl::write_button);
  bench.pass();
  bench.pass();
  bench.open_editor(1);
  // As typed, not the record's 7.
  EXPECT_EQ(bench.ui.text(ParameterControl::new_address_field), "12");
  EXPECT_EQ(bench.ui.text(param_control(Param::gauge1_sim_min)), "-100");
  bench.press(ParameterControl::write_button);
  bench.press(ParameterControl::cancel_button);
  ASSERT_TRUE(bench.run_until([&] { return !window_open(); }));

  EXPECT_EQ(bench.ui.messages().size(), 1u);
  EXPECT_EQ(bench.card.received().size(), 39u);
  bench.open_editor(1);
  // From the record the whole write has updated.
  EXPECT_EQ(bench.ui.text(param_control(Param::gauge1_sim_min)), "-100");
  bench.press(ParameterControl::write_button);
  EXPECT_EQ(bench.ui.messages().size(), 2u);
}

// The card pulled out halfway: the write stops at the report that cannot go, stores nothing
// more, says so, and leaves the window for another try.
TEST_F(EepromWriteTest, ACardPulledOutStopsTheWriteWhichNeverPassesForDone) {
  edit_fields();
  bench.press(ParameterControl::write_button);
  ASSERT_TRUE(bench.run_until([&] { return bench.card.received().size() == 12; }));
  bench.card.set_unplugged(true);
  bench.run_until([] { return false; }, 100);

  EXPECT_EQ(bench.card.received().size(), 12u);
  EXPECT_EQ(bench.record(0).gauges[1].offset, 3008);  // reports 11 and 12 went
  EXPECT_EQ(bench.record(0).gauges[0].sim_min, 0);    // report 13 did not
  EXPECT_EQ(bench.record(0).address, kAddress);
  const std::vector<std::pair<std::string, std::string>> messages{
      {"Configuration de la jauge", "Mettre le strap de configuration"},
      {"Erreur", "Écriture interrompue : la carte Kavri a été débranchée"}};
  EXPECT_EQ(bench.ui.messages(), messages);
  EXPECT_TRUE(window_open());
  EXPECT_TRUE(bench.ui.enabled(ParameterControl::write_button));
  EXPECT_TRUE(bench.ui.enabled(ParameterControl::cancel_button));
  EXPECT_FALSE(bench.ctx.eeprom.running());
}

TEST_F(EepromWriteTest, ANewExplorationFindsWhatTheWriteStored) {
  edit_fields();
  bench.press(ParameterControl::write_button);
  ASSERT_TRUE(bench.run_until([&] { return !window_open(); }));

  // The next start: the same modules, a fresh table, a full exploration.
  ModuleTable explored;
  std::atomic<bool> exploration_done{false};
  ExplorationLinks links{
      bench.env,
      bench.bus,
      bench.card,
      explored,
      {},
      exploration_done,
      [](std::string title, std::string text) { ADD_FAILURE() << title << ": " << text; }};
  bench.bus.send_explore();
  run_exploration(links, std::stop_token{});
  ASSERT_TRUE(exploration_done.load());
  ASSERT_EQ(explored.module_count, 1);
  const ModuleRecord& found = explored.records[0];
  EXPECT_EQ(found.address, 12);
  for (const ParamInfo& info : param_infos()) {
    EXPECT_EQ(read_param(found, info.param), read_param(bench.record(0), info.param)) << info.name;
  }
}

TEST(EepromReportsTest, AListWithoutSelectionAndOutOfRangeTextsSendTheirLowBits) {
  EepromWritePlan plan;
  plan.values[static_cast<std::size_t>(Param::gauge1_type)] = 0;
  plan.values[static_cast<std::size_t>(Param::gauge1_course_min)] = 300;  // keeps 44
  plan.values[static_cast<std::size_t>(Param::analog_param)] = -1;
  const auto reports = eeprom_reports(plan);
  ASSERT_EQ(reports.size(), 39u);
  EXPECT_EQ(reports[0].data, 44);
  EXPECT_EQ(reports[6].code, 57);
  EXPECT_EQ(reports[6].data, 0);
  EXPECT_EQ(reports[34].data, 0xFF);
  EXPECT_EQ(reports[35].data, 0xFF);
}

}  // namespace
}  // namespace kavri
