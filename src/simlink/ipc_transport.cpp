#include "simlink/ipc_transport.h"

namespace kavri {

std::string_view server_class_name(IpcServerClass server_class) {
  return server_class == IpcServerClass::uipcmain ? "UIPCMAIN" : "FS98MAIN";
}

std::optional<IpcServerClass> parse_server_class(std::string_view name) {
  if (name == "UIPCMAIN") return IpcServerClass::uipcmain;
  if (name == "FS98MAIN") return IpcServerClass::fs98main;
  return std::nullopt;
}

}  // namespace kavri
