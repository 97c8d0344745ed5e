// The POSIX transport end to end, against the virtual simulator's server in a scratch
// directory: the transport contract, and what only a socket and shared memory can show.
#include "simlink/transport_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "simlink/endpoint_posix.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"
#include "testing/fake_env.h"
#include "testing/files.h"
#include "testing/result_checks.h"
#include "testing/stand_in_server.h"
#include "testing/transport_contract.h"
#include "virtual/simulator/virtual_simulator.h"

namespace kavri {
namespace {

std::string area_object(std::uint32_t counter) {
  char name[64];
  std::snprintf(name, sizeof name, "/FsasmLib:IPC:%X:%X", static_cast<unsigned>(getpid()), counter);
  return name;
}

bool object_exists(const std::string& object) {
  const int fd = shm_open(object.c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// Servers of a scratch directory's sockets; areas are shared-memory objects named "/" + name.
class PosixRig final : public testing::PlatformServerRig {
 public:
  explicit PosixRig(OffsetSpace& space) : PlatformServerRig(space) {}
  ~PosixRig() override {
    if (!occupied_.empty()) shm_unlink(occupied_.c_str());
  }

  testing::TransportTraits traits() const override { return {}; }
  IpcTransport& transport() override { return *transport_; }
  bool occupy_area(const std::string& name) override {
    const int fd = shm_open(("/" + name).c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
    if (fd < 0) return false;
    occupied_ = "/" + name;
    const bool written = write(fd, "not yours", 9) == 9;
    close(fd);
    return written;
  }
  bool occupant_intact() override {
    char content[16] = {};
    const int fd = shm_open(occupied_.c_str(), O_RDONLY, 0);
    if (fd < 0) return false;
    const bool read_back = pread(fd, content, sizeof content, 0) == 9;
    close(fd);
    return read_back && std::strcmp(content, "not yours") == 0;
  }
  bool holds_name(const std::string& name) override {
    return "/" + name != occupied_ && object_exists("/" + name);
  }

 private:
  std::string server_directory() const override { return scratch_.path(); }

  ScratchDirectory scratch_;
  std::unique_ptr<IpcTransport> transport_ = make_posix_transport({scratch_.path()});
  std::string occupied_;
};

using testing::IpcTransportContract;

INSTANTIATE_TEST_SUITE_P(Posix, IpcTransportContract,
                         ::testing::Values(testing::TransportBackend{"posix",
                                                                     &testing::rig_of<PosixRig>}));

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

// The area is the user's alone, and of the size the client asks for.
TEST_F(PosixTransportTest, TheAreaIsPrivateToItsUser) {
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(succeeded(sim.start()));
  ASSERT_TRUE(client.ipc_open(0, result)) << static_cast<int>(result);
  struct stat status {};
  ASSERT_EQ(stat(("/dev/shm" + area_object(1)).c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(status.st_size, static_cast<off_t>(IPC_AREA_SIZE));
}

void shrink_area(std::uint32_t counter) {
  const int fd = shm_open(area_object(counter).c_str(), O_RDWR, 0);
  EXPECT_EQ(ftruncate(fd, 0), 0);
  close(fd);
}

// Another process of this user shrinks the area: during an exchange (here while the server
// carries out a write), or between exchanges. Those exchanges fail; neither side may die.
TEST_F(PosixTransportTest, AShrunkAreaFailsExchangesButCrashesNeitherSide) {
  SimOptions shrinking = options();
  std::atomic<std::uint32_t> shrink_at_write{0};  // the area to shrink; 0: none
  shrinking.on_write = [&shrink_at_write](std::uint32_t, std::span<const std::uint8_t>) {
    if (const std::uint32_t counter = shrink_at_write.exchange(0)) shrink_area(counter);
  };
  VirtualSimulator sim(env, shrinking);
  ASSERT_TRUE(succeeded(sim.start()));
  std::uint16_t trim = 0x1111;
  const std::uint16_t lights = 4;
  for (std::uint32_t counter : {1, 2}) {
    ASSERT_TRUE(client.ipc_open(0, result));
    if (counter == 1) shrink_at_write = counter;
    if (counter == 2) shrink_area(counter);
    ASSERT_TRUE(client.ipc_write(0x0D0C, 2, &lights, result));
    ASSERT_TRUE(client.ipc_read(0x0BC0, 2, &trim, result));
    EXPECT_FALSE(client.ipc_process(result)) << counter;
    EXPECT_EQ(result, IpcResult::send_error) << counter;
    EXPECT_EQ(trim, 0x1111) << counter;
    client.ipc_close();
  }
  ASSERT_TRUE(client.ipc_open(0, result)) << "a new link, a new area";
  ASSERT_TRUE(client.ipc_read(0x0BC0, 2, &trim, result));
  EXPECT_TRUE(client.ipc_process(result));
}

// A driver killed before it could close its link leaves its area behind; the next open of any
// driver of this user removes it, and only areas whose process is gone.
TEST_F(PosixTransportTest, AreasOfEndedProcessesAreRemovedAtTheNextOpen) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_GT(ended, 0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  char left[64];
  std::snprintf(left, sizeof left, "/FsasmLib:IPC:%X:3", static_cast<unsigned>(ended));
  const std::string live = "/FsasmLib:IPC:1:3";  // process 1 runs as long as the system
  for (const std::string& name : {std::string(left), live}) {
    const int fd = shm_open(name.c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(succeeded(sim.start()));
  ASSERT_TRUE(client.ipc_open(0, result));
  EXPECT_NE(shm_unlink(left), 0) << "removed by the open";
  EXPECT_EQ(shm_unlink(live.c_str()), 0) << "kept";
}

TEST_F(PosixTransportTest, ASecondServerCannotTakeTheSocketALiveOneHolds) {
  VirtualSimulator uipc(env, options(IpcServerClass::uipcmain));
  ASSERT_TRUE(succeeded(uipc.start()));
  VirtualSimulator intruder(env, options(IpcServerClass::uipcmain));
  EXPECT_FALSE(intruder.start());
  EXPECT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  transport->close();
}

TEST_F(PosixTransportTest, ADirectoryOthersMayEnterOrAServerOfAnotherUserIsNotTrusted) {
  VirtualSimulator sim(env, options());
  ASSERT_TRUE(succeeded(sim.start()));
  for (const mode_t mode : {0770, 0701, 0777}) {
    ASSERT_EQ(chmod(scratch.path().c_str(), mode), 0);
    EXPECT_FALSE(client.ipc_open(0, result)) << std::oct << mode;
    EXPECT_EQ(result, IpcResult::no_server) << std::oct << mode;
  }
  ASSERT_EQ(chmod(scratch.path().c_str(), 0700), 0);
  EXPECT_TRUE(client.ipc_open(0, result));
  client.ipc_close();
  sim.stop();

  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the directory away";
  ASSERT_EQ(chown(scratch.path().c_str(), 65534, 65534), 0);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::no_server);
  EXPECT_FALSE(prepare_ipc_directory(scratch.path()).ok());
  ASSERT_EQ(chown(scratch.path().c_str(), 0, 0), 0);

  // A server that listens as nobody in our own directory: it bound the socket as root, then
  // gave up root before it listened.
  const std::string path = ipc_socket_path(scratch.path(), IpcServerClass::uipcmain);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const pid_t impostor = fork();
  if (impostor == 0) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        setuid(65534) != 0 || listen(fd, 4) != 0) {
      _exit(1);
    }
    pause();
    _exit(0);
  }
  ASSERT_GT(impostor, 0);
  bool listening = false;  // and refused for its user
  for (int i = 0; i < 5000 && !listening; ++i) {
    listening = connect_ipc_socket(path) < 0 && errno == EACCES;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(listening);
  EXPECT_FALSE(client.ipc_open(0, result));
  EXPECT_EQ(result, IpcResult::no_server);
  kill(impostor, SIGKILL);
  waitpid(impostor, nullptr, 0);
}

TEST_F(PosixTransportTest, ASilentServerTimesOutWithoutSystemErrorAndIsDropped) {
  testing::StandInServer silent(scratch.path());
  ASSERT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  ASSERT_EQ(transport->create_area("FsasmLib:IPC:silent:1"), IpcResult::ok);
  IpcReply reply = transport->exchange(4, Millis(20), {});
  EXPECT_FALSE(reply.answered);
  EXPECT_FALSE(reply.system_error);
  // The next attempt makes a new connection: a late reply on the old one is never taken for
  // its own.
  const int first = silent.accept_client();
  ASSERT_GE(first, 0);
  std::uint8_t late[IPC_REPLY_SIZE] = {1, 0, 0, 0, 1, 0, 0, 0};
  ASSERT_EQ(send(first, late, sizeof late, MSG_NOSIGNAL), -1) << "the client had dropped it";
  reply = transport->exchange(4, Millis(20), {});
  EXPECT_FALSE(reply.answered);
  const int second = silent.accept_client();
  EXPECT_GE(second, 0);
  transport->close();
  close(first);
  close(second);
}

// A server that trickles its reply a byte at a time, slower than the exchange's time-out in
// total though each piece comes well within it: the attempt still ends at its deadline.
TEST_F(PosixTransportTest, AReplyTrickledPastTheDeadlineIsNotTaken) {
  testing::StandInServer trickling(scratch.path());
  ASSERT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  const std::string name = "FsasmLib:IPC:trickle:1";
  ASSERT_EQ(transport->create_area(name), IpcResult::ok);
  Worker server = env.start_thread([&trickling, &name](std::stop_token) {
    const int fd = trickling.accept_client();
    std::vector<std::uint8_t> frame(IPC_FRAME_HEADER + name.size());
    if (recv(fd, frame.data(), frame.size(), MSG_WAITALL) == static_cast<ssize_t>(frame.size())) {
      std::uint8_t reply[IPC_REPLY_SIZE] = {};
      std::memcpy(reply, &frame[4], 4);
      reply[4] = 1;
      for (const std::uint8_t byte : reply) {
        if (send(fd, &byte, 1, MSG_NOSIGNAL) != 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
      }
    }
    close(fd);
  });
  const IpcReply reply = transport->exchange(4, Millis(150), {});
  EXPECT_FALSE(reply.answered);
  EXPECT_FALSE(reply.system_error);
  transport->close();
}

// A server that answers each request twice, the second time with 0: the surplus reply waits on
// the connection when the next request goes out, and must not be taken for that one's.
TEST_F(PosixTransportTest, ASurplusReplyIsNeverTakenForTheNextRequests) {
  testing::StandInServer doubling(scratch.path());
  ASSERT_EQ(transport->find_server(), IpcServerClass::uipcmain);
  const std::string name = "FsasmLib:IPC:surplus:1";
  ASSERT_EQ(transport->create_area(name), IpcResult::ok);
  Worker server = env.start_thread([&doubling, &name](std::stop_token) {
    const int fd = doubling.accept_client();
    std::vector<std::uint8_t> frame(IPC_FRAME_HEADER + name.size());
    while (recv(fd, frame.data(), frame.size(), MSG_WAITALL) ==
           static_cast<ssize_t>(frame.size())) {
      std::uint8_t replies[2 * IPC_REPLY_SIZE] = {};
      std::memcpy(replies, &frame[4], 4);
      std::memcpy(replies + IPC_REPLY_SIZE, &frame[4], 4);
      replies[4] = 1;
      if (send(fd, replies, sizeof replies, MSG_NOSIGNAL) < 0) break;
    }
    close(fd);
  });
  for (int request = 0; request < 3; ++request) {
    const IpcReply reply = transport->exchange(4, Millis(2000), {});
    EXPECT_TRUE(reply.answered) << request;
    EXPECT_EQ(reply.value, 1u) << request;
  }
  transport->close();
}

}  // namespace
}  // namespace kavri
