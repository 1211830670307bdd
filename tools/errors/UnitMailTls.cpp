#include "UnitMailTls.h"

#define SECURITY_WIN32
#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>   // the certificate check flags
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <vector>

#include "../../framework/Strings.h"

namespace UnitMail {

namespace {

// The handshake asks for a private, ordered stream and checks the certificate itself afterwards
// (CertificateProblem), so that a failed check names what failed.
const ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                            ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                            ISC_REQ_MANUAL_CRED_VALIDATION;

std::string WithCode(const char* text, long code) { return Format("%s (0x%08X).", text, (unsigned)code); }

// A buffer the security package allocated, freed with it.
struct TContextBuffer {
  SecBuffer Buffer{0, SECBUFFER_TOKEN, nullptr};
  ~TContextBuffer() {
    if (Buffer.pvBuffer != nullptr) FreeContextBuffer(Buffer.pvBuffer);
  }
};

struct TCertificate {
  PCCERT_CONTEXT Context = nullptr;
  ~TCertificate() {
    if (Context != nullptr) CertFreeCertificateContext(Context);
  }
};

struct TChain {
  PCCERT_CHAIN_CONTEXT Context = nullptr;
  ~TChain() {
    if (Context != nullptr) CertFreeCertificateChain(Context);
  }
};

std::string CertificateText(long code, const std::string& serverName) {
  switch (code) {
    case CERT_E_CN_NO_MATCH: return kNameMismatchText + serverName + ".";
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case TRUST_E_CERT_SIGNATURE: return kUntrustedText;
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING: return kExpiredText;
    case CRYPT_E_REVOKED: return kRevokedText;
    default: return WithCode(kCertificateFailedText, code);
  }
}

// The chain's root: the last certificate of its first simple chain.
PCCERT_CONTEXT ChainRoot(PCCERT_CHAIN_CONTEXT chain) {
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return nullptr;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  return simple->rgpElement[simple->cElement - 1]->pCertContext;
}

}  // namespace

struct TTlsClient::TState {
  std::wstring ServerName;
  CredHandle Credentials{};
  CtxtHandle Context{};
  bool HasContext = false;
  SecPkgContext_StreamSizes Sizes{};
  ~TState() {
    if (HasContext) DeleteSecurityContext(&Context);
    FreeCredentialsHandle(&Credentials);
  }
};

TTlsClient::TTlsClient(const std::string& serverName) {
  auto state = std::make_unique<TState>();
  state->ServerName = Widen(serverName);
  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  SECURITY_STATUS status =
      AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                &credentials, nullptr, nullptr, &state->Credentials, &expiry);
  if (status != SEC_E_OK) throw TTlsError(WithCode(kTlsUnavailableText, status));
  state_ = std::move(state);
}

TTlsClient::~TTlsClient() = default;

TTlsClient::TStep TTlsClient::Handshake(std::string& received, std::string& toSend) {
  TState& s = *state_;
  for (;;) {
    if (s.HasContext && received.empty()) return TStep::More;
    SecBuffer in[2] = {{(ULONG)received.size(), SECBUFFER_TOKEN, received.data()}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc input{SECBUFFER_VERSION, 2, in};
    TContextBuffer out;
    SecBufferDesc output{SECBUFFER_VERSION, 1, &out.Buffer};
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextW(
        &s.Credentials, s.HasContext ? &s.Context : nullptr, const_cast<wchar_t*>(s.ServerName.c_str()),
        kContextFlags, 0, 0, s.HasContext ? &input : nullptr, 0, &s.Context, &output, &attributes, &expiry);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return TStep::More;   // the rest of the server's message is still to come
    s.HasContext = true;
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) throw TTlsError(WithCode(kHandshakeFailedText, status));
    if (out.Buffer.pvBuffer != nullptr) toSend.append((const char*)out.Buffer.pvBuffer, out.Buffer.cbBuffer);
    // what the step did not use begins the next message
    if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer <= received.size())
      received.erase(0, received.size() - in[1].cbBuffer);
    else
      received.clear();
    if (status == SEC_E_OK) {
      status = QueryContextAttributesW(&s.Context, SECPKG_ATTR_STREAM_SIZES, &s.Sizes);
      if (status != SEC_E_OK || s.Sizes.cbMaximumMessage == 0) throw TTlsError(WithCode(kHandshakeFailedText, status));
      return TStep::Done;
    }
  }
}

std::string TTlsClient::Encrypt(const std::string& plain) const {
  const SecPkgContext_StreamSizes& sizes = state_->Sizes;
  std::string records;
  for (size_t at = 0; at < plain.size(); at += sizes.cbMaximumMessage) {
    size_t length = std::min<size_t>(sizes.cbMaximumMessage, plain.size() - at);
    std::vector<char> record(sizes.cbHeader + length + sizes.cbTrailer);
    std::copy_n(plain.data() + at, length, record.data() + sizes.cbHeader);
    SecBuffer parts[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                          {(ULONG)length, SECBUFFER_DATA, record.data() + sizes.cbHeader},
                          {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + length},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, parts};
    SECURITY_STATUS status = EncryptMessage(&state_->Context, 0, &message, 0);
    if (status != SEC_E_OK) throw TTlsError(WithCode(kTlsFailedText, status));
    records.append(record.data(), parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer);
  }
  return records;
}

bool TTlsClient::Decrypt(std::string& received, std::string& plain) const {
  while (!received.empty()) {
    SecBuffer parts[4] = {{(ULONG)received.size(), SECBUFFER_DATA, received.data()},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, parts};
    SECURITY_STATUS status = DecryptMessage(&state_->Context, &message, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return true;
    if (status == SEC_I_CONTEXT_EXPIRED) return false;   // the server closed the session
    if (status != SEC_E_OK) throw TTlsError(WithCode(kTlsFailedText, status));   // renegotiation too
    std::string rest;
    for (const SecBuffer& part : parts) {
      if (part.BufferType == SECBUFFER_DATA && part.pvBuffer != nullptr)
        plain.append((const char*)part.pvBuffer, part.cbBuffer);
      else if (part.BufferType == SECBUFFER_EXTRA && part.pvBuffer != nullptr)
        rest.assign((const char*)part.pvBuffer, part.cbBuffer);
    }
    received = std::move(rest);
  }
  return true;
}

std::string TTlsClient::CertificateProblem(const std::string& trusted) const {
  std::string serverName = Narrow(state_->ServerName);
  TCertificate certificate;
  if (QueryContextAttributesW(&state_->Context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate.Context) != SEC_E_OK ||
      certificate.Context == nullptr)
    return kNoCertificateText;
  // the chain as the server sent it, to a root the system trusts, for a server's use
  LPSTR serverUse[] = {const_cast<char*>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = serverUse;
  TChain chain;
  if (!CertGetCertificateChain(nullptr, certificate.Context, nullptr, certificate.Context->hCertStore, &para, 0,
                               nullptr, &chain.Context))
    return CertificateText((long)GetLastError(), serverName);
  PCCERT_CONTEXT root = ChainRoot(chain.Context);
  bool pinned = !trusted.empty() && root != nullptr && root->cbCertEncoded == trusted.size() &&
                std::equal(trusted.begin(), trusted.end(), (const char*)root->pbCertEncoded);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = pinned ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
  ssl.pwszServerName = state_->ServerName.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Context, &policy, &status))
    return CertificateText((long)GetLastError(), serverName);
  return status.dwError == 0 ? "" : CertificateText((long)status.dwError, serverName);
}

}  // namespace UnitMail
