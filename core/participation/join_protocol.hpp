#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// What the participation flow tells the element (a campaign cell, the detail screen)
// that started the latest join. Called on the main thread. Each call names its
// campaign, which need not be the one the receiver shows now: a receiver applies a
// call only for the campaign it shows (the flow keeps confirmed keys for the others).
class JoinProtocol {
 public:
  virtual ~JoinProtocol() = default;
  // The campaign now waits for the user's participation check.
  virtual void onParticipationCheckPossible(std::int64_t campid) = 0;
  // The participation is confirmed; the reward can be claimed with this key.
  virtual void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) = 0;
};

}  // namespace orvane
