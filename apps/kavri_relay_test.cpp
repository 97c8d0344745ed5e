// kavri-relay between two computers as a cockpit builder has them, made of network namespaces
// joined by a virtual cable: kavri-sim and the relay on the simulator's, two kavri-bench
// cockpits on the cockpit's, and a third host beside the simulator's that holds the key but not
// an allowed address. The needles must be kavri-gauge's for kavri-sim's values, the analog input
// must reach kavri-sim, the refused peers must change nothing, and the link must come back after
// a pulled cable and after a restarted relay.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testing/eventually.h"
#include "testing/files.h"
#include "testing/network_namespaces.h"
#include "testing/panel_positions.h"
#include "testing/process.h"
#include "testing/result_checks.h"

namespace kavri {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::eventually;
using testing::read_file;

// One module: a linear gauge on 2 bytes, a signed one on 4 bytes, and an analog input whose
// value (`analog`) the driver writes to $0BC8.
std::string modules_file(int analog) {
  return "[relayed]\naddress = 12\n"
         "gauge1_type = 2\ngauge1_offset = $0BC0\ngauge1_offset_length = 2\n"
         "gauge1_course_min = 10\ngauge1_course_max = 200\ngauge1_sim_max = 1900\n"
         "gauge2_type = 15\ngauge2_offset = $0BC4\ngauge2_offset_length = 4\n"
         "gauge2_course_min = 20\ngauge2_course_max = 220\n"
         "gauge2_sim_min = -100\ngauge2_sim_max = 100\n"
         "analog_offset = $0BC8\nanalog_offset_length = 2\nanalog_value = " +
         std::to_string(analog) + "\n";
}
// kavri-sim's values, as the bridges print a frame: the gauges' and the battery word.
const std::string SIM_VALUES = "$0BC0:2=1234 $0BC4:4=-40 $281C:2=1";
// How kavri-sim prints the driver's write of each cockpit's analog value (little-endian).
const std::string GOOD_WRITE = "write $0BC8 2: 00 20";      // 8192, the allowed cockpits'
const std::string REFUSED_WRITE = "write $0BC8 2: 00 10";   // 4096, the wrong key's
const std::string STRANGER_WRITE = "write $0BC8 2: 00 08";  // 2048, the outside address's

const std::string CONNECTED = "main window shows \"Connecté\"";
const std::string DISCONNECTED = "main window shows \"Déconnecté\"";

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class KavriRelayTwoHosts : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef KAVRI_EMULATED
    GTEST_SKIP() << "under an emulator: the link's 2 s and 3 s bounds are the native "
                    "programs'; the native build runs this test";
#endif
    const std::function<Status()> steps[] = {
        [&] { return hosts.add_host("sim"); },
        [&] { return hosts.add_host("cockpit"); },
        [&] { return hosts.add_host("stranger"); },
        [&] { return hosts.link("sim", "sim0", SIM + "/24", "cockpit", CABLE, "10.78.1.2/24"); },
        [&] {
          return hosts.link("sim", "sim1", "10.78.2.1/24", "stranger", "stranger0", "10.78.2.2/24");
        },
    };
    for (const auto& step : steps) {
      if (const Status made = step(); !made) {
        GTEST_SKIP() << "cannot make the hosts of this test (network namespaces): " << made.error();
      }
    }
    const auto key = testing::run_process({KAVRI_RELAY_PROGRAM, "--new-key", dir.file("good.key")});
    ASSERT_EQ(key.exit_code, 0) << key.err;
    const auto wrong =
        testing::run_process({KAVRI_RELAY_PROGRAM, "--new-key", dir.file("wrong.key")});
    ASSERT_EQ(wrong.exit_code, 0) << wrong.err;
  }

  // `argv` run on `host` in its own folder `name` of the scratch directory (its runtime folder
  // too, so that its link and lock stay private), its outputs in NAME-out.txt and NAME-err.txt.
  std::unique_ptr<ChildProcess> start(const std::string& host, const std::string& name,
                                      const std::vector<std::string>& argv) {
    const std::string folder = dir.file(name);
    mkdir(folder.c_str(), 0700);
    return std::make_unique<ChildProcess>(
        hosts.on(host, argv), testing::ProcessOptions{folder,
                                                      {"XDG_RUNTIME_DIR=" + runtime(name)},
                                                      {"DISPLAY"},
                                                      dir.file(name + "-out.txt"),
                                                      dir.file(name + "-err.txt")});
  }
  // The simulator's programs share one runtime folder: the relay opens kavri-sim's link.
  std::string runtime(const std::string& name) const {
    return name == "sim" || name.starts_with("relay") ? dir.file("sim") : dir.file(name);
  }
  std::string out(const std::string& name) const { return read_file(dir.file(name + "-out.txt")); }
  std::string err(const std::string& name) const { return read_file(dir.file(name + "-err.txt")); }

  std::unique_ptr<ChildProcess> start_sim() {
    std::vector<std::string> argv{KAVRI_SIM_PROGRAM, "--print-writes"};
    std::istringstream values(SIM_VALUES);
    for (std::string value; values >> value;) argv.insert(argv.end(), {"--set", value});
    auto sim = start("sim", "sim", argv);
    EXPECT_TRUE(eventually([&] { return err("sim").find("serving in") != std::string::npos; }))
        << err("sim");
    return sim;
  }
  std::unique_ptr<ChildProcess> start_relay(const std::string& name) {
    return start("sim", name,
                 {KAVRI_RELAY_PROGRAM, "--serve", "0.0.0.0:5520", "--key-file",
                  dir.file("good.key"), "--allow", "10.78.1.0/24"});
  }
  // A cockpit on `host` whose analog input holds `analog`, holding the key file `key`; it
  // reaches the relay at the simulator's address on its own network.
  std::unique_ptr<ChildProcess> start_cockpit(const std::string& host, const std::string& name,
                                              int analog, const std::string& key,
                                              const std::string& run_for) {
    testing::write_file(dir.file(name + ".ini"), modules_file(analog));
    return start(
        host, name,
        {KAVRI_BENCH_PROGRAM, "--headless", "--no-sim", "--modules", dir.file(name + ".ini"),
         "--trace", dir.file(name + "-trace.txt"), "--run-for", run_for, "--link",
         (host == "stranger" ? "10.78.2.1" : SIM) + ":5520", "--key-file", dir.file(key + ".key")});
  }
  bool connected_again(const std::string& cockpit, std::size_t before,
                       std::chrono::milliseconds limit) {
    return eventually([&] { return count_of(err(cockpit), CONNECTED) > before; }, limit);
  }

  // Both needles of the cockpit's trace against kavri-gauge: the number of gauges compared.
  int needles_following_the_simulator(const std::string& cockpit) {
    const auto modules = load_bench_modules(dir.file(cockpit + ".ini"));
    EXPECT_TRUE(succeeded(modules));
    if (!modules) return 0;
    testing::write_file(dir.file("Calibrage.ini"), "");  // the panel's gauges use none
    return testing::expect_needles_follow(
        *modules, {SIM_VALUES}, read_file(dir.file(cockpit + "-trace.txt")),
        {KAVRI_GAUGE_PROGRAM, dir.file("Calibrage.ini"), dir.path()});
  }

  const std::string SIM = "10.78.1.1", CABLE = "cockpit0";
  testing::NetworkNamespaces hosts;
  ScratchDirectory dir;
};

TEST_F(KavriRelayTwoHosts, CockpitsFlyThroughTheRelayRefusedPeersChangeNothingAndTheLinkReturns) {
  const auto sim = start_sim();
  auto relay = start_relay("relay");
  const auto first = start_cockpit("cockpit", "first", 8192, "good", "300");
  const auto second = start_cockpit("cockpit", "second", 8192, "good", "300");
  const auto cockpits = {"first", "second"};
  ASSERT_TRUE(eventually([&] {
    return count_of(err("first"), CONNECTED) == 1 && count_of(err("second"), CONNECTED) == 1 &&
           out("sim").find(GOOD_WRITE) != std::string::npos;
  })) << err("first")
      << err("second") << err("relay");
  const auto lost = [&](const char* cockpit) { return count_of(err(cockpit), DISCONNECTED); };
  const std::size_t first_lost = lost("first"), second_lost = lost("second");

  // The right key from outside --allow, then a wrong key on the cockpit's host: both refused,
  // told by the relay, and neither their writes nor a break reach the simulator or the others.
  // One after the other, as the relay tells one refusal a second.
  EXPECT_EQ(start_cockpit("stranger", "stranger", 2048, "good", "5")->wait(60s), 0)
      << err("stranger");
  EXPECT_EQ(start_cockpit("cockpit", "wrong", 4096, "wrong", "5")->wait(60s), 0) << err("wrong");
  for (const char* refused : {"wrong", "stranger"}) {
    EXPECT_EQ(count_of(err(refused), CONNECTED), 0u) << refused << ": " << err(refused);
  }
  EXPECT_EQ(out("sim").find(REFUSED_WRITE), std::string::npos);
  EXPECT_EQ(out("sim").find(STRANGER_WRITE), std::string::npos);
  EXPECT_NE(err("relay").find("a connection from 10.78.2.2, outside --allow"), std::string::npos)
      << err("relay");
  EXPECT_NE(err("relay").find("did not prove the key"), std::string::npos) << err("relay");
  EXPECT_EQ(lost("first"), first_lost) << err("first");
  EXPECT_EQ(lost("second"), second_lost) << err("second");

  // The cable pulled for 5 s: both cockpits lose the link, and find it again within 3 s of the
  // cable coming back.
  ASSERT_TRUE(succeeded(hosts.ip("cockpit", {"link", "set", CABLE, "down"})));
  std::this_thread::sleep_for(5s);
  EXPECT_GT(lost("first"), first_lost) << err("first");
  EXPECT_GT(lost("second"), second_lost) << err("second");
  ASSERT_TRUE(succeeded(hosts.ip("cockpit", {"link", "set", CABLE, "up"})));
  for (const char* cockpit : cockpits) EXPECT_TRUE(connected_again(cockpit, 1, 3s)) << err(cockpit);

  // The relay restarted: the cockpits lose the link while it is away, and come back to it by
  // themselves.
  const std::size_t first_lost_before = lost("first"), second_lost_before = lost("second");
  relay->signal(SIGTERM);
  EXPECT_EQ(relay->wait(10s), 0) << err("relay");
  EXPECT_TRUE(eventually([&] { return lost("first") > first_lost_before; }, 30s)) << err("first");
  EXPECT_TRUE(eventually([&] { return lost("second") > second_lost_before; }, 30s))
      << err("second");
  relay = start_relay("relay-again");
  for (const char* cockpit : cockpits) {
    EXPECT_TRUE(connected_again(cockpit, 2, 30s)) << err(cockpit) << err("relay-again");
  }

  for (const auto& cockpit : {first.get(), second.get()}) {
    cockpit->signal(SIGTERM);
    EXPECT_EQ(cockpit->wait(30s), 0);
  }
  relay->signal(SIGTERM);
  EXPECT_EQ(relay->wait(10s), 0) << err("relay-again");
  sim->signal(SIGTERM);
  EXPECT_EQ(sim->wait(10s), 0);
  for (const char* cockpit : cockpits) {
    EXPECT_EQ(needles_following_the_simulator(cockpit), 2) << cockpit;
  }
}

}  // namespace
}  // namespace kavri
