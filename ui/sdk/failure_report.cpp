#include "ui/sdk/failure_report.hpp"

#include "core/sdk/host_events.hpp"
#include "orvane/localized.hpp"
#include "orvane/log.hpp"

namespace orvane::ui {

namespace {

const char* kindName(Error::Kind kind) {
  switch (kind) {
    case Error::Kind::network:
      return "network";
    case Error::Kind::timeout:
      return "timeout";
    case Error::Kind::cancelled:
      return "cancelled";
    case Error::Kind::httpStatus:
      return "httpStatus";
    case Error::Kind::emptyResponse:
      return "emptyResponse";
    case Error::Kind::notConfigured:
      return "notConfigured";
    case Error::Kind::invalidUrl:
      return "invalidUrl";
    case Error::Kind::decoding:
      return "decoding";
    case Error::Kind::encoding:
      return "encoding";
  }
  return "unknown";
}

}  // namespace

void reportFailure(HostEvents* events, std::string_view operation, const Error& error) {
  Log::log("Orvane " + std::string(operation) + " failed:",
           {kindName(error.kind), std::to_string(error.code), error.description}, Log::Level::error());
  if (events) events->raise(errorEvent(std::string(operation), error));
}

std::string userMessage(const Error& error) {
  switch (error.kind) {
    case Error::Kind::network:
    case Error::Kind::timeout:
    case Error::Kind::cancelled:
    case Error::Kind::emptyResponse:
      return localized("ov_load_unreachable");
    case Error::Kind::httpStatus:
    case Error::Kind::notConfigured:
    case Error::Kind::invalidUrl:
    case Error::Kind::decoding:
    case Error::Kind::encoding:
      break;
  }
  return localized("ov_load_unavailable");
}

}  // namespace orvane::ui
