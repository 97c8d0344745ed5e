// The open walk on fake machines: which interface becomes the card, which are opened and
// closed again, and what is told about the ones that would not open.
#include "device/hid_open_walk.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "testing/fake_hid_list.h"

namespace kavri {
namespace {

using testing::FakeInterface;
using testing::FakeInterfaceCard;
using testing::FakeMachine;

constexpr HidInterfaceIds kKeyboard{0x046D, 0xC31C, 0x0110};
constexpr HidInterfaceIds kSameVendorOtherProduct{CARD_VENDOR_ID, 0x0002, 0x0100};
constexpr HidInterfaceIds kCardV1{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0100};
constexpr HidInterfaceIds kCardV2{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0200};

struct Walked {
  HidWalkResult result;
  int chosen = -1;  // the interface that became the card; -1: none
};

Walked walk(FakeMachine& machine, int version, int index) {
  testing::FakeInterfaceList list(machine);
  Walked walked{open_nth_matching(list, {CARD_VENDOR_ID, CARD_PRODUCT_ID, version, index})};
  if (walked.result.card) {
    walked.chosen = dynamic_cast<FakeInterfaceCard&>(*walked.result.card).index();
  }
  return walked;
}

struct WalkCase {
  const char* name;
  std::vector<FakeInterface> interfaces;
  int version, index;
  int chosen;
  std::vector<std::string> failed_paths;
};

class OpenWalk : public ::testing::TestWithParam<WalkCase> {};

// Run both with the ids listed (hidraw) and read once open (the device-setup API): the card
// chosen is the same, and only it stays open.
TEST_P(OpenWalk, TakesTheIndexthCardThatOpensAndClosesEveryOther) {
  for (bool ids_listed : {true, false}) {
    FakeMachine machine(GetParam().interfaces, ids_listed);
    const Walked walked = walk(machine, GetParam().version, GetParam().index);
    EXPECT_EQ(walked.chosen, GetParam().chosen) << ids_listed;
    const std::set<int> left_open =
        walked.chosen < 0 ? std::set<int>{} : std::set<int>{walked.chosen};
    EXPECT_EQ(machine.open_now, left_open) << ids_listed;
    if (!ids_listed) continue;
    std::vector<std::string> failed;
    for (const HidOpenFailure& f : walked.result.failures) failed.push_back(f.path);
    EXPECT_EQ(failed, GetParam().failed_paths);
    for (int i : machine.opened) {  // a listed interface of other ids is never opened
      EXPECT_TRUE(interface_matches(machine.interfaces[static_cast<std::size_t>(i)].ids,
                                    {CARD_VENDOR_ID, CARD_PRODUCT_ID, GetParam().version}));
    }
  }
}

const FakeInterface kKeyboardIf{kKeyboard}, kOtherIf{kSameVendorOtherProduct}, kV1{kCardV1},
    kV2{kCardV2}, kLockedV1{kCardV1, EACCES};

INSTANTIATE_TEST_SUITE_P(
    Machines, OpenWalk,
    ::testing::Values(
        WalkCase{"any_version_first", {kKeyboardIf, kOtherIf, kV2, kV1}, -1, 0, 2, {}},
        WalkCase{"second_card", {kKeyboardIf, kOtherIf, kV2, kV1}, -1, 1, 3, {}},
        WalkCase{"no_third", {kKeyboardIf, kOtherIf, kV2, kV1}, -1, 2, -1, {}},
        WalkCase{"given_version", {kKeyboardIf, kOtherIf, kV2, kV1}, 0x0100, 0, 3, {}},
        WalkCase{"unknown_version", {kV2, kV1}, 0x0300, 0, -1, {}},
        WalkCase{"negative_index", {kV1}, -1, -1, -1, {}},
        WalkCase{"no_card", {kKeyboardIf, kOtherIf}, -1, 0, -1, {}},
        WalkCase{"empty", {}, -1, 0, -1, {}},
        WalkCase{"first_locked", {kLockedV1, kV2}, -1, 0, 1, {"/dev/hidraw0"}},
        WalkCase{"locked_skipped_in_count", {kV1, kLockedV1, kV2}, -1, 1, 2, {"/dev/hidraw1"}},
        WalkCase{"only_locked", {kKeyboardIf, kLockedV1}, -1, 0, -1, {"/dev/hidraw1"}}),
    [](const ::testing::TestParamInfo<WalkCase>& param) { return std::string(param.param.name); });

TEST(OpenWalk, LooksAtTheFirst256InterfacesOnly) {
  FakeMachine machine;
  machine.interfaces.assign(MAX_HID_INTERFACES, FakeInterface{kKeyboard});
  machine.interfaces.push_back({kCardV1});
  EXPECT_EQ(walk(machine, -1, 0).chosen, -1);
  machine.interfaces[MAX_HID_INTERFACES - 1] = {kCardV1};
  EXPECT_EQ(walk(machine, -1, 0).chosen, static_cast<int>(MAX_HID_INTERFACES - 1));
}

TEST(ListedHidLayer, KeepsWhyTheCardCouldNotBeOpenedUntilTheNextOpen) {
  FakeMachine machine({kKeyboardIf, kLockedV1});
  std::unique_ptr<HidLayer> layer = testing::fake_hid_layer(machine);
  EXPECT_EQ(layer->open(MASTER_CARD), nullptr);
  ASSERT_EQ(layer->open_failures().size(), 1u);
  EXPECT_EQ(layer->open_failures()[0].path, "/dev/hidraw1");
  EXPECT_NE(layer->open_failures()[0].reason.find("permission denied"), std::string::npos);
  EXPECT_NE(layer->open_failures()[0].reason.find("/etc/udev/rules.d/70-kavri.rules"),
            std::string::npos);

  machine.interfaces[1].open_error = 0;
  EXPECT_NE(layer->open(MASTER_CARD), nullptr);
  EXPECT_TRUE(layer->open_failures().empty());
}

}  // namespace
}  // namespace kavri
