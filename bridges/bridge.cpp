#include "bridges/bridge.h"

#include <cmath>

namespace kavri {
namespace {

// Larger than any UDP datagram, so that none is ever cut: one too long for the simulator's
// format is refused whole by the front end.
constexpr std::size_t RECEIVE_BUFFER = 65536;
constexpr Millis RETRY_SERVING{1000};
constexpr Millis TROUBLE_NEWS_EVERY{1000};

bool at_least_since(std::int64_t now, const std::optional<std::int64_t>& then, Millis period) {
  return !then || now - *then >= period.count();
}

}  // namespace

Bridge::Bridge(Env& env, BridgeMap map, UdpSocket& socket, const FrontEndMaker& make_front_end,
               BridgeOptions options)
    : env_(env),
      map_(std::move(map)),
      reads_(map_.read_lines()),
      socket_(socket),
      front_end_(make_front_end(map_, socket)),
      options_(std::move(options)),
      values_(reads_.size(), 0.0),
      writes_(map_) {
  server_ = make_platform_ipc_server(
      env_, space_,
      [this](std::uint32_t offset, std::span<const std::uint8_t> bytes) {
        on_client_write(offset, bytes);
      },
      options_.directory);
}

Bridge::~Bridge() { stop(); }

Status Bridge::start() {
  stop();
  const auto receive = [this](std::stop_token stop) {
    std::vector<char> buffer(RECEIVE_BUFFER);
    while (!stop.stop_requested()) {
      const auto size = socket_.receive(buffer, RECEIVE_WAIT);
      if (size) take_datagram({buffer.data(), *size});
      tick();
    }
  };
  return start_worker(env_, worker_, receive, "bridge");
}

void Bridge::stop() {
  const bool was_running = worker_.joinable();
  worker_.stop_and_join();
  server_->stop();
  serving_ = false;
  if (was_running) {
    std::lock_guard lock(send_mutex_);
    front_end_->finish();
  }
}

void Bridge::take_datagram(std::string_view datagram) {
  const auto decoded = front_end_->decode(datagram);
  if (!decoded) {
    refused_.add(1, decoded.error());
    return;
  }
  ignored_.add(decoded->ignored, decoded->last_ignored);
  for (const ReadValue& value : decoded->values) {
    if (std::isfinite(value.value)) {
      values_[value.read_index] = value.value;
    } else {
      not_numbers_.add(1, reads_[value.read_index]->property + " = " + std::to_string(value.value));
    }
  }
  std::vector<std::string> clamped;
  const std::vector<OffsetValue> offsets = offset_values(reads_, values_, &clamped);
  if (!clamped.empty()) beyond_.add(static_cast<std::int64_t>(clamped.size()), clamped.back());
  for (const OffsetValue& value : offsets) space_.set(value.offset, value.size, value.bytes());
  {
    std::lock_guard lock(send_mutex_);
    writes_.take_reported(values_);
  }
  const std::int64_t now = env_.now_ms();
  last_values_ms_ = now;
  if (options_.on_values) options_.on_values(offsets);
  if (!serving_) start_serving(now);
}

void Bridge::tick() {
  const std::int64_t now = env_.now_ms();
  const bool arriving = last_values_ms_ && now - *last_values_ms_ < SILENCE.count();
  if (serving_ && !arriving) {
    // Never with send_mutex_ held: stopping waits for the server thread, which may be
    // waiting for that lock in on_client_write.
    server_->stop();
    serving_ = false;
    news(front_end_->silence_news());
  }
  {
    std::lock_guard lock(send_mutex_);
    const bool new_value_due =
        new_value_pending_ && at_least_since(now, last_send_ms_, front_end_->send_period());
    if (new_value_due || (written_since_send_ && at_least_since(now, last_send_ms_, RESEND))) {
      send_writes(now);
    }
    front_end_->tick(now, arriving);
  }
  tell_troubles(now);
}

void Bridge::tell_troubles(std::int64_t now) {
  SocketTroubles troubles = socket_.take_troubles();
  strangers_.add(troubles.refused_senders, std::move(troubles.last_refused_sender));
  failed_sends_.add(troubles.failed_sends, std::move(troubles.last_send_failure));
  for (CountedNews* kind :
       {&refused_, &ignored_, &beyond_, &not_numbers_, &strangers_, &failed_sends_}) {
    if (const auto sentence = kind->due(now, TROUBLE_NEWS_EVERY)) news(*sentence);
  }
}

void Bridge::start_serving(std::int64_t now) {
  if (now < next_serve_attempt_ms_) return;
  {
    // What the driver wrote before is its connection of then: the lever may have moved since.
    std::lock_guard lock(send_mutex_);
    writes_.forget_written();
    written_since_send_ = false;
    new_value_pending_ = false;
  }
  if (const Status started = server_->start(options_.server_class); !started) {
    next_serve_attempt_ms_ = now + RETRY_SERVING.count();
    news("cannot serve the driver: " + started.error());
    return;
  }
  serving_ = true;
  news(front_end_->arriving_news());
}

void Bridge::on_client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(send_mutex_);
  const WriteBack::WriteEffect effect = writes_.take_client_write(offset, bytes);
  if (effect == WriteBack::WriteEffect::none) return;
  written_since_send_ = true;
  if (effect != WriteBack::WriteEffect::new_value) return;
  // A value that changes faster than the simulator reads its input waits for the end of the
  // period, and only the last one goes.
  const std::int64_t now = env_.now_ms();
  if (at_least_since(now, last_send_ms_, front_end_->send_period())) {
    send_writes(now);
  } else {
    new_value_pending_ = true;
  }
}

void Bridge::send_writes(std::int64_t now) {
  if (writes_.reported_once()) front_end_->send_writes(writes_);
  last_send_ms_ = now;
  written_since_send_ = false;
  new_value_pending_ = false;
}

void Bridge::news(const std::string& sentence) const {
  if (options_.on_news) options_.on_news(sentence);
}

}  // namespace kavri
