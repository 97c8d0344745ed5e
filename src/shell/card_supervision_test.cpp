// The card pulled out and plugged back in while the driver runs, on virtual time with the
// virtual card and an in-process simulator: the loss is shown and stops all traffic, the
// return explores the bus again and sends every needle again, and nothing else changes.
#include "shell/card_supervision.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

#include "procedures/calibration_windows.h"
#include "procedures/parameter_window.h"
#include "procedures/progress_window.h"
#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "testing/client_writes.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

using testing::read_file;
using testing::ShellRig;
using testing::write_file;

// The rig's layer, with a count of the writes that reach any card it opened, and a hook run
// before each of them.
class WatchedLayer final : public HidLayer {
 public:
  explicit WatchedLayer(HidLayer& inner) : inner_(inner) {}
  std::unique_ptr<HidCard> open(const HidSought& sought) override {
    std::unique_ptr<HidCard> card = inner_.open(sought);
    if (!card) return nullptr;
    return std::make_unique<Watched>(std::move(card), *this);
  }
  std::atomic<int> writes{0};
  std::function<void(const BusReport&)> before_write;

 private:
  class Watched final : public HidCard {
   public:
    Watched(std::unique_ptr<HidCard> card, WatchedLayer& layer)
        : card_(std::move(card)), layer_(layer) {}
    HidStatus write_report(std::span<const std::uint8_t> report) override {
      ++layer_.writes;
      BusReport command{};
      std::copy_n(report.begin(), std::min(report.size(), command.size()), command.begin());
      if (layer_.before_write) layer_.before_write(command);
      return card_->write_report(report);
    }
    HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
      return card_->read_report(report, timeout_ms);
    }

   private:
    std::unique_ptr<HidCard> card_;
    WatchedLayer& layer_;
  };
  HidLayer& inner_;
};

constexpr std::uint16_t kSpeedOffset = 0x0BC0;
constexpr std::uint16_t kFlapOffset = 0x0BC2;  // stays 0: its needle's position is 0
constexpr std::uint16_t kThrottleOffset = 0x088C;

class CardUnplug : public ::testing::Test {
 protected:
  // Module 12: two linear needles; module 20: a linear needle on the same value, and a lever.
  CardUnplug()
      : rig({testing::linear_module(12, kSpeedOffset, kFlapOffset),
             testing::with_lever(testing::linear_module(20, kSpeedOffset), kThrottleOffset,
                                 8192)}) {
    rig.serve_simulator(sim_writes.observer());
    rig.space.set(kSpeedOffset, 2, 8192);  // half way on both linear needles
    write_file(rig.file("Kavri.ini"), "backlight = 6\r\nmode_reduit = 0\r\n");
  }

  void start() {
    state = start_up(DriverPorts{rig.env, rig.ui, layer, *rig.transport, rig.files.path(), {}, {}});
    ASSERT_NE(state, nullptr);
  }

  bool pass_until(const std::function<bool()>& done) { return ShellRig::pass_until(*state, done); }

  bool card_shown_absent() const { return rig.ui.text(MainControl::card_label) == "Carte absente"; }

  // The reports the card received that set a needle of module `address`, as (code, data).
  std::vector<std::pair<int, int>> positions_of(std::uint8_t address) const {
    std::vector<std::pair<int, int>> found;
    for (const BusReport& r : rig.card.received()) {
      if ((r[1] == CMD_SET_POSITION_1 || r[1] == CMD_SET_POSITION_2) && r[2] == address) {
        found.emplace_back(r[1], r[3]);
      }
    }
    return found;
  }

  // The half-way value's needle position, once both modules show it.
  bool needles_sent() {
    const auto modules = rig.card.modules();
    half_way = modules[0].position1;
    return half_way != 0 && modules[1].position1 == half_way;
  }

  testing::ClientWrites sim_writes;  // the simulator's record: it outlives the rig's link
  ShellRig rig;
  WatchedLayer layer{rig.hid};
  std::unique_ptr<AppState> state;
  int half_way = 0;
};

TEST_F(CardUnplug, EachUnplugStopsTheTrafficAndEachReplugBringsTheNeedlesBack) {
  start();
  ASSERT_TRUE(pass_until([&] { return needles_sent(); }));
  EXPECT_EQ(rig.ui.text(MainControl::card_label), "");

  for (int cycle = 0; cycle < 3; ++cycle) {
    SCOPED_TRACE(cycle);
    rig.card.set_unplugged(true);
    ASSERT_TRUE(pass_until([&] { return card_shown_absent(); }));
    EXPECT_EQ(rig.ui.control(MainControl::card_label)->background, (Rgb{255, 165, 0}));
    EXPECT_TRUE(state->link_up.load());  // the link is left alone
    EXPECT_FALSE(state->transfer_thread.joinable());
    const int writes = layer.writes;
    const std::int64_t lost_at = rig.env.now_ms();
    ASSERT_TRUE(pass_until([&] { return rig.env.now_ms() > lost_at + 5000; }));
    EXPECT_EQ(layer.writes, writes);  // nothing tried to reach a card meanwhile
    EXPECT_EQ(rig.ui.item_count(MainControl::module_selector), 3);  // the modules known stay shown

    rig.card.clear_received();
    rig.card.set_unplugged(false);
    ASSERT_TRUE(pass_until([&] { return positions_of(20).size() == 1; }));
    const std::vector<BusReport> sent = rig.card.received();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], BusReport{});  // CMD_EXPLORE first
    EXPECT_TRUE(std::find(sent.begin(), sent.end(), make_report(CMD_SET_BACKLIGHT, 50, 102)) !=
                sent.end());
    // Every needle again, the one at 0 too, although none moved.
    const std::vector<std::pair<int, int>> module12{{CMD_SET_POSITION_1, half_way},
                                                    {CMD_SET_POSITION_2, 0}};
    EXPECT_EQ(positions_of(12), module12);
    EXPECT_EQ(positions_of(20), (std::vector<std::pair<int, int>>{{CMD_SET_POSITION_1, half_way}}));
    EXPECT_EQ(rig.ui.text(MainControl::card_label), "");
    EXPECT_FALSE(rig.ui.control(MainControl::card_label)->background);
    EXPECT_FALSE(rig.ui.window_exists(PROGRESS_WINDOW));
    EXPECT_EQ(rig.ui.item_count(MainControl::module_selector), 3);
    EXPECT_EQ(rig.ui.text(MainControl::module_count_label), "Nombre de modules : 2");
    EXPECT_TRUE(state->transfer_thread.joinable());

    rig.space.set(kSpeedOffset, 2, 16383);  // the transfer goes on as before
    ASSERT_TRUE(pass_until([&] { return rig.card.modules()[1].position1 == 255; }));
    rig.space.set(kSpeedOffset, 2, 8192);
  }

  rig.ui.user_close(MAIN_WINDOW);
  ASSERT_TRUE(ShellRig::pass_to_the_end(*state));
  shut_down(*state);
  EXPECT_EQ(read_file(rig.file("Kavri.ini")), "backlight = 6\r\nmode_reduit = 0\r\n");
  EXPECT_FALSE(testing::file_exists(rig.file("Calibrage.ini")));
  EXPECT_TRUE(rig.ui.messages().empty());
}

// After a replug the lever's value goes to the simulator only once its module answered on the
// bus explored again: never the 0 its value starts the new bus with.
TEST_F(CardUnplug, TheLeverIsWrittenOnlyOnceItsModuleAnsweredAfterAReplug) {
  start();
  ASSERT_TRUE(pass_until([&] { return !sim_writes.values_at(kThrottleOffset).empty(); }));
  rig.card.set_unplugged(true);
  ASSERT_TRUE(pass_until([&] { return card_shown_absent(); }));
  rig.card.set_analog_value(1, 4096);
  sim_writes.clear();
  rig.card.set_unplugged(false);
  ASSERT_TRUE(pass_until([&] { return sim_writes.values_at(kThrottleOffset).size() >= 2; }));
  for (const std::uint64_t value : sim_writes.values_at(kThrottleOffset)) EXPECT_EQ(value, 4096u);
  shut_down(*state);
}

// A calibration window holds module 12's first needle: after a replug it drives the needle
// again to the slider it last moved, as the transfer does every other needle.
TEST_F(CardUnplug, AnOpenCalibrationWindowDrivesItsNeedleAgainAfterAReplug) {
  start();
  ASSERT_TRUE(pass_until([&] { return needles_sent(); }));
  open_calibration_window(state->windows, CalibrationKind::fuel, {0, "12", 0});
  constexpr int kFuelSlider50 = 133;
  rig.ui.user_move_slider(kFuelSlider50, 77);
  ASSERT_TRUE(pass_until([&] { return rig.card.modules()[0].position1 == 77; }));

  rig.card.set_unplugged(true);
  ASSERT_TRUE(pass_until([&] { return card_shown_absent(); }));
  rig.card.clear_received();
  rig.card.set_unplugged(false);
  ASSERT_TRUE(pass_until([&] { return positions_of(20).size() == 1; }));
  EXPECT_EQ(positions_of(12),
            (std::vector<std::pair<int, int>>{{CMD_SET_POSITION_1, 77}, {CMD_SET_POSITION_2, 0}}));
  shut_down(*state);
}

TEST_F(CardUnplug, DuringTheExplorationItEndsQuietlyAndStartsAgainOnTheReturn) {
  bool unplugged_once = false;
  layer.before_write = [&](const BusReport& command) {
    if (command[1] != CMD_DUMP_PARAMS || std::exchange(unplugged_once, true)) return;
    rig.card.set_unplugged(true);
  };
  start();
  ASSERT_TRUE(pass_until([&] { return card_shown_absent(); }));
  EXPECT_FALSE(rig.ui.window_exists(PROGRESS_WINDOW));
  EXPECT_FALSE(state->fatal.pending());

  rig.card.set_unplugged(false);
  ASSERT_TRUE(pass_until([&] { return needles_sent(); }));
  EXPECT_EQ(rig.ui.item_count(MainControl::module_selector), 3);  // "50", 12 and 20, each once
  EXPECT_EQ(rig.ui.item_text(MainControl::module_selector, 2), "20");
  EXPECT_EQ(rig.ui.selection(MainControl::module_selector), 0);
  EXPECT_EQ(rig.ui.item_count(MainControl::type_bytes_list), 2);
  EXPECT_EQ(state->modules.module_count, 2);
  EXPECT_TRUE(rig.ui.messages().empty());
  shut_down(*state);
}

// Between the unplug and the return, module 12 was given address 30 (by another tool): a
// parameter window opened for it closes with a message; one for module 20 stays.
TEST_F(CardUnplug, AParameterWindowWhoseModuleIsGoneClosesWithAMessage) {
  start();
  ASSERT_TRUE(pass_until([&] { return needles_sent(); }));
  for (int entry : {2, 1}) {
    SCOPED_TRACE(entry);
    rig.ui.user_select(MainControl::module_selector, entry);
    ASSERT_TRUE(pass_until([&] { return rig.ui.enabled(MainControl::parameters_button); }));
    rig.ui.user_press(MainControl::parameters_button);
    ASSERT_TRUE(pass_until([&] { return rig.ui.window_exists(PARAMETER_WINDOW); }));
    if (entry == 1) rig.card.write_report(make_report(CMD_SET_ADDRESS, 12, 30));
    rig.card.set_unplugged(true);
    ASSERT_TRUE(pass_until([&] { return card_shown_absent(); }));
    EXPECT_TRUE(rig.ui.window_exists(PARAMETER_WINDOW));  // kept while the card is away
    rig.card.set_unplugged(false);
    ASSERT_TRUE(pass_until([&] { return state->card_session.bus_explored; }));
    EXPECT_EQ(rig.ui.window_exists(PARAMETER_WINDOW), entry == 2);
  }
  const std::vector<std::pair<std::string, std::string>> messages{
      {"Erreur", "Le module 12 n'est plus sur le bus : la fenêtre Paramétrages est fermée"}};
  EXPECT_EQ(rig.ui.messages(), messages);
  EXPECT_EQ(rig.ui.item_text(MainControl::module_selector, 1), "30");
  shut_down(*state);
}

}  // namespace
}  // namespace kavri
