// Winsock's start and clean-up, for the Win32 socket backends only (never a seam header):
// each socket holds one use, WSAStartup counting its users, so Winsock is up exactly while a
// socket of the program is open.
#pragma once

#include <winsock2.h>

namespace kavri {

class WinsockUse {
 public:
  WinsockUse() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockUse() {
    if (started_) WSACleanup();
  }
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

}  // namespace kavri
