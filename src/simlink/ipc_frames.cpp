#include "simlink/ipc_frames.h"

#include <algorithm>
#include <cstring>

#include "simlink/ipc_records.h"

namespace kavri {

bool RequestFrameWriter::set_name(std::string_view name) {
  length_ = 0;
  if (name.empty() || name.size() > IPC_MAX_NAME) return false;
  store_le32(frame_.data(), IPC_FRAME_TAG);
  store_le32(frame_.data() + 12, static_cast<std::uint32_t>(name.size()));
  std::memcpy(frame_.data() + IPC_FRAME_HEADER, name.data(), name.size());
  length_ = IPC_FRAME_HEADER + name.size();
  return true;
}

std::span<const std::uint8_t> RequestFrameWriter::stamp(std::uint32_t sequence,
                                                        std::uint32_t used) {
  store_le32(frame_.data() + 4, sequence);
  store_le32(frame_.data() + 8, used);
  return {frame_.data(), length_};
}

std::span<std::uint8_t> RequestFrameReader::room() {
  // What is held is less than one whole request once every whole one has been passed, so
  // moving it to the front always leaves room for at least one more.
  std::memmove(bytes_.data(), bytes_.data() + at_, held_ - at_);
  held_ -= at_;
  at_ = 0;
  return std::span(bytes_).subspan(held_);
}

void RequestFrameReader::received(std::size_t count) {
  held_ += std::min(count, bytes_.size() - held_);
}

RequestFrameReader::Next RequestFrameReader::next(RequestFrame& frame) {
  if (held_ - at_ < IPC_FRAME_HEADER) return Next::partial;
  const std::uint8_t* const start = bytes_.data() + at_;
  const std::uint32_t length = load_le32(start + 12);
  if (load_le32(start) != IPC_FRAME_TAG || length == 0 || length > IPC_MAX_NAME) {
    return Next::foreign;
  }
  if (held_ - at_ < IPC_FRAME_HEADER + length) return Next::partial;
  frame.sequence = load_le32(start + 4);
  frame.used = load_le32(start + 8);
  frame.name = {reinterpret_cast<const char*>(start) + IPC_FRAME_HEADER, length};
  at_ += IPC_FRAME_HEADER + length;
  return Next::request;
}

void ReplyReader::await(std::uint32_t sequence) {
  sequence_ = sequence;
  filled_ = 0;
}

std::span<std::uint8_t> ReplyReader::room() { return std::span(reply_).subspan(filled_); }

std::optional<std::uint32_t> ReplyReader::received(std::size_t count) {
  filled_ += std::min(count, reply_.size() - filled_);
  if (filled_ < reply_.size()) return std::nullopt;
  filled_ = 0;
  if (load_le32(reply_.data()) != sequence_) return std::nullopt;
  return load_le32(reply_.data() + 4);
}

}  // namespace kavri
