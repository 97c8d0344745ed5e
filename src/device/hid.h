// The master card's USB HID access: the five operations of the card link. Every report is
// 9 bytes with the report id (always 0) in byte 0, whatever the platform's HID layer does
// with report ids. Backends: hidapi (Linux), SetupAPI (Windows), the virtual card (virtual/).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kavri {

constexpr std::uint16_t CARD_VENDOR_ID = 0xFCFD;
constexpr std::uint16_t CARD_PRODUCT_ID = 0x0001;

// What hid_open looks for: the interface's ids, its release (version; ANY_RELEASE: any) and,
// among the interfaces that match and open, which one (from 0).
constexpr int ANY_RELEASE = -1;
struct HidSought {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  int version = ANY_RELEASE;
  int index = 0;
};
// The master card: the first interface with its ids, of any release.
constexpr HidSought MASTER_CARD{.vendor_id = CARD_VENDOR_ID, .product_id = CARD_PRODUCT_ID};

// How one write or read went. `gone` is what the driver acts on: the card must be opened again
// before anything passes (hidapi: any failed call; Windows: ERROR_DEVICE_NOT_CONNECTED and the
// errors of its kind). `failed` is a report that did not pass on a card that is still there
// (an empty buffer, an error the platform tells apart from a removal).
enum class HidStatus { ok, timed_out, failed, gone };

// An open card (the card handle). Closing is destruction (hid_close).
// write_report may be called from several threads at once only if the caller serialises them
// (BusSender does); read_report is used by one thread at a time, alongside writes.
class HidCard {
 public:
  virtual ~HidCard() = default;

  // hid_write_report: writes one whole report (an empty span: failed, without any I/O).
  virtual HidStatus write_report(std::span<const std::uint8_t> report) = 0;

  // hid_read_report: reads one input report, waiting at most `timeout_ms` (negative: no
  // limit). On ok the span holds the new report; on any other status it is zeroed, so a
  // caller can never take the previous report for a new one.
  virtual HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) = 0;

  // The same write for a card whose writes can never hang (an in-process card): made here at
  // once, its status returned. Nullopt, with nothing written, when the write might hang (any
  // platform card, or a virtual one told to hold its writes): a caller that bounds its waits
  // then writes through write_report on a thread of its own.
  virtual std::optional<HidStatus> write_report_at_once(std::span<const std::uint8_t> report) {
    (void)report;
    return std::nullopt;
  }
};

// An interface with the card's ids that hid_open found but could not open, and why, in words
// for the user ("permission denied ...").
struct HidOpenFailure {
  std::string path;
  std::string reason;
};

// The platform's HID layer (hid_init is its construction).
class HidLayer {
 public:
  virtual ~HidLayer() = default;
  // hid_open: the sought.index-th interface (from 0) whose ids match. An interface that cannot
  // be opened is skipped and the next one tried. Null when none opened.
  virtual std::unique_ptr<HidCard> open(const HidSought& sought) = 0;
  // The interfaces with matching ids that the last open() skipped because they could not be
  // opened, in the order it tried them. Called on the thread that called open().
  virtual std::vector<HidOpenFailure> open_failures() const { return {}; }
};

// The platform's HID layer, chosen by the build: hidapi (hidraw) on Linux, hid.dll and
// setupapi.dll on Windows.
std::unique_ptr<HidLayer> make_platform_hid_layer();

}  // namespace kavri
