// The vocabulary of the gauge bus: the 9-byte report and every command and answer code.
#pragma once

#include <array>
#include <cstdint>

namespace kavri {

constexpr int REPORT_SIZE = 9;
using BusReport = std::array<std::uint8_t, REPORT_SIZE>;

// A report as commands are composed and answers are laid out: code, address (or table index)
// and one data byte in bytes 1 to 3, every other byte 0.
constexpr BusReport make_report(std::uint8_t code, std::uint8_t byte2 = 0, std::uint8_t byte3 = 0) {
  return BusReport{0, code, byte2, byte3, 0, 0, 0, 0, 0};
}

constexpr std::uint8_t COMMON_ADDRESS = 50;
constexpr std::uint8_t ANALOG_MARK = 2;

// Commands, driver to card (byte 1).
constexpr std::uint8_t CMD_EXPLORE = 0;
constexpr std::uint8_t CMD_SET_OUTPUT_1 = 1;
constexpr std::uint8_t CMD_SET_OUTPUT_2 = 2;
constexpr std::uint8_t CMD_SET_POSITION_1 = 3;
constexpr std::uint8_t CMD_SET_POSITION_2 = 4;
constexpr std::uint8_t CMD_READ_ANALOG = 5;
constexpr std::uint8_t CMD_SET_BACKLIGHT = 6;  // byte 3: backlight_brightness(level)
constexpr std::uint8_t CMD_RESET_MODULE = 7;
constexpr std::uint8_t CMD_SET_ADDRESS = 50;
constexpr std::uint8_t CMD_WRITE_PARAM_FIRST = 51;  // CMD_WRITE_PARAM: codes 51 to 88
constexpr std::uint8_t CMD_WRITE_PARAM_LAST = 88;
constexpr std::uint8_t CMD_END_EXPLORATION = 254;
constexpr std::uint8_t CMD_DUMP_PARAMS = 255;

// The CMD_SET_BACKLIGHT brightness of a backlight level 0-15: 0 to 255 in steps of 17. A level
// outside 0-15 counts as the nearer end.
constexpr std::uint8_t backlight_brightness(int level) {
  return static_cast<std::uint8_t>((level < 0 ? 0 : level > 15 ? 15 : level) * 17);
}

// Answers, card to driver (byte 1).
constexpr std::uint8_t RSP_MODULE_FOUND = 1;
constexpr std::uint8_t RSP_NOP = 2;
constexpr std::uint8_t RSP_SCAN_STEP = 3;
constexpr std::uint8_t RSP_MODULE_ERROR = 4;
constexpr std::uint8_t RSP_PARAM_FIRST = 150;  // RSP_PARAM: codes 150 to 187
constexpr std::uint8_t RSP_PARAM_LAST = 187;   // always the last answer of a dump
constexpr std::uint8_t RSP_EXPLORATION_DONE = 254;
constexpr std::uint8_t RSP_SCAN_COMPLETE = 255;

constexpr int PARAM_COUNT = 38;  // RSP_PARAM answers per dump; CMD_WRITE_PARAM reports per write

}  // namespace kavri
