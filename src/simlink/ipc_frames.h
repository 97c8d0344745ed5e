// The frames that the stream transport (version 2) carries between client and server, apart
// from any socket so that both ends' reading can be driven by any bytes at all. The request:
// IPC_FRAME_TAG, a sequence number, the length of the block in use (end marker included), the
// length n of the area name (1 to IPC_MAX_NAME), then the n bytes of the name; the reply: the
// request's sequence number, then the reply value. All 32-bit little-endian. The tag is no
// valid name length of version 1, whose servers therefore drop a version 2 client at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kavri {

constexpr std::uint32_t IPC_FRAME_TAG = 0x3250494B;  // "KIP2"
constexpr std::size_t IPC_FRAME_HEADER = 16;
constexpr std::size_t IPC_MAX_NAME = 255;
constexpr std::size_t IPC_MAX_FRAME = IPC_FRAME_HEADER + IPC_MAX_NAME;
constexpr std::size_t IPC_REPLY_SIZE = 8;

// The client's request for one area, numbered anew for each exchange.
class RequestFrameWriter {
 public:
  // False, and no frame, when `name` is empty or longer than IPC_MAX_NAME.
  bool set_name(std::string_view name);
  // The whole request, to be sent as it is.
  std::span<const std::uint8_t> stamp(std::uint32_t sequence, std::uint32_t used);

 private:
  std::array<std::uint8_t, IPC_MAX_FRAME> frame_{};
  std::size_t length_ = 0;
};

// One request as the server read it; `used` is the client's word, still to be checked.
struct RequestFrame {
  std::uint32_t sequence = 0;
  std::uint32_t used = 0;
  std::string_view name;  // 1 to IPC_MAX_NAME bytes, valid until the reader's next room()
};

// The server's side: the bytes of one connection as they arrive, cut into requests. Room for
// two requests lets a client that sends its next request early lose nothing.
class RequestFrameReader {
 public:
  enum class Next {
    request,  // a whole request, in the frame given
    partial,  // nothing more is whole yet
    foreign,  // not this protocol (or not this version of it): the connection must end
  };

  // Where the next receive goes: never empty, however the bytes came.
  std::span<std::uint8_t> room();
  // Takes the first `count` bytes of room().
  void received(std::size_t count);
  Next next(RequestFrame& frame);
  // Whether a request has begun but is not whole.
  bool partial() const { return held_ > at_; }

 private:
  std::array<std::uint8_t, 2 * IPC_MAX_FRAME> bytes_{};
  std::size_t at_ = 0;    // where the next request starts
  std::size_t held_ = 0;  // bytes received and not yet passed
};

// The client's side: replies read until the one of the request's number. A reply of any other
// number (late, surplus or made up) is passed over, never taken for this request's.
class ReplyReader {
 public:
  // Starts the wait for the reply to request `sequence`.
  void await(std::uint32_t sequence);
  // Where the next receive goes: the rest of one reply, never empty.
  std::span<std::uint8_t> room();
  // Takes the first `count` bytes of room(); the reply value once the reply of the awaited
  // number is whole.
  std::optional<std::uint32_t> received(std::size_t count);

 private:
  std::array<std::uint8_t, IPC_REPLY_SIZE> reply_{};
  std::size_t filled_ = 0;
  std::uint32_t sequence_ = 0;
};

}  // namespace kavri
