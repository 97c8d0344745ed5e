// The driver's start-up, its normal and fatal ends, and the settings file, run whole on virtual
// time with the virtual card and the headless toolkit.
#include "shell/driver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "procedures/calibration_windows.h"
#include "procedures/parameter_window.h"
#include "procedures/progress_window.h"
#include "shell/main_loop.h"
#include "shell/main_window.h"
#include "shell/settings_file.h"
#include "testing/eventually.h"
#include "testing/fake_hid_list.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

using testing::module_at;
using testing::read_file;
using testing::ShellRig;
using testing::write_file;

// FakeEnv, plus a look at the world whenever the main thread starts a sleep.
class WatchedEnv final : public Env {
 public:
  WatchedEnv(FakeEnv& inner, std::function<void(Millis)> on_main_sleep)
      : inner_(inner), on_main_sleep_(std::move(on_main_sleep)) {}
  std::int64_t now_ms() override { return inner_.now_ms(); }
  bool sleep_for(Millis ms, std::stop_token stop) override {
    if (std::this_thread::get_id() == main_) on_main_sleep_(ms);
    return inner_.sleep_for(ms, std::move(stop));
  }
  Worker start_thread(std::function<void(std::stop_token)> body) override {
    return inner_.start_thread(std::move(body));
  }

 private:
  FakeEnv& inner_;
  std::function<void(Millis)> on_main_sleep_;
  std::thread::id main_ = std::this_thread::get_id();
};

struct SleepSeen {
  std::int64_t ms;
  bool progress_window_open;
  std::size_t reports_sent;
};

TEST(StartUp, SendsOneZeroReportAfterTheOneSecondPauseThatFollowsTheProgressWindow) {
  ShellRig rig;
  std::vector<SleepSeen> sleeps;
  WatchedEnv env(rig.env, [&](Millis ms) {
    sleeps.push_back(
        {ms.count(), rig.ui.window_exists(PROGRESS_WINDOW), rig.card.received().size()});
  });
  DriverPorts ports = rig.ports();
  DriverPorts watched{env, ports.ui, ports.hid, ports.ipc_transport, ports.directory, {}, {}};
  std::unique_ptr<AppState> state = start_up(watched);
  ASSERT_NE(state, nullptr);
  ASSERT_FALSE(sleeps.empty());
  EXPECT_EQ(sleeps[0].ms, 1000);
  EXPECT_TRUE(sleeps[0].progress_window_open);
  EXPECT_EQ(sleeps[0].reports_sent, 0u);

  ASSERT_TRUE(ShellRig::wait_for_exploration(*state));
  const std::vector<BusReport> sent = rig.card.received();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], BusReport{});          // CMD_EXPLORE: nine zero bytes
  EXPECT_EQ(sent[1][1], CMD_RESET_MODULE);  // the next report is already the exploration's

  // The main window as the start-up leaves it.
  HeadlessToolkit& ui = rig.ui;
  EXPECT_EQ(ui.text(MainControl::version_label), "7.074");
  EXPECT_EQ(ui.value(MainControl::position_slider_1), 127);
  EXPECT_EQ(ui.value(MainControl::position_slider_2), 127);
  EXPECT_EQ(ui.text(MainControl::value_field_1), "127");
  EXPECT_EQ(ui.text(MainControl::value_field_2), "");
  EXPECT_EQ(ui.item_text(MainControl::module_selector, 0), "50");
  for (int list : {MainControl::output_list_1, MainControl::output_list_2}) {
    ASSERT_EQ(ui.item_count(list), 3);
    EXPECT_EQ(ui.item_text(list, 2), "-1");
    EXPECT_EQ(ui.selection(list), 0);
  }
  for (int button : {MainControl::parameters_button, MainControl::set_min_1, MainControl::set_max_1,
                     MainControl::set_min_2, MainControl::set_max_2}) {
    EXPECT_FALSE(ui.enabled(button)) << button;
  }
  shut_down(*state);
}

// No card at all, or a card whose node this user may not open: the same message, and in the
// second case the reason on standard error.
TEST(StartUp, WithoutACardThatOpensShowsTheMessageOnlyAndLeavesTheSettingsAlone) {
  LentCardLayer no_card(nullptr);
  testing::FakeMachine machine({{{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0100}, EACCES}});
  const std::unique_ptr<HidLayer> locked_card = testing::fake_hid_layer(machine);
  for (HidLayer* layer : {static_cast<HidLayer*>(&no_card), locked_card.get()}) {
    ShellRig rig;
    const std::string settings = "backlight = 3\r\n; gardé\r\n[autre]\r\nclef=1";
    write_file(rig.file("Kavri.ini"), settings);
    DriverPorts ports = rig.ports();
    DriverPorts unplugged{ports.env,       ports.ui, *layer, ports.ipc_transport,
                          ports.directory, {},       {}};

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run_driver(unplugged), DriverEnd::no_card);
    const std::string err = ::testing::internal::GetCapturedStderr();
    using Message = std::pair<std::string, std::string>;
    const std::vector<Message> expected{{"Erreur", "Je ne trouve pas la carte Kavri"}};
    EXPECT_EQ(rig.ui.messages(), expected);
    EXPECT_FALSE(rig.ui.window_exists(MAIN_WINDOW));
    EXPECT_FALSE(rig.ui.window_exists(PROGRESS_WINDOW));
    EXPECT_EQ(read_file(rig.file("Kavri.ini")), settings);
    EXPECT_FALSE(std::filesystem::exists(rig.file("Calibrage.ini")));
    if (layer == &no_card) {
      EXPECT_EQ(err, "");
    } else {
      EXPECT_EQ(err,
                "kavri: the Kavri card at /dev/hidraw0 cannot be opened: permission denied; "
                "install the udev rule /etc/udev/rules.d/70-kavri.rules, then unplug the card "
                "and plug it back in\n");
    }
  }
}

struct ReducedStartCase {
  const char* file;
  bool minimised;
};

class ReducedStart : public ::testing::TestWithParam<ReducedStartCase> {};

TEST_P(ReducedStart, OnlyExactlyOneMinimisesTheMainWindow) {
  ShellRig rig;
  write_file(rig.file("Kavri.ini"), GetParam().file);
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(rig.ui.minimised(MAIN_WINDOW), GetParam().minimised);
  EXPECT_EQ(rig.ui.value(MainControl::reduced_start_box), GetParam().minimised ? 1 : 0);
  shut_down(*state);
}

INSTANTIATE_TEST_SUITE_P(Values, ReducedStart,
                         ::testing::Values(ReducedStartCase{"mode_reduit = 1\r\n", true},
                                           ReducedStartCase{"MODE_REDUIT=1", true},
                                           ReducedStartCase{"mode_reduit = 2\r\n", false},
                                           ReducedStartCase{"mode_reduit = 0\r\n", false},
                                           ReducedStartCase{"backlight = 4\r\n", false}));

// Waits for the exploration, then lets `act` play the user before the first pass.
std::function<void(AppState&)> after_exploration(std::function<void(HeadlessToolkit&)> act,
                                                 HeadlessToolkit& ui) {
  return [act = std::move(act), &ui](AppState& state) {
    ASSERT_TRUE(ShellRig::wait_for_exploration(state));
    act(ui);
  };
}

TEST(NormalEnd, RewritesTheSettingsWithExactlyTheTwoKeysAndSendsTheSavedBacklightOnce) {
  ShellRig rig;
  write_file(rig.file("Kavri.ini"),
             "; ancien\r\nbacklight = 20\r\nmode_reduit = 1\r\n[groupe]\r\nclef = 1\r\n");
  DriverPorts ports = rig.ports();
  ports.on_started = after_exploration(
      [](HeadlessToolkit& ui) {
        ui.user_toggle(MainControl::reduced_start_box);  // acts at the next start only
        ui.user_close(MAIN_WINDOW);
      },
      rig.ui);
  EXPECT_EQ(run_driver(ports), DriverEnd::normal);

  EXPECT_EQ(read_file(rig.file("Kavri.ini")), "backlight = 15\r\nmode_reduit = 0\r\n");
  EXPECT_TRUE(rig.ui.minimised(MAIN_WINDOW));
  EXPECT_FALSE(rig.ui.window_exists(PROGRESS_WINDOW));
  int backlights = 0;
  for (const BusReport& r : rig.card.received()) {
    if (r[1] != CMD_SET_BACKLIGHT) continue;
    ++backlights;
    EXPECT_EQ(r[2], COMMON_ADDRESS);
    EXPECT_EQ(r[3], 255);
  }
  EXPECT_EQ(backlights, 1);
}

// The link to a relay is only read by the driver: the rewrite at the end must not lose it.
TEST(NormalEnd, KeepsTheLinkEntriesAsTheyWereRead) {
  ShellRig rig;
  write_file(rig.file("Kavri.ini"),
             "link = sim.local:9017\r\nlink_key_file = C:\\k\\relay.key\r\n");
  DriverPorts ports = rig.ports();
  ports.on_started =
      after_exploration([](HeadlessToolkit& ui) { ui.user_close(MAIN_WINDOW); }, rig.ui);
  EXPECT_EQ(run_driver(ports), DriverEnd::normal);
  const Settings kept = read_settings(rig.file("Kavri.ini")).settings;
  EXPECT_EQ(kept.link, "sim.local:9017");
  EXPECT_EQ(kept.link_key_file, "C:\\k\\relay.key");
}

TEST(NormalEnd, WithoutASettingsFileStartsAtZeroAndCreatesIt) {
  ShellRig rig;
  DriverPorts ports = rig.ports();
  ports.on_started =
      after_exploration([](HeadlessToolkit& ui) { ui.user_close(MAIN_WINDOW); }, rig.ui);
  EXPECT_EQ(run_driver(ports), DriverEnd::normal);
  EXPECT_EQ(read_file(rig.file("Kavri.ini")), "backlight = 0\r\nmode_reduit = 0\r\n");
}

// A settings file that can be read but not written. POSIX: a link to a folder that does not
// exist (nothing to read, no file can be made there; root writes read-only files). Windows: a
// read-only file, which every user is refused to write.
void make_settings_unwritable(ShellRig& rig) {
  const std::string path = rig.file("Kavri.ini");
#ifdef _WIN32
  write_file(path, "backlight = 0\r\nmode_reduit = 0\r\n");
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_write | perms::group_write | perms::others_write,
                               std::filesystem::perm_options::remove);
#else
  std::filesystem::create_symlink(rig.file("missing/Kavri.ini"), path);
#endif
}

TEST(NormalEnd, ASettingsFileThatCannotBeWrittenIsReported) {
  ShellRig rig;
  make_settings_unwritable(rig);
  DriverPorts ports = rig.ports();
  ports.on_started =
      after_exploration([](HeadlessToolkit& ui) { ui.user_close(MAIN_WINDOW); }, rig.ui);
  EXPECT_EQ(run_driver(ports), DriverEnd::normal);
  ASSERT_EQ(rig.ui.messages().size(), 1u);
  EXPECT_EQ(rig.ui.messages()[0].second,
            "Je ne peux pas enregistrer les réglages dans le fichier " + rig.file("Kavri.ini"));
}

// A settings file that exists but cannot be read is not the driver's to replace: the run starts
// from the defaults, says so once, and saves nothing over it.
TEST(NormalEnd, ASettingsFileThatCannotBeReadIsToldOnceAndLeftAsItIs) {
  const std::string cases[] = {
      std::string("\xFF\xFE"
                  "b\0=\0"
                  "9",
                  7),  // UTF-16 of an odd length
      std::string("\xFE\xFF"
                  "\0b\0=\xD8\0\0"
                  "9",
                  10),  // an unpaired surrogate
      "\xFF\xFE"
      "backlight = 9\r\nmode_reduit = 1\r\n",  // plain text behind a mark
  };
  for (const std::string& bytes : cases) {
    ShellRig rig;
    write_file(rig.file("Kavri.ini"), bytes);
    DriverPorts ports = rig.ports();
    ports.on_started = after_exploration(
        [](HeadlessToolkit& ui) {
          ui.user_move_slider(MainControl::backlight_slider, 4);
          ui.user_close(MAIN_WINDOW);
        },
        rig.ui);
    EXPECT_EQ(run_driver(ports), DriverEnd::normal);
    EXPECT_EQ(read_file(rig.file("Kavri.ini")), bytes);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_TRUE(rig.ui.messages()[0].second.starts_with("Je ne peux pas lire le fichier " +
                                                        rig.file("Kavri.ini")));
  }
}

TEST(NormalEnd, TheTimeLimitEndsTheRunAsAClose) {
  ShellRig rig;
  DriverPorts ports = rig.ports();
  ports.on_started = after_exploration([](HeadlessToolkit&) {}, rig.ui);
  ports.close_at_ms = 60'000;
  EXPECT_EQ(run_driver(ports), DriverEnd::normal);
  EXPECT_GE(rig.env.now_ms(), 60'000);
  EXPECT_TRUE(std::filesystem::exists(rig.file("Kavri.ini")));
}

// The user opens the parameter window of the first module.
void open_parameter_window(AppState& state, HeadlessToolkit& ui) {
  const auto pass_until = [&state](const std::function<bool()>& done) {
    return ShellRig::pass_until(state, done);
  };
  ASSERT_TRUE(pass_until([&] { return state.card_session.bus_explored; }));
  ui.user_select(MainControl::module_selector, 1);
  ASSERT_TRUE(pass_until([&] { return ui.enabled(MainControl::parameters_button); }));
  ui.user_press(MainControl::parameters_button);
  ASSERT_TRUE(pass_until([&] { return ui.window_exists(PARAMETER_WINDOW); }));
}

// ... and writes its EEPROM.
void start_eeprom_write(AppState& state, HeadlessToolkit& ui) {
  ASSERT_NO_FATAL_FAILURE(open_parameter_window(state, ui));
  ui.user_press(ParameterControl::write_button);
  ASSERT_TRUE(ShellRig::pass_until(state, [&] { return state.windows.eeprom.running(); }));
}

// An end by signal: nobody may be there to click. The strap box of a write asked for meanwhile
// is cancelled (nothing is written), and a settings file that cannot be written is told on
// standard error: no box is shown.
TEST(EndBySignal, NoBoxWaitsAndACancelledStrapBoxWritesNothing) {
  ShellRig rig({module_at(12, 14)});
  make_settings_unwritable(rig);
  bool signalled = false;
  DriverPorts ports = rig.ports();
  ports.end_requested = [&signalled] { return signalled; };
  std::unique_ptr<AppState> state = start_up(ports);
  ASSERT_NE(state, nullptr);
  ASSERT_NO_FATAL_FAILURE(open_parameter_window(*state, rig.ui));
  rig.card.clear_received();
  signalled = true;
  ::testing::internal::CaptureStderr();
  rig.ui.user_press(ParameterControl::write_button);
  EXPECT_EQ(run_main_loop(*state, std::nullopt, ports.end_requested), LoopEnd::closed);
  shut_down(*state);
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(rig.ui.messages().empty());
  EXPECT_NE(told.find("Mettre le strap de configuration"), std::string::npos) << told;
  EXPECT_NE(told.find("Je ne peux pas enregistrer les réglages"), std::string::npos) << told;
  for (const BusReport& r : rig.card.received()) {
    EXPECT_FALSE(r[1] >= CMD_WRITE_PARAM_FIRST && r[1] <= CMD_WRITE_PARAM_LAST) << int{r[1]};
  }
}

enum class EndBy { main_window, oat_window, time_limit };

class EndDuringAnEepromWrite : public ::testing::TestWithParam<EndBy> {};

// However the end comes, the write runs to its last report first: cut short, it would leave the
// module's EEPROM half written and without its address.
TEST_P(EndDuringAnEepromWrite, WaitsForTheWholeWrite) {
  ShellRig rig({module_at(12, 14)});  // gauge 1 of the OAT kind: its calibration window
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_NE(state, nullptr);
  start_eeprom_write(*state, rig.ui);

  std::optional<std::int64_t> close_at_ms;
  switch (GetParam()) {
    case EndBy::main_window:
      rig.ui.user_close(MAIN_WINDOW);
      break;
    case EndBy::oat_window:
      rig.ui.user_press(ParameterControl::calibrate_1_button);
      ASSERT_TRUE(ShellRig::pass_until(*state, [&] { return rig.ui.window_exists(OAT_WINDOW); }));
      rig.ui.user_close(OAT_WINDOW);
      break;
    case EndBy::time_limit:
      close_at_ms = rig.env.now_ms();
      break;
  }
  ASSERT_TRUE(ShellRig::pass_to_the_end(*state, close_at_ms));
  shut_down(*state);

  int parameter_reports = 0;
  for (const BusReport& r : rig.card.received()) {
    if (r[1] >= CMD_WRITE_PARAM_FIRST && r[1] <= CMD_WRITE_PARAM_LAST) ++parameter_reports;
  }
  EXPECT_EQ(parameter_reports, PARAM_COUNT);
  EXPECT_EQ(rig.card.received().back(), make_report(CMD_SET_ADDRESS, 12, 12));
  EXPECT_TRUE(testing::file_exists(rig.file("Kavri.ini")));
}

std::string end_name(const ::testing::TestParamInfo<EndBy>& info) {
  switch (info.param) {
    case EndBy::main_window:
      return "main_window";
    case EndBy::oat_window:
      return "oat_window";
    case EndBy::time_limit:
      break;
  }
  return "time_limit";
}

INSTANTIATE_TEST_SUITE_P(Ends, EndDuringAnEepromWrite,
                         ::testing::Values(EndBy::main_window, EndBy::oat_window,
                                           EndBy::time_limit),
                         end_name);

// A card that stops taking reports in the middle of an EEPROM write, with the transfer running:
// every wait on it is bounded, so the end comes about a second after the close. The time is
// printed, not asserted (the machines are shared); a hang would fail the test.
TEST(NormalEnd, ACardThatStopsTakingReportsCannotHoldUpTheEnd) {
  ShellRig rig({testing::linear_module(12, 0x0BC0)});
  rig.serve_simulator();
  rig.space.set(0x0BC0, 2, 8192);
  std::unique_ptr<AppState> state = start_up(rig.ports());
  ASSERT_NE(state, nullptr);
  ASSERT_TRUE(ShellRig::pass_until(*state, [&] { return rig.card.modules()[0].position1 != 0; }));
  start_eeprom_write(*state, rig.ui);

  rig.card.set_writes_block(true);
  rig.ui.user_close(MAIN_WINDOW);
  const auto closed = std::chrono::steady_clock::now();
  ASSERT_TRUE(ShellRig::pass_to_the_end(*state));
  shut_down(*state);
  const auto took = std::chrono::steady_clock::now() - closed;
  std::printf(
      "end with a card that takes no report: %lld ms from the close to the shutdown's end\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_EQ(rig.ui.messages().back(),
            (std::pair<std::string, std::string>{
                "Erreur", "Écriture interrompue : la carte Kavri a été débranchée"}));
  EXPECT_EQ(read_file(rig.file("Kavri.ini")), "backlight = 0\r\nmode_reduit = 0\r\n");

  // The write left hanging ends once the card takes reports again; the rig may then go.
  rig.card.set_writes_block(false);
  ASSERT_TRUE(testing::eventually([&] { return state->card.reopenable(); }));
}

struct FatalCase {
  std::vector<VirtualModule> modules;
  std::uint8_t failing_address;
  std::pair<std::string, std::string> message;
};

class FatalEnd : public ::testing::TestWithParam<FatalCase> {};

TEST_P(FatalEnd, ShowsTheMessageAndSavesNothing) {
  ShellRig rig(GetParam().modules);
  if (GetParam().failing_address != 0) rig.card.set_module_error(GetParam().failing_address);
  write_file(rig.file("Kavri.ini"), "backlight = 7\r\n");
  DriverPorts ports = rig.ports();
  // The loop's passes move the virtual clock too; starting them once the answer is in keeps the
  // exploration's answer time-out out of this test.
  ports.on_started = [](AppState& state) {
    testing::eventually([&] { return state.fatal.pending(); }, std::chrono::seconds(30));
  };
  EXPECT_EQ(run_driver(ports), DriverEnd::fatal);
  ASSERT_EQ(rig.ui.messages().size(), 1u);
  EXPECT_EQ(rig.ui.messages()[0], GetParam().message);
  EXPECT_EQ(read_file(rig.file("Kavri.ini")), "backlight = 7\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FatalEnd,
    ::testing::Values(FatalCase{{}, 0, {"Erreur", "Je ne trouve pas de module sur le Kavri"}},
                      FatalCase{{module_at(12, 5), module_at(7, 3)},
                                7,
                                {"Erreur de lecture",
                                 "Le module 7 n'a pas répondu correctement, relancer le driver"}}));

}  // namespace
}  // namespace kavri
