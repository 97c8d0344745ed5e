#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h: mswsock.h needs its types.
#include <mswsock.h>

#include <cstring>
#include <set>
#include <vector>

#include "bridges/beacon_socket.h"
#include "bridges/xplane_datagrams.h"
#include "netlink/net_address.h"

namespace kavri {
namespace {

std::string winsock_error(const std::string& what) {
  return what + " (Winsock error " + std::to_string(WSAGetLastError()) + ")";
}

class Win32BeaconSocket final : public BeaconSocket {
 public:
  // Takes `s` and the Winsock start that made it.
  Win32BeaconSocket(SOCKET s, LPFN_WSARECVMSG receive_message)
      : socket_(s), receive_message_(receive_message) {
    inet_pton(AF_INET, BEACON_GROUP, &group_);
  }
  ~Win32BeaconSocket() override {
    closesocket(socket_);
    WSACleanup();
  }

  void join_new_interfaces() override {
    std::vector<INTERFACE_INFO> interfaces(64);
    DWORD size = 0;
    if (WSAIoctl(socket_, SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces.data(),
                 static_cast<DWORD>(interfaces.size() * sizeof(INTERFACE_INFO)), &size, nullptr,
                 nullptr) != 0) {
      return;
    }
    std::set<ULONG> now;
    for (std::size_t i = 0; i < size / sizeof(INTERFACE_INFO); ++i) {
      const INTERFACE_INFO& it = interfaces[i];
      if ((it.iiFlags & IFF_UP) == 0 || (it.iiFlags & IFF_MULTICAST) == 0) continue;
      if (it.iiAddress.AddressIn.sin_family != AF_INET) continue;
      now.insert(it.iiAddress.AddressIn.sin_addr.s_addr);
    }
    // An interface gone has taken its membership with it: joined again when it comes back.
    std::erase_if(joined_, [&now](ULONG address) { return !now.contains(address); });
    for (const ULONG address : now) {
      if (joined_.contains(address)) continue;
      ip_mreq membership{};
      membership.imr_multiaddr = group_;
      membership.imr_interface.s_addr = address;
      if (setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP,
                     reinterpret_cast<const char*>(&membership), sizeof membership) == 0 ||
          WSAGetLastError() == WSAEADDRINUSE) {
        joined_.insert(address);
      }
    }
  }

  std::optional<BeaconDatagram> receive(Millis wait) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval timeout{static_cast<long>(wait.count() / 1000),
                    static_cast<long>(wait.count() % 1000 * 1000)};
    if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) return std::nullopt;
    sockaddr_in sender{};
    WSABUF data{static_cast<ULONG>(buffer_.size()), buffer_.data()};
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSAMSG message{};
    message.name = reinterpret_cast<LPSOCKADDR>(&sender);
    message.namelen = sizeof sender;
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control = WSABUF{sizeof control, control};
    DWORD got = 0;
    // A datagram larger than the buffer fails with WSAEMSGSIZE: dropped, never cut.
    if (receive_message_(socket_, &message, &got, nullptr, nullptr) != 0) return std::nullopt;
    BeaconDatagram datagram;
    datagram.bytes.assign(buffer_.data(), got);
    datagram.sender_host = ipv4_text(ntohl(sender.sin_addr.s_addr));
    // The datagram's own destination address, as its IP header carries it.
    for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c != nullptr;
         c = WSA_CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
      IN_PKTINFO info;
      std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
      datagram.to_group = info.ipi_addr.s_addr == group_.s_addr;
    }
    return datagram;
  }

 private:
  SOCKET socket_;
  LPFN_WSARECVMSG receive_message_;
  in_addr group_{};
  std::set<ULONG> joined_;
  std::vector<char> buffer_ = std::vector<char>(65536);
};

}  // namespace

Result<std::unique_ptr<BeaconSocket>> make_platform_beacon_socket() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return fail("cannot start Winsock");
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const BOOL yes = TRUE;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(BEACON_PORT);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  GUID receive_message_id = WSAID_WSARECVMSG;
  LPFN_WSARECVMSG receive_message = nullptr;
  DWORD size = 0;
  if (s == INVALID_SOCKET ||
      setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes) !=
          0 ||
      setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&yes), sizeof yes) != 0 ||
      WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &receive_message_id,
               sizeof receive_message_id, &receive_message, sizeof receive_message, &size, nullptr,
               nullptr) != 0 ||
      bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const std::string reason =
        winsock_error("cannot listen for X-Plane's beacon on port " + std::to_string(BEACON_PORT));
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return fail(reason);
  }
  return std::unique_ptr<BeaconSocket>(std::make_unique<Win32BeaconSocket>(s, receive_message));
}

}  // namespace kavri
