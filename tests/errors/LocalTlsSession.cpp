#include "LocalTlsSession.h"

#include <bcrypt.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "framework/Strings.h"

namespace testing_support {

namespace {

const uint8_t kChangeCipherSpec = 20, kAlert = 21, kHandshake = 22, kApplicationData = 23;
const uint8_t kClientHello = 1, kServerHello = 2, kCertificate = 11, kServerHelloDone = 14, kClientKeyExchange = 16,
              kFinished = 20;
const char kSuite[] = "\x00\x9C";   // TLS_RSA_WITH_AES_128_GCM_SHA256
const size_t kTagSize = 16, kExplicitNonceSize = 8;

std::string Bytes(uint64_t value, int count) {
  std::string out;
  for (int i = count - 1; i >= 0; --i) out += (char)((value >> (8 * i)) & 0xFF);
  return out;
}
uint32_t Number(const std::string& s, size_t at, int count) {
  uint32_t n = 0;
  for (int i = 0; i < count; ++i) n = (n << 8) | (uint8_t)s[at + i];
  return n;
}
std::string HandshakeMessage(uint8_t type, const std::string& body) {
  return std::string(1, (char)type) + Bytes(body.size(), 3) + body;
}

std::string Digest(const std::string& key, const std::string& data, bool hmac) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::string out(32, '\0');
  BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, hmac ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0);
  BCryptCreateHash(algorithm, &hash, nullptr, 0, hmac ? (PUCHAR)key.data() : nullptr, hmac ? (ULONG)key.size() : 0, 0);
  BCryptHashData(hash, (PUCHAR)data.data(), (ULONG)data.size(), 0);
  BCryptFinishHash(hash, (PUCHAR)out.data(), (ULONG)out.size(), 0);
  BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return out;
}
std::string Sha256(const std::string& data) { return Digest("", data, false); }
std::string Hmac(const std::string& key, const std::string& data) { return Digest(key, data, true); }

// TLS 1.2's pseudo-random function over HMAC-SHA256.
std::string Prf(const std::string& secret, const std::string& label, const std::string& seed, size_t length) {
  std::string all = label + seed, a = all, out;
  while (out.size() < length) {
    a = Hmac(secret, a);
    out += Hmac(secret, a + all);
  }
  return out.substr(0, length);
}

// AES-128-GCM over one record: the text sealed with its tag, or opened and checked.
bool Gcm(bool seal, const std::string& key, const std::string& nonce, const std::string& additional,
         const std::string& in, std::string& out, std::string& tag) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_KEY_HANDLE handle = nullptr;
  bool done = false;
  if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0) == 0 &&
      BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE, (PUCHAR)BCRYPT_CHAIN_MODE_GCM,
                        sizeof(BCRYPT_CHAIN_MODE_GCM), 0) == 0 &&
      BCryptGenerateSymmetricKey(algorithm, &handle, nullptr, 0, (PUCHAR)key.data(), (ULONG)key.size(), 0) == 0) {
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    BCRYPT_INIT_AUTH_MODE_INFO(info);
    info.pbNonce = (PUCHAR)nonce.data();
    info.cbNonce = (ULONG)nonce.size();
    info.pbAuthData = (PUCHAR)additional.data();
    info.cbAuthData = (ULONG)additional.size();
    tag.resize(kTagSize);
    info.pbTag = (PUCHAR)tag.data();
    info.cbTag = (ULONG)tag.size();
    out.assign(in.size(), '\0');
    ULONG written = 0;
    NTSTATUS status = seal ? BCryptEncrypt(handle, (PUCHAR)in.data(), (ULONG)in.size(), &info, nullptr, 0,
                                           (PUCHAR)out.data(), (ULONG)out.size(), &written, 0)
                           : BCryptDecrypt(handle, (PUCHAR)in.data(), (ULONG)in.size(), &info, nullptr, 0,
                                           (PUCHAR)out.data(), (ULONG)out.size(), &written, 0);
    done = status == 0 && written == in.size();
    BCryptDestroyKey(handle);
  }
  if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  return done;
}

bool ReadExactly(SOCKET socket, std::string& out, size_t count) {
  out.clear();
  char chunk[4096];
  while (out.size() < count) {
    int n = recv(socket, chunk, (int)std::min(sizeof chunk, count - out.size()), 0);
    if (n <= 0) return false;
    out.append(chunk, n);
  }
  return true;
}

}  // namespace

TTestCertificate::TTestCertificate(const std::string& name) {
  static std::atomic<int> made{0};
  container_ = Widen(Format("ZelvoranTestTls%lu-%d", GetCurrentProcessId(), made++));
  CryptAcquireContextW(&provider_, container_.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, CRYPT_DELETEKEYSET);
  provider_ = 0;
  if (!CryptAcquireContextW(&provider_, container_.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, CRYPT_NEWKEYSET) ||
      !CryptGenKey(provider_, AT_KEYEXCHANGE, (2048 << 16), &key_))
    return;
  std::wstring subject = L"CN=" + Widen(name);
  BYTE encoded[512];
  DWORD size = sizeof encoded;
  if (!CertStrToNameW(X509_ASN_ENCODING, subject.c_str(), CERT_X500_NAME_STR, nullptr, encoded, &size, nullptr)) return;
  CERT_NAME_BLOB blob{size, encoded};
  CRYPT_KEY_PROV_INFO keyInfo{};
  keyInfo.pwszContainerName = container_.data();
  keyInfo.pwszProvName = const_cast<wchar_t*>(MS_ENH_RSA_AES_PROV_W);
  keyInfo.dwProvType = PROV_RSA_AES;
  keyInfo.dwKeySpec = AT_KEYEXCHANGE;
  CRYPT_ALGORITHM_IDENTIFIER signature{const_cast<char*>(szOID_RSA_SHA256RSA), {}};
  // the provider given, so that the certificate carries the key just made (a provider the call
  // opened itself by the container's name need not see that key yet, and would make another)
  certificate_ = CertCreateSelfSignCertificate(provider_, &blob, 0, &keyInfo, &signature, nullptr, nullptr, nullptr);
}

TTestCertificate::~TTestCertificate() {
  if (certificate_ != nullptr) CertFreeCertificateContext(certificate_);
  if (key_ != 0) CryptDestroyKey(key_);
  if (provider_ != 0) CryptReleaseContext(provider_, 0);
  HCRYPTPROV gone = 0;
  CryptAcquireContextW(&gone, container_.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, CRYPT_DELETEKEYSET);
}

std::string TTestCertificate::Der() const {
  return certificate_ == nullptr ? "" : std::string((const char*)certificate_->pbCertEncoded, certificate_->cbCertEncoded);
}

bool TTestCertificate::Decrypt(const std::string& encrypted, std::string& secret) const {
  // CryptoAPI takes the number least significant byte first
  DWORD bits = 0, size = sizeof bits;
  if (!CryptGetKeyParam(key_, KP_KEYLEN, (BYTE*)&bits, &size, 0) || encrypted.size() != bits / 8) return false;
  std::vector<BYTE> data(encrypted.rbegin(), encrypted.rend());
  DWORD length = (DWORD)data.size();
  if (!CryptDecrypt(key_, 0, TRUE, 0, data.data(), &length)) return false;
  secret.assign((const char*)data.data(), length);
  return true;
}

bool TTlsServerSession::ReadRecord(uint8_t& type, std::string& payload) {
  std::string header;
  if (!ReadExactly(socket_, header, 5)) return false;
  type = (uint8_t)header[0];
  return (uint8_t)header[1] == 3 && ReadExactly(socket_, payload, Number(header, 3, 2));
}

bool TTlsServerSession::ReadHandshakeMessage(uint8_t expected, std::string& message) {
  while (handshakeBuffer_.size() < 4 || handshakeBuffer_.size() < 4 + Number(handshakeBuffer_, 1, 3)) {
    uint8_t type = 0;
    std::string payload;
    if (!ReadRecord(type, payload) || type != kHandshake) return false;
    if (!clientKey_.empty()) {   // after the client's change of cipher spec: encrypted
      std::string plain;
      if (!Open(type, payload, plain)) return false;
      payload = plain;
    }
    handshakeBuffer_ += payload;
  }
  size_t length = 4 + Number(handshakeBuffer_, 1, 3);
  message = handshakeBuffer_.substr(0, length);
  handshakeBuffer_.erase(0, length);
  return (uint8_t)message[0] == expected;
}

bool TTlsServerSession::SendRecord(uint8_t type, const std::string& payload) {
  std::string record = std::string(1, (char)type) + "\x03\x03" + Bytes(payload.size(), 2) + payload;
  return send(socket_, record.data(), (int)record.size(), 0) == (int)record.size();
}

std::string TTlsServerSession::Seal(uint8_t type, const std::string& plain) {
  std::string explicitNonce = Bytes(serverSequence_, 8), cipher, tag;
  std::string additional = Bytes(serverSequence_++, 8) + (char)type + "\x03\x03" + Bytes(plain.size(), 2);
  Gcm(true, serverKey_, serverSalt_ + explicitNonce, additional, plain, cipher, tag);
  return explicitNonce + cipher + tag;
}

bool TTlsServerSession::Open(uint8_t type, const std::string& payload, std::string& plain) {
  if (payload.size() < kExplicitNonceSize + kTagSize) return false;
  size_t length = payload.size() - kExplicitNonceSize - kTagSize;
  std::string additional = Bytes(clientSequence_++, 8) + (char)type + "\x03\x03" + Bytes(length, 2);
  std::string tag = payload.substr(payload.size() - kTagSize);
  return Gcm(false, clientKey_, clientSalt_ + payload.substr(0, kExplicitNonceSize), additional,
             payload.substr(kExplicitNonceSize, length), plain, tag);
}

bool TTlsServerSession::Handshake() {
  std::string hello;
  if (!ReadHandshakeMessage(kClientHello, hello) || hello.size() < 4 + 2 + 32 + 1) return false;
  transcript_ += hello;
  clientRandom_ = hello.substr(6, 32);
  size_t at = 38 + 1 + (uint8_t)hello[38];   // past the session id
  if (at + 2 > hello.size()) return false;
  std::string suites = hello.substr(at + 2, Number(hello, at, 2));
  bool offered = false;
  for (size_t i = 0; i + 1 < suites.size(); i += 2) offered = offered || suites.substr(i, 2) == std::string(kSuite, 2);
  if (!offered) return false;

  serverRandom_.assign(32, '\0');
  BCryptGenRandom(nullptr, (PUCHAR)serverRandom_.data(), 32, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  const std::string renegotiationInfo("\xFF\x01\x00\x01\x00", 5);
  std::string serverHello = HandshakeMessage(kServerHello, std::string("\x03\x03", 2) + serverRandom_ + '\0' +
                                                               std::string(kSuite, 2) + '\0' +
                                                               Bytes(renegotiationInfo.size(), 2) + renegotiationInfo);
  std::string der = certificate_.Der();
  std::string certificate = HandshakeMessage(kCertificate, Bytes(der.size() + 3, 3) + Bytes(der.size(), 3) + der);
  std::string done = HandshakeMessage(kServerHelloDone, "");
  transcript_ += serverHello + certificate + done;
  if (!SendRecord(kHandshake, serverHello + certificate + done)) return false;

  std::string exchange, premaster;
  if (!ReadHandshakeMessage(kClientKeyExchange, exchange) || exchange.size() < 6) return false;
  transcript_ += exchange;
  if (!certificate_.Decrypt(exchange.substr(6, Number(exchange, 4, 2)), premaster) || premaster.size() != 48) return false;
  master_ = Prf(premaster, "master secret", clientRandom_ + serverRandom_, 48);
  std::string keys = Prf(master_, "key expansion", serverRandom_ + clientRandom_, 40);
  clientKey_ = keys.substr(0, 16);
  serverKey_ = keys.substr(16, 16);
  clientSalt_ = keys.substr(32, 4);
  serverSalt_ = keys.substr(36, 4);

  uint8_t type = 0;
  std::string payload, finished;
  if (!ReadRecord(type, payload) || type != kChangeCipherSpec) return false;
  std::string expected = Prf(master_, "client finished", Sha256(transcript_), 12);
  if (!ReadHandshakeMessage(kFinished, finished) || finished.substr(4) != expected) return false;
  transcript_ += finished;
  std::string ours = HandshakeMessage(kFinished, Prf(master_, "server finished", Sha256(transcript_), 12));
  return SendRecord(kChangeCipherSpec, "\x01") && SendRecord(kHandshake, Seal(kHandshake, ours));
}

int TTlsServerSession::Receive(char* buffer, int size) {
  while (plain_.empty()) {
    uint8_t type = 0;
    std::string payload, plain;
    if (!ReadRecord(type, payload) || type == kAlert || !Open(type, payload, plain)) return 0;
    if (type == kApplicationData) plain_ += plain;
  }
  int n = (int)std::min<size_t>(size, plain_.size());
  std::copy_n(plain_.data(), n, buffer);
  plain_.erase(0, n);
  return n;
}

bool TTlsServerSession::Send(const std::string& text) { return SendRecord(kApplicationData, Seal(kApplicationData, text)); }

}  // namespace testing_support
