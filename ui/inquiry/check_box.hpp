#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace orvane::ui {

// The two images of the agreement box, from the SDK's resources.
struct OnOffResources {
  OnOffResources();
  QPixmap onImage;   // "icons8-tick-box-20"
  QPixmap offImage;  // "icons8-unchecked-checkbox-20"
};

// The agreement box: a 20 px box image and an optional text beside it. Starts unchecked;
// a click or Space toggles it, and `toggled` tells the form the new state. GUI thread.
class CheckBox : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CheckBox(QWidget* parent = nullptr);

  const OnOffResources& checkBoxResouces() const { return resources_; }
  // Inverts the state, as a click does.
  void check() { toggle(); }
  // The image now shown (tests).
  const QPixmap& currentImage() const { return isChecked() ? resources_.onImage : resources_.offImage; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  OnOffResources resources_;
};

}  // namespace orvane::ui
