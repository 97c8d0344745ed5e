// The POSIX transport end to end, against the virtual simulator's server in a scratch
// directory.
#include "simlink/posix_transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "simlink/ipc_client.h"
#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"
#include "simlink/posix_endpoint.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "virtual/simulator/virtual_simulator.h"

namespace kavri {
namespace {

std::string area_object(std::uint32_t counter) {
  char name[64];
  std::snprintf(name, sizeof name, "/FsasmLib:IPC:%X:%X", static_cast<unsigned>(getpid()), counter);
  return name;
}

bool area_exists(std::uint32_t counter) {
  const int fd = shm_open(area_object(counter).c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

class PosixTransportTest : public ::testing::Test {
 protected:
  SimOptions options(IpcServerClass server_class = IpcServerClass::uipcmain) {
    SimOptions o;
    o.server_class = server_class;
    o.directory = scratch.path();
    o.fly = false;
    return o;
  }

  FakeEnv env;
  ScratchDirectory scratch;
  std::unique_ptr<IpcTransport> transport = make_posix_transport({scratch.path()});
  IpcClient client{env, *transport};
  IpcResult result = IpcResult::ok;
};

TEST_F(PosixTransportTest, ExchangesReachTheServerAndLeaveNoAreaBehind) {
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(sim.start()) << sim.error();
  sim.offsets().set(0x0BC0, 2, 12345);
  ASSERT_TRUE(client.ipc_open(0, result)) << static_cast<int>(result);

  struct stat status {};
  ASSERT_EQ(stat(("/dev/shm" + area_object(1)).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(status.st_size, static_cast<off_t>(IPC_AREA_SIZE));

  std::uint16_t trim = 0;
  const std::uint16_t lights = 4;
  ASSERT_TRUE(client.ipc_read(0x0BC0, 2, &trim, result));
  ASSERT_TRUE(client.ipc_write(0x0D0C, 2, &lights, result));
  ASSERT_TRUE(client.ipc_process(result));
  EXPECT_EQ(trim, 12345);
  EXPECT_EQ(sim.offsets().get(0x0D0C, 2), 4u);
  EXPECT_EQ(sim.offsets().client_version(), CLIENT_VERSION);

  client.ipc_close();
  EXPECT_FALSE(area_exists(1));
  // A failed open removes its area too.
  sim.offsets().pin(OFFSET_SERVER_VERSION, 4, 0x19980004);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::version_uipcmain);
  EXPECT_FALSE(area_exists(2));
}

TEST_F(PosixTransportTest, AnAreaNameInUseFailsTheOpenAndIsNotRemoved) {
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(sim.start()) << sim.error();
  const int fd = shm_open(area_object(1).c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::area_failed);
  EXPECT_TRUE(area_exists(1));
  shm_unlink(area_object(1).c_str());
  EXPECT_TRUE(client.ipc_open(0, result)) << "the next open takes the next name";
}

TEST_F(PosixTransportTest, ServersAreFoundByClassUipcmainFirst) {
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::no_server);

  VirtualSimulator fs98(env, options(IpcServerClass::fs98main));
  ASSERT_TRUE(fs98.start()) << fs98.error();
  EXPECT_EQ(transport->find_server(), IpcServerClass::fs98main);
  VirtualSimulator uipc(env, options(IpcServerClass::uipcmain));
  ASSERT_TRUE(uipc.start()) << uipc.error();
  EXPECT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  transport->close();

  // A second server cannot take a socket that a live one holds.
  VirtualSimulator intruder(env, options(IpcServerClass::uipcmain));
  EXPECT_FALSE(intruder.start());
  EXPECT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  transport->close();
}

TEST_F(PosixTransportTest, DirectoryOfAnotherUserIsNotTrusted) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the directory away";
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(sim.start()) << sim.error();
  ASSERT_EQ(chown(scratch.path().c_str(), 65534, 65534), 0);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::no_server);
  std::string error;
  EXPECT_FALSE(prepare_ipc_directory(scratch.path(), error));
  ASSERT_EQ(chown(scratch.path().c_str(), 0, 0), 0);
}

TEST_F(PosixTransportTest, AServerThatDiesFailsTheExchangeWithASystemError) {
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(sim.start()) << sim.error();
  ASSERT_TRUE(client.ipc_open(0, result));
  std::uint32_t version = 0;
  sim.stop();
  env.clear_sleeps();
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::send_error);
  EXPECT_EQ(env.sleeps(), std::vector<std::int64_t>(9, 100));
  EXPECT_EQ(version, 0u);

  // A lost link stays lost, even with a server back, until it is reopened (as the link
  // monitor does); the reopened link reaches the new server.
  ASSERT_TRUE(sim.start()) << sim.error();
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_FALSE(client.ipc_process(result));
  EXPECT_EQ(result, IpcResult::send_error);
  client.ipc_close();
  ASSERT_TRUE(client.ipc_open(0, result));
  ASSERT_TRUE(client.ipc_read(OFFSET_SERVER_VERSION, 4, &version, result));
  EXPECT_TRUE(client.ipc_process(result));
  EXPECT_EQ(version, VIRTUAL_SERVER_VERSION);
}

TEST_F(PosixTransportTest, ASilentServerTimesOutWithoutSystemErrorAndIsDropped) {
  // A socket that listens but never answers.
  const std::string path = ipc_socket_path(scratch.path(), IpcServerClass::uipcmain);
  const int silent = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(silent, 4), 0);

  ASSERT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  ASSERT_EQ(transport->create_area("FsasmLib:IPC:silent:1"), IpcResult::ok);
  IpcReply reply = transport->exchange(4, Millis(20), {});
  EXPECT_FALSE(reply.answered);
  EXPECT_FALSE(reply.system_error);
  // The next attempt makes a new connection: a late reply on the old one is never taken for
  // its own.
  const int first = accept(silent, nullptr, nullptr);
  ASSERT_GE(first, 0);
  std::uint8_t late[4] = {1, 0, 0, 0};
  ASSERT_EQ(send(first, late, 4, MSG_NOSIGNAL), -1) << "the client had dropped it";
  reply = transport->exchange(4, Millis(20), {});
  EXPECT_FALSE(reply.answered);
  const int second = accept(silent, nullptr, nullptr);
  EXPECT_GE(second, 0);
  transport->close();
  close(first);
  close(second);
  close(silent);
}

}  // namespace
}  // namespace kavri
