#include "tools/sandbox/throwaway_tls.hpp"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace orvane::sandbox {

namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using Key = std::unique_ptr<EVP_PKEY, Free>;
using Cert = std::unique_ptr<X509, Free>;

[[noreturn]] void fail(const std::string& what) {
  const unsigned long code = ERR_get_error();
  char reason[256] = "";
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  throw std::runtime_error("throwaway TLS: " + what + (code != 0 ? std::string(": ") + reason : ""));
}

Key newKey() {
  Key key(EVP_EC_gen("P-256"));
  if (!key) fail("cannot make a key");
  return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (ext == nullptr) fail(std::string("cannot make extension ") + value);
  const int added = X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
  if (added != 1) fail("cannot add an extension");
}

// Signed by `issuerKey` under `issuer`'s name, or self-signed when `issuer` is null.
Cert newCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                    const std::vector<std::pair<int, const char*>>& extensions) {
  Cert cert(X509_new());
  if (!cert) fail("cannot make a certificate");
  unsigned char serial[8];
  if (RAND_bytes(serial, sizeof serial) != 1) fail("no random serial");
  serial[0] &= 0x7f;  // positive
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  const bool serialSet = number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
  BN_free(number);
  X509_NAME* name = X509_get_subject_name(cert.get());
  if (!serialSet || X509_set_version(cert.get(), 2) != 1 ||
      !X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) ||
      !X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600) ||
      X509_set_pubkey(cert.get(), key) != 1 ||
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName),
                                 -1, -1, 0) != 1 ||
      X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name) != 1) {
    fail("cannot fill a certificate");
  }
  X509* signer = issuer ? issuer : cert.get();
  for (const auto& [nid, value] : extensions) addExtension(cert.get(), signer, nid, value);
  if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) == 0)
    fail("cannot sign a certificate");
  return cert;
}

std::unique_ptr<std::FILE, Free> create(const std::string& path) {
  std::unique_ptr<std::FILE, Free> file(std::fopen(path.c_str(), "wx"));
  if (!file) throw std::runtime_error("throwaway TLS: cannot create " + path);
  return file;
}

void writeCertificate(const std::string& path, X509* cert) {
  auto file = create(path);
  if (PEM_write_X509(file.get(), cert) != 1) fail("cannot write " + path);
}

}  // namespace

ThrowawayTls::ThrowawayTls(const std::string& parent) {
  std::string base = parent;
  if (base.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp && *tmp ? tmp : "/tmp";
  }
  std::string pattern = base + "/orvane-tls-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("throwaway TLS: cannot create a directory in " + base);
  directory_ = pattern;
  caFile_ = directory_ + "/ca.pem";
  certFile_ = directory_ + "/server.pem";
  keyFile_ = directory_ + "/server-key.pem";
  try {
    const Key caKey = newKey();
    const Cert ca = newCertificate(caKey.get(), "Orvane sandbox throwaway CA", nullptr, nullptr,
                                   {{NID_basic_constraints, "critical,CA:TRUE"},
                                    {NID_key_usage, "critical,keyCertSign,cRLSign"},
                                    {NID_subject_key_identifier, "hash"}});
    const Key serverKey = newKey();
    const Cert server = newCertificate(serverKey.get(), "127.0.0.1", ca.get(), caKey.get(),
                                       {{NID_basic_constraints, "critical,CA:FALSE"},
                                        {NID_key_usage, "critical,digitalSignature"},
                                        {NID_ext_key_usage, "serverAuth"},
                                        {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                                        {NID_authority_key_identifier, "keyid:always"}});
    writeCertificate(caFile_, ca.get());
    writeCertificate(certFile_, server.get());
    auto key = create(keyFile_);
    if (PEM_write_PrivateKey(key.get(), serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
      fail("cannot write " + keyFile_);
    }
  } catch (...) {
    removeFiles();
    throw;
  }
}

ThrowawayTls::~ThrowawayTls() { removeFiles(); }

void ThrowawayTls::removeFiles() {
  for (const std::string* path : {&caFile_, &certFile_, &keyFile_}) ::unlink(path->c_str());
  ::rmdir(directory_.c_str());
}

}  // namespace orvane::sandbox
