#pragma once

#include <string>
#include <utility>
#include <variant>

namespace orvane {

// What every fallible operation hands back: a value or an error that says why.
struct Error {
  enum class Kind {
    network,        // transport failed: refused, DNS, TLS, reset
    timeout,        // no answer in time
    cancelled,      // the session shut down with the request in flight
    httpStatus,     // an answer other than 200; `status` and `body` are kept
    emptyResponse,  // neither an error nor a body
    notConfigured,  // the SDK lacks a setting it needs (identity, partner address)
    invalidUrl,     // a base URL or built URL that does not parse
    decoding,       // a body that does not decode into its record
    encoding,       // something could not be encoded for sending
  };

  Kind kind = Kind::network;
  int code = 0;  // transport or platform code where there is one
  std::string description;
  int status = 0;    // HTTP status, 0 when there was no answer
  std::string body;  // body of a non-200 answer

  static Error make(Kind kind, std::string description, int code = 0) {
    Error e;
    e.kind = kind;
    e.code = code;
    e.description = std::move(description);
    return e;
  }
};

template <class T>
class Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Result(Error error)
      : v_(std::in_place_index<1>, std::move(error)) {}  // NOLINT(google-explicit-constructor)

  [[nodiscard]] bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

}  // namespace orvane
