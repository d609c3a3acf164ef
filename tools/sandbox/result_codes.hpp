#pragma once

namespace orvane::sandbox {

// The "result" codes the sandbox answers. HTTP status is 200 unless a test forces another.
// Join codes follow the client's alert table: 401/407/410/500/501/502 make it reload the list,
// 402/403/406/411/503/900 show a plain alert, anything else "not a participation campaign".
inline constexpr int kResultOk = 200;
inline constexpr int kResultBadRequest = 400;       // missing or malformed parameter
inline constexpr int kResultUnknownMedia = 401;     // unknown mkey, or mckey not of that mkey
inline constexpr int kResultBudgetExhausted = 402;  // fixture-driven (x_sandbox.joinresult)
inline constexpr int kResultNotTargeted = 403;      // the user's age or gender is outside the targeting
inline constexpr int kResultNotFound = 404;         // unknown campaign, participation or key
inline constexpr int kResultMethod = 405;           // wrong HTTP method for the endpoint
inline constexpr int kResultCapReached = 406;       // fixture-driven
inline constexpr int kResultEnded = 407;            // fixture-driven: the campaign has ended
inline constexpr int kResultNotConfirmed = 409;     // reward claimed before the participation was confirmed
inline constexpr int kResultPaused = 410;           // fixture-driven
inline constexpr int kResultUnsupported = 411;      // fixture-driven
inline constexpr int kResultTooLarge = 413;         // inquiry upload over the file limits
inline constexpr int kResultServerError = 500;      // only when forced
inline constexpr int kResultAlreadyDone = 501;      // join/exec after completion; second reward claim
inline constexpr int kResultNoCheck = 502;          // exec on a campaign without a participation check
inline constexpr int kResultMaintenance = 503;      // fixture-driven
inline constexpr int kResultOtherUser = 900;        // the device already took part under another user id

}  // namespace orvane::sandbox
