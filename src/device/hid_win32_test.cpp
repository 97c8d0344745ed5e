// The Windows card's reads on a stand-in for the HID driver: a byte pipe, which, like the HID
// driver given a larger buffer, hands a read every queued byte that fits.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "device/hid.h"
#include "device/hid_win32_walk.h"

namespace kavri {
namespace {

TEST(Win32Card, EachReadTakesOneReportOfABurst) {
  const std::wstring name = L"\\\\.\\pipe\\kavri-card-" + std::to_wstring(GetCurrentProcessId());
  HANDLE driver = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                   4096, 4096, 0, nullptr);
  ASSERT_NE(driver, INVALID_HANDLE_VALUE);
  HANDLE device = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::unique_ptr<HidCard> card = make_win32_card(device, 9);

  // Three parameter answers queued before the read: report id 0, code 0xFD, address, data.
  std::string burst;
  const int answers[] = {0x11, 0x22, 0x33};
  for (int data : answers)
    burst += std::string("\0\xFD\x07", 3) + static_cast<char>(data) + "00000";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(driver, burst.data(), 27, &written, nullptr));
  for (int data : answers) {
    std::array<std::uint8_t, 9> report{};
    ASSERT_EQ(card->read_report(report, 2000), HidStatus::ok);
    EXPECT_EQ(report[1], 0xFD);
    EXPECT_EQ(report[3], data);
  }
  std::array<std::uint8_t, 9> none{};
  EXPECT_EQ(card->read_report(none, 50), HidStatus::timed_out);
  card.reset();
  CloseHandle(driver);
}

}  // namespace
}  // namespace kavri
