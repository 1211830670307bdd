#include "LocalFtpServer.h"

#include <ws2tcpip.h>

#include "support/LoopbackSocket.h"

namespace {
SOCKET Listen(int& port) {
  SOCKET s = testing_support::BindLoopback(port);
  listen(s, 4);
  return s;
}

// Waits for s to be readable, giving up when stop is set.
bool Readable(SOCKET s, const std::atomic<bool>& stop) {
  while (!stop) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{0, 100000};
    if (select(0, &set, nullptr, nullptr, &tv) > 0) return true;
  }
  return false;
}

void Send(SOCKET s, const std::string& line) {
  std::string data = line + "\r\n";
  send(s, data.data(), (int)data.size(), 0);
}
}  // namespace

TLocalFtpServer::TLocalFtpServer(const std::string& user, const std::string& password, bool stall, bool slowData)
    : user_(user), password_(password), stall_(stall), slowData_(slowData) {
  listener_ = Listen(port_);
  thread_ = std::thread([this] { Serve(); });
}

TLocalFtpServer::~TLocalFtpServer() {
  stop_ = true;
  thread_.join();
  closesocket(listener_);
}

std::map<std::string, std::string> TLocalFtpServer::Files() {
  std::lock_guard<std::mutex> lock(mutex_);
  return files_;
}

void TLocalFtpServer::Serve() {
  while (Readable(listener_, stop_)) {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    while (stall_ && !stop_) Sleep(50);   // never greets
    if (!stall_) Session(client);
    closesocket(client);
  }
}

void TLocalFtpServer::Session(SOCKET client) {
  Send(client, "220 ready");
  std::string buffer, givenUser;
  SOCKET passive = INVALID_SOCKET;
  for (;;) {
    size_t end;
    while ((end = buffer.find("\r\n")) == std::string::npos) {
      char chunk[512];
      if (!Readable(client, stop_)) return;
      int n = recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) return;
      buffer.append(chunk, n);
    }
    const std::string line = buffer.substr(0, end), verb = line.substr(0, line.find(' '));
    const std::string arg = line.size() > verb.size() + 1 ? line.substr(verb.size() + 1) : "";
    buffer.erase(0, end + 2);
    if (verb == "USER") {
      givenUser = arg;
      Send(client, "331 password please");
    } else if (verb == "PASS") {
      Send(client, givenUser == user_ && arg == password_ ? "230 logged in" : "530 login incorrect");
    } else if (verb == "PWD" || verb == "XPWD") {
      Send(client, "257 \"/\" is the current directory");
    } else if (verb == "CWD") {
      Send(client, arg == "/" ? "250 ok" : "550 no such directory");
    } else if (verb == "PASV") {
      int port = 0;
      if (passive != INVALID_SOCKET) closesocket(passive);
      passive = Listen(port);
      Send(client, "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                       std::to_string(port % 256) + ")");
    } else if (verb == "STOR" && passive != INVALID_SOCKET) {
      Send(client, "150 send it");
      std::string data;
      if (Readable(passive, stop_)) {
        SOCKET d = accept(passive, nullptr, nullptr);
        char chunk[4096];
        int n;
        while (Readable(d, stop_) && (n = recv(d, chunk, slowData_ ? 512 : sizeof chunk, 0)) > 0) {
          data.append(chunk, n);
          if (slowData_) Sleep(20);
        }
        closesocket(d);
      }
      closesocket(passive);
      passive = INVALID_SOCKET;
      std::lock_guard<std::mutex> lock(mutex_);   // until the end of this command
      files_[arg] = data;
      Send(client, "226 stored");
    } else if (verb == "QUIT") {
      Send(client, "221 bye");
      break;
    } else {
      Send(client, "200 ok");
    }
  }
  if (passive != INVALID_SOCKET) closesocket(passive);
}
