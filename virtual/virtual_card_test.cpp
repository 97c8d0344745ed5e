#include "virtual/virtual_card.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "testing/eventually.h"
#include "testing/virtual_modules.h"
#include "virtual/lent_card_layer.h"

namespace kavri {
namespace {

void send(VirtualCard& card, std::uint8_t code, std::uint8_t address = 0, std::uint8_t data = 0) {
  ASSERT_EQ(card.write_report(make_report(code, address, data)), HidStatus::ok);
}

// Every answer the card has queued, in order.
std::vector<BusReport> drain(VirtualCard& card) {
  std::vector<BusReport> answers;
  BusReport report{};
  while (card.read_report(report, 0) == HidStatus::ok) answers.push_back(report);
  return answers;
}

using testing::module_at;

std::vector<std::uint8_t> codes(const std::vector<BusReport>& answers) {
  std::vector<std::uint8_t> result;
  for (const auto& a : answers) result.push_back(a[1]);
  return result;
}

TEST(VirtualCardScan, ReportsModulesInListOrderThenTheRemainingStepsThenComplete) {
  VirtualCard card({module_at(33, 18), module_at(12, 5)});
  send(card, CMD_EXPLORE);
  const auto answers = drain(card);
  ASSERT_EQ(answers.size(), 51u);
  EXPECT_EQ(answers[0], (BusReport{0, RSP_MODULE_FOUND, 33, 18, 0, 0, 0, 0, 0}));
  EXPECT_EQ(answers[1], (BusReport{0, RSP_MODULE_FOUND, 12, 5, 0, 0, 0, 0, 0}));
  for (std::size_t i = 2; i < 50; ++i) EXPECT_EQ(answers[i], make_report(RSP_SCAN_STEP)) << i;
  EXPECT_EQ(answers[50], make_report(RSP_SCAN_COMPLETE));
}

TEST(VirtualCardScan, EmptyBusAndCrowdedBus) {
  VirtualCard empty({});
  send(empty, CMD_EXPLORE);
  const auto steps = codes(drain(empty));
  ASSERT_EQ(steps.size(), 51u);
  EXPECT_EQ(std::count(steps.begin(), steps.end(), RSP_SCAN_STEP), 50);
  EXPECT_EQ(steps.back(), RSP_SCAN_COMPLETE);

  std::vector<VirtualModule> many;
  for (int i = 0; i < 60; ++i) many.push_back(module_at(static_cast<std::uint8_t>(i + 1)));
  VirtualCard crowded(many);
  send(crowded, CMD_EXPLORE);
  const auto found = codes(drain(crowded));
  ASSERT_EQ(found.size(), 61u);
  EXPECT_EQ(std::count(found.begin(), found.end(), RSP_MODULE_FOUND), 60);
  EXPECT_EQ(found.back(), RSP_SCAN_COMPLETE);
}

TEST(VirtualCardDump, ThirtyEightAnswersThatDecodeToTheModulesEeprom) {
  VirtualModule m = module_at(12, 5);
  m.set_param(Param::gauge1_offset, 0x0D0C);
  m.set_param(Param::gauge1_sim_min, -1);
  m.set_param(Param::gauge1_sim_max, 40000);
  m.set_param(Param::gauge2_sim_min, -16383);
  m.set_param(Param::analog_param, 16383);
  m.set_param(Param::output2_inverted, 255);
  VirtualCard card({module_at(7, 1), m});
  send(card, CMD_RESET_MODULE, 12);
  EXPECT_TRUE(drain(card).empty());
  send(card, CMD_DUMP_PARAMS, 12, 1);
  const auto answers = drain(card);
  ASSERT_EQ(answers.size(), std::size_t{PARAM_COUNT});
  EXPECT_EQ(answers[4], (BusReport{0, 154, 1, 0x0D, 0, 0, 0, 0, 0}));
  EXPECT_EQ(answers[5], (BusReport{0, 155, 1, 0x0C, 0, 0, 0, 0, 0}));
  EXPECT_EQ(answers.back(), (BusReport{0, RSP_PARAM_LAST, 1, 255, 0, 0, 0, 0, 0}));

  ModuleRecord record;
  for (const auto& a : answers) {
    EXPECT_EQ(a[2], 1);
    EXPECT_TRUE(apply_param_answer(record, a[1], a[3]));
  }
  for (const auto& info : param_infos()) {
    EXPECT_EQ(read_param(record, info.param), m.param(info.param)) << info.name;
  }
}

TEST(VirtualCardDump, ModuleErrorUnknownAddressAndEndOfExploration) {
  VirtualCard card({module_at(7, 1), module_at(12)});
  card.set_module_error(7);
  send(card, CMD_DUMP_PARAMS, 7, 0);
  EXPECT_EQ(drain(card), std::vector<BusReport>{make_report(RSP_MODULE_ERROR, 7)});
  send(card, CMD_DUMP_PARAMS, 99, 0);
  send(card, CMD_READ_ANALOG, 99);
  EXPECT_TRUE(drain(card).empty());
  send(card, CMD_DUMP_PARAMS, 12, 1);
  EXPECT_EQ(drain(card).size(), std::size_t{PARAM_COUNT});
  send(card, CMD_END_EXPLORATION);
  EXPECT_EQ(drain(card), std::vector<BusReport>{make_report(RSP_EXPLORATION_DONE)});
}

TEST(VirtualCardRunning, PositionsOutputsBacklightAndAnalogAnswers) {
  VirtualCard card({module_at(12), module_at(20)});
  card.set_analog_value(1, 0x1234);
  card.set_analog_value(5, 1);  // no such module: ignored
  send(card, CMD_SET_POSITION_1, 20, 200);
  send(card, CMD_SET_POSITION_2, 20, 3);
  send(card, CMD_SET_OUTPUT_1, 12, 1);
  send(card, CMD_SET_OUTPUT_2, 12, 2);
  send(card, CMD_SET_BACKLIGHT, COMMON_ADDRESS, 255);
  send(card, CMD_SET_BACKLIGHT, 12, 17);  // only the common address reaches the card
  const auto modules = card.modules();
  EXPECT_EQ(modules[1].position1, 200);
  EXPECT_EQ(modules[1].position2, 3);
  EXPECT_EQ(modules[0].position1, 0);
  EXPECT_EQ(modules[0].output1, 1);
  EXPECT_EQ(modules[0].output2, 2);
  EXPECT_EQ(card.backlight(), 255);
  EXPECT_TRUE(drain(card).empty());

  send(card, CMD_READ_ANALOG, 20);
  EXPECT_EQ(drain(card),
            std::vector<BusReport>{(BusReport{0, 0, 0, 0, 0, ANALOG_MARK, 20, 0x34, 0x12})});
  EXPECT_EQ(card.received().size(), 7u);
  card.clear_received();
  EXPECT_TRUE(card.received().empty());
}

TEST(VirtualCardEeprom, WritesStoreBytesAndAddressChangesCallTheHook) {
  VirtualModule m = module_at(7, 1);
  m.set_param(Param::gauge1_sim_min, 0x1234);
  VirtualCard card({m});
  std::atomic<int> changes{0};
  card.set_on_eeprom_change([&] {
    card.modules();  // the hook may read the card back: it runs outside the card's lock
    ++changes;
  });
  send(card, 63, 7, 0x9C);  // gauge1_sim_min, low byte: the high byte stays
  EXPECT_EQ(card.modules()[0].param(Param::gauge1_sim_min), 0x129C);
  send(card, 62, 7, 0xFF);  // high byte: -100 read back as signed 16-bit
  EXPECT_EQ(card.modules()[0].param(Param::gauge1_sim_min), -100);
  send(card, 86, 7, 0xFF);  // analog_param, unsigned
  send(card, 85, 7, 0x3F);
  EXPECT_EQ(card.modules()[0].param(Param::analog_param), 16383);
  send(card, 57, 7, 17);
  EXPECT_EQ(card.modules()[0].param(Param::gauge1_type), 17);
  send(card, 57, 8, 3);  // nobody at address 8: no change, no hook
  EXPECT_EQ(changes, 5);

  send(card, CMD_SET_ADDRESS, 7, 12);
  EXPECT_EQ(card.modules()[0].address, 12);
  EXPECT_EQ(changes, 6);
  send(card, CMD_DUMP_PARAMS, 7, 0);
  EXPECT_TRUE(drain(card).empty());
  send(card, CMD_DUMP_PARAMS, 12, 0);
  EXPECT_EQ(drain(card).size(), std::size_t{PARAM_COUNT});
  EXPECT_EQ(changes, 6);
}

TEST(VirtualCardCommands, EveryModuleAtAnAddressHearsItsCommands) {
  VirtualCard card({module_at(7), module_at(9), module_at(7)});
  const auto positions = [&card] {
    std::vector<int> shown;
    for (const VirtualModule& m : card.modules()) shown.push_back(m.position1);
    return shown;
  };
  send(card, CMD_SET_POSITION_1, 7, 40);
  EXPECT_EQ(positions(), (std::vector<int>{40, 0, 40}));
  send(card, CMD_SET_ADDRESS, 7, 9);  // both modules at 7 move
  send(card, CMD_SET_POSITION_1, 7, 60);
  send(card, CMD_SET_POSITION_1, 9, 50);
  EXPECT_EQ(positions(), (std::vector<int>{50, 50, 50}));
}

TEST(VirtualCardFaults, SilenceTimesOutAndInjectedAnswersStillArrive) {
  VirtualCard card({module_at(12)});
  card.set_silent(true);
  send(card, CMD_EXPLORE);
  BusReport report;
  report.fill(0xAA);
  EXPECT_EQ(card.read_report(report, 20), HidStatus::timed_out);
  EXPECT_EQ(report, BusReport{});  // never the old contents
  card.inject_answer(make_report(200, 60, 1));
  EXPECT_EQ(card.read_report(report, 20), HidStatus::ok);
  EXPECT_EQ(report, make_report(200, 60, 1));
  std::span<std::uint8_t> nothing;
  EXPECT_EQ(card.read_report(nothing, 0), HidStatus::failed);
  EXPECT_EQ(card.write_report(std::span<const std::uint8_t>{}), HidStatus::failed);
}

TEST(VirtualCardFaults, AWaitingReadWakesForAnAnswerAndFailsWhenUnplugged) {
  VirtualCard card({module_at(12)});
  BusReport report{};
  std::atomic<bool> first_done{false};
  HidStatus first = HidStatus::failed, second = HidStatus::ok;
  std::jthread reader([&] {
    first = card.read_report(report, -1);
    first_done = true;
    second = card.read_report(report, -1);
  });
  send(card, CMD_END_EXPLORATION);
  testing::eventually([&] { return first_done.load(); }, std::chrono::seconds(30));
  card.set_unplugged(true);
  reader.join();
  EXPECT_EQ(first, HidStatus::ok);
  EXPECT_EQ(report, BusReport{});  // the failed read zeroed it
  EXPECT_EQ(second, HidStatus::gone);
  EXPECT_EQ(card.write_report(make_report(CMD_EXPLORE)), HidStatus::gone);
  EXPECT_EQ(card.read_report(report, -1), HidStatus::gone);
}

// Plugged back in, the card works again, for handles opened since; an old handle stays gone.
TEST(VirtualCardFaults, AReplugServesNewHandlesOnly) {
  VirtualCard card({module_at(12)});
  LentCardLayer layer(&card);
  std::unique_ptr<HidCard> before = layer.open(MASTER_CARD);
  ASSERT_NE(before, nullptr);
  EXPECT_EQ(before->write_report(make_report(CMD_EXPLORE)), HidStatus::ok);
  card.set_unplugged(true);  // the scan's answers are lost with the power
  EXPECT_EQ(layer.open(MASTER_CARD), nullptr);
  card.set_unplugged(false);
  BusReport report{};
  EXPECT_EQ(before->write_report(make_report(CMD_EXPLORE)), HidStatus::gone);
  EXPECT_EQ(before->read_report(report, 0), HidStatus::gone);
  EXPECT_EQ(card.read_report(report, 0), HidStatus::timed_out);

  std::unique_ptr<HidCard> after = layer.open(MASTER_CARD);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->write_report(make_report(CMD_EXPLORE)), HidStatus::ok);
  EXPECT_EQ(drain(card).front(), make_report(RSP_MODULE_FOUND, 12, 1));
  EXPECT_EQ(card.unplug_count(), 1);
}

TEST(VirtualCardFaults, BlockedWritesWaitUntilReleasedOrUnplugged) {
  VirtualCard card({module_at(12)});
  card.set_writes_block(true);
  // A write that must not wait is declined, and writes nothing (the backlight stays 17 below).
  EXPECT_EQ(card.write_report_at_once(make_report(CMD_SET_BACKLIGHT, COMMON_ADDRESS, 51)),
            std::nullopt);
  std::atomic<int> ended{0};
  HidStatus released = HidStatus::failed, unplugged = HidStatus::failed;
  std::jthread writer([&] {
    released = card.write_report(make_report(CMD_SET_BACKLIGHT, COMMON_ADDRESS, 17));
    ++ended;
    card.set_writes_block(true);
    unplugged = card.write_report(make_report(CMD_SET_BACKLIGHT, COMMON_ADDRESS, 34));
    ++ended;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ended.load(), 0);
  card.set_writes_block(false);
  while (ended.load() == 0) std::this_thread::yield();
  EXPECT_EQ(card.backlight(), 17);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ended.load(), 1);
  card.set_unplugged(true);
  writer.join();
  EXPECT_EQ(released, HidStatus::ok);
  EXPECT_EQ(unplugged, HidStatus::gone);
  EXPECT_EQ(card.backlight(), 17);
}

}  // namespace
}  // namespace kavri
