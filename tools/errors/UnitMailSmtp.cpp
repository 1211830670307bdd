#include "UnitMailSmtp.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <ctime>
#include <memory>
#include <mutex>

#include "../../framework/Registry.h"
#include "../../framework/Strings.h"
#include "UnitMailTls.h"

namespace UnitMail {

namespace {

const size_t kMaxReplyLine = 1000;
const char* const kConnectionLostText = "The connection to the mail server was lost.";

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

// What ended the session: the server's reply that was not the one expected (Code is its code), or
// the connection itself (Code 0: a time-out, a lost connection, a reply that makes no sense).
class TSmtpError : public std::runtime_error {
 public:
  explicit TSmtpError(const std::string& text, int code = 0) : std::runtime_error(text), Code(code) {}
  int Code;
};

// One SMTP connection: each reply, all of its lines, must come within the time-out.
class TSmtpConnection {
 public:
  TSmtpConnection(const TSmtpSettings& settings) : timeoutMs_(settings.TimeoutMs) {
    StartWinsock();
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(settings.Host.c_str(), std::to_string(settings.Port).c_str(), &hints, &found) != 0 || !found)
      throw TSmtpError("Cannot find the mail server " + settings.Host + ".");
    socket_ = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    bool connected = socket_ != INVALID_SOCKET && ConnectWithin(found->ai_addr, (int)found->ai_addrlen);
    // the address connected to, not the name: a name may stand for any machine
    onThisMachine_ = !settings.LoopbackCountsAsRemote && found->ai_family == AF_INET &&
                     (ntohl(((const sockaddr_in*)found->ai_addr)->sin_addr.s_addr) >> 24) == 127;
    freeaddrinfo(found);
    if (!connected) throw TSmtpError(error_);
  }
  ~TSmtpConnection() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }

  // Sends a command (or data) and reads the reply; throws unless its code is one of expected.
  std::string Command(const std::string& text, std::initializer_list<int> expected) {
    Send(text);
    return Expect(expected);
  }
  std::string Expect(std::initializer_list<int> expected) {
    std::string reply;
    int code = ReadReply(reply, replyLines_);
    for (int e : expected)
      if (code == e) return reply;
    if (code == 0) throw TSmtpError(reply.empty() ? "The mail server gave no answer." : reply);
    throw TSmtpError(reply, code);
  }
  // Every line of the last reply.
  const std::vector<std::string>& ReplyLines() const { return replyLines_; }
  // The server is this machine: what is sent to it never leaves the machine.
  bool OnThisMachine() const { return onThisMachine_; }
  bool Encrypted() const { return tls_ != nullptr; }

  void Send(const std::string& text) { SendRaw(tls_ ? tls_->Encrypt(text) : text); }

  // Makes the session encrypted, once the server has agreed to STARTTLS; throws unless the
  // handshake succeeds and the server's certificate is one the system trusts for its name.
  void StartTls(const std::string& serverName, const std::string& trustedCertificate) {
    // a reply the server sent ahead would be taken as if it came encrypted
    if (!buffer_.empty()) throw TSmtpError(kDataBeforeTlsText);
    auto tls = std::make_unique<TTlsClient>(serverName);
    std::string received, toSend;
    ULONGLONG deadline = GetTickCount64() + timeoutMs_;
    while (tls->Handshake(received, toSend) == TTlsClient::TStep::More) {
      SendRaw(toSend);
      toSend.clear();
      ReceiveRaw(received, deadline);
    }
    SendRaw(toSend);
    std::string problem = tls->CertificateProblem(trustedCertificate);
    if (!problem.empty()) throw TSmtpError(problem);
    tls_ = std::move(tls);
    encrypted_ = std::move(received);
    if (!tls_->Decrypt(encrypted_, buffer_)) throw TSmtpError(kConnectionLostText);
  }

 private:
  void SendRaw(const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
      if (!Wait(false, GetTickCount64() + timeoutMs_)) throw TSmtpError("Write timed out.");
      int n = send(socket_, text.data() + sent, (int)(text.size() - sent), 0);
      if (n <= 0) throw TSmtpError(kConnectionLostText);
      sent += n;
    }
  }
  // Appends what the socket holds, waiting for it until the deadline (a tick count).
  void ReceiveRaw(std::string& received, ULONGLONG deadline) {
    if (!Wait(true, deadline)) throw TSmtpError("Read timed out.");
    char chunk[4096];
    int n = recv(socket_, chunk, sizeof chunk, 0);
    if (n <= 0) throw TSmtpError(kConnectionLostText);
    received.append(chunk, n);
  }

  bool ConnectWithin(const sockaddr* address, int length) {
    u_long nonBlocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonBlocking);
    if (connect(socket_, address, length) == 0) return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Failed("Connection refused.");
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket_, &writable);
    FD_SET(socket_, &failed);
    timeval tv{(long)(timeoutMs_ / 1000), (long)(timeoutMs_ % 1000) * 1000};
    int n = select(0, nullptr, &writable, &failed, &tv);
    if (n == 0) return Failed("Connection timed out.");
    int error = 0, size = sizeof error;
    getsockopt(socket_, SOL_SOCKET, SO_ERROR, (char*)&error, &size);
    if (n < 0 || FD_ISSET(socket_, &failed) || error != 0) return Failed("Connection refused.");
    return true;
  }
  bool Failed(const std::string& text) {
    error_ = text;
    return false;
  }
  // Waits until the socket can be read (or written) or the deadline (a tick count) has passed.
  bool Wait(bool forRead, ULONGLONG deadline) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now >= deadline ? 0 : (DWORD)(deadline - now);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket_, &set);
    timeval tv{(long)(left / 1000), (long)(left % 1000) * 1000};
    return select(0, forRead ? &set : nullptr, forRead ? nullptr : &set, nullptr, &tv) > 0;
  }
  std::string ReadLine(ULONGLONG deadline) {
    for (;;) {
      size_t end = buffer_.find("\r\n");
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 2);
        return line;
      }
      if (buffer_.size() > kMaxReplyLine) throw TSmtpError("The mail server's reply line is too long.");
      if (!tls_) {
        ReceiveRaw(buffer_, deadline);
      } else {
        ReceiveRaw(encrypted_, deadline);
        if (!tls_->Decrypt(encrypted_, buffer_)) throw TSmtpError(kConnectionLostText);
      }
    }
  }
  // A reply of one or more lines ("250-..." continues, "250 ..." ends); returns its code, 0 for a
  // line that is no reply. text: its last line.
  int ReadReply(std::string& text, std::vector<std::string>& lines) {
    text.clear();
    lines.clear();
    ULONGLONG deadline = GetTickCount64() + timeoutMs_;
    for (;;) {
      std::string line = ReadLine(deadline);
      text = line;
      lines.push_back(line);
      if (line.size() < 3) return 0;
      if (line.size() == 3 || line[3] != '-') return std::atoi(line.substr(0, 3).c_str());
    }
  }

  SOCKET socket_ = INVALID_SOCKET;
  DWORD timeoutMs_;
  bool onThisMachine_ = false;
  std::string buffer_;      // the server's text not read yet
  std::string encrypted_;   // once encrypted: what came from the server and is not text yet
  std::unique_ptr<TTlsClient> tls_;
  std::vector<std::string> replyLines_;
  std::string error_;
};

// EHLO, or HELO from a server that refuses EHLO (it offers no extensions then).
void Greet(TSmtpConnection& smtp) {
  try {
    smtp.Command("EHLO localhost\r\n", {250});
  } catch (const TSmtpError& e) {
    if (e.Code < 500 || e.Code > 599) throw;   // only a server that refuses EHLO is asked with HELO
    smtp.Command("HELO localhost\r\n", {250});
  }
}

std::string DateHeader() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_s(&utc, &now);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", &utc);
  return text;
}

std::string QuotedPrintable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out, line;
  auto flush = [&](bool soft) {
    out += line + (soft ? "=\r\n" : "\r\n");
    line.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = text[i];
    if (c == '\r') continue;
    if (c == '\n') {
      if (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {   // trailing blank: encoded
        unsigned char last = line.back();
        line.pop_back();
        line += std::string("=") + kHex[last >> 4] + kHex[last & 15];
      }
      flush(false);
      continue;
    }
    std::string piece(1, (char)c);
    if (c == '=' || c < 32 || c > 126) piece = std::string("=") + kHex[c >> 4] + kHex[c & 15];
    if (line.size() + piece.size() > 75) flush(true);
    line += piece;
  }
  if (!line.empty()) flush(false);
  return out;
}

}  // namespace

bool TSmtpSettings::Configured() const { return !Trim(Host).empty() && !Address.empty() && Port > 0 && Port < 65536; }

TSmtpSettings LoadSmtpSettings(HKEY root, const std::string& key) {
  TSmtpSettings settings;
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (!reg.OpenKeyReadOnly("\\" + key)) return settings;
  std::string text;
  if (reg.ReadText(kHostValue, text)) settings.Host = Trim(text);
  if (reg.ReadText(kPortValue, text) && !text.empty()) settings.Port = (int)StrToIntDef(text, 0);
  reg.ReadText(kAddressValue, settings.Address);
  reg.ReadText(kUserValue, settings.User);
  reg.ReadText(kPasswordValue, settings.Password);
  return settings;
}

std::string HeaderText(const std::string& text) {
  std::string clean;
  for (char c : text)
    if (c != '\r' && c != '\n') clean += c;
  for (unsigned char c : clean)
    if (c > 126 || c < 32) return "=?UTF-8?B?" + Base64(clean) + "?=";
  return clean;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = (uint8_t)bytes[i] << 16;
    if (i + 1 < bytes.size()) n |= (uint8_t)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) n |= (uint8_t)bytes[i + 2];
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

std::string ComposeMessage(const TSmtpSettings& settings, const TMailMessage& message) {
  std::string address = HeaderText(settings.Address);
  return "From: <" + address + ">\r\nTo: <" + address + ">\r\nReply-To: " + HeaderText(message.ReplyTo) +
         "\r\nSubject: " + HeaderText(message.Subject) + "\r\nDate: " + DateHeader() +
         "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
         QuotedPrintable(message.Body);
}

std::string DotStuff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string SendMail(const TSmtpSettings& settings, const TMailMessage& message) {
  if (!settings.Configured()) return kNotConfiguredText;
  try {
    TSmtpConnection smtp(settings);
    smtp.Expect({220});
    Greet(smtp);
    if (OffersExtension(smtp.ReplyLines(), "STARTTLS")) {
      smtp.Command("STARTTLS\r\n", {220});
      smtp.StartTls(Trim(settings.Host), settings.TrustedCertificate);
      Greet(smtp);   // the server's extensions again, now that nobody can have changed them
    }
    // the password goes only encrypted, or to this machine itself
    if (!settings.Password.empty() && !smtp.Encrypted() && !smtp.OnThisMachine())
      throw TSmtpError(kPlainLoginRefusedText);
    if (!settings.Password.empty()) {
      smtp.Command("AUTH LOGIN\r\n", {334});
      smtp.Command(Base64(settings.User.empty() ? settings.Address : settings.User) + "\r\n", {334});
      smtp.Command(Base64(settings.Password) + "\r\n", {235});
    }
    std::string mailbox = "<" + HeaderText(settings.Address) + ">";
    smtp.Command("MAIL FROM:" + mailbox + "\r\n", {250});
    smtp.Command("RCPT TO:" + mailbox + "\r\n", {250, 251});
    smtp.Command("DATA\r\n", {354});
    smtp.Command(DotStuff(ComposeMessage(settings, message)) + ".\r\n", {250});
    try {
      smtp.Command("QUIT\r\n", {221});
    } catch (const TSmtpError&) {
    }   // the message is delivered; how the server says goodbye does not matter
    return "";
  } catch (const TSmtpError& e) {
    return e.what();
  } catch (const TTlsError& e) {
    return e.what();
  }
}

bool OffersExtension(const std::vector<std::string>& replyLines, const std::string& extension) {
  for (const std::string& line : replyLines) {
    // "250-NAME params" or "250 NAME params": the name is the first word after the code
    if (line.size() <= 4) continue;
    std::string words = Trim(line.substr(4));
    if (SameText(words.substr(0, words.find(' ')), extension)) return true;
  }
  return false;
}

}  // namespace UnitMail
