// The demo host: configures the SDK, then opens a small window whose buttons present
// the wall and show the carousel. Without --api it talks to the built-in servers;
// `make demo` points it at the bundled sandbox:
//   orvane-demo --api http://127.0.0.1:PORT/v1 --partner http://127.0.0.1:PORT/api
//     --notice http://127.0.0.1:PORT/orvane/sdk/notice_contents.json
#include <QApplication>
#include <QCommandLineParser>
#include <iostream>
#include <orvane/orvane.hpp>
#include <orvane/orvane_sdk.hpp>
#include <orvane/version.hpp>

#include "host_window.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The SDK keeps its settings in the host's QSettings, under these names.
  QApplication::setOrganizationName("Orvane");
  QApplication::setOrganizationDomain("demo.orvane.dev");
  QApplication::setApplicationName("orvane-demo");

  QCommandLineParser parser;
  parser.setApplicationDescription("Orvane demo host");
  parser.addHelpOption();
  const QCommandLineOption api("api", "Base URL of the API server (default: the built-in one).", "URL");
  const QCommandLineOption partner("partner", "Base URL of the partner server (with --api).", "URL");
  const QCommandLineOption notice("notice", "URL of the notice document.", "URL");
  // The sandbox's keys; a real host has its own from the operator.
  const QCommandLineOption mkey("mkey", "Media key.", "KEY", "sandbox-mkey");
  const QCommandLineOption mckey("mckey", "Media channel key.", "KEY", "sandbox-mckey");
  parser.addOptions({api, partner, notice, mkey, mckey});
  parser.process(app);

  // Server addresses live in memory only: set on every launch, before the first screen.
  auto& sdk = orvane::OrvaneSDK::shared();
  if (parser.isSet(api)) sdk.hostUrl = parser.value(api).toStdString();
  if (parser.isSet(partner)) sdk.hostPartnerUrl = parser.value(partner).toStdString();
  if (parser.isSet(notice)) sdk.noticeUrl = parser.value(notice).toStdString();

  std::cout << "Orvane " << orvane::orvaneVersion() << ", API server " << sdk.hostUrl.value_or("(built-in)")
            << std::endl;
  orvane::Orvane::shared().setMainTitle("Free coins");
  demo::showHostWindow(parser.value(mkey).toStdString(), parser.value(mckey).toStdString());
  return QApplication::exec();
}
