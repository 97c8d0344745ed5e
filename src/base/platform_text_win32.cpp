#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

#include "base/platform_text.h"
#include "base/utf16_text.h"

namespace kavri {

const PlatformWords& platform_words() {
  static constexpr PlatformWords WORDS{
      "%LOCALAPPDATA%\\Kavri", "the Start menu", "\\",
      "Text to a console is written as the console's own characters; to a file or a pipe, as\n"
      "UTF-8.\n"};
  return WORDS;
}

namespace {

// How many bytes at the start of `text` form whole UTF-8 sequences: a sequence cut off at the
// end waits for the rest of its bytes. Bytes that are no UTF-8 at all count as whole (they
// show as U+FFFD), so nothing waits forever.
std::size_t whole_sequences(const std::string& text) {
  const std::size_t size = text.size();
  for (std::size_t back = 1; back <= std::min<std::size_t>(3, size); ++back) {
    const auto byte = static_cast<unsigned char>(text[size - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? size - back : size;
  }
  return size;
}

// A stream buffer that hands its text to a console through the wide-character call. Written
// out at once, after whatever C stdio holds for the same stream, so lines keep their order.
class ConsoleBuffer final : public std::streambuf {
 public:
  ConsoleBuffer(HANDLE console, std::FILE* c_stream) : console_(console), c_stream_(c_stream) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return write(&byte, 1) ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    return write(text, static_cast<std::size_t>(count)) ? count : 0;
  }

 private:
  bool write(const char* text, std::size_t count) {
    pending_.append(text, count);
    const std::size_t whole = whole_sequences(pending_);
    if (whole == 0) return true;
    std::fflush(c_stream_);
    const std::wstring wide = to_wide(std::string_view(pending_).substr(0, whole));
    pending_.erase(0, whole);
    const wchar_t* next = wide.data();
    std::size_t left = wide.size();
    while (left > 0) {
      DWORD written = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
      if (!WriteConsoleW(console_, next, chunk, &written, nullptr) || written == 0) return false;
      next += written;
      left -= written;
    }
    return true;
  }

  HANDLE console_;
  std::FILE* c_stream_;
  std::string pending_;  // the start of a sequence whose other bytes are still to come
};

// The console behind a C stream, or null when the stream leads to a file, a pipe or nowhere.
HANDLE console_of(std::FILE* stream) {
  const int descriptor = _fileno(stream);
  if (descriptor < 0) return nullptr;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_CHAR) return nullptr;
  // GetConsoleMode wants read access, which a console opened for writing alone ("CONOUT$" of a
  // windowed program's parent console) lacks: an empty write tells a console from NUL too.
  DWORD mode = 0, written = 0;
  return GetConsoleMode(handle, &mode) || WriteConsoleW(handle, L"", 0, &written, nullptr)
             ? handle
             : nullptr;
}

}  // namespace

void use_console_text() {
  // Never freed: the standard streams are flushed at exit, after static objects are gone.
  if (HANDLE console = console_of(stdout)) std::cout.rdbuf(new ConsoleBuffer(console, stdout));
  if (HANDLE console = console_of(stderr)) std::cerr.rdbuf(new ConsoleBuffer(console, stderr));
}

}  // namespace kavri
