#pragma once

#include <string>

namespace orvane::sandbox {

// A certificate authority and a server certificate for 127.0.0.1 and localhost, made
// fresh in a new temporary directory: a client trusts the https listener only by being
// handed `caFile()` (curl's CA file), never by turning verification off. The files are
// removed by the destructor. Throws std::runtime_error when OpenSSL or the disk fails.
class ThrowawayTls {
 public:
  // `parent` is where the temporary directory goes; empty = $TMPDIR or /tmp.
  explicit ThrowawayTls(const std::string& parent = {});
  ~ThrowawayTls();
  ThrowawayTls(const ThrowawayTls&) = delete;
  ThrowawayTls& operator=(const ThrowawayTls&) = delete;

  const std::string& caFile() const { return caFile_; }      // PEM certificate of the authority
  const std::string& certFile() const { return certFile_; }  // PEM server certificate, signed by it
  const std::string& keyFile() const { return keyFile_; }    // PEM private key of the server certificate

 private:
  void removeFiles();

  std::string directory_;
  std::string caFile_;
  std::string certFile_;
  std::string keyFile_;
};

}  // namespace orvane::sandbox
