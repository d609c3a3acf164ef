#include "ui/screens/copy_right_view.hpp"

#include "core/sdk/settings_keys.hpp"
#include "orvane/localized.hpp"
#include "ui_copy_right_view.h"

namespace orvane::ui {

CopyRightView::CopyRightView(const Services& services, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("v_copyright"));
  const auto& platform = services.platform;
  const bool visible = platform && platform->store && platform->store->boolean(keys::kCopyrightVisibility);
  if (!visible) {
    // Off: no content and no height, so the screen's layout closes the gap.
    setFixedHeight(0);
    hide();
    return;
  }
  ui_ = std::make_unique<Ui::CopyRightView>();
  content_ = new QWidget(this);
  ui_->setupUi(content_);
  ui_->l_copyright->setText(QString::fromStdString(localized("ov_copyright")));
  ui_->l_copyright->setAccessibleName(ui_->l_copyright->text());
  content_->setGeometry(rect());
  setFixedHeight(kHeight);
}

CopyRightView::~CopyRightView() = default;

void CopyRightView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (content_) content_->setGeometry(rect());
}

}  // namespace orvane::ui
