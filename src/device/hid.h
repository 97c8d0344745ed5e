// The master card's USB HID access: the five operations of the card link. Every report is
// 9 bytes with the report id (always 0) in byte 0, whatever the platform's HID layer does
// with report ids. Backends: hidapi (Linux), SetupAPI (Windows), the virtual card (virtual/).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace kavri {

constexpr std::uint16_t CARD_VENDOR_ID = 0xFCFD;
constexpr std::uint16_t CARD_PRODUCT_ID = 0x0001;

enum class HidReadStatus { ok, timed_out, failed };

// An open card (the card handle). Closing is destruction (hid_close).
// write_report may be called from several threads at once only if the caller serialises them
// (BusSender does); read_report is used by one thread at a time.
class HidCard {
 public:
  virtual ~HidCard() = default;

  // hid_write_report: writes one whole report. Returns the bytes written, 0 on failure
  // (and 0 without any I/O for an empty span).
  virtual int write_report(std::span<const std::uint8_t> report) = 0;

  // hid_read_report: reads one input report, waiting at most `timeout_ms` (negative: no
  // limit). On ok the span holds the new report. On timed_out or failed the span is zeroed,
  // so a caller can never take the previous report for a new one.
  virtual HidReadStatus read_report(std::span<std::uint8_t> report, int timeout_ms) = 0;
};

// The platform's HID layer (hid_init is its construction).
class HidLayer {
 public:
  virtual ~HidLayer() = default;
  // hid_open: the index-th interface (from 0) whose ids match; version -1 matches any.
  // Returns null when there is none.
  virtual std::unique_ptr<HidCard> open(std::uint16_t product_id, std::uint16_t vendor_id,
                                        int version, int index) = 0;
};

// The platform's HID layer, chosen by the build: hidapi (hidraw) on Linux, hid.dll and
// setupapi.dll on Windows.
std::unique_ptr<HidLayer> make_platform_hid_layer();

}  // namespace kavri
