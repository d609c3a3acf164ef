#pragma once

#include <QString>
#include <QTextDocument>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/api/records.hpp"
#include "core/participation/join_protocol.hpp"
#include "core/support/notification_center.hpp"
#include "ui/screens/camp_cell.hpp"
#include "ui/widgets/server_text.hpp"

class QLabel;

namespace Ui {
class CampTableViewCell;
}

namespace orvane::ui {

// The description (server HTML) followed by the price, painted as one text.
class CampContentView : public QWidget {
 public:
  explicit CampContentView(QWidget* parent = nullptr);
  void setContent(const QString& html, const QString& priceText);
  void clear();
  QString plainText() const { return document_.toPlainText(); }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void fitWidth(int width) const;

  mutable ServerTextDocument document_{this};
};

// An ordinary campaign row: image, title, description with price, and the action pill.
class CampTableViewCell : public CampCell {
  Q_OBJECT

 public:
  static constexpr const char* kReuseIdentifier = "tvc_camp";
  enum class State { join, participationCheck, collect };

  // Takes part through the services' flow and loads images through their cache.
  explicit CampTableViewCell(const Services& services, QWidget* parent = nullptr);
  ~CampTableViewCell() override;

  void setItem(const Camp& camp, int row, std::int64_t listType, CampClickProtocol* campClickProtocol);

  void clickJoin();
  void clickParticipation();
  void clickAccumulation();
  void setParticipationCheckPossible();
  void setAccumulationPossible();

  State state() const { return state_; }
  const std::optional<std::string>& ovnkey() const { return ovnkey_; }
  bool showsNativeImage() const { return nativeShown_; }
  bool showsIcon() const { return iconShown_; }
  int lchDivision() const { return lchDivision_; }
  QRect nativeImageRect() const;
  QString titleText() const;
  QString contentText() const;
  QString buttonText() const;

  int heightForWidth(int width) const override;
  void prepareForReuse() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool tap() override;
  std::vector<const qt::ImageView*> imageViews() const override;

 private:
  class JoinReceiver;
  friend class JoinReceiver;

  int layoutFor(int width, bool apply) const;
  void loadCampImage(qt::ImageView* view, const std::string& url, bool native);
  void imageArrived(bool native, const ImagePtr& image, std::int64_t campid);
  void setState(State state, bool relayout = true);
  // A flow callback, applied only when it names the campaign the cell shows.
  void joinCallback(std::int64_t campid, const std::optional<std::string>& ovnkey);
  // The flow confirmed some campaign: collect, if it is this cell's.
  void showConfirmedKey();

  std::unique_ptr<Ui::CampTableViewCell> ui_;
  qt::ImageView* ivNative_;
  qt::ImageView* ivIcon_;
  QLabel* lTitle_;
  CampContentView* lContent_;
  QLabel* lRewardButton_;
  int lchDivision_ = 2;
  bool nativeShown_ = false;
  bool iconShown_ = false;
  double nativeAspect_ = 0.5;  // height / width

  std::optional<std::string> ovnkey_;
  State state_ = State::join;
  std::function<void()> tapAction_;
  std::shared_ptr<JoinReceiver> joinReceiver_;
  NotificationCenter::Observation confirmations_;
};

}  // namespace orvane::ui
