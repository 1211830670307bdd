// A small SMTP server on 127.0.0.1 for the support mail's tests: it answers a plain dialogue
// (optionally refusing the login, never speaking, or failing at EHLO in one of several ways) or
// one that offers STARTTLS with a self-signed certificate, and records every line it receives.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LocalTlsSession.h"

class TLocalSmtpServer {
 public:
  enum class TMode {
    Answer,
    RefuseLogin,
    Silent,           // never speaks, not even the greeting
    SilentAtEhlo,     // greets, then never answers
    CloseAtEhlo,      // greets, then drops the connection on EHLO
    RejectEhlo,       // knows only HELO
    SlowEhlo,         // answers EHLO with 40 continuation lines, one every 100 ms, before its last line
    StartTls,         // offers STARTTLS and speaks encrypted after it (recorded as a line "<tls>")
    StartTlsRefused,  // offers STARTTLS, agrees, then answers the handshake with a fatal alert
    StartTlsAhead,    // offers STARTTLS and sends a further reply together with its agreement
  };
  // certificateName: the name the STARTTLS modes' certificate is made for.
  explicit TLocalSmtpServer(TMode mode = TMode::Answer, const std::string& certificateName = "localhost");
  ~TLocalSmtpServer();
  int Port() const { return port_; }
  // The STARTTLS modes' self-signed certificate (DER).
  std::string Certificate() const { return certificate_ ? certificate_->Der() : ""; }
  // Every line received, in order; a session's end is recorded as "<closed>".
  std::vector<std::string> Lines();
  // Waits (at most a few seconds) until count sessions have ended, then gives Lines().
  std::vector<std::string> LinesAfterSessions(int count);

 private:
  void Serve();
  void Session(SOCKET client);
  TMode mode_;
  const testing_support::TTestCertificate* certificate_ = nullptr;   // made once per name, kept for the run
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable ended_;
  int sessionsEnded_ = 0;
  std::vector<std::string> lines_;
  std::thread thread_;
};
