// The support mail's encrypted connection: a TLS client over the system's own TLS (Schannel),
// fed and drained through byte buffers, so that the SMTP connection keeps its socket, its
// time-outs and its errors; and the check of the server's certificate as the system checks a
// web server's: a chain to a root the system trusts, its dates, its use and the server's name.
//
// How to use:
//   TTlsClient tls("mail.example.invalid");
//   while (tls.Handshake(received, toSend) == TTlsClient::TStep::More) { send toSend; read into received; }
//   send toSend; then tls.CertificateProblem() must be empty before anything is sent through it.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace UnitMail {

inline constexpr char kTlsUnavailableText[] = "The system's encrypted connections (TLS) are not available";
inline constexpr char kHandshakeFailedText[] = "The encrypted connection to the mail server could not be made";
inline constexpr char kTlsFailedText[] = "The encrypted connection to the mail server failed";
inline constexpr char kNoCertificateText[] = "The mail server showed no certificate.";
inline constexpr char kNameMismatchText[] = "The mail server's certificate is not issued for ";   // + the host
inline constexpr char kUntrustedText[] =
    "The mail server's certificate is not issued by an authority this system trusts.";
inline constexpr char kExpiredText[] = "The mail server's certificate has expired or is not valid yet.";
inline constexpr char kRevokedText[] = "The mail server's certificate has been revoked.";
inline constexpr char kCertificateFailedText[] = "The mail server's certificate could not be verified";

// What ended the encrypted session; its text says what went wrong (with the system's code).
class TTlsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TTlsClient {
 public:
  // A session with the server known by this name: the name its certificate must carry.
  explicit TTlsClient(const std::string& serverName);
  ~TTlsClient();
  TTlsClient(const TTlsClient&) = delete;
  TTlsClient& operator=(const TTlsClient&) = delete;

  enum class TStep { More, Done };
  // Takes what came from the server off the front of received (what no step has used yet stays
  // there) and appends what must go to it to toSend. More: send toSend, read more into received
  // and call again; Done: send toSend, the session is made (received may already hold data).
  TStep Handshake(std::string& received, std::string& toSend);
  // The text as the records that carry it.
  std::string Encrypt(const std::string& plain) const;
  // Takes the whole records off the front of received and appends their text to plain; an
  // unfinished record stays. False when the server has ended the session.
  bool Decrypt(std::string& received, std::string& plain) const;
  // Why the server's certificate may not be trusted ("" when it may): its chain, dates, use and
  // name. trusted: a certificate (DER) taken as a trusted root besides the system's own; the
  // name is checked all the same (tests give their own self-signed one; empty in use).
  std::string CertificateProblem(const std::string& trusted = "") const;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace UnitMail
