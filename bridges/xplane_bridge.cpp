#include "bridges/xplane_bridge.h"

#include <deque>
#include <unordered_map>

#include "bridges/xplane_datagrams.h"

namespace kavri {
namespace {

// Indexes of unknown answers remembered for their unsubscription; beyond, the others are
// still ignored but no longer unsubscribed, so that no sender can make the table grow.
constexpr std::size_t MAX_UNKNOWN_INDEXES = 1024;

class XplaneFrontEnd final : public BridgeFrontEnd {
 public:
  XplaneFrontEnd(Env& env, const BridgeMap& map, UdpSocket& socket, int rate)
      : env_(env), reads_(map.read_lines()), socket_(socket), rate_(rate) {
    for (std::size_t i = 0; i < reads_.size(); ++i) read_index_[reads_[i]->line_number] = i;
  }

  Result<DecodedValues> decode(std::string_view datagram) override {
    const auto answer = decode_rref_answer(datagram);
    if (!answer) return fail(answer.error());
    DecodedValues decoded;
    decoded.values.reserve(answer->size());
    for (const RrefValue& pair : *answer) {
      const auto found = read_index_.find(pair.index);
      if (found != read_index_.end()) {
        decoded.values.push_back({found->second, pair.value});
        continue;
      }
      // A subscription that an earlier bridge on this port left behind (or X-Plane's own
      // mistake): its value means nothing here, and it is asked to stop.
      ++decoded.ignored;
      decoded.last_ignored = "an RREF answer for index " + std::to_string(pair.index) +
                             ", not a read line: unsubscribed";
      const bool known = unknown_indexes_.contains(pair.index);
      if (known || unknown_indexes_.size() < MAX_UNKNOWN_INDEXES) {
        unknown_indexes_[pair.index].answered = true;
      }
    }
    return decoded;
  }

  void send_writes(const WriteBack& writes) override {
    for (const WriteBack::Field& field : writes.fields()) {
      if (field.written) {
        socket_.send(dref_datagram(static_cast<float>(*field.written), field.line->property));
      }
    }
  }

  void tick(std::int64_t now_ms, bool arriving) override {
    if (!arriving && now_ms >= next_subscription_ms_) {
      queue_subscriptions(rate_);
      next_subscription_ms_ = now_ms + XplaneBridge::SUBSCRIBE_AGAIN.count();
    }
    for (auto& [index, unknown] : unknown_indexes_) {
      if (!unknown.answered || now_ms < unknown.next_ms) continue;
      requests_.push_back(rref_request(0, index, ""));
      unknown.answered = false;
      unknown.next_ms = now_ms + XplaneBridge::UNSUBSCRIBE_AGAIN.count();
    }
    if (!requests_.empty() && now_ms >= next_batch_ms_) {
      send_batch();
      next_batch_ms_ = now_ms + XplaneBridge::BATCH_PERIOD.count();
    }
  }

  void finish() override {
    queue_subscriptions(0);
    while (!requests_.empty()) {
      send_batch();
      if (!requests_.empty()) env_.sleep_for(XplaneBridge::BATCH_PERIOD);
    }
  }

  Millis send_period() const override { return Millis(1000 / rate_); }
  std::string arriving_news() const override { return "answers are arriving: serving the driver"; }
  std::string silence_news() const override {
    return "no answer from X-Plane for 2 s: the driver is no longer served; subscribing again";
  }

 private:
  // Every read line's request at `frequency`, in place of those not sent yet.
  void queue_subscriptions(int frequency) {
    requests_.clear();
    for (const MapLine* line : reads_) {
      requests_.push_back(rref_request(frequency, line->line_number, line->property));
    }
  }

  void send_batch() {
    for (std::size_t sent = 0; sent < XplaneBridge::BATCH && !requests_.empty(); ++sent) {
      socket_.send(requests_.front());
      requests_.pop_front();
    }
  }

  Env& env_;
  const std::vector<const MapLine*> reads_;
  std::unordered_map<std::int32_t, std::size_t> read_index_;  // line number -> read index
  UdpSocket& socket_;
  const int rate_;
  std::int64_t next_subscription_ms_ = 0;
  std::deque<std::string> requests_;  // RREF requests not sent yet, in order
  std::int64_t next_batch_ms_ = 0;
  // Each unknown index answered: answered since its last unsubscription, and when it may be
  // unsubscribed again.
  struct UnknownIndex {
    bool answered = false;
    std::int64_t next_ms = 0;
  };
  std::unordered_map<std::int32_t, UnknownIndex> unknown_indexes_;
};

}  // namespace

XplaneBridge::XplaneBridge(Env& env, BridgeMap map, UdpSocket& socket, int rate,
                           BridgeOptions options)
    : Bridge(
          env, std::move(map), socket,
          [&env, rate](const BridgeMap& m, UdpSocket& s) {
            return std::make_unique<XplaneFrontEnd>(env, m, s, rate);
          },
          std::move(options)) {}

}  // namespace kavri
