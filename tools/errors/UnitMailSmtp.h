// The support mail's routines: where the support mailbox is (configured under the program's
// registry key; nothing is compiled in), the message as it goes out, and a small SMTP client
// over Winsock whose connection and every reply have a time-out.
#pragma once

#include <string>

#include <windows.h>

namespace UnitMail {

inline constexpr char kErrorPrefix[] = "ERROR: ";
inline constexpr char kNotConfiguredText[] = "The support mail is not configured.";
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
  DWORD TimeoutMs = 30000;   // for the connection and for each whole reply
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

// Sends the message; "" on success, else what went wrong.
std::string SendMail(const TSmtpSettings& settings, const TMailMessage& message);

}  // namespace UnitMail
