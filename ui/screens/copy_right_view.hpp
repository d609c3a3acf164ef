#pragma once

#include <QWidget>
#include <memory>

#include "ui/sdk/services.hpp"

namespace Ui {
class CopyRightView;
}

namespace orvane::ui {

// The footer the host can turn on ("STANDARD_COPYRIGHT_VISIBILITY"): 30 px with its
// content when on; hidden and without height when off. Read once, when created, from
// the settings store of the services it is made with.
class CopyRightView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 30;

  explicit CopyRightView(const Services& services, QWidget* parent = nullptr);
  ~CopyRightView() override;

  // The loaded content, or null when the footer is off.
  QWidget* content() const { return content_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::unique_ptr<Ui::CopyRightView> ui_;
  QWidget* content_ = nullptr;
};

}  // namespace orvane::ui
