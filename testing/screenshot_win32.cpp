// The screen as GDI draws it, copied into a bitmap and saved as a PNG file. The PNG's image
// data is stored without compression (deflate's stored blocks), which every viewer reads and
// which needs no compression library.
#include <windows.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "testing/screenshot.h"

namespace kavri {
namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320 ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, const char* type,
               const std::vector<std::uint8_t>& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored blocks holding `raw`.
std::vector<std::uint8_t> stored_zlib(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> out{0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t length = std::min<std::size_t>(raw.size() - at, 0xFFFF);
    const bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(length));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(~length));
    out.push_back(static_cast<std::uint8_t>(~length >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put32(out, (b << 16) | a);
  return out;
}

// Rows of blue, green, red bytes, top row first, as the PNG of an RGB picture.
std::vector<std::uint8_t> png_of(const std::uint8_t* bgr, int width, int height, int stride) {
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (3 * width + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    const std::uint8_t* row = bgr + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x)
      raw.insert(raw.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  std::vector<std::uint8_t> header;
  put32(header, static_cast<std::uint32_t>(width));
  put32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", stored_zlib(raw));
  put_chunk(png, "IEND", {});
  return png;
}

BOOL CALLBACK paint_window(HWND window, LPARAM still_invalid) {
  if (!IsWindowVisible(window)) return TRUE;
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (GetUpdateRect(window, nullptr, FALSE)) *reinterpret_cast<bool*>(still_invalid) = true;
  return TRUE;
}

// Waits until every window of this thread has painted what it had to and the painting has
// reached the screen: GDI's batch flushed, and a display that copies the windows' pictures in
// its own time (Wine, when the thread looks for messages) given that time. Messages stay
// queued for the program. False when a window still had something to paint after a few
// seconds.
bool windows_drawn() {
  const ULONGLONG give_up = GetTickCount64() + 10000;
  for (;;) {
    bool still_invalid = false;
    EnumThreadWindows(GetCurrentThreadId(), paint_window, reinterpret_cast<LPARAM>(&still_invalid));
    GdiFlush();
    MSG waiting;
    PeekMessageW(&waiting, nullptr, 0, 0, PM_NOREMOVE);
    if (!still_invalid) break;
    if (GetTickCount64() > give_up) return false;
    Sleep(10);
  }
  Sleep(50);
  MSG waiting;
  PeekMessageW(&waiting, nullptr, 0, 0, PM_NOREMOVE);
  return true;
}

// The part `area` of the screen, saved as a PNG file.
bool save_area(const std::string& png_path, RECT area) {
  if (png_path.empty() || !windows_drawn()) return false;
  std::error_code ignored;
  std::filesystem::remove(png_path, ignored);  // so that an old picture never passes for new
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  bool taken = false;
  if (bitmap != nullptr && memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    taken = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  std::vector<std::uint8_t> png;
  if (taken) {
    const int stride = (3 * width + 3) & ~3;  // DIB rows are padded to 4 bytes
    png = png_of(static_cast<const std::uint8_t*>(pixels), width, height, stride);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!taken) return false;
  std::ofstream out(std::filesystem::path(png_path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool save_screenshot(const std::string& png_path) {
  return save_area(png_path, {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

bool save_window_screenshot(const std::string& png_path, const std::string& title) {
  HWND window = FindWindowW(nullptr, to_wide(title).c_str());
  RECT area{};
  if (window == nullptr || !GetWindowRect(window, &area)) return false;
  return save_area(png_path, area);
}

}  // namespace kavri
