#include "LocalHttpServer.h"

#include <ws2tcpip.h>

#include <chrono>

#include "support/LoopbackSocket.h"

namespace {

void SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    int n = send(s, data.data() + sent, (int)(data.size() - sent), 0);
    if (n <= 0) return;
    sent += n;
  }
}

std::string StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}
}  // namespace

TLocalHttpServer::TLocalHttpServer() {
  listener_ = testing_support::BindLoopback(port_);
  listen(listener_, 8);
  thread_ = std::thread([this] { Serve(); });
}

TLocalHttpServer::~TLocalHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  closesocket(listener_);
}

std::string TLocalHttpServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string TLocalHttpServer::ClosedBase() {
  int port = 0;
  closesocket(testing_support::BindLoopback(port));
  return "http://127.0.0.1:" + std::to_string(port);
}

void TLocalHttpServer::Route(const std::string& path, const TReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = reply;
}

std::vector<std::string> TLocalHttpServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int TLocalHttpServer::RequestsFor(const std::string& path) {
  int n = 0;
  for (const std::string& r : Requests())
    if (r.rfind("GET " + path + " ", 0) == 0) ++n;
  return n;
}

int TLocalHttpServer::AnsweredFor(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = answered_.find(path);
  return it == answered_.end() ? 0 : it->second;
}

void TLocalHttpServer::Serve() {
  // Bounded: the server never outlives its test by much, whatever the client does.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener_, &set);
    timeval tv{0, 100000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    Answer(client);
    closesocket(client);
  }
}

void TLocalHttpServer::Answer(SOCKET client) {
  DWORD timeout = 10000;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof timeout);
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    int n = recv(client, buf, sizeof buf, 0);
    if (n <= 0) return;
    head.append(buf, n);
  }
  head = head.substr(0, head.find("\r\n\r\n") + 2);
  std::string path;
  size_t sp1 = head.find(' '), sp2 = head.find(' ', sp1 + 1);
  if (sp1 != std::string::npos && sp2 != std::string::npos) path = head.substr(sp1 + 1, sp2 - sp1 - 1);
  TReply reply;
  bool known = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
    auto it = routes_.find(path);
    if (it != routes_.end()) {
      reply = it->second;
      known = true;
    }
  }
  if (!known) {
    reply.Status = 404;
    reply.Body = "<html><body>Not Found</body></html>";
  }
  struct TAnswered {
    TLocalHttpServer* Server;
    std::string Path;
    bool Whole = false;
    ~TAnswered() {
      std::lock_guard<std::mutex> lock(Server->mutex_);
      Server->answered_[Path] += Whole ? 1 : 0;
    }
  } answered{this, path};
  if (reply.Stall) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop_ && std::chrono::steady_clock::now() < until) Sleep(50);
    answered.Whole = !stop_;
    return;
  }
  std::string out = "HTTP/1.1 " + std::to_string(reply.Status) + " " + StatusText(reply.Status) + "\r\n";
  out += "Content-Type: text/plain\r\nConnection: close\r\n";
  if (!reply.LastModified.empty()) out += "Last-Modified: " + reply.LastModified + "\r\n";
  std::string body = reply.Body + (reply.Trickle ? std::string(600, ' ') : std::string());
  size_t length = body.size() + (reply.Truncate ? 1000 : 0);
  out += "Content-Length: " + std::to_string(length) + "\r\n\r\n";
  if (reply.Trickle || reply.TrickleHead) {
    size_t sent = 0;
    if (reply.Trickle) {
      SendAll(client, out);
      out.clear();
    }
    out += body;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (; sent < out.size() && !stop_ && std::chrono::steady_clock::now() < until; ++sent) {
      if (send(client, out.data() + sent, 1, 0) != 1) return;   // the client went away
      Sleep(100);
    }
    answered.Whole = !stop_;
    return;
  }
  out += body;
  SendAll(client, out);
  shutdown(client, SD_SEND);
  answered.Whole = true;
}
