#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// What the participation flow tells the element (a campaign cell, the detail screen)
// that started the latest join. Called on the main thread.
class JoinProtocol {
 public:
  virtual ~JoinProtocol() = default;
  // The campaign now waits for the user's participation check.
  virtual void onParticipationCheckPossible() = 0;
  // The participation is confirmed; the reward can be claimed with this key.
  virtual void onAccumulationPossible(std::int64_t campid, const std::string& ovnkey) = 0;
};

}  // namespace orvane
