// A machine's HID interfaces for tests of the open walk: a table of interfaces, each with its
// ids and whether it opens, and a record of what the walk opened and closed.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/hid_matching.h"
#include "device/hid_open_walk.h"

namespace kavri::testing {

struct FakeInterface {
  HidInterfaceIds ids;
  int open_error = 0;  // the errno of a failed open; 0: it opens
};

struct FakeMachine {
  explicit FakeMachine(std::vector<FakeInterface> list = {}, bool listed = true)
      : interfaces(std::move(list)), ids_listed(listed) {}

  std::vector<FakeInterface> interfaces;
  bool ids_listed = true;   // false: the ids are read once open, as on Windows
  std::vector<int> opened;  // indexes, in the order opened
  std::set<int> open_now;   // opened and not yet closed

  static std::string path_of(std::size_t i) { return "/dev/hidraw" + std::to_string(i); }
};

// An opened interface; closing it is destroying it. Reports go nowhere.
class FakeInterfaceCard final : public HidCard {
 public:
  FakeInterfaceCard(FakeMachine& machine, int index) : machine_(machine), index_(index) {}
  ~FakeInterfaceCard() override { machine_.open_now.erase(index_); }
  int index() const { return index_; }
  HidStatus write_report(std::span<const std::uint8_t>) override { return HidStatus::ok; }
  HidStatus read_report(std::span<std::uint8_t> report, int) override {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    return HidStatus::timed_out;
  }

 private:
  FakeMachine& machine_;
  int index_;
};

class FakeInterfaceList final : public HidInterfaceList {
 public:
  explicit FakeInterfaceList(FakeMachine& machine) : machine_(machine) {}
  std::size_t size() const override { return machine_.interfaces.size(); }
  std::string path(std::size_t i) const override { return FakeMachine::path_of(i); }
  std::optional<HidInterfaceIds> listed_ids(std::size_t i) const override {
    if (!machine_.ids_listed) return std::nullopt;
    return machine_.interfaces[i].ids;
  }
  HidOpenAttempt open(std::size_t i) override {
    const FakeInterface& fake = machine_.interfaces[i];
    if (fake.open_error != 0) {
      return {nullptr, std::nullopt, hidraw_open_error_reason(fake.open_error)};
    }
    const int index = static_cast<int>(i);
    machine_.opened.push_back(index);
    machine_.open_now.insert(index);
    return {std::make_unique<FakeInterfaceCard>(machine_, index), fake.ids, {}};
  }

 private:
  FakeMachine& machine_;
};

// A HID layer that walks the fake machine's interfaces.
inline std::unique_ptr<HidLayer> fake_hid_layer(FakeMachine& machine) {
  return std::make_unique<ListedHidLayer>(
      [&machine](const HidSought&) { return std::make_unique<FakeInterfaceList>(machine); });
}

}  // namespace kavri::testing
