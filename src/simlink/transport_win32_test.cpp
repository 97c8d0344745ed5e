// The Win32 transport against the virtual simulator's window server: the transport contract on
// server threads of this process, and kavri-sim.exe as a process of its own, as FSUIPC runs
// beside the driver. Server windows are seen by the whole desktop, so these tests run alone
// (CTest resource lock).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16_text.h"
#include "server/ipc_server.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_transport.h"
#include "testing/fake_env.h"
#include "testing/transport_contract.h"

namespace kavri {
namespace {

using namespace std::chrono_literals;

const std::string SIM = KAVRI_BINARY_DIR "/apps/kavri-sim.exe";

bool server_window_present() {
  return FindWindowExA(nullptr, nullptr, "UIPCMAIN", nullptr) != nullptr;
}

// Waits (bounded) until a UIPCMAIN window is there or gone.
bool wait_for_server(bool present) {
  const auto give_up = std::chrono::steady_clock::now() + 30s;
  while (server_window_present() != present) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// kavri-sim.exe with `arguments`, killed at the latest when the test ends.
class SimProcess {
 public:
  explicit SimProcess(const std::string& arguments) {
    std::wstring command = L"\"" + to_wide(SIM) + L"\" " + to_wide(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != 0;
  }
  ~SimProcess() { kill(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool serving() const { return started_ && wait_for_server(true); }
  void kill() {
    if (!started_) return;
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, INFINITE);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    started_ = false;
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

// Servers are windows of threads of this process; areas are file mappings whose name a global
// atom carries.
class Win32Rig final : public testing::PlatformServerRig {
 public:
  explicit Win32Rig(OffsetSpace& space) : PlatformServerRig(space) {}
  ~Win32Rig() override {
    if (occupant_view_ != nullptr) UnmapViewOfFile(occupant_view_);
    if (occupant_ != nullptr) CloseHandle(occupant_);
  }

  testing::TransportTraits traits() const override { return {}; }
  IpcTransport& transport() override { return *transport_; }
  bool serve(IpcServerClass server_class) override {
    if (!serving() && !wait_for_server(false)) return false;  // another test's is gone
    return PlatformServerRig::serve(server_class);
  }
  bool occupy_area(const std::string& name) override {
    occupant_ =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
    if (occupant_ == nullptr) return false;
    occupied_ = name;
    occupant_view_ = static_cast<char*>(MapViewOfFile(occupant_, FILE_MAP_WRITE, 0, 0, 0));
    if (occupant_view_ == nullptr) return false;
    std::strcpy(occupant_view_, "not yours");
    return true;
  }
  bool occupant_intact() override {
    return occupant_view_ != nullptr && std::strcmp(occupant_view_, "not yours") == 0;
  }
  bool holds_name(const std::string& name) override {
    if (GlobalFindAtomA(name.c_str()) != 0) return true;
    if (name == occupied_) return false;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping == nullptr) return false;
    CloseHandle(mapping);
    return true;
  }

 private:
  std::unique_ptr<IpcTransport> transport_ = make_platform_transport();
  std::string occupied_;
  HANDLE occupant_ = nullptr;
  char* occupant_view_ = nullptr;
};

using testing::IpcTransportContract;

INSTANTIATE_TEST_SUITE_P(Win32, IpcTransportContract,
                         ::testing::Values(testing::TransportBackend{"win32",
                                                                     &testing::rig_of<Win32Rig>}));

struct Link {
  FakeEnv env;  // the pauses between attempts take no real time
  std::unique_ptr<IpcTransport> transport = make_platform_transport();
  IpcClient client{env, *transport};
  IpcResult result = IpcResult::ok;
};

// The server in a process of its own: its mapping and atom are reached by name across
// processes, and its death (no window to close cleanly) fails the exchange.
TEST(Win32Transport, ExchangesWithKavriSimUntilItIsGoneThenFailsAtOnce) {
  SimProcess sim("--set $0BC0:2=1234 --set $0580:4=-5");
  ASSERT_TRUE(sim.serving());
  Link link;
  ASSERT_TRUE(link.client.ipc_open(0, link.result)) << static_cast<int>(link.result);

  std::uint16_t trim = 0;
  std::int32_t heading = 0;
  ASSERT_TRUE(link.client.ipc_read(0x0BC0, 2, &trim, link.result));
  ASSERT_TRUE(link.client.ipc_read(0x0580, 4, &heading, link.result));
  ASSERT_TRUE(link.client.ipc_process(link.result)) << static_cast<int>(link.result);
  EXPECT_EQ(trim, 1234);
  EXPECT_EQ(heading, -5);

  sim.kill();
  ASSERT_TRUE(wait_for_server(false));
  trim = 77;
  ASSERT_TRUE(link.client.ipc_read(0x0BC0, 2, &trim, link.result));
  EXPECT_FALSE(link.client.ipc_process(link.result));
  EXPECT_TRUE(link.result == IpcResult::send_error || link.result == IpcResult::send_failed)
      << static_cast<int>(link.result);
  EXPECT_EQ(trim, 77);
  EXPECT_TRUE(link.client.link_lost());
}

TEST(Win32Transport, AServerRefusesAClassServedAlreadyAndAnswers0ToAnUnknownArea) {
  SimProcess sim("");
  ASSERT_TRUE(sim.serving());
  FakeEnv env;
  OffsetSpace space;
  auto server = make_platform_ipc_server(env, space, {});
  const Status refused = server->start(IpcServerClass::uipcmain);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().find("UIPCMAIN"), std::string::npos) << refused.error();
  const Status started = server->start(IpcServerClass::fs98main);
  ASSERT_TRUE(started) << started.error();

  HWND window = FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
  ASSERT_NE(window, nullptr);
  const ATOM nowhere = GlobalAddAtomA("FsasmLib:IPC:0:0");
  DWORD_PTR reply = 1;
  EXPECT_NE(SendMessageTimeoutA(window, RegisterWindowMessageA(IPC_MESSAGE_NAME), nowhere, 0,
                                SMTO_BLOCK, 2000, &reply),
            0);
  EXPECT_EQ(reply, 0u);
  GlobalDeleteAtom(nowhere);
  server->stop();
  EXPECT_EQ(FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr), nullptr);
}

}  // namespace
}  // namespace kavri
