// kavri: the driver of the Kavri gauge bus on the USB master card. It reads nothing from the
// environment and no command line beyond "--help" and "--version" alone; its settings are
// "Kavri.ini" in the current directory.
#include <cstdio>
#include <memory>

#include "base/env.h"
#include "base/platform_text.h"
#include "base/standard_options.h"
#include "device/hid.h"
#include "shell/driver.h"
#include "shell/driver_lock.h"
#include "shell/end_request.h"
#include "shell/parent_console.h"
#include "simlink/ipc_transport.h"
#include "ui/toolkit.h"

namespace {

constexpr kavri::ProgramUsage KAVRI{
    "kavri",
    "usage: kavri [--help | --version]\n"
    "The Kavri gauge-bus driver: opens the master card (USB vendor 0xFCFD, product 0x0001),\n"
    "explores its bus of gauge modules and drives them from the flight simulator's variables.\n"
    "It takes no other argument. It keeps its settings, Kavri.ini and Calibrage.ini, in the\n"
    "current directory; started from {menu}, in {settings}.\n"
    "  --help     show this text\n"
    "  --version  show the program version\n"};

}  // namespace

int main(int argc, char** argv) {
  kavri::use_parent_console();  // a windowed program on Windows
  kavri::use_console_text();
  if (argc > 1) {
    const auto answer = kavri::answer_help_or_version(argc, argv, KAVRI);
    return answer ? *answer : kavri::usage_error(KAVRI);
  }
  kavri::watch_end_requests();
  std::unique_ptr<kavri::Toolkit> ui = kavri::make_platform_toolkit();
  if (!ui) {
    // Without a display there is no way to show even the message box.
    std::fputs("kavri: no display to open the windows on\n", stderr);
    return 1;
  }
  kavri::SystemEnv env;
  std::unique_ptr<kavri::HidLayer> hid = kavri::make_platform_hid_layer();
  std::unique_ptr<kavri::IpcTransport> transport = kavri::make_platform_transport();
  kavri::DriverPorts ports{env, *ui, *hid, *transport, "", {}, {}};
  ports.end_requested = kavri::end_requested;
  ports.card_lock = kavri::card_lock_name();
  return kavri::exit_code_of(kavri::run_driver(ports));
}
