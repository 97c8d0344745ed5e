#include "bridges/xplane_bridge.h"

#include <cmath>
#include <unordered_map>

#include "bridges/xplane_datagrams.h"

namespace kavri {
namespace {

class XplaneFrontEnd final : public BridgeFrontEnd {
 public:
  XplaneFrontEnd(const BridgeMap& map, UdpSocket& socket, int rate)
      : reads_(map.read_lines()), socket_(socket), rate_(rate) {
    for (std::size_t i = 0; i < reads_.size(); ++i) read_index_[reads_[i]->line_number] = i;
  }

  std::optional<std::vector<ReadValue>> decode(std::string_view datagram,
                                               std::string& error) override {
    const auto answer = decode_rref_answer(datagram, error);
    if (!answer) return std::nullopt;
    std::vector<ReadValue> values;
    values.reserve(answer->size());
    for (const RrefValue& pair : *answer) {
      const auto found = read_index_.find(pair.index);
      if (found == read_index_.end()) {
        error = "an RREF answer for index " + std::to_string(pair.index) + ", not a read line";
        return std::nullopt;
      }
      if (!std::isfinite(pair.value)) {
        error = "an RREF answer of " + std::to_string(pair.value) + " for " +
                reads_[found->second]->property;
        return std::nullopt;
      }
      values.push_back({found->second, pair.value});
    }
    return values;
  }

  void send_writes(const WriteBack& writes) override {
    for (const WriteBack::Field& field : writes.fields()) {
      if (field.written) {
        socket_.send(dref_datagram(static_cast<float>(*field.written), field.line->property));
      }
    }
  }

  void tick(std::int64_t now_ms, bool arriving) override {
    if (arriving || now_ms < next_subscription_ms_) return;
    subscribe(rate_);
    next_subscription_ms_ = now_ms + XplaneBridge::SUBSCRIBE_AGAIN.count();
  }

  void finish() override { subscribe(0); }

  Millis send_period() const override { return Millis(1000 / rate_); }
  std::string arriving_news() const override { return "answers are arriving: serving the driver"; }
  std::string silence_news() const override {
    return "no answer from X-Plane for 2 s: the driver is no longer served; subscribing again";
  }

 private:
  void subscribe(int frequency) {
    for (const MapLine* line : reads_) {
      socket_.send(rref_request(frequency, line->line_number, line->property));
    }
  }

  const std::vector<const MapLine*> reads_;
  std::unordered_map<std::int32_t, std::size_t> read_index_;  // line number -> read index
  UdpSocket& socket_;
  const int rate_;
  std::int64_t next_subscription_ms_ = 0;
};

}  // namespace

XplaneBridge::XplaneBridge(Env& env, BridgeMap map, UdpSocket& socket, int rate,
                           BridgeOptions options)
    : Bridge(
          env, std::move(map), socket,
          [rate](const BridgeMap& m, UdpSocket& s) {
            return std::make_unique<XplaneFrontEnd>(m, s, rate);
          },
          std::move(options)) {}

}  // namespace kavri
