#include "procedures/exploration.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bus_model/module_params.h"
#include "testing/eventually.h"
#include "testing/fake_env.h"
#include "testing/virtual_modules.h"
#include "virtual/virtual_card.h"

namespace kavri {
namespace {

using Message = std::pair<std::string, std::string>;
const Message CARD_SILENT{"Erreur de lecture", "La carte Kavri ne répond plus, relancer le driver"};

using testing::module_at;
using testing::modules_at;

// After CMD_EXPLORE, what a bus of the modules at 30 and 4 is sent.
const std::vector<BusReport> kTwoModulesExchange{
    make_report(CMD_RESET_MODULE, 30),   make_report(CMD_RESET_MODULE, 30),
    make_report(CMD_DUMP_PARAMS, 30, 0), make_report(CMD_RESET_MODULE, 4),
    make_report(CMD_DUMP_PARAMS, 4, 1),  make_report(CMD_END_EXPLORATION),
};

// A record no answer wrote to.
void expect_empty(const ModuleRecord& record) {
  for (const ParamInfo& info : param_infos()) {
    EXPECT_EQ(read_param(record, info.param), 0) << info.name;
  }
}

// What the exploration told, in the order it told it.
struct Told {
  std::vector<int> addresses, type_bytes;  // of the modules found, in scan order
  int count = 0;                           // 0 until the scan completes
  int bar = 0;                             // the progress bar's last value
  bool identified = false;
};

// The virtual card seen through a hook that runs before each report reaches it, so a test can
// make the card misbehave at one chosen point of the exchange, and a count of reads that find
// nothing yet, as a card that is slow to answer would.
class HookedCard final : public HidCard {
 public:
  explicit HookedCard(VirtualCard& card) : card_(card) {}
  std::function<void(const BusReport&)> before_write;
  std::atomic<int> reads_to_miss{0};

  HidStatus write_report(std::span<const std::uint8_t> bytes) override {
    BusReport command{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), command.size()), command.begin());
    if (before_write) before_write(command);
    return card_.write_report(bytes);
  }
  HidStatus read_report(std::span<std::uint8_t> bytes, int timeout_ms) override {
    if (reads_to_miss.load() > 0) {
      --reads_to_miss;
      std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
      return HidStatus::timed_out;
    }
    return card_.read_report(bytes, timeout_ms);
  }

 private:
  VirtualCard& card_;
};

// The exploration's world: the virtual card, and a record of what the exploration tells.
class Bench {
 public:
  explicit Bench(std::vector<VirtualModule> bus_modules, Env* real_env = nullptr)
      : env(real_env != nullptr ? *real_env : fake_env), card(std::move(bus_modules)) {}

  // CMD_EXPLORE as the start-up sends it, then the exploration thread.
  void start() {
    bus.send_explore();
    ExplorationLinks links{env, bus, hooked, modules, events(), done, {}, answer_timeout_ms};
    links.fatal = [this](std::string title, std::string text) {
      std::lock_guard lock(fatal_mutex_);
      fatals_.emplace_back(std::move(title), std::move(text));
    };
    worker_ = env.start_thread([this, links](std::stop_token stop) {
      run_exploration(links, stop);
      ended_.store(true, std::memory_order_release);
    });
  }

  // Waits (bounded) until the thread has ended.
  bool wait_until_ended() {
    if (!testing::eventually([this] { return ended_.load(std::memory_order_acquire); })) {
      return false;
    }
    worker_.stop_and_join();
    return true;
  }

  Told told() {
    std::lock_guard lock(told_mutex_);
    return told_;
  }

  void explore() {
    start();
    ASSERT_TRUE(wait_until_ended());
  }

  void request_stop() { worker_.request_stop(); }

  std::vector<Message> fatals() {
    std::lock_guard lock(fatal_mutex_);
    return fatals_;
  }
  std::vector<BusReport> sent_after_explore() {
    auto sent = card.received();
    EXPECT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), BusReport{});
    if (!sent.empty()) sent.erase(sent.begin());
    return sent;
  }

  FakeEnv fake_env;
  Env& env;
  VirtualCard card;
  HookedCard hooked{card};
  BusSender bus{hooked};
  ModuleTable modules;
  std::atomic<bool> done{false};
  int answer_timeout_ms = 5000;

 private:
  ExplorationEvents events() {
    ExplorationEvents events;
    events.module_found = [this](int index, std::uint8_t address, std::uint8_t type_byte) {
      std::lock_guard lock(told_mutex_);
      EXPECT_EQ(index, static_cast<int>(told_.addresses.size()));
      told_.addresses.push_back(address);
      told_.type_bytes.push_back(type_byte);
    };
    events.scan_complete = [this](int count) {
      std::lock_guard lock(told_mutex_);
      told_.count = count;
    };
    events.progress = [this](int bar) {
      std::lock_guard lock(told_mutex_);
      told_.bar = bar;
    };
    events.identified = [this] {
      std::lock_guard lock(told_mutex_);
      told_.identified = true;
    };
    return events;
  }

  Worker worker_;
  std::atomic<bool> ended_{false};
  std::mutex fatal_mutex_;
  std::vector<Message> fatals_;
  std::mutex told_mutex_;
  Told told_;
};

TEST(Exploration, OneModuleAtAddress12ExchangesTheExampleReportsAndTellsWhatItFound) {
  Bench bench({module_at(12, 5)});
  bench.explore();

  const std::vector<BusReport> expected{
      {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0x00, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0x00, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0x00, 0xFF, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0x00, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
  };
  EXPECT_EQ(bench.card.received(), expected);
  EXPECT_TRUE(bench.done.load());
  EXPECT_TRUE(bench.fatals().empty());

  const Told told = bench.told();
  EXPECT_EQ(told.addresses, std::vector<int>{12});
  EXPECT_EQ(told.type_bytes, std::vector<int>{5});
  EXPECT_EQ(told.count, 1);
  EXPECT_EQ(told.bar, 50);
  EXPECT_TRUE(told.identified);
  EXPECT_EQ(bench.modules.module_count, 1);
  EXPECT_EQ(bench.modules.records[0].address, 12);
}

TEST(Exploration, TwoModulesAreRequestedInDiscoveryOrderAndTheBarEndsAt50) {
  Bench bench({module_at(30, 7), module_at(4, 9)});
  bench.explore();

  EXPECT_EQ(bench.sent_after_explore(), kTwoModulesExchange);
  EXPECT_TRUE(bench.done.load());

  const Told told = bench.told();
  EXPECT_EQ(told.addresses, (std::vector<int>{30, 4}));
  EXPECT_EQ(told.type_bytes, (std::vector<int>{7, 9}));
  EXPECT_EQ(told.count, 2);
  EXPECT_EQ(told.bar, 50);

  // The 5 ms pause follows each module's dump request.
  const auto sleeps = bench.fake_env.sleeps();
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 5), 2);
}

TEST(Exploration, ParametersLandInTheRecordsAndRatiosAreComputed) {
  VirtualModule first = module_at(21, 11);
  const std::pair<Param, int> first_params[] = {
      {Param::gauge1_course_max, 255}, {Param::gauge1_sim_max, 16383},
      {Param::gauge2_course_min, 10},  {Param::gauge2_course_max, 210},
      {Param::gauge2_sim_min, -1},     {Param::gauge2_sim_max, 40000},
      {Param::gauge1_offset, 0x0D0C},  {Param::output2_inverted, 255},
      {Param::analog_param, 16383},
  };
  for (const auto& [param, value] : first_params) first.set_param(param, value);
  VirtualModule second = module_at(22, 3);
  for (const ParamInfo& info : param_infos()) {
    second.set_param(info.param, 100 + static_cast<int>(info.param));
  }
  Bench bench({first, second});
  bench.explore();
  ASSERT_TRUE(bench.done.load());

  const VirtualModule sent[] = {first, second};
  for (int i = 0; i < 2; ++i) {
    for (const ParamInfo& info : param_infos()) {
      EXPECT_EQ(read_param(bench.modules.records[i], info.param), sent[i].param(info.param))
          << "module " << i << " " << info.name;
    }
  }
  EXPECT_NEAR(bench.modules.records[0].gauges[0].ratio, 16383.0 / 255, 1e-3);
  EXPECT_NEAR(bench.modules.records[0].gauges[1].ratio, 40001.0 / 200, 1e-3);
  EXPECT_NE(bench.modules.records[1].gauges[0].ratio, 0.0f);
  expect_empty(bench.modules.records[2]);
}

TEST(Exploration, AnEmptyBusEndsAsFatalWithoutAnyRequest) {
  Bench bench({});
  bench.explore();

  const Message empty_bus{"Erreur", "Je ne trouve pas de module sur le Kavri"};
  EXPECT_EQ(bench.fatals(), std::vector<Message>{empty_bus});
  EXPECT_FALSE(bench.done.load());
  EXPECT_TRUE(bench.sent_after_explore().empty());
  EXPECT_EQ(bench.told().count, 0);
}

TEST(Exploration, AModuleErrorNamesTheModuleAndStopsTheIdentification) {
  Bench bench({module_at(3, 1), module_at(7, 1)});
  bench.card.set_module_error(7);
  bench.explore();

  const Message module_error{"Erreur de lecture",
                             "Le module 7 n'a pas répondu correctement, relancer le driver"};
  EXPECT_EQ(bench.fatals(), std::vector<Message>{module_error});
  EXPECT_FALSE(bench.done.load());
  EXPECT_EQ(bench.sent_after_explore().back(), make_report(CMD_DUMP_PARAMS, 7, 1));
  // The first of two modules answered all 38: half the identification bar.
  EXPECT_EQ(bench.told().bar, 25);
}

TEST(Exploration, StrayUnknownAndOutOfRangeAnswersChangeNothing) {
  Bench bench({module_at(30, 7), module_at(4, 9)});
  // Before the scan no module is known yet, so no index is in range (a dump end taken for real
  // here would end the exploration before it began).
  for (const BusReport& stray : {make_report(RSP_NOP), make_report(200), make_report(5, 30, 1),
                                 make_report(RSP_PARAM_FIRST, 2, 99),
                                 make_report(RSP_PARAM_LAST, 0, 1), make_report(160, 255, 255)}) {
    bench.card.inject_answer(stray);
  }
  // Within the identification: a dump end naming a module that does not exist must not move
  // on, and a parameter for it must not be written anywhere.
  bench.hooked.before_write = [&](const BusReport& command) {
    if (command[1] == CMD_DUMP_PARAMS && command[3] == 1) {
      bench.card.inject_answer(make_report(RSP_PARAM_LAST, 2, 255));
      bench.card.inject_answer(make_report(RSP_PARAM_FIRST, 51, 1));
      bench.card.inject_answer(make_report(RSP_NOP));
      bench.card.inject_answer(make_report(99, 1, 1));
    }
  };
  bench.explore();

  EXPECT_EQ(bench.sent_after_explore(), kTwoModulesExchange);
  EXPECT_TRUE(bench.done.load());
  EXPECT_TRUE(bench.fatals().empty());
  EXPECT_EQ(bench.modules.module_count, 2);
  EXPECT_EQ(bench.told().bar, 50);
  expect_empty(bench.modules.records[2]);
}

TEST(Exploration, ModulesBeyondTheTableAreIgnored) {
  Bench bench(modules_at(1, MAX_MODULES + 2));
  bench.explore();

  ASSERT_TRUE(bench.done.load());
  EXPECT_EQ(bench.modules.module_count, MAX_MODULES);
  EXPECT_EQ(bench.modules.records[MAX_MODULES - 1].address, MAX_MODULES);
  EXPECT_EQ(bench.told().addresses.size(), std::size_t{MAX_MODULES});
  EXPECT_EQ(bench.told().count, MAX_MODULES);
  const auto sent = bench.sent_after_explore();
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                          [](const BusReport& r) { return r[1] == CMD_DUMP_PARAMS; }),
            MAX_MODULES);
  EXPECT_EQ(sent[sent.size() - 2], make_report(CMD_DUMP_PARAMS, MAX_MODULES, MAX_MODULES - 1));
  EXPECT_EQ(bench.told().bar, 50);
}

TEST(Exploration, ACardThatStopsAnsweringEndsAsFatalAfterTheTimeOut) {
  Bench silent({module_at(12, 5)});
  silent.card.set_silent(true);
  silent.explore();
  EXPECT_EQ(silent.fatals(), std::vector<Message>{CARD_SILENT});
  EXPECT_FALSE(silent.done.load());
  EXPECT_GE(silent.fake_env.now_ms(), 5000);
  EXPECT_LT(silent.fake_env.now_ms(), 5100);

  // The time-out measures each silence, not the length of the whole exploration: a card that
  // takes 40 ms before each dump, against a time-out of 50 ms, is slow but alive.
  Bench slow(modules_at(1, 4));
  slow.answer_timeout_ms = 50;
  slow.hooked.before_write = [&](const BusReport& command) {
    if (command[1] == CMD_DUMP_PARAMS) slow.hooked.reads_to_miss = 40;
  };
  slow.explore();
  EXPECT_TRUE(slow.done.load());
  EXPECT_TRUE(slow.fatals().empty());
  EXPECT_GE(slow.fake_env.now_ms(), 4 * 40);
}

// The main loop waits for the card to come back and explores again: no message, no end.
TEST(Exploration, AnUnpluggedCardEndsItQuietlyAtOnce) {
  Bench bench(modules_at(1, 3));
  bench.hooked.before_write = [&](const BusReport& command) {
    if (command[1] == CMD_DUMP_PARAMS && command[3] == 1) bench.card.set_unplugged(true);
  };
  bench.explore();

  EXPECT_TRUE(bench.fatals().empty());
  EXPECT_FALSE(bench.done.load());
  EXPECT_LT(bench.fake_env.now_ms(), 100);  // a removal is not waited out
}

TEST(Exploration, AStopRequestEndsAThreadThatWaitsForAnswers) {
  Bench bench({module_at(12, 5)});
  bench.card.set_silent(true);
  bench.answer_timeout_ms = INT_MAX;
  bench.start();
  bench.request_stop();
  ASSERT_TRUE(bench.wait_until_ended());
  EXPECT_TRUE(bench.fatals().empty());
  EXPECT_FALSE(bench.done.load());
}

// Not a timed test: it prints how long a whole exploration takes on the real clock (the
// driver's pauses included), and checks only that it completes.
TEST(ExplorationOnSystemEnv, PrintsTheTimeFromStartToDone) {
  for (int count : {4, MAX_MODULES}) {
    SystemEnv env;
    Bench bench(modules_at(1, count), &env);
    const std::int64_t started = env.now_ms();
    bench.explore();
    const std::int64_t elapsed = env.now_ms() - started;
    ASSERT_TRUE(bench.done.load());
    EXPECT_EQ(bench.modules.module_count, count);
    std::printf("exploration of %d modules on SystemEnv: %lld ms from start to done\n", count,
                static_cast<long long>(elapsed));
  }
}

}  // namespace
}  // namespace kavri
