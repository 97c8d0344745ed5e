// The Win32 transport against the virtual simulator's window server: kavri-sim.exe as a process
// of its own, as FSUIPC runs beside the driver, and a server thread of this process. Server
// windows are seen by the whole desktop, so these tests run alone (CTest resource lock).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "base/utf16_text.h"
#include "server/ipc_server.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_transport.h"
#include "testing/fake_env.h"

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

// The name the next open of a fresh client gives its area.
std::string first_area_name() {
  char name[48];
  std::snprintf(name, sizeof name, "FsasmLib:IPC:%lX:1", GetCurrentProcessId());
  return name;
}

struct Link {
  FakeEnv env;  // the pauses between attempts take no real time
  std::unique_ptr<IpcTransport> transport = make_platform_transport();
  IpcClient client{env, *transport};
  IpcResult result = IpcResult::ok;
};

TEST(Win32Transport, WithoutAServerWindowTheOpenFailsWith2) {
  ASSERT_TRUE(wait_for_server(false));
  Link link;
  EXPECT_FALSE(link.client.ipc_open(0, link.result));
  EXPECT_EQ(link.result, IpcResult::no_server);
  EXPECT_EQ(GlobalFindAtomA(first_area_name().c_str()), 0);
}

TEST(Win32Transport, ExchangesWithKavriSimUntilItIsGoneThenFailsAtOnce) {
  SimProcess sim("--set $0BC0:2=1234 --set $0580:4=-5");
  ASSERT_TRUE(sim.serving());
  Link link;
  ASSERT_TRUE(link.client.ipc_open(0, link.result)) << static_cast<int>(link.result);

  std::uint16_t trim = 0;
  std::int32_t heading = 0;
  std::uint32_t version = 0;
  const std::uint16_t flaps = 8192;
  std::uint16_t flaps_back = 0;
  ASSERT_TRUE(link.client.ipc_write(0x0BDC, 2, &flaps, link.result));
  ASSERT_TRUE(link.client.ipc_read(0x0BC0, 2, &trim, link.result));
  ASSERT_TRUE(link.client.ipc_read(0x0580, 4, &heading, link.result));
  ASSERT_TRUE(link.client.ipc_read(0x3304, 4, &version, link.result));
  ASSERT_TRUE(link.client.ipc_read(0x0BDC, 2, &flaps_back, link.result));
  ASSERT_TRUE(link.client.ipc_process(link.result)) << static_cast<int>(link.result);
  EXPECT_EQ(trim, 1234);
  EXPECT_EQ(heading, -5);
  EXPECT_EQ(version, 0x19980005u);
  EXPECT_EQ(flaps_back, flaps);  // the write is carried out before the read that follows it

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

TEST(Win32Transport, AnAreaNameTakenAlreadyFailsTheOpenWith5AndStaysItsOwners) {
  SimProcess sim("");
  ASSERT_TRUE(sim.serving());
  const std::string name = first_area_name();
  HANDLE taken =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
  ASSERT_NE(taken, nullptr);
  auto* owned = static_cast<char*>(MapViewOfFile(taken, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(owned, nullptr);
  std::strcpy(owned, "not yours");

  Link link;
  EXPECT_FALSE(link.client.ipc_open(0, link.result));
  EXPECT_EQ(link.result, IpcResult::area_failed);
  EXPECT_STREQ(owned, "not yours");
  EXPECT_EQ(GlobalFindAtomA(name.c_str()), 0);        // the failed open released its atom
  EXPECT_TRUE(link.client.ipc_open(0, link.result));  // the next name is free
  UnmapViewOfFile(owned);
  CloseHandle(taken);
}

TEST(Win32Transport, AServerRefusesAClassServedAlreadyAndAnswers0ToAnUnknownArea) {
  SimProcess sim("");
  ASSERT_TRUE(sim.serving());
  FakeEnv env;
  OffsetSpace space;
  auto server = make_platform_ipc_server(env, space, {});
  std::string error;
  EXPECT_FALSE(server->start(IpcServerClass::uipcmain, error));
  EXPECT_NE(error.find("UIPCMAIN"), std::string::npos) << error;
  ASSERT_TRUE(server->start(IpcServerClass::fs98main, error)) << error;

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
