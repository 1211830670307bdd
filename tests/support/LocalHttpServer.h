// A small HTTP server on 127.0.0.1 for the tests of the update check and the download routine:
// it answers each path as told, records every request head, and stops with the test.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TLocalHttpServer {
 public:
  struct TReply {
    int Status = 200;
    std::string Body;
    std::string LastModified;   // sent as the Last-Modified header when not empty
    bool Stall = false;         // accept the request and never answer
    bool Truncate = false;      // announce a longer body than is sent, then close
    bool Trickle = false;       // the head at once, then a long body a byte every 100 ms (30 s and more)
    bool TrickleHead = false;   // the whole reply a byte every 100 ms: its head alone takes seconds
  };

  TLocalHttpServer();
  ~TLocalHttpServer();
  TLocalHttpServer(const TLocalHttpServer&) = delete;
  TLocalHttpServer& operator=(const TLocalHttpServer&) = delete;

  std::string Base() const;   // "http://127.0.0.1:<port>"
  void Route(const std::string& path, const TReply& reply);
  std::vector<std::string> Requests();   // request heads, in order
  int RequestsFor(const std::string& path);
  // Requests for the path the server answered to the end: sent whole, or stalled or trickled for
  // its whole course. An answer the client gave up (it went away) does not count.
  int AnsweredFor(const std::string& path);

  // A base address where nothing listens.
  static std::string ClosedBase();

 private:
  void Serve();
  void Answer(SOCKET client);

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, TReply> routes_;
  std::vector<std::string> requests_;
  std::map<std::string, int> answered_;
  std::thread thread_;
};
