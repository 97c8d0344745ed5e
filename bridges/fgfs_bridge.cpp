#include "bridges/fgfs_bridge.h"

#include "bridges/fgfs_protocol.h"

namespace kavri {
namespace {

class FgfsFrontEnd final : public BridgeFrontEnd {
 public:
  FgfsFrontEnd(const BridgeMap& map, UdpSocket& socket) : map_(map), socket_(socket) {}

  Result<DecodedValues> decode(std::string_view datagram) override {
    const auto frame = decode_frame(map_, datagram);
    if (!frame) return fail(frame.error());
    DecodedValues decoded;
    decoded.values.reserve(frame->properties.size());
    for (std::size_t i = 0; i < frame->properties.size(); ++i) {
      decoded.values.push_back({i, frame->properties[i]});
    }
    return decoded;
  }

  void send_writes(const WriteBack& writes) override {
    if (const auto line = fgfs_input_line(writes)) socket_.send(*line);
  }

  Millis send_period() const override { return FgfsBridge::INPUT_PERIOD; }
  std::string arriving_news() const override { return "frames are arriving: serving the driver"; }
  std::string silence_news() const override {
    return "no frame from FlightGear for 2 s: the driver is no longer served";
  }

 private:
  const BridgeMap& map_;
  UdpSocket& socket_;
};

}  // namespace

FgfsBridge::FgfsBridge(Env& env, BridgeMap map, UdpSocket& socket, FgfsBridgeOptions options)
    : Bridge(
          env, std::move(map), socket,
          [](const BridgeMap& m, UdpSocket& s) { return std::make_unique<FgfsFrontEnd>(m, s); },
          std::move(options)) {}

}  // namespace kavri
