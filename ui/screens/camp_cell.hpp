#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/api/records.hpp"
#include "core/screens/reward_text.hpp"
#include "core/support/platform/image_codec.hpp"
#include "ui/sdk/services.hpp"
#include "ui/widgets/campaign_table_view.hpp"

class QLabel;
class QTextCharFormat;
class QTextDocument;

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
// Appends the price to a description in `format`, after a space unless the
// description is empty or already ends in white space: the two never touch.
void appendPrice(QTextDocument& description, const QString& price, const QTextCharFormat& format);

// What both campaign rows share: the services they take part and load images through,
// the campaign and row they show, the metrics, the title and the accent pill, the
// painting (white row, a quiet fill under the pointer, #F2F2F2 placeholders, separator,
// the focus ring when the keyboard brought the focus) and the tap: a left click
// anywhere on the row, or Return, Enter or Space on a focused row.
class CampCell : public TableViewCell {
  Q_OBJECT

 public:
  const std::optional<Camp>& camp() const { return camp_; }
  bool hasHeightForWidth() const override { return true; }

 protected:
  static constexpr int kPadX = 16;
  static constexpr int kPadY = 12;
  static constexpr int kGap = 12;
  static constexpr int kPillHeight = 28;
  static constexpr int kPillMinWidth = 72;

  CampCell(const QString& reuseIdentifier, const Services& services, QWidget* parent);

  // What a tap does; false when the row has no action now. The action may reload the
  // list and with it this cell: touch no member after running it.
  virtual bool tap() = 0;
  // The image views that show a placeholder until their image arrives.
  virtual std::vector<const qt::ImageView*> imageViews() const = 0;

  // The campaign and row shown from now on.
  void bind(const Camp& camp, int row, CampClickProtocol* clicks);
  // A campaign with a detail page opens it instead of joining; true when it did.
  bool openDetailPage();

  // The whole row is the tap target: clicks on these children reach the cell.
  static void passClicksThrough(std::initializer_list<QWidget*> children);
  static void styleTitle(QLabel* title);
  // Font and accent of the pill; the style sheet is rebuilt only when the accent changed.
  void stylePill(QWidget* pill);
  static int pillWidth(const QWidget& pill, const QString& text);
  // Two lines at most.
  static int titleHeight(const QLabel& title, int width);
  // Forgets the view's image and binds it to `url`; `then` runs with each delivery.
  void loadImage(qt::ImageView* view, const std::string& url, std::function<void(ImagePtr)> then);
  static void forgetImage(qt::ImageView* view);

  ApiJoin& join() const { return *join_; }

  std::optional<Camp> camp_;
  int row_ = -1;
  CampClickProtocol* clicks_ = nullptr;

  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  ApiJoin* join_;
  ImageCache* images_;
  QRgb pillColour_ = 0;         // the accent the pill's style sheet was built with
  bool keyboardFocus_ = false;  // the focus ring is drawn
};

}  // namespace orvane::ui
