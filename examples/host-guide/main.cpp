// A complete host of the wall in one file: the one docs/host-guide.md walks through.
// It opens the wall in a dialog of its own, or places it in the host's window.
#include <QApplication>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <orvane/orvane.hpp>
#include <orvane/orvane_sdk.hpp>
#include <orvane/orvane_wall.hpp>

int main(int argc, char** argv) {
  // The SDK keeps its settings in the host's QSettings: name the host first.
  QApplication::setOrganizationName(QStringLiteral("Example"));
  QApplication::setApplicationName(QStringLiteral("orvane-host-example"));
  QApplication app(argc, argv);

  orvane::Orvane& sdk = orvane::Orvane::shared();
  sdk.initialize("my-media-key", "my-channel-key", "user-42");
  sdk.setMainTitle("Free coins");
  sdk.setListType(orvane::Orvane::TYPE_LIST_ICON);
  sdk.setBenefitsType(orvane::Orvane::TYPE_BENEFITS_DISPLAY_LIST_TOP);
  sdk.setDebugEnabled(qEnvironmentVariableIsSet("ORVANE_DEBUG"));
  // Another server (a staging one, a sandbox) is chosen on every launch.
  if (const QByteArray url = qgetenv("ORVANE_BASE_URL"); !url.isEmpty()) {
    orvane::OrvaneSDK::shared().hostUrl = url.toStdString();
    orvane::OrvaneSDK::shared().hostPartnerUrl = url.toStdString();
  }

  QMainWindow window;
  auto* central = new QWidget(&window);
  auto* layout = new QHBoxLayout(central);
  auto* buttons = new QVBoxLayout;
  auto* present = new QPushButton(QStringLiteral("Open the wall"), central);
  auto* embed = new QPushButton(QStringLiteral("Show the wall here"), central);
  buttons->addWidget(present);
  buttons->addWidget(embed);
  buttons->addStretch();
  layout->addLayout(buttons);
  window.setCentralWidget(central);

  // A dialog of its own, modal over this window; a second call raises it.
  QObject::connect(present, &QPushButton::clicked, &window,
                   [&window] { orvane::Orvane::shared().presentOrvane(&window); });

  // In the host's own window: the host places it and removes it when its user closes it.
  QObject::connect(embed, &QPushButton::clicked, &window, [central, layout, embed] {
    orvane::OrvaneWall* wall = orvane::Orvane::shared().orvaneViewController(central);
    if (wall == nullptr) return;  // not initialised: the reason is on standard error
    wall->setMinimumWidth(360);
    layout->addWidget(wall, 1);
    embed->setEnabled(false);
    QObject::connect(wall, &orvane::OrvaneWall::closeRequested, wall, [wall, embed] {
      embed->setEnabled(true);
      wall->deleteLater();
    });
  });

  window.resize(900, 760);
  window.show();
  return QApplication::exec();
}
