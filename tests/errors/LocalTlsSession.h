// The server side of an encrypted session for the support mail's tests, since the test prefix's
// system TLS (Schannel over GnuTLS) offers only the client side: a self-signed certificate made
// with CryptoAPI, and a TLS 1.2 server of one cipher suite (TLS_RSA_WITH_AES_128_GCM_SHA256, no
// resumption, no extension but renegotiation_info), enough for the client's handshake through
// the system's TLS and the records after it.
//
// How to use (on the server's thread, the socket connected):
//   TTestCertificate certificate("localhost");          // settings.TrustedCertificate = certificate.Der()
//   TTlsServerSession tls(client, certificate);
//   if (tls.Handshake()) { tls.Send("220 ...\r\n"); int n = tls.Receive(buffer, size); }
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>

namespace testing_support {

// A self-signed certificate for one name, its RSA key in a key container of its own that goes
// with it.
class TTestCertificate {
 public:
  explicit TTestCertificate(const std::string& name);
  ~TTestCertificate();
  TTestCertificate(const TTestCertificate&) = delete;
  TTestCertificate& operator=(const TTestCertificate&) = delete;
  bool Made() const { return certificate_ != nullptr; }
  // The certificate as the server shows it (DER).
  std::string Der() const;
  // The secret an RSA key exchange carries, decrypted with the certificate's key; false when it
  // does not decrypt.
  bool Decrypt(const std::string& encrypted, std::string& secret) const;

 private:
  std::wstring container_;
  HCRYPTPROV provider_ = 0;
  HCRYPTKEY key_ = 0;
  PCCERT_CONTEXT certificate_ = nullptr;
};

class TTlsServerSession {
 public:
  TTlsServerSession(SOCKET socket, const TTestCertificate& certificate) : socket_(socket), certificate_(certificate) {}
  // False when the client did not complete the handshake (an alert, a closed socket, a message
  // that does not check out).
  bool Handshake();
  // Application data: what came (at most size bytes), 0 when the client ended the session.
  int Receive(char* buffer, int size);
  bool Send(const std::string& text);

 private:
  bool ReadRecord(uint8_t& type, std::string& payload);
  bool ReadHandshakeMessage(uint8_t expected, std::string& message);
  bool SendRecord(uint8_t type, const std::string& payload);
  std::string Seal(uint8_t type, const std::string& plain);
  bool Open(uint8_t type, const std::string& payload, std::string& plain);

  SOCKET socket_;
  const TTestCertificate& certificate_;
  std::string handshakeBuffer_, transcript_, plain_;
  std::string clientRandom_, serverRandom_, master_;
  std::string clientKey_, serverKey_, clientSalt_, serverSalt_;
  uint64_t clientSequence_ = 0, serverSequence_ = 0;
};

}  // namespace testing_support
