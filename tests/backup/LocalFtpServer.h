// A small FTP server on 127.0.0.1 for the upload tests: one client at a time, passive mode,
// STOR only; it can refuse a login or accept connections and never answer.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/Endpoints.h"
#include "support/TestSupport.h"

// The upload tests' fixture: the FTP endpoints (and what else a test sets) put back afterwards.
struct FtpEndpointsKept {
  testing_support::TKeep<std::string> host{Endpoints::FtpHost}, user{Endpoints::FtpUser};
  testing_support::TKeep<std::string> password{Endpoints::FtpPassword};
  testing_support::TKeep<int> port{Endpoints::FtpPort};
};

class TLocalFtpServer {
 public:
  // stall: never greets; slowData: takes in uploaded data a little at a time
  TLocalFtpServer(const std::string& user, const std::string& password, bool stall = false, bool slowData = false);
  ~TLocalFtpServer();
  TLocalFtpServer(const TLocalFtpServer&) = delete;
  TLocalFtpServer& operator=(const TLocalFtpServer&) = delete;

  int Port() const { return port_; }
  std::map<std::string, std::string> Files();   // stored path -> bytes

 private:
  void Serve();
  void Session(SOCKET client);

  std::string user_, password_;
  bool stall_, slowData_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::thread thread_;
};
