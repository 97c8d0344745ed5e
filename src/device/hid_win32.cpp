// The card link on Windows: hid.dll and setupapi.dll loaded by name at run time, the card found
// by the walk of hid_open over the device-setup API's interfaces (device/hid_win32_walk.h), and
// reports moved with overlapped I/O so that a read waits at most its time-out and a write never
// waits behind a pending read. Windows carries the report id in byte 0 of every buffer, as the
// card link does.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "device/bus_messages.h"
#include "device/hid.h"
#include "device/hid_matching.h"
#include "device/hid_open_walk.h"
#include "device/hid_win32_walk.h"

namespace kavri {
namespace {

// A write the card does not take within this time is given up.
constexpr DWORD WRITE_TIMEOUT_MS = 1000;

// The errors of a transfer that say the card is no longer there: its handle is dead and only
// opening the card again can help. Any other failure leaves the card as it is.
HidStatus status_of_failure(DWORD error) {
  switch (error) {
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
      return HidStatus::gone;
    default:
      return HidStatus::failed;
  }
}

template <typename Function>
void resolve(HMODULE library, const char* name, Function& function) {
  // Through a generic function pointer: FARPROC's own type does not match any of these.
  function =
      library == nullptr
          ? nullptr
          : reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The libraries stay loaded for the life of the process, as the handles opened from them do.
HidFunctions load_hid_functions() {
  HMODULE hid = LoadLibraryA("hid.dll");
  HMODULE setupapi = LoadLibraryA("setupapi.dll");
  HidFunctions f;
  resolve(hid, "HidD_GetHidGuid", f.get_hid_guid);
  resolve(hid, "HidD_GetAttributes", f.get_attributes);
  resolve(setupapi, "SetupDiGetClassDevsA", f.get_class_devs);
  resolve(setupapi, "SetupDiEnumDeviceInterfaces", f.enum_device_interfaces);
  resolve(setupapi, "SetupDiGetDeviceInterfaceDetailA", f.get_device_interface_detail);
  resolve(setupapi, "SetupDiDestroyDeviceInfoList", f.destroy_device_info_list);
  f.create_file = CreateFileA;
  f.close_handle = CloseHandle;
  return f;
}

// The functions that tell an open interface's input report length, from hid.dll.
struct ReportLengthFunctions {
  BOOLEAN(WINAPI* get_preparsed_data)(HANDLE, PHIDP_PREPARSED_DATA*) = nullptr;
  NTSTATUS(WINAPI* get_caps)(PHIDP_PREPARSED_DATA, PHIDP_CAPS) = nullptr;
  BOOLEAN(WINAPI* free_preparsed_data)(PHIDP_PREPARSED_DATA) = nullptr;
};

ReportLengthFunctions load_report_length_functions() {
  HMODULE hid = LoadLibraryA("hid.dll");
  ReportLengthFunctions f;
  resolve(hid, "HidD_GetPreparsedData", f.get_preparsed_data);
  resolve(hid, "HidP_GetCaps", f.get_caps);
  resolve(hid, "HidD_FreePreparsedData", f.free_preparsed_data);
  return f;
}

// The interface's input report length, report id byte included; the card's REPORT_SIZE when
// the system does not tell.
std::size_t input_report_length(const ReportLengthFunctions& f, HANDLE device) {
  std::size_t length = static_cast<std::size_t>(REPORT_SIZE);
  PHIDP_PREPARSED_DATA data = nullptr;
  if (f.get_preparsed_data == nullptr || f.get_caps == nullptr ||
      f.free_preparsed_data == nullptr || !f.get_preparsed_data(device, &data)) {
    return length;
  }
  HIDP_CAPS caps{};
  if (f.get_caps(data, &caps) == HIDP_STATUS_SUCCESS && caps.InputReportByteLength > 1) {
    length = caps.InputReportByteLength;
  }
  f.free_preparsed_data(data);
  return length;
}

// One overlapped transfer at a time per direction, each with its own event.
class Transfer {
 public:
  Transfer() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Transfer() {
    if (event_ != nullptr) CloseHandle(event_);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Runs `start` (ReadFile or WriteFile on `overlapped`) and waits at most `timeout_ms`
  // (INFINITE: no limit). Returns the bytes moved, 0 on a time-out, -1 on failure (then
  // failure() tells what it means). A transfer still pending at the time-out is cancelled and
  // waited for, so the buffer is never written after the return; one that completes meanwhile
  // counts.
  template <typename Start>
  int run(HANDLE device, DWORD timeout_ms, Start start) {
    failure_ = HidStatus::failed;
    if (event_ == nullptr) return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event_;
    ResetEvent(event_);
    if (!start(&overlapped) && GetLastError() != ERROR_IO_PENDING) return failed(GetLastError());
    if (WaitForSingleObject(event_, timeout_ms) != WAIT_OBJECT_0) {
      CancelIoEx(device, &overlapped);
    }
    DWORD moved = 0;
    if (GetOverlappedResult(device, &overlapped, &moved, TRUE)) return static_cast<int>(moved);
    const DWORD error = GetLastError();
    return error == ERROR_OPERATION_ABORTED ? 0 : failed(error);
  }

  // What the last failed transfer means: gone or failed.
  HidStatus failure() const { return failure_; }

 private:
  int failed(DWORD error) {
    failure_ = status_of_failure(error);
    return -1;
  }

  HANDLE event_;
  HidStatus failure_ = HidStatus::failed;
};

class Win32Card final : public HidCard {
 public:
  Win32Card(HANDLE device, std::size_t input_report_length)
      : device_(device), buffer_(input_report_length) {}
  ~Win32Card() override {
    CancelIoEx(device_, nullptr);
    CloseHandle(device_);
  }
  Win32Card(const Win32Card&) = delete;
  Win32Card& operator=(const Win32Card&) = delete;

  HidStatus write_report(std::span<const std::uint8_t> report) override {
    if (report.empty()) return HidStatus::failed;
    std::lock_guard lock(write_mutex_);
    const int written = write_.run(device_, WRITE_TIMEOUT_MS, [&](OVERLAPPED* overlapped) {
      return WriteFile(device_, report.data(), static_cast<DWORD>(report.size()), nullptr,
                       overlapped) != 0;
    });
    if (written < 0) return write_.failure();
    return written == 0 ? HidStatus::timed_out : HidStatus::ok;
  }

  HidStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    if (report.empty()) return HidStatus::failed;
    std::lock_guard lock(read_mutex_);
    // Exactly one report's length: the HID driver fills a larger buffer with as many queued
    // reports as fit, and all but the first would be lost.
    std::vector<std::uint8_t>& buffer = buffer_;
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    const DWORD wait = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
    const int got = read_.run(device_, wait, [&](OVERLAPPED* overlapped) {
      return ReadFile(device_, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                      overlapped) != 0;
    });
    if (got == 0) return fill_input_report(report, {}, 0);
    // Byte 0 is the report id; the payload follows it. A report without payload is no report.
    if (got < 0 || got == 1) {
      std::fill(report.begin(), report.end(), std::uint8_t{0});
      return got < 0 ? read_.failure() : HidStatus::failed;
    }
    return fill_input_report(report, std::span(buffer).subspan(1), got - 1);
  }

 private:
  HANDLE device_;
  std::vector<std::uint8_t> buffer_;  // one input report, report id first
  std::mutex write_mutex_, read_mutex_;
  Transfer write_, read_;
};

}  // namespace

std::unique_ptr<HidCard> make_win32_card(HANDLE device, std::size_t input_report_length) {
  return std::make_unique<Win32Card>(device, input_report_length);
}

std::unique_ptr<HidLayer> make_platform_hid_layer() {
  // The layer, its lists and the cards they make share the one function table.
  auto functions = std::make_shared<const HidFunctions>(load_hid_functions());
  auto lengths = std::make_shared<const ReportLengthFunctions>(load_report_length_functions());
  return std::make_unique<ListedHidLayer>(
      [functions, lengths](const HidSought&) -> std::unique_ptr<HidInterfaceList> {
        if (!functions->complete()) return nullptr;  // no HID support on this system
        return std::make_unique<SetupApiInterfaceList>(*functions, [lengths](HANDLE device) {
          return make_win32_card(device, input_report_length(*lengths, device));
        });
      });
}

}  // namespace kavri
