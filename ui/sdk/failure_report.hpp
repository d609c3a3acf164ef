#pragma once

#include <string>
#include <string_view>

#include "core/support/result.hpp"

namespace orvane::ui {

// The one place where the wall reports a failure in the developer's terms: the
// operation, the error's kind, code and description (a setting's name, a transport's
// message). Users never see that text; the screen shows them `userMessage` instead.
// Today the detail goes to the SDK's log; the host's error event belongs here too.
// GUI thread.
void reportFailure(std::string_view operation, const Error& error);

// A plain, localized sentence for a failed load that the user can act on:
// check the connection for what the network lost, try later for the rest.
std::string userMessage(const Error& error);

}  // namespace orvane::ui
