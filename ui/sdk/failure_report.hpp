#pragma once

#include <string>
#include <string_view>

#include "core/support/result.hpp"

namespace orvane {
class HostEvents;
}

namespace orvane::ui {

// The one place where the wall reports a failure in the developer's terms: the
// operation, the error's kind, code and description (a setting's name, a transport's
// message). Users never see that text; the screen shows them `userMessage` instead.
// The detail goes to the SDK's log and, as an ErrorEvent named `operation`, to the
// host's listeners of `events` (none when null). GUI thread.
void reportFailure(HostEvents* events, std::string_view operation, const Error& error);

// A plain, localized sentence for a failed load that the user can act on:
// check the connection for what the network lost, try later for the rest.
std::string userMessage(const Error& error);

}  // namespace orvane::ui
