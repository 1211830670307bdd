#include "LocalSmtpServer.h"

#include "support/LoopbackSocket.h"

#include <cstring>

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

std::vector<std::string> TLocalSmtpServer::LinesAfterSessions(int count) {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait_for(lock, std::chrono::seconds(5), [&] { return sessionsEnded_ >= count; });
  return lines_;
}

void TLocalSmtpServer::Serve() {
  while (!stop_) {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    Session(client);
    closesocket(client);
    std::lock_guard<std::mutex> lock(mutex_);
    ++sessionsEnded_;
    ended_.notify_all();
  }
}

void TLocalSmtpServer::Session(SOCKET client) {
  auto say = [&](const char* text) { send(client, text, (int)strlen(text), 0); };
  char chunk[512];
  if (mode_ == TMode::Silent) {   // holds the connection until the client gives up
    while (!stop_ && recv(client, chunk, 1, 0) > 0) {
    }
    return;
  }
  say("220 localhost ESMTP test\r\n");
  std::string buffer;
  bool inData = false;
  int authStep = 0;   // 1: the user name is next, 2: the password
  for (;;) {
    size_t end = buffer.find("\r\n");
    int n = end == std::string::npos ? recv(client, chunk, sizeof chunk, 0) : 0;
    if (n > 0) {
      buffer.append(chunk, n);
      continue;
    }
    std::string line = end == std::string::npos ? "<closed>" : buffer.substr(0, end);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(line);
    }
    if (end == std::string::npos) return;
    buffer.erase(0, end + 2);
    std::string verb = line.substr(0, 4);
    if (mode_ == TMode::SilentAtEhlo) continue;
    if (mode_ == TMode::CloseAtEhlo && verb == "EHLO") return;
    if (mode_ == TMode::SlowEhlo && verb == "EHLO") {
      for (int i = 0; i < 40; ++i, Sleep(100))
        if (stop_ || send(client, "250-localhost\r\n", 15, 0) != 15) return;
    }
    if (inData) {
      if (line == ".") { inData = false; say("250 2.0.0 queued\r\n"); }
    } else if (authStep == 1) { authStep = 2; say("334 UGFzc3dvcmQ6\r\n"); }
    else if (authStep == 2) {
      authStep = 0;
      say(mode_ == TMode::RefuseLogin ? "535 5.7.8 Authentication credentials invalid\r\n"
                                      : "235 2.7.0 Authentication successful\r\n");
    } else if (verb == "EHLO" && mode_ == TMode::RejectEhlo) say("502 5.5.1 EHLO not implemented\r\n");
    else if (verb == "HELO") say("250 localhost\r\n");
    else if (verb == "EHLO") say("250-localhost\r\n250 AUTH LOGIN\r\n");
    else if (line == "AUTH LOGIN") { authStep = 1; say("334 VXNlcm5hbWU6\r\n"); }
    else if (verb == "MAIL" || verb == "RCPT") say("250 2.1.0 ok\r\n");
    else if (verb == "DATA") { inData = true; say("354 go ahead\r\n"); }
    else say(verb == "QUIT" ? "221 bye\r\n" : "500 unknown command\r\n");
  }
}
