// The in-process transport keeps the transport contract, where it applies: its server is part
// of it, always there, and its area is its own memory under no name.
#include "server/in_process_transport.h"

#include "testing/transport_contract.h"

namespace kavri::testing {
namespace {

class InProcessRig final : public TransportRig {
 public:
  explicit InProcessRig(OffsetSpace& space) : transport_(make_in_process_transport(space)) {}

  TransportTraits traits() const override { return {false, false}; }
  IpcTransport& transport() override { return *transport_; }
  bool serve(IpcServerClass server_class) override {
    return server_class == IpcServerClass::uipcmain;
  }
  void stop_serving() override {}
  bool occupy_area(const std::string&) override { return false; }
  bool occupant_intact() override { return false; }
  bool holds_name(const std::string&) override { return false; }

 private:
  std::unique_ptr<IpcTransport> transport_;
};

INSTANTIATE_TEST_SUITE_P(InProcess, IpcTransportContract,
                         ::testing::Values(TransportBackend{"in_process", &rig_of<InProcessRig>}));

}  // namespace
}  // namespace kavri::testing
