// kavri: the driver of the Kavri gauge bus on the USB master card. It reads no command line and
// nothing from the environment; its settings are "Kavri.ini" in the current directory.
#include <cstdio>
#include <memory>

#include "base/env.h"
#include "device/hid.h"
#include "shell/driver.h"
#include "simlink/ipc_transport.h"
#include "ui/toolkit.h"

int main() {
  std::unique_ptr<kavri::Toolkit> ui = kavri::make_platform_toolkit();
  if (!ui) {
    // Without a display there is no way to show even the message box.
    std::fputs("kavri: no display to open the windows on\n", stderr);
    return 1;
  }
  kavri::SystemEnv env;
  std::unique_ptr<kavri::HidLayer> hid = kavri::make_platform_hid_layer();
  std::unique_ptr<kavri::IpcTransport> transport = kavri::make_platform_transport();
  kavri::run_driver(kavri::DriverPorts{env, *ui, *hid, *transport, "", {}, {}});
  return 0;
}
