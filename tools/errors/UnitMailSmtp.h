// The support mail's routines: where the support mailbox is (configured under the program's
// registry key; nothing is compiled in), the message as it goes out, and a small SMTP client
// over Winsock whose connection and every reply have a time-out. The client encrypts the session
// (STARTTLS) whenever the server offers it, and never sends the password unencrypted to a server
// on another machine.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace UnitMail {

inline constexpr char kErrorPrefix[] = "ERROR: ";
inline constexpr char kNotConfiguredText[] = "The support mail is not configured.";
inline constexpr char kPlainLoginRefusedText[] =
    "The mail server does not offer an encrypted connection (STARTTLS), so the password is not sent to it.";
inline constexpr char kDataBeforeTlsText[] =
    "The mail server sent more than it should before the encrypted connection was made.";
// Values under the program's settings key (HKEY_LOCAL_MACHINE\Software\Zelvoran).
inline constexpr char kHostValue[] = "SupportMailHost";
inline constexpr char kPortValue[] = "SupportMailPort";
inline constexpr char kAddressValue[] = "SupportMailAddress";
inline constexpr char kUserValue[] = "SupportMailUser";
inline constexpr char kPasswordValue[] = "SupportMailPassword";

struct TSmtpSettings {
  std::string Host;       // empty: the support mail is not configured (no host is built in)
  int Port = 25;
  std::string Address;    // the support mailbox: sender and recipient
  std::string User;       // the login; empty: the address
  std::string Password;   // empty: no login
  DWORD TimeoutMs = 30000;   // for the connection, for each whole reply and for the handshake
  // Tests: a certificate (DER) trusted as a root besides the system's (their own self-signed
  // one), and a server on 127.0.0.1 standing for one on another machine. Never set in use.
  std::string TrustedCertificate;
  bool LoopbackCountsAsRemote = false;
  bool Configured() const;
};

// The settings from the registry; a missing port is 25.
TSmtpSettings LoadSmtpSettings(HKEY root = HKEY_LOCAL_MACHINE, const std::string& key = "Software\\Zelvoran");

struct TMailMessage {
  std::string ReplyTo;
  std::string Subject;
  std::string Body;
};

// Header text with CR and LF taken out, encoded (RFC 2047, UTF-8) when it is not plain ASCII.
std::string HeaderText(const std::string& text);
std::string Base64(const std::string& bytes);
// The whole message: headers and the UTF-8 body in quoted-printable, lines ending in CRLF.
std::string ComposeMessage(const TSmtpSettings& settings, const TMailMessage& message);
// Doubles the dot of every line that begins with one, as SMTP's DATA requires.
std::string DotStuff(const std::string& text);

// True when an EHLO reply's lines name this extension ("250-STARTTLS", "250 AUTH LOGIN", ...).
bool OffersExtension(const std::vector<std::string>& replyLines, const std::string& extension);

// Sends the message; "" on success, else what went wrong.
std::string SendMail(const TSmtpSettings& settings, const TMailMessage& message);

}  // namespace UnitMail
