// The hidapi backend of the card link (hidraw on Linux).
//
// hidapi documents no call on a device as thread-safe, yet the driver writes from one thread
// while another waits for an answer. So every call on the device is made under one lock, and a
// read waits in short slices, letting writes through between them: a write is never held up
// for longer than one slice. On hidraw every failed call means the node is gone (the card was
// unplugged, or stopped taking reports until the kernel gave up on it).
#include <hidapi.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid.h"
#include "device/hid_matching.h"
#include "device/hid_open_walk.h"

namespace kavri {

namespace {

constexpr int kReadSliceMs = 10;

// hid_init and hid_exit, once: the layer and every card it opened share it, so a card that
// outlives its layer still closes on an initialised library.
struct HidapiLibrary {
  HidapiLibrary() { hid_init(); }
  ~HidapiLibrary() { hid_exit(); }
  HidapiLibrary(const HidapiLibrary&) = delete;
  HidapiLibrary& operator=(const HidapiLibrary&) = delete;
};

class HidapiCard final : public HidCard {
 public:
  HidapiCard(std::shared_ptr<HidapiLibrary> library, hid_device* device)
      : library_(std::move(library)), device_(device) {}
  ~HidapiCard() override { hid_close(device_); }
  HidapiCard(const HidapiCard&) = delete;
  HidapiCard& operator=(const HidapiCard&) = delete;

  // The card's reports are unnumbered: byte 0 (report id 0) goes to hidapi with the payload,
  // and hidapi leaves it out on the wire.
  HidStatus write_report(std::span<const std::uint8_t> report) override {
    if (report.empty()) return HidStatus::failed;
    std::lock_guard lock(mutex_);
    return hid_write(device_, report.data(), report.size()) > 0 ? HidStatus::ok : HidStatus::gone;
  }

  // hidapi delivers unnumbered input reports without their id, so the payload lands in bytes
  // 1 and up and byte 0 is set to the id, 0.
  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    if (report.empty()) return HidStatus::failed;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    // Larger than the card's 8 payload bytes, so an unexpectedly long report is cut here
    // rather than in the caller's buffer.
    std::array<unsigned char, 64> payload{};
    int got = 0;
    while (true) {
      int slice = kReadSliceMs;
      if (timeout_ms >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        slice = static_cast<int>(std::clamp<long long>(left, 0, kReadSliceMs));
      }
      {
        std::lock_guard lock(mutex_);
        got = hid_read_timeout(device_, payload.data(), payload.size(), slice);
      }
      if (got != 0) break;
      if (timeout_ms >= 0 && Clock::now() >= deadline) break;
    }
    return fill_input_report(report, payload, got);
  }

 private:
  std::shared_ptr<HidapiLibrary> library_;
  std::mutex mutex_;
  hid_device* device_;
};

// hidapi's wide error text, its non-ASCII characters as '?'.
std::string ascii_text(const wchar_t* text) {
  std::string ascii;
  for (; text != nullptr && *text != L'\0'; ++text) {
    ascii += (*text > 0 && *text < 0x80) ? static_cast<char>(*text) : '?';
  }
  return ascii.empty() ? "unknown error" : ascii;
}

// The hidraw nodes of the ids sought, as hidapi enumerates them (with their ids).
class HidapiInterfaceList final : public HidInterfaceList {
 public:
  HidapiInterfaceList(std::shared_ptr<HidapiLibrary> library, const HidSought& sought)
      : library_(std::move(library)) {
    hid_device_info* devices = hid_enumerate(sought.vendor_id, sought.product_id);
    for (const hid_device_info* d = devices; d != nullptr; d = d->next) {
      if (d->path == nullptr) continue;
      entries_.push_back({d->path, {d->vendor_id, d->product_id, d->release_number}});
    }
    hid_free_enumeration(devices);
  }

  std::size_t size() const override { return entries_.size(); }
  std::string path(std::size_t i) const override { return entries_[i].path; }
  std::optional<HidInterfaceIds> listed_ids(std::size_t i) const override {
    return entries_[i].ids;
  }

  HidOpenAttempt open(std::size_t i) override {
    const std::string& path = entries_[i].path;
    if (hid_device* device = hid_open_path(path.c_str())) {
      return {std::make_unique<HidapiCard>(library_, device), std::nullopt, {}};
    }
    // hidapi keeps the reason as text only; the node's access rights tell the usual one.
    if (access(path.c_str(), R_OK | W_OK) != 0) {
      return {nullptr, std::nullopt, hidraw_open_error_reason(errno)};
    }
    return {nullptr, std::nullopt, ascii_text(hid_error(nullptr))};
  }

 private:
  struct Entry {
    std::string path;
    HidInterfaceIds ids;
  };
  std::shared_ptr<HidapiLibrary> library_;
  std::vector<Entry> entries_;
};

}  // namespace

std::unique_ptr<HidLayer> make_platform_hid_layer() {
  auto library = std::make_shared<HidapiLibrary>();
  return std::make_unique<ListedHidLayer>([library](const HidSought& sought) {
    return std::make_unique<HidapiInterfaceList>(library, sought);
  });
}

}  // namespace kavri
