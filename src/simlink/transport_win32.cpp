// The simulator link on Windows, as FSUIPC expects it: the server is a top-level window of
// class "UIPCMAIN" or "FS98MAIN"; the request area is a file mapping backed by the paging file,
// whose name a global atom carries in the registered message's wParam; the server's reply to
// SendMessageTimeoutA is the exchange's result.
#include <windows.h>

#include <string>

#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"

namespace kavri {
namespace {

class Win32Transport final : public IpcTransport {
 public:
  ~Win32Transport() override { close(); }

  std::uint32_t process_id() override { return GetCurrentProcessId(); }

  std::optional<IpcServerClass> find_server() override {
    for (IpcServerClass server_class : {IpcServerClass::uipcmain, IpcServerClass::fs98main}) {
      const std::string name(server_class_name(server_class));
      window_ = FindWindowExA(nullptr, nullptr, name.c_str(), nullptr);
      if (window_ != nullptr) return server_class;
    }
    return std::nullopt;
  }

  bool register_message() override {
    message_ = RegisterWindowMessageA(IPC_MESSAGE_NAME);
    return message_ != 0;
  }

  IpcResult create_area(const std::string& name) override {
    release_area();
    atom_ = GlobalAddAtomA(name.c_str());
    if (atom_ == 0) return IpcResult::atom_failed;
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(IPC_AREA_SIZE), name.c_str());
    // An object of that name that existed already is someone else's: never shared.
    if (mapping_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mapping_);
      mapping_ = nullptr;
    }
    if (mapping_ == nullptr) return IpcResult::area_failed;
    void* view = MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) return IpcResult::view_failed;
    view_ = {static_cast<std::uint8_t*>(view), IPC_AREA_SIZE};
    return IpcResult::ok;
  }

  std::span<std::uint8_t> area() override { return view_; }

  // The server walks the mapping itself, so `used` says nothing it needs. A window message's
  // wait cannot be cut short: a stop is noticed by the client between attempts, at most one
  // time-out later.
  IpcReply exchange(std::size_t, Millis timeout, std::stop_token) override {
    if (window_ == nullptr || message_ == 0 || atom_ == 0) return IpcReply{false, 0, true};
    DWORD_PTR reply = 0;
    SetLastError(0);
    const LRESULT sent = SendMessageTimeoutA(window_, message_, atom_, 0, SMTO_BLOCK,
                                             static_cast<UINT>(timeout.count()), &reply);
    if (sent == 0) return IpcReply{false, 0, GetLastError() != 0};
    return IpcReply{true, static_cast<std::uint32_t>(reply), false};
  }

  void close() override {
    window_ = nullptr;
    message_ = 0;
    release_area();
  }

 private:
  void release_area() {
    if (atom_ != 0) GlobalDeleteAtom(atom_);
    atom_ = 0;
    if (!view_.empty()) UnmapViewOfFile(view_.data());
    view_ = {};
    if (mapping_ != nullptr) CloseHandle(mapping_);
    mapping_ = nullptr;
  }

  HWND window_ = nullptr;
  UINT message_ = 0;
  ATOM atom_ = 0;
  HANDLE mapping_ = nullptr;
  std::span<std::uint8_t> view_;
};

}  // namespace

std::unique_ptr<IpcTransport> make_platform_transport() {
  return std::make_unique<Win32Transport>();
}

}  // namespace kavri
