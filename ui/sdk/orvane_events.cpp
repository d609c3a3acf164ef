#include "orvane/orvane_events.hpp"

#include <QPointer>

#include "core/sdk/host_events.hpp"

namespace orvane {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

// Forwards the core's events to the signals.
class SignalBridge : public EventListener {
 public:
  explicit SignalBridge(OrvaneEvents* target) : target_(target) {}
  void onWallOpened(const WallOpened& e) override {
    if (target_) emit target_->wallOpened(e.wall);
  }
  void onWallClosed(const WallClosed& e) override {
    if (target_) emit target_->wallClosed(e.wall);
  }
  void onListLoaded(const ListLoaded& e) override {
    if (target_)
      emit target_->listLoaded(e.wall, static_cast<int>(e.count), e.totalReward, text(e.mark), e.outOfDate);
  }
  void onListFailed(const ListFailed& e) override {
    if (target_) emit target_->listFailed(e.wall, text(e.reason));
  }
  void onParticipationStarted(const ParticipationStarted& e) override {
    if (target_) emit target_->participationStarted(e.campid, text(e.name));
  }
  void onRewardClaimed(const RewardClaimed& e) override {
    if (target_) emit target_->rewardClaimed(e.campid, text(e.name), e.amount, text(e.mark));
  }
  void onError(const ErrorEvent& e) override {
    if (target_) emit target_->error(text(e.operation), e.code, text(e.text));
  }

 private:
  QPointer<OrvaneEvents> target_;
};

}  // namespace

OrvaneEvents::OrvaneEvents() : bridge_(std::make_shared<SignalBridge>(this)) {
  setObjectName(QStringLiteral("orvane_events"));
  HostEvents::shared().addListener(bridge_);
}

OrvaneEvents::~OrvaneEvents() { HostEvents::shared().removeListener(bridge_.get()); }

}  // namespace orvane
