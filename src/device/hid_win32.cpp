// The card link on Windows: hid.dll and setupapi.dll loaded by name at run time, the card found
// by the interface walk (device/hid_win32_walk.h), and reports moved with overlapped I/O so that
// a read waits at most its time-out and a write never waits behind a pending read. Windows
// carries the report id in byte 0 of every buffer, as the card link does.
#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "device/hid.h"
#include "device/hid_matching.h"
#include "device/hid_win32_walk.h"

namespace kavri {
namespace {

// A write the card does not take within this time is given up.
constexpr DWORD WRITE_TIMEOUT_MS = 1000;

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
  // (INFINITE: no limit). Returns the bytes moved, 0 on a time-out, -1 on failure. A transfer
  // still pending at the time-out is cancelled and waited for, so the buffer is never written
  // after the return; one that completes meanwhile counts.
  template <typename Start>
  int run(HANDLE device, DWORD timeout_ms, Start start) {
    if (event_ == nullptr) return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event_;
    ResetEvent(event_);
    if (!start(&overlapped) && GetLastError() != ERROR_IO_PENDING) return -1;
    if (WaitForSingleObject(event_, timeout_ms) != WAIT_OBJECT_0) {
      CancelIoEx(device, &overlapped);
    }
    DWORD moved = 0;
    if (GetOverlappedResult(device, &overlapped, &moved, TRUE)) return static_cast<int>(moved);
    return GetLastError() == ERROR_OPERATION_ABORTED ? 0 : -1;
  }

 private:
  HANDLE event_;
};

class Win32Card final : public HidCard {
 public:
  explicit Win32Card(HANDLE device) : device_(device) {}
  ~Win32Card() override {
    CancelIoEx(device_, nullptr);
    CloseHandle(device_);
  }
  Win32Card(const Win32Card&) = delete;
  Win32Card& operator=(const Win32Card&) = delete;

  int write_report(std::span<const std::uint8_t> report) override {
    if (report.empty()) return 0;
    std::lock_guard lock(write_mutex_);
    const int written = write_.run(device_, WRITE_TIMEOUT_MS, [&](OVERLAPPED* overlapped) {
      return WriteFile(device_, report.data(), static_cast<DWORD>(report.size()), nullptr,
                       overlapped) != 0;
    });
    return std::max(written, 0);
  }

  HidReadStatus read_report(std::span<std::uint8_t> report, int timeout_ms) override {
    if (report.empty()) return HidReadStatus::failed;
    std::lock_guard lock(read_mutex_);
    // Larger than any report of the card, so that a long one is cut here, not in the caller's
    // buffer.
    std::array<std::uint8_t, 64> buffer{};
    const DWORD wait = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
    const int got = read_.run(device_, wait, [&](OVERLAPPED* overlapped) {
      return ReadFile(device_, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                      overlapped) != 0;
    });
    // Byte 0 is the report id; the payload follows it. An empty read is no report.
    if (got == 0 || got == 1) return fill_input_report(report, {}, got == 0 ? 0 : -1);
    return fill_input_report(report, std::span(buffer).subspan(1), got < 0 ? -1 : got - 1);
  }

 private:
  HANDLE device_;
  std::mutex write_mutex_, read_mutex_;
  Transfer write_, read_;
};

class Win32HidLayer final : public HidLayer {
 public:
  std::unique_ptr<HidCard> open(std::uint16_t product_id, std::uint16_t vendor_id, int version,
                                int index) override {
    if (!functions_.complete()) return nullptr;  // no HID support on this system
    HANDLE device = open_matching_hid_interface(functions_, product_id, vendor_id, version, index);
    if (device == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32Card>(device);
  }

 private:
  HidFunctions functions_ = load_hid_functions();
};

}  // namespace

std::unique_ptr<HidLayer> make_platform_hid_layer() { return std::make_unique<Win32HidLayer>(); }

}  // namespace kavri
