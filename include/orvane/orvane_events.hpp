#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "orvane/events.hpp"
#include "orvane/export.hpp"

namespace orvane {

// The host's events as Qt signals: the one object of `Orvane::events()`. The events, their
// order and their threading are those of orvane/events.hpp: emitted on the GUI thread from
// the event loop, never while another of them is being handled, so a slot may close or
// delete a wall. The ids are those of OrvaneWall::wallId().
class ORVANE_EXPORT OrvaneEvents : public QObject {
  Q_OBJECT

 public:
  ~OrvaneEvents() override;

 signals:
  void wallOpened(quint64 wall);
  void wallClosed(quint64 wall);
  void listLoaded(quint64 wall, int count, double totalReward, const QString& mark, bool outOfDate);
  void listFailed(quint64 wall, const QString& reason);
  void participationStarted(qint64 campid, const QString& name);
  void rewardClaimed(qint64 campid, const QString& name, double amount, const QString& mark);
  // `code` as in orvane::error_code; `text` is for the developer, never for users.
  void error(const QString& operation, int code, const QString& text);

 private:
  friend class Orvane;
  OrvaneEvents();
  std::shared_ptr<EventListener> bridge_;
};

}  // namespace orvane
