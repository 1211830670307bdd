#include "LocalSmtpServer.h"

#include "support/LoopbackSocket.h"

#include <cstring>
#include <map>
#include <memory>

namespace {

// Making an RSA key takes a while: each name's certificate is made once.
const testing_support::TTestCertificate* CertificateFor(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<testing_support::TTestCertificate>> made;
  std::lock_guard<std::mutex> lock(mutex);
  auto& certificate = made[name];
  if (!certificate) certificate = std::make_unique<testing_support::TTestCertificate>(name);
  return certificate.get();
}

}  // namespace

TLocalSmtpServer::TLocalSmtpServer(TMode mode, const std::string& certificateName) : mode_(mode) {
  if (mode == TMode::StartTls || mode == TMode::StartTlsRefused || mode == TMode::StartTlsAhead)
    certificate_ = CertificateFor(certificateName);
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
  // once the session is encrypted, everything goes through it
  std::unique_ptr<testing_support::TTlsServerSession> tls;
  auto say = [&](const char* text) {
    if (tls) tls->Send(text);
    else send(client, text, (int)strlen(text), 0);
  };
  auto record = [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  };
  const bool offersTls = certificate_ != nullptr;
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
    int n = end != std::string::npos ? 0 : tls ? tls->Receive(chunk, sizeof chunk) : recv(client, chunk, sizeof chunk, 0);
    if (n > 0) {
      buffer.append(chunk, n);
      continue;
    }
    std::string line = end == std::string::npos ? "<closed>" : buffer.substr(0, end);
    record(line);
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
    else if (verb == "EHLO" && offersTls && !tls) say("250-localhost\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n");
    else if (verb == "EHLO") say("250-localhost\r\n250 AUTH LOGIN\r\n");
    else if (line == "STARTTLS" && offersTls && !tls) {
      if (mode_ == TMode::StartTlsAhead) {
        say("220 2.0.0 ready\r\n250 2.0.0 sent ahead\r\n");
        continue;
      }
      say("220 2.0.0 ready\r\n");
      if (mode_ == TMode::StartTlsRefused) {   // an alert record: fatal, handshake failure
        send(client, "\x15\x03\x03\x00\x02\x02\x28", 7, 0);
        continue;
      }
      tls = std::make_unique<testing_support::TTlsServerSession>(client, *certificate_);
      bool made = tls->Handshake();
      record(made ? "<tls>" : "<tls failed>");
      if (!made) return;
      buffer.clear();
    }
    else if (line == "AUTH LOGIN") { authStep = 1; say("334 VXNlcm5hbWU6\r\n"); }
    else if (verb == "MAIL" || verb == "RCPT") say("250 2.1.0 ok\r\n");
    else if (verb == "DATA") { inData = true; say("354 go ahead\r\n"); }
    else say(verb == "QUIT" ? "221 bye\r\n" : "500 unknown command\r\n");
  }
}
