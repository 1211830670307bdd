// Sockets for the small servers tests run inside their own process on 127.0.0.1.
#pragma once

#include <winsock2.h>

namespace testing_support {
// A TCP socket bound to a free port of 127.0.0.1 (Winsock is started on first use).
SOCKET BindLoopback(int& port);
}  // namespace testing_support
