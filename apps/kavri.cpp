// kavri: the driver of the Kavri gauge bus on the USB master card. It reads nothing from the
// environment and no command line beyond "--help" and "--version" alone, or the link to a relay;
// its settings are "Kavri.ini" in the current directory.
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/platform_text.h"
#include "base/standard_options.h"
#include "device/hid.h"
#include "shell/driver.h"
#include "shell/driver_lock.h"
#include "shell/end_request.h"
#include "shell/parent_console.h"
#include "shell/settings_file.h"
#include "shell/simulator_link.h"
#include "ui/toolkit.h"

namespace {

constexpr kavri::ProgramUsage KAVRI{
    "kavri",
    "usage: kavri [--link HOST:PORT --key-file FILE]\n"
    "       kavri --help | --version\n"
    "The Kavri gauge-bus driver: opens the master card (USB vendor 0xFCFD, product 0x0001),\n"
    "explores its bus of gauge modules and drives them from the flight simulator's variables.\n"
    "It keeps its settings, Kavri.ini and Calibrage.ini, in the current directory; started\n"
    "from {menu}, in {settings}.\n"
    "  --link HOST:PORT  reach the simulator on another computer through its kavri-relay\n"
    "                    (default: Kavri.ini's \"link\" entry, else this computer's simulator)\n"
    "  --key-file FILE   that relay's key (default: Kavri.ini's \"link_key_file\" entry)\n"
    "  --help            alone: show this text\n"
    "  --version         alone: show the program version\n"};

// The link of the command line, else Kavri.ini's; none for a command line it cannot read.
std::optional<kavri::LinkSetting> link_setting(int argc, char** argv) {
  if (argc > 1) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return kavri::parse_link_options(args);
  }
  const kavri::Settings settings = kavri::read_settings(kavri::SETTINGS_FILE).settings;
  return kavri::LinkSetting{settings.link, settings.link_key_file};
}

}  // namespace

int main(int argc, char** argv) {
  kavri::use_parent_console();  // a windowed program on Windows
  kavri::use_console_text();
  if (const auto answer = kavri::answer_help_or_version(argc, argv, KAVRI)) return *answer;
  const auto link = link_setting(argc, argv);
  if (!link) return kavri::usage_error(KAVRI);
  kavri::watch_end_requests();
  std::unique_ptr<kavri::Toolkit> ui = kavri::make_platform_toolkit();
  if (!ui) {
    // Without a display there is no way to show even the message box.
    std::fputs("kavri: no display to open the windows on\n", stderr);
    return 1;
  }
  kavri::SystemEnv env;
  std::unique_ptr<kavri::HidLayer> hid = kavri::make_platform_hid_layer();
  auto transport = kavri::make_simulator_link(*link);
  if (!transport) {
    std::fprintf(stderr, "kavri: %s\n", transport.error().c_str());
    ui->message_box("Erreur", transport.error());
    return 1;
  }
  kavri::DriverPorts ports{env, *ui, *hid, **transport, "", {}, {}};
  ports.end_requested = kavri::end_requested;
  ports.card_lock = kavri::card_lock_name();
  return kavri::exit_code_of(kavri::run_driver(ports));
}
