#include "host_window.hpp"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

#include "carousel_frame.hpp"
#include "orvane/orvane.hpp"

namespace demo {

namespace {

using orvane::Orvane;

void colourButton(QPushButton* button, QColor& colour) {
  const auto paint = [button, &colour] {
    button->setText(colour.name());
    button->setStyleSheet(QStringLiteral("background:%1;color:white;").arg(colour.name()));
  };
  paint();
  QObject::connect(button, &QPushButton::clicked, button, [button, &colour, paint] {
    const QColor picked = QColorDialog::getColor(colour, button->window());
    if (picked.isValid()) colour = picked;
    paint();
  });
}

}  // namespace

void showHostWindow(const std::string& mkey, const std::string& mckey) {
  auto* window = new QMainWindow;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Orvane demo host"));
  auto* central = new QWidget;
  auto* form = new QFormLayout;
  auto* userId = new QLineEdit(QStringLiteral("demo-user"));
  auto* age = new QSpinBox;
  age->setRange(0, 120);
  auto* gender = new QComboBox;
  gender->addItems({QStringLiteral("unknown"), QStringLiteral("man"), QStringLiteral("woman")});
  auto* listStyle = new QComboBox;
  listStyle->addItems({QStringLiteral("not set"), QStringLiteral("native"), QStringLiteral("icon")});
  auto* benefits = new QComboBox;
  benefits->addItems({QStringLiteral("pop-up"), QStringLiteral("list top")});
  auto* copyright = new QCheckBox;
  auto* tracking = new QCheckBox;
  tracking->setChecked(true);
  auto* debug = new QCheckBox;
  auto* primary = new QPushButton;
  auto* disable = new QPushButton;
  colourButton(primary, Orvane::shared().orvaneColorPrimary);
  colourButton(disable, Orvane::shared().orvaneColorDisable);
  form->addRow(QStringLiteral("User id"), userId);
  form->addRow(QStringLiteral("Age (0 = not given)"), age);
  form->addRow(QStringLiteral("Gender"), gender);
  form->addRow(QStringLiteral("List style"), listStyle);
  form->addRow(QStringLiteral("Benefits"), benefits);
  form->addRow(QStringLiteral("Copyright footer"), copyright);
  form->addRow(QStringLiteral("Ask for tracking"), tracking);
  form->addRow(QStringLiteral("Debug log (Qt logging, orvane.sdk)"), debug);
  form->addRow(QStringLiteral("Primary colour"), primary);
  form->addRow(QStringLiteral("Disabled colour"), disable);
  auto* open = new QPushButton(QStringLiteral("Open the wall"));
  open->setDefault(true);
  auto* showCarousel = new QPushButton(QStringLiteral("Show the carousel"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open);
  buttons->addWidget(showCarousel);
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(new QLabel(QStringLiteral("Options are applied when the wall opens.")));
  layout->addLayout(form);
  layout->addLayout(buttons);
  layout->addStretch();
  window->setCentralWidget(central);
  QObject::connect(open, &QPushButton::clicked, window, [=] {
    auto& sdk = Orvane::shared();
    sdk.initialize(mkey, mckey, userId->text().toStdString());
    sdk.setAge(age->value());
    sdk.setGender(std::to_string(gender->currentIndex()));
    sdk.setListType(listStyle->currentIndex());
    sdk.setBenefitsType(benefits->currentIndex());
    sdk.setCopyRightVisibility(copyright->isChecked());
    sdk.setTrackingUsage(tracking->isChecked());
    sdk.setDebugEnabled(debug->isChecked());
    sdk.presentOrvane(window);
  });
  // A window of its own that closes with the host; a second press brings it to the front.
  auto carousel = std::make_shared<QPointer<QWidget>>();
  QObject::connect(showCarousel, &QPushButton::clicked, window, [window, carousel] {
    if (!*carousel) {
      QWidget* frame = makeCarouselFrame();
      frame->setParent(window, Qt::Window);
      frame->setAttribute(Qt::WA_DeleteOnClose);
      *carousel = frame;
    }
    (*carousel)->show();
    (*carousel)->raise();
    (*carousel)->activateWindow();
  });
  window->resize(420, 480);
  window->show();
}

}  // namespace demo
