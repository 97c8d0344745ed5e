// The server's end of the simulator link on Windows, as FSUIPC offers it: a hidden top-level
// window of the server class, owned by a thread of its own that pumps its messages. The
// registered message carries a global atom holding the name of the client's file mapping; the
// window opens that mapping, carries out its records and answers 1 (0 when it cannot).
#include <windows.h>

#include <future>
#include <memory>
#include <string>

#include "server/ipc_server.h"
#include "simlink/ipc_records.h"

namespace kavri {
namespace {

constexpr DWORD POLL_MS = 50;  // how soon a stop request is noticed

// What the window procedure needs; it lives as long as the window.
struct ServedSpace {
  OffsetSpace& space;
  const WriteObserver& on_write;
  UINT message;
};

// The client's area, mapped for the length of one exchange. A mapping smaller than the area
// cannot be mapped at the area's size, so every record the server walks lies inside it.
std::uint32_t serve_area(const ServedSpace& served, ATOM atom) {
  char name[256];
  if (GlobalGetAtomNameA(atom, name, sizeof name) == 0) return 0;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (mapping == nullptr) return 0;
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, IPC_AREA_SIZE);
  std::uint32_t reply = 0;
  if (view != nullptr) {
    reply = carry_out_requests(served.space, {static_cast<std::uint8_t*>(view), IPC_AREA_SIZE},
                               served.on_write);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return reply;
}

LRESULT CALLBACK server_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* served =
      reinterpret_cast<const ServedSpace*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (served != nullptr && message == served->message) {
    return serve_area(*served, static_cast<ATOM>(wparam));
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Registers the class under the server's name, with this program's instance, once per
// process.
bool register_server_class(const std::string& name) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = server_window_procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = name.c_str();
  return RegisterClassExA(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class Win32IpcServer final : public IpcServer {
 public:
  Win32IpcServer(Env& env, OffsetSpace& space, WriteObserver on_write)
      : env_(env), space_(space), on_write_(std::move(on_write)) {}
  ~Win32IpcServer() override { stop(); }

  Status start(IpcServerClass server_class) override {
    stop();
    const std::string name(server_class_name(server_class));
    if (FindWindowExA(nullptr, nullptr, name.c_str(), nullptr) != nullptr) {
      return fail("a server already goes by the window class " + name);
    }
    // Shared with the thread, which may still be leaving set_value when start() returns.
    auto started = std::make_shared<std::promise<std::string>>();
    std::future<std::string> outcome = started->get_future();
    if (Status thread = start_worker(
            env_, worker_,
            [this, name, started](std::stop_token stop) { serve(name, *started, stop); },
            "link server");
        !thread) {
      return thread;
    }
    std::string window_failure = outcome.get();
    if (window_failure.empty()) return done();
    worker_.stop_and_join();
    return fail(std::move(window_failure));
  }

  void stop() override { worker_.stop_and_join(); }

 private:
  // The window belongs to the thread that creates it, and only that thread receives its
  // messages, so the whole life of the window runs here.
  void serve(const std::string& name, std::promise<std::string>& started, std::stop_token stop) {
    ServedSpace served{space_, on_write_, RegisterWindowMessageA(IPC_MESSAGE_NAME)};
    HWND window = nullptr;
    if (served.message != 0 && register_server_class(name)) {
      window = CreateWindowExA(0, name.c_str(), name.c_str(), WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                               nullptr, GetModuleHandleA(nullptr), &served);
    }
    if (window == nullptr) {
      started.set_value("cannot create the server window " + name + " (error " +
                        std::to_string(GetLastError()) + ")");
      return;
    }
    started.set_value("");
    MSG message;
    while (!stop.stop_requested()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, POLL_MS, QS_ALLINPUT);
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    DestroyWindow(window);
  }

  Env& env_;
  OffsetSpace& space_;
  WriteObserver on_write_;
  Worker worker_;
};

}  // namespace

std::unique_ptr<IpcServer> make_platform_ipc_server(Env& env, OffsetSpace& space,
                                                    WriteObserver on_write, std::string) {
  return std::make_unique<Win32IpcServer>(env, space, std::move(on_write));
}

}  // namespace kavri
