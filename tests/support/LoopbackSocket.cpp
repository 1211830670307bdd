#include "LoopbackSocket.h"

namespace testing_support {

SOCKET BindLoopback(int& port) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, (sockaddr*)&addr, sizeof addr);
  int len = sizeof addr;
  getsockname(s, (sockaddr*)&addr, &len);
  port = ntohs(addr.sin_port);
  return s;
}

}  // namespace testing_support
