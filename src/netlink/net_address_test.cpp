#include "netlink/net_address.h"

#include <gtest/gtest.h>

namespace kavri {
namespace {

TEST(NetAddress, HostAndPortAreTakenAndAnythingElseRefused) {
  const auto address = parse_net_address("sim.local:9017");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->host, "sim.local");
  EXPECT_EQ(address->port, 9017);
  EXPECT_EQ(parse_net_address("10.0.0.1:65535")->port, 65535);
  for (const char* bad : {"", "host", ":9017", "host:", "host:65536", "host:9O17", "host:+1",
                          "host:-1", "host:123456", "host: 80"}) {
    EXPECT_FALSE(parse_net_address(bad)) << bad;
  }
}

TEST(NetAddress, Ipv4RangesHoldTheirAddressesOnly) {
  struct Case {
    const char* range;
    const char* address;
    bool inside;
  };
  for (const Case& c :
       {Case{"10.0.0.0/8", "10.255.1.2", true}, Case{"10.0.0.0/8", "11.0.0.0", false},
        Case{"192.168.1.7", "192.168.1.7", true}, Case{"192.168.1.7", "192.168.1.8", false},
        Case{"192.168.1.0/31", "192.168.1.1", true}, Case{"0.0.0.0/0", "203.0.113.9", true},
        Case{"203.0.113.9/32", "203.0.113.8", false}}) {
    const auto range = parse_ipv4_range(c.range);
    const auto address = parse_ipv4(c.address);
    ASSERT_TRUE(range && address) << c.range;
    EXPECT_EQ(range->contains(*address), c.inside) << c.range << " " << c.address;
  }
  for (const char* bad : {"", "10.0.0", "10.0.0.0.0", "256.0.0.1", "10.0.0.0/33", "10.0.0.0/",
                          "10.0.0.0/-1", "10..0.0", "a.b.c.d", "10.0.0.1 ", "1000.0.0.1"}) {
    EXPECT_FALSE(parse_ipv4_range(bad)) << bad;
  }
  EXPECT_EQ(ipv4_text(*parse_ipv4("172.16.254.3")), "172.16.254.3");
}

}  // namespace
}  // namespace kavri
