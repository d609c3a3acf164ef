#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QTextDocument>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/api/records.hpp"
#include "core/participation/join_protocol.hpp"
#include "core/screens/reward_text.hpp"
#include "core/support/image_cache.hpp"
#include "ui/sdk/services.hpp"
#include "ui/widgets/campaign_table_view.hpp"

class QKeyEvent;
class QLabel;
class QPainter;

namespace Ui {
class CampTableViewCell;
}

namespace orvane::qt {
class ImageView;
}

namespace orvane::ui {

// The list screen: a cell asks it to open the detail screen of a row.
class CampClickProtocol {
 public:
  virtual ~CampClickProtocol() = default;
  virtual void onClick(int row) = 0;
};

// The decimal style of the user's locale.
DecimalStyle localeDecimalStyle();
// rewardprice in that style, one space, pricemark.
QString rewardPriceText(const Camp& camp);

// What both campaign cells share: the white row, a #F2F2F2 placeholder in each shown
// image view still without its image, the separator and the focus ring.
void paintCampCell(QPainter& painter, const QWidget& cell,
                   std::initializer_list<const qt::ImageView*> images);
// Return, Enter and Space act like a tap on a focused cell.
bool isActivationKey(const QKeyEvent& event);

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
  mutable QTextDocument document_;
};

// An ordinary campaign row: image, title, description with price, and the action pill.
class CampTableViewCell : public TableViewCell {
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

  const std::optional<Camp>& camp() const { return camp_; }
  State state() const { return state_; }
  const std::optional<std::string>& ovnkey() const { return ovnkey_; }
  bool showsNativeImage() const { return nativeShown_; }
  bool showsIcon() const { return iconShown_; }
  int lchDivision() const { return lchDivision_; }
  QRect nativeImageRect() const;
  QString titleText() const;
  QString contentText() const;
  QString buttonText() const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  void prepareForReuse() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class JoinReceiver;
  friend class JoinReceiver;

  int layoutFor(int width, bool apply) const;
  void loadImage(qt::ImageView* view, const std::string& url, bool native);
  void imageArrived(bool native, const ImagePtr& image, std::int64_t campid);
  void setState(State state, bool relayout = true);
  // A flow callback, applied only while the cell still shows the campaign that started it.
  void joinCallback(std::int64_t campid, const std::optional<std::string>& ovnkey);

  ApiJoin* join_;
  ImageCache* images_;
  std::unique_ptr<Ui::CampTableViewCell> ui_;
  qt::ImageView* ivNative_;
  qt::ImageView* ivIcon_;
  QLabel* lTitle_;
  CampContentView* lContent_;
  QLabel* lRewardButton_;
  QRgb pillColour_ = 0;  // the accent the pill's style sheet was built with
  int lchDivision_ = 2;
  bool nativeShown_ = false;
  bool iconShown_ = false;
  double nativeAspect_ = 0.5;  // height / width

  std::optional<Camp> camp_;
  int row_ = -1;
  std::optional<std::string> ovnkey_;
  CampClickProtocol* campClickProtocol_ = nullptr;
  State state_ = State::join;
  std::function<void()> tapAction_;
  std::shared_ptr<JoinReceiver> joinReceiver_;
};

}  // namespace orvane::ui
