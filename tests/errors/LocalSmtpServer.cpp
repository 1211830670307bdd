#include "LocalSmtpServer.h"

#include "support/LoopbackSocket.h"

namespace {
void SendText(SOCKET s, const std::string& text) { send(s, text.data(), (int)text.size(), 0); }
}  // namespace

TLocalSmtpServer::TLocalSmtpServer(TMode mode) : mode_(mode) {
  listener_ = testing_support::BindLoopback(port_);
  listen(listener_, 4);
  thread_ = std::thread([this] { Serve(); });
}

TLocalSmtpServer::~TLocalSmtpServer() {
  stop_ = true;
  closesocket(listener_);
  thread_.join();
}

std::vector<std::string> TLocalSmtpServer::Lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void TLocalSmtpServer::Serve() {
  while (!stop_) {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    Session(client);
    closesocket(client);
  }
}

void TLocalSmtpServer::Session(SOCKET client) {
  if (mode_ == TMode::Silent) {   // holds the connection until the client gives up
    char c;
    while (!stop_ && recv(client, &c, 1, 0) > 0) {
    }
    return;
  }
  SendText(client, "220 localhost ESMTP test\r\n");
  std::string buffer;
  bool inData = false;
  int authStep = 0;   // 1: the user name is next, 2: the password
  char chunk[512];
  for (;;) {
    size_t end;
    while ((end = buffer.find("\r\n")) == std::string::npos) {
      int n = recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back("<closed>");
        return;
      }
      buffer.append(chunk, n);
    }
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 2);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(line);
    }
    if (inData) {
      if (line == ".") {
        inData = false;
        SendText(client, "250 2.0.0 queued\r\n");
      }
      continue;
    }
    std::string verb = line.substr(0, 4);
    if (authStep == 1) {
      authStep = 2;
      SendText(client, "334 UGFzc3dvcmQ6\r\n");
    } else if (authStep == 2) {
      authStep = 0;
      SendText(client, mode_ == TMode::RefuseLogin ? "535 5.7.8 Authentication credentials invalid\r\n"
                                                   : "235 2.7.0 Authentication successful\r\n");
    } else if (verb == "EHLO") SendText(client, "250-localhost\r\n250 AUTH LOGIN\r\n");
    else if (line == "AUTH LOGIN") {
      authStep = 1;
      SendText(client, "334 VXNlcm5hbWU6\r\n");
    }
    else if (verb == "MAIL" || verb == "RCPT") SendText(client, "250 2.1.0 ok\r\n");
    else if (verb == "DATA") {
      inData = true;
      SendText(client, "354 go ahead\r\n");
    } else if (verb == "QUIT") {
      SendText(client, "221 bye\r\n");
    } else {
      SendText(client, "500 unknown command\r\n");
    }
  }
}
