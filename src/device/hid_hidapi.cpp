// The hidapi backend of the card link (hidraw on Linux).
//
// hidapi documents no call on a device as thread-safe, yet the driver writes from one thread
// while another waits for an answer. So every call on the device is made under one lock, and a
// read waits in short slices, letting writes through between them: a write is never held up
// for longer than one slice.
#include <hidapi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid.h"
#include "device/hid_matching.h"

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
  int write_report(std::span<const std::uint8_t> report) override {
    if (report.empty()) return 0;
    std::lock_guard lock(mutex_);
    const int written = hid_write(device_, report.data(), report.size());
    return std::max(written, 0);
  }

  // hidapi delivers unnumbered input reports without their id, so the payload lands in bytes
  // 1 and up and byte 0 is set to the id, 0.
  HidReadStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    if (report.empty()) return HidReadStatus::failed;
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

class HidapiLayer final : public HidLayer {
 public:
  std::unique_ptr<HidCard> open(std::uint16_t product_id, std::uint16_t vendor_id, int version,
                                int index) override {
    std::vector<HidInterfaceIds> ids;
    std::vector<std::string> paths;
    hid_device_info* devices = hid_enumerate(vendor_id, product_id);
    for (const hid_device_info* d = devices; d != nullptr; d = d->next) {
      if (d->path == nullptr) continue;
      ids.push_back({d->vendor_id, d->product_id, d->release_number});
      paths.emplace_back(d->path);
    }
    hid_free_enumeration(devices);
    const auto chosen = nth_matching_interface(ids, product_id, vendor_id, version, index);
    if (!chosen) return nullptr;
    const std::string& path = paths[*chosen];
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) return nullptr;
    return std::make_unique<HidapiCard>(library_, device);
  }

 private:
  std::shared_ptr<HidapiLibrary> library_ = std::make_shared<HidapiLibrary>();
};

}  // namespace

std::unique_ptr<HidLayer> make_platform_hid_layer() { return std::make_unique<HidapiLayer>(); }

}  // namespace kavri
