#include "engine/transfer_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "simlink/link_monitor.h"
#include "testing/fake_env.h"
#include "testing/transfer_test_rig.h"

namespace kavri {
namespace {

using Reports = std::vector<BusReport>;

class TransferCycleTest : public ::testing::Test {
 protected:
  explicit TransferCycleTest(int module_count = 2) : rig(env, module_count) {
    env.clear_sleeps();  // the link's opening handshake
  }

  // One pass; returns the reports it sent.
  Reports pass() {
    rig.card.clear_received();
    EXPECT_TRUE(rig.cycle.run_pass(std::stop_token{}));
    return rig.card.received();
  }
  void set(std::uint32_t offset, std::uint32_t size, std::uint64_t value) {
    rig.space.set(offset, size, value);
  }
  // The thread stopped and started again, as when the link or the card comes back.
  void restart() {
    std::stop_source stopped;
    stopped.request_stop();
    rig.cycle.run(stopped.get_token());
  }

  FakeEnv env;
  TransferRig rig;
};

TEST_F(TransferCycleTest, PositionsAreSentOnlyOnChange) {
  set_linear_gauge(rig.record(0), 1, 0x1000, 2);
  set_linear_gauge(rig.record(0), 2, 0x1002, 1);
  set_linear_gauge(rig.record(1), 1, 0, 2);  // offset 0: never requested nor sent
  set(0x1000, 2, 100);
  set(0x1002, 1, 0);  // converts to 0, which the module already shows
  EXPECT_EQ(pass(), (Reports{make_report(CMD_SET_POSITION_1, 1, 100)}));
  EXPECT_EQ(pass(), Reports{});
  set(0x1000, 2, 120);
  set(0x1002, 1, 7);
  EXPECT_EQ(pass(), (Reports{make_report(CMD_SET_POSITION_1, 1, 120),
                             make_report(CMD_SET_POSITION_2, 1, 7)}));
  EXPECT_EQ(rig.card.modules()[0].position1, 120);
}

TEST_F(TransferCycleTest, ALostLinkKeepsTheLastValues) {
  set_linear_gauge(rig.record(0), 1, 0x1000, 2);
  set(0x1000, 2, 100);
  pass();
  rig.ipc.ipc_close();
  set(0x1000, 2, 120);
  EXPECT_EQ(pass(), Reports{});
  EXPECT_EQ(rig.cycle.module_transfer(0).gauges[0].value.value_u16, 100);
}

TEST_F(TransferCycleTest, SplitPositionsFollowTheirLowByte) {
  ModuleRecord& m = rig.record(0);
  m.gauges[0].type = 31;
  m.gauges[0].offset = 0x1000;
  m.gauges[0].offset_length = 2;
  set(0x1000, 2, 0x0105);
  EXPECT_EQ(pass(), (Reports{make_report(CMD_SET_POSITION_1, 1, 5),
                             make_report(CMD_SET_POSITION_2, 1, 1)}));
  set(0x1000, 2, 0x0205);  // same low byte: nothing, the high byte included
  EXPECT_EQ(pass(), Reports{});
  set(0x1000, 2, 0x0206);
  EXPECT_EQ(pass(), (Reports{make_report(CMD_SET_POSITION_1, 1, 6),
                             make_report(CMD_SET_POSITION_2, 1, 2)}));
}

TEST_F(TransferCycleTest, UndrivenGaugesSendNothing) {
  ModuleRecord& m = rig.record(0);
  set_linear_gauge(m, 1, 0x1000, 3);  // a length with no receive area
  set_linear_gauge(m, 2, 0x1002, 2);
  m.gauges[1].type = 16;  // "------" on the second list
  set(0x1000, 4, 0x01010101);
  EXPECT_EQ(pass(), Reports{});
}

TEST_F(TransferCycleTest, OnlyTheFirstPassWaitsBeforeEachModule) {
  rig.cycle.set_first_pass();
  pass();
  EXPECT_EQ(env.sleeps(), (std::vector<std::int64_t>{500, 500, 5}));
  env.clear_sleeps();
  pass();
  EXPECT_EQ(env.sleeps(), (std::vector<std::int64_t>{5}));
}

TEST_F(TransferCycleTest, BacklightFollowsTheLightSwitches) {
  rig.backlight_level = 12;
  const BusReport on = make_report(CMD_SET_BACKLIGHT, COMMON_ADDRESS, backlight_brightness(12));
  EXPECT_EQ(pass(), Reports{});  // 0, as at start-up
  set(0x0D0C, 2, 0x0004);
  EXPECT_EQ(pass(), Reports{on});
  set(0x0D0C, 2, 0x0006);
  EXPECT_EQ(pass(), Reports{on});
  EXPECT_EQ(pass(), Reports{});
  set(0x0D0C, 2, 0);
  EXPECT_EQ(pass(), Reports{make_report(CMD_SET_BACKLIGHT, COMMON_ADDRESS, 0)});
}

TEST_F(TransferCycleTest, OutputsSendTheirLowByteOnChange) {
  ModuleRecord& m = rig.record(0);
  m.outputs[0].offset = 0x3000;
  m.outputs[0].offset_length = 4;
  m.outputs[1].offset = 0x3008;
  m.outputs[1].offset_length = 1;
  set(0x3000, 4, 1);
  set(0x3008, 1, 0xFF);  // -1
  EXPECT_EQ(pass(),
            (Reports{make_report(CMD_SET_OUTPUT_1, 1, 1), make_report(CMD_SET_OUTPUT_2, 1, 255)}));
  set(0x3000, 4, 257);
  EXPECT_EQ(pass(), Reports{});
  set(0x3000, 4, 0xFFFFFFFF);
  EXPECT_EQ(pass(), Reports{make_report(CMD_SET_OUTPUT_1, 1, 255)});
}

TEST_F(TransferCycleTest, AnalogValuesReachTheSimulatorOnThePassAfter) {
  for (int i = 0; i < 2; ++i) {
    rig.record(i).analog_offset = static_cast<std::uint16_t>(0x4000 + 2 * i);
    rig.record(i).analog_offset_length = 2;
  }
  // Each module is asked once per pass while they all answer at once.
  EXPECT_EQ(pass(),
            (Reports{make_report(CMD_READ_ANALOG, 1, 0), make_report(CMD_READ_ANALOG, 2, 0)}));
  EXPECT_EQ(rig.cycle.module_transfer(1).analog_value, 1001);
  EXPECT_EQ(rig.space.get(0x4000, 2), 0u);
  rig.card.set_analog_value(0, 0xBEEF);
  pass();
  EXPECT_EQ(rig.space.get(0x4000, 2), 1000u);
  EXPECT_EQ(rig.space.get(0x4002, 2), 1001u);
  pass();
  EXPECT_EQ(rig.space.get(0x4000, 2), 0xBEEFu);
}

// Until its module answers, an analog offset keeps what the simulator holds: neither the 0 the
// value starts with nor the value from before the link or the card went away is written.
TEST_F(TransferCycleTest, AnAnalogValueIsWrittenOnlyOnceItsModuleAnsweredInThisRun) {
  constexpr std::uint64_t kSimulatorsOwn = 0xA5A5;
  rig.record(0).analog_offset = 0x4000;
  rig.record(0).analog_offset_length = 2;
  for (const int lever : {2000, 3000}) {  // the driver's start, then a return
    SCOPED_TRACE(lever);
    set(0x4000, 2, kSimulatorsOwn);
    rig.card.set_silent(true);
    for (int i = 0; i < 30; ++i) pass();
    EXPECT_EQ(rig.space.get(0x4000, 2), kSimulatorsOwn);
    rig.card.set_silent(false);
    rig.card.set_analog_value(0, static_cast<std::uint16_t>(lever));
    for (int i = 0; i < 30; ++i) pass();
    EXPECT_EQ(rig.space.get(0x4000, 2), static_cast<std::uint64_t>(lever));
    restart();
  }
}

TEST_F(TransferCycleTest, AnAnswerNamingNoModuleDoesNotStopTheRequestsForGood) {
  ModuleRecord& m = rig.record(1);
  m.analog_offset = 0x4000;
  m.analog_offset_length = 1;
  rig.card.set_silent(true);
  int requests = 0;
  for (int i = 0; i < 60; ++i) {  // 300 ms of passes
    for (const BusReport& r : pass()) requests += r[1] == CMD_READ_ANALOG;
  }
  // Asked again once each lifetime of an unanswered request, not on every pass nor never.
  EXPECT_GE(requests, 2);
  EXPECT_LE(requests, 300 / ANALOG_ANSWER_LIFETIME.count() + 1);
  rig.card.set_silent(false);
  rig.card.set_analog_value(1, 0x1234);
  for (int i = 0; i < 25; ++i) pass();
  EXPECT_EQ(rig.cycle.module_transfer(1).analog_value, 0x1234);
  EXPECT_EQ(rig.space.get(0x4000, 2), 0x34u);  // length 1 writes the low byte only
}

TEST_F(TransferCycleTest, AnswersAreTakenByTheModuleTheyName) {
  // Module 1 has no analog input of its own, yet takes an answer addressed to it.
  rig.record(1).analog_offset = 0x4000;
  rig.record(1).analog_offset_length = 2;
  rig.card.set_silent(true);
  BusReport stray{};
  stray[5] = ANALOG_MARK;
  stray[6] = 1;
  stray[7] = 0x22;
  stray[8] = 0x11;
  rig.card.inject_answer(stray);
  pass();
  EXPECT_EQ(rig.cycle.module_transfer(0).analog_value,
            0);  // read after module 1's turn in this pass
  pass();
  EXPECT_EQ(rig.cycle.module_transfer(0).analog_value, 0x1122);
}

// Module 0 answers nothing (no module at its address); the others still get their turns.
class SilentFirstModule : public TransferCycleTest {
 protected:
  SilentFirstModule() : TransferCycleTest(3) {}
};

TEST_F(SilentFirstModule, DoesNotStarveTheOtherAnalogInputs) {
  for (int i = 0; i < 3; ++i) {
    rig.record(i).analog_offset = static_cast<std::uint16_t>(0x4000 + 2 * i);
    rig.record(i).analog_offset_length = 2;
  }
  rig.record(0).address = 99;
  std::map<int, int> asked;  // address -> requests
  for (int i = 0; i < 100; ++i) {
    for (const BusReport& r : pass()) asked[r[2]] += r[1] == CMD_READ_ANALOG;
  }
  EXPECT_EQ(rig.cycle.module_transfer(1).analog_value, 1001);
  EXPECT_EQ(rig.cycle.module_transfer(2).analog_value, 1002);
  EXPECT_GE(asked[2], 2);
  EXPECT_GE(asked[3], 2);
}

TEST_F(TransferCycleTest, AnalogInputsOfEveryLengthAreAskedAndLongOnesZeroExtended) {
  struct Case {
    std::uint8_t length;
    std::uint64_t after;  // the 8 bytes at the offset once the value 1000 (0x3E8) is written
  };
  for (const Case c : {Case{1, 0xFFFFFFFFFFFFFFE8}, Case{2, 0xFFFFFFFFFFFF03E8},
                       Case{4, 0xFFFFFFFF000003E8}, Case{8, 0x3E8}, Case{3, ~0ull}}) {
    ModuleRecord& m = rig.record(0);
    m.analog_offset = 0x4000;
    m.analog_offset_length = c.length;
    const Reports asking = pass();
    EXPECT_NE(std::find(asking.begin(), asking.end(), make_report(CMD_READ_ANALOG, 1, 0)),
              asking.end())
        << int{c.length};
    set(0x4000, 8, ~0ull);
    pass();  // the value received in the pass before
    EXPECT_EQ(rig.space.get(0x4000, 8), c.after) << int{c.length};
  }
}

TEST_F(TransferCycleTest, AGaugeDrivenByACalibrationWindowIsLeftToItThenSentAgain) {
  set_linear_gauge(rig.record(1), 1, 0x1000, 2);
  set_linear_gauge(rig.record(1), 2, 0x1002, 2);
  set(0x1000, 2, 100);
  set(0x1002, 2, 50);
  rig.cycle.set_hand_driven_gauge(2 * 1 + 0);  // module 1, gauge 1
  EXPECT_EQ(pass(), Reports{make_report(CMD_SET_POSITION_2, 2, 50)});
  set(0x1000, 2, 101);
  EXPECT_EQ(pass(), Reports{});
  set(0x1000, 2, 100);
  rig.bus.send(CMD_SET_POSITION_1, 2, 33);  // the window's slider
  rig.cycle.set_hand_driven_gauge(-1);
  EXPECT_EQ(pass(), Reports{make_report(CMD_SET_POSITION_1, 2, 100)});
  EXPECT_EQ(pass(), Reports{});
}

// An Env on virtual time that, once armed, requests a stop during its n-th sleep.
class StoppingEnv final : public Env {
 public:
  StoppingEnv(FakeEnv& inner, std::stop_source& source) : inner_(inner), source_(source) {}
  void stop_at_sleep(int n) {
    stop_at_ = n;
    sleeps_ = 0;
    inner_.clear_sleeps();
  }
  std::int64_t now_ms() override { return inner_.now_ms(); }
  bool sleep_for(Millis ms, std::stop_token stop) override {
    if (++sleeps_ == stop_at_) source_.request_stop();
    return inner_.sleep_for(ms, stop);
  }
  Worker start_thread(std::function<void(std::stop_token)> body) override {
    return inner_.start_thread(std::move(body));
  }

 private:
  FakeEnv& inner_;
  std::stop_source& source_;
  int stop_at_ = 0;
  int sleeps_ = 0;
};

TEST(TransferCycleStop, AStopEndsThePassBetweenModules) {
  FakeEnv fake;
  std::stop_source source;
  StoppingEnv env(fake, source);
  TransferRig rig(env, 3);
  env.stop_at_sleep(2);
  for (int i = 0; i < 3; ++i) set_linear_gauge(rig.record(i), 1, 0x1000, 2);
  rig.space.set(0x1000, 2, 50);
  rig.cycle.set_first_pass();
  EXPECT_FALSE(rig.cycle.run_pass(source.get_token()));
  // Module 0 was delivered; the stop came in the wait before module 1.
  EXPECT_EQ(rig.card.received(), (Reports{make_report(CMD_SET_POSITION_1, 1, 50)}));
  EXPECT_EQ(fake.sleeps(), (std::vector<std::int64_t>{500, 500}));
  // A restart begins with a fresh pass, still the first one, and sends only what differs.
  rig.card.clear_received();
  EXPECT_TRUE(rig.cycle.run_pass(std::stop_token{}));
  EXPECT_EQ(rig.card.received(), (Reports{make_report(CMD_SET_POSITION_1, 2, 50),
                                          make_report(CMD_SET_POSITION_1, 3, 50)}));
  EXPECT_EQ(fake.sleeps().size(), 2u + 4u);
}

TEST(TransferCycleExchange, OneExchangeWithTheSimulatorPerPass) {
  FakeEnv env;
  TransferRig rig(env, MAX_MODULES);
  for (int i = 0; i < MAX_MODULES; ++i) {
    set_linear_gauge(rig.record(i), 1, 0x1000, 2);
    set_linear_gauge(rig.record(i), 2, 0x1002, 8);
  }
  const int before = rig.transport.exchanges;
  rig.cycle.run_pass(std::stop_token{});
  EXPECT_EQ(rig.transport.exchanges - before, 1);
}

// The transfer thread beside the main thread's hand commands and the link monitor, all on the
// same card, bus sender, simulator link and module table.
TEST(TransferCycleThreads, RunsBesideHandCommandsAndTheLinkMonitor) {
  SystemEnv env;
  TransferRig rig(env, 3);
  for (int i = 0; i < 3; ++i) set_linear_gauge(rig.record(i), 1, 0x1000, 2);
  std::atomic<bool> link_up{true};
  LinkMonitor monitor(env, rig.ipc, link_up, [](const LinkLabel&) {});
  Worker transfer = env.start_thread([&](std::stop_token stop) { rig.cycle.run(stop); });
  Worker link = env.start_thread([&](std::stop_token stop) { monitor.run(stop); });

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::uint64_t value = 1;
  while (std::chrono::steady_clock::now() < deadline) {
    rig.space.set(0x1000, 2, value);
    rig.bus.send(CMD_SET_OUTPUT_1, 2, static_cast<std::uint8_t>(value));        // a hand test
    rig.record(2).gauges[0].course_min = static_cast<std::uint8_t>(value % 3);  // an edit
    if (rig.card.modules()[0].position1 == value && ++value > 50) break;
    std::this_thread::yield();
  }
  transfer.stop_and_join();
  link.stop_and_join();
  EXPECT_GT(value, 50u);
}

}  // namespace
}  // namespace kavri
