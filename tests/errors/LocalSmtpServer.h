// A small SMTP server on 127.0.0.1 for the support mail's tests: it answers a plain dialogue
// (optionally refusing the login, or never speaking), and records every line it receives.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TLocalSmtpServer {
 public:
  enum class TMode { Answer, RefuseLogin, Silent };
  explicit TLocalSmtpServer(TMode mode = TMode::Answer);
  ~TLocalSmtpServer();
  int Port() const { return port_; }
  // Every line received, in order; a session's end is recorded as "<closed>".
  std::vector<std::string> Lines();

 private:
  void Serve();
  void Session(SOCKET client);
  TMode mode_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread thread_;
};
