#include "bridges/fgfs_bridge.h"

#include <vector>

namespace kavri {
namespace {

// Larger than any UDP datagram, so that none is ever cut: one too long for a frame is refused
// whole by the frame's own length rule.
constexpr std::size_t RECEIVE_BUFFER = 65536;
constexpr Millis RETRY_SERVING{1000};
constexpr Millis REFUSAL_NEWS_EVERY{1000};

}  // namespace

FgfsBridge::FgfsBridge(Env& env, FgfsMap map, UdpSocket& socket, FgfsBridgeOptions options)
    : env_(env), map_(std::move(map)), socket_(socket), options_(std::move(options)), input_(map_) {
  server_ = make_platform_ipc_server(
      env_, space_,
      [this](std::uint32_t offset, std::span<const std::uint8_t> bytes) {
        on_client_write(offset, bytes);
      },
      options_.directory);
}

FgfsBridge::~FgfsBridge() { stop(); }

void FgfsBridge::start() {
  stop();
  worker_ = env_.start_thread([this](std::stop_token stop) {
    std::vector<char> buffer(RECEIVE_BUFFER);
    while (!stop.stop_requested()) {
      const auto size = socket_.receive(buffer, RECEIVE_WAIT);
      if (size) take_datagram({buffer.data(), *size});
      tick();
    }
  });
}

void FgfsBridge::stop() {
  worker_.stop_and_join();
  server_->stop();
  serving_ = false;
}

void FgfsBridge::take_datagram(std::string_view datagram) {
  std::string error;
  const auto frame = decode_frame(map_, datagram, error);
  if (!frame) {
    ++refused_;
    last_refusal_ = std::move(error);
    return;
  }
  for (const OffsetValue& value : frame->offsets) {
    space_.set(value.offset, value.size, value.bytes());
  }
  {
    std::lock_guard lock(input_mutex_);
    input_.take_frame(frame->properties);
  }
  const std::int64_t now = env_.now_ms();
  last_frame_ms_ = now;
  if (options_.on_frame) options_.on_frame(*frame);
  if (!serving_) start_serving(now);
}

void FgfsBridge::tick() {
  const std::int64_t now = env_.now_ms();
  if (serving_ && now - last_frame_ms_ >= SILENCE.count()) {
    // Never with input_mutex_ held: stopping waits for the server thread, which may be
    // waiting for that lock in on_client_write.
    server_->stop();
    serving_ = false;
    news("no frame from FlightGear for 2 s: the driver is no longer served");
  }
  {
    std::lock_guard lock(input_mutex_);
    if (written_since_send_ && now - last_send_ms_ >= RESEND.count()) send_input(now);
  }
  if (refused_ > 0 && now >= next_refusal_news_ms_) {
    news(std::to_string(refused_) + " datagram(s) refused, the last one: " + last_refusal_);
    refused_ = 0;
    next_refusal_news_ms_ = now + REFUSAL_NEWS_EVERY.count();
  }
}

void FgfsBridge::start_serving(std::int64_t now) {
  if (now < next_serve_attempt_ms_) return;
  std::string error;
  if (!server_->start(options_.server_class, error)) {
    next_serve_attempt_ms_ = now + RETRY_SERVING.count();
    news("cannot serve the driver: " + error);
    return;
  }
  serving_ = true;
  news("frames are arriving: serving the driver");
}

void FgfsBridge::on_client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(input_mutex_);
  const FgfsInput::WriteEffect effect = input_.take_client_write(offset, bytes);
  if (effect == FgfsInput::WriteEffect::none) return;
  written_since_send_ = true;
  if (effect == FgfsInput::WriteEffect::new_value) send_input(env_.now_ms());
}

void FgfsBridge::send_input(std::int64_t now) {
  if (const auto datagram = input_.datagram()) socket_.send(*datagram);
  last_send_ms_ = now;
  written_since_send_ = false;
}

void FgfsBridge::news(const std::string& sentence) const {
  if (options_.on_news) options_.on_news(sentence);
}

}  // namespace kavri
