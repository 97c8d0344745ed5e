// The main window on a real display (Xvfb in CI), after the exploration of a virtual bus, with
// no simulator to link to, then with the card pulled out: the pictures in the build tree show
// what a user sees.
#include <gtest/gtest.h>

#include <cstdlib>

#include "procedures/progress_window.h"
#include "shell/driver.h"
#include "shell/main_window.h"
#include "testing/screenshot.h"
#include "testing/shell_test_rig.h"

namespace kavri {
namespace {

using testing::module_at;

TEST(MainWindowGui, ShowsTheExploredBusAndSavesAPicture) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  std::unique_ptr<Toolkit> ui = make_platform_toolkit();
  ASSERT_NE(ui, nullptr);
  ScratchDirectory files;
  testing::write_file(files.path() + "/Kavri.ini", "backlight = 9\r\n");
  SystemEnv env;
  VirtualCard card({module_at(12, 5), module_at(20, 17), module_at(33, 31)});
  LentCardLayer hid(&card);
  auto transport = make_posix_transport(PosixTransportOptions{files.path() + "/ipc"});
  std::unique_ptr<AppState> state =
      start_up(DriverPorts{env, *ui, hid, *transport, files.path(), {}, {}});
  ASSERT_NE(state, nullptr);

  // Passes until the exploration is over and the link monitor has shown the link down.
  ASSERT_TRUE(testing::ShellRig::pass_until(*state, [&] {
    return !ui->window_exists(PROGRESS_WINDOW) &&
           ui->text(MainControl::status_label) == "Déconnecté";
  }));

  EXPECT_EQ(ui->item_count(MainControl::module_selector), 4);
  EXPECT_EQ(ui->text(MainControl::module_count_label), "Nombre de modules : 3");
  EXPECT_EQ(ui->value(MainControl::backlight_slider), 9);
  EXPECT_TRUE(save_window_screenshot(KAVRI_BINARY_DIR "/screenshots/main_window.png", "Kavri"));

  // The card pulled out: the label in the room right of the reduced-start box.
  card.set_unplugged(true);
  ASSERT_TRUE(testing::ShellRig::pass_until(
      *state, [&] { return ui->text(MainControl::card_label) == "Carte absente"; }));
  EXPECT_TRUE(
      save_window_screenshot(KAVRI_BINARY_DIR "/screenshots/main_window_card_absent.png", "Kavri"));
  shut_down(*state);
}

}  // namespace
}  // namespace kavri
