// orvane-tour, the repository's scripted demo (examples/demo-host is the plain host
// that builds against the installed SDK): starts a sandbox server in-process on an
// ephemeral port of 127.0.0.1, points the SDK at it and loads the campaign list the way the wall does,
// then prints it in each sort mode. With a display it then opens a host window that
// presents the wall and shows the carousel; without one (or with --headless) it tours
// the wall offscreen as a user would (tour.hpp) and writes screenshots to demo-out/.
// `--join CAMPID` instead takes part in one campaign from the command line, answering
// every alert with its confirm button.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "campaign_table.hpp"
#include "core/api/api_list.hpp"
#include "core/api/records.hpp"
#include "core/screens/camp_ordering.hpp"
#include "core/support/fetch.hpp"
#include "demo_services.hpp"
#include "host_window.hpp"
#include "orvane/orvane.hpp"
#include "orvane/orvane_sdk.hpp"
#include "tools/sandbox/sandbox.hpp"
#include "tour.hpp"

namespace {

std::set<std::int64_t> houseIds(const orvane::CampLists& lists) {
  std::set<std::int64_t> ids;
  for (const auto* house : {&lists.otherHouseList, &lists.cpsHouseList}) {
    for (const auto& c : *house) ids.insert(c.campid);
  }
  return ids;
}

void printOrderedLists(const orvane::Req& req) {
  const auto lists = orvane::classify(req);
  const auto ids = houseIds(lists);
  const auto titles = orvane::SortTitles::localizedTitles();
  const auto listType = orvane::Platform::current()->store->integer("STANDARD_LIST_TYPE");
  std::printf(
      "Campaign list: %zu ordinary and %zu CPS campaigns, %zu + %zu house campaigns; %s %s to collect\n",
      lists.otherCampList.size(), lists.cpsCampList.size(), lists.otherHouseList.size(),
      lists.cpsHouseList.size(), std::to_string(static_cast<long long>(lists.rewardTotal)).c_str(),
      lists.rewardMark.c_str());
  for (const auto kind : {orvane::CampKind::other, orvane::CampKind::cps}) {
    const auto& camps = orvane::campListOf(lists, kind);
    const auto& houses = orvane::houseListOf(lists, kind);
    if (camps.empty() && houses.empty()) continue;
    for (const auto& [mode, title] :
         {std::pair{orvane::SortMode::init, titles.init}, std::pair{orvane::SortMode::high, titles.high},
          std::pair{orvane::SortMode::low, titles.low}}) {
      const auto sorted = orvane::setSort(camps, houses, listType, mode);
      std::printf("\n%s campaigns, sorted \"%s\":\n%s", kind == orvane::CampKind::cps ? "CPS" : "Ordinary",
                  title.c_str(), demo::campaignTable(sorted.selectedAllCampList, ids).c_str());
    }
  }
  std::fflush(stdout);
}

std::optional<orvane::Camp> findCamp(const orvane::Req& req, std::int64_t campid) {
  for (const auto* list : {&req.camp, &req.housemd}) {
    if (!*list) continue;
    for (const auto& c : **list) {
      if (c.campid == campid) return c;
    }
  }
  return std::nullopt;
}

// Loads the list the way the wall does: decoded on the platform's executor, handed to
// `then` on the GUI thread. The request lasts as long as its handle.
orvane::RequestHandle loadCampaignList(std::function<void(const orvane::Req&)> then) {
  const auto platform = orvane::Platform::current();
  return orvane::fetch(
      *platform, [&](auto done) { return orvane::ApiList(platform).getReq(std::move(done)); },
      orvane::decodeReq,
      [then = std::move(then)](orvane::Result<orvane::Req> req) {
        std::string failure;
        if (!req.ok() && req.error().kind == orvane::Error::Kind::decoding) {
          failure = "The campaign list did not decode: " + req.error().description;
        } else if (!req.ok()) {
          failure = "The campaign list could not be loaded: " + req.error().description;
        } else if (req.value().result != 200) {
          const auto& result = req.value().result;
          failure = "The server refused the campaign list with result " +
                    (result ? std::to_string(*result) : std::string("(none)"));
        }
        if (!failure.empty()) {
          std::cerr << failure << "\n";
          QCoreApplication::exit(1);
          return;
        }
        then(req.value());
      });
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--headless" || arg == "--join" || arg.rfind("--join=", 0) == 0) headless = true;
  }
  if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Orvane");
  QApplication::setOrganizationDomain("demo.orvane.dev");
  QApplication::setApplicationName("orvane-demo");

  QCommandLineParser parser;
  parser.setApplicationDescription("Orvane demo tour against an embedded sandbox server");
  parser.addHelpOption();
  QCommandLineOption joinOption("join", "Take part in campaign CAMPID from the command line.", "CAMPID");
  QCommandLineOption debugOption("debug", "Print the SDK's own log lines as well.");
  QCommandLineOption headlessOption("headless",
                                    "Run the wall offscreen and write screenshots, even with a display.");
  QCommandLineOption outOption("out", "Folder for the headless screenshots (default demo-out).", "DIR",
                               "demo-out");
  parser.addOption(joinOption);
  parser.addOption(debugOption);
  parser.addOption(headlessOption);
  parser.addOption(outOption);
  parser.process(app);
  std::optional<std::int64_t> joinId;
  if (parser.isSet(joinOption)) {
    bool ok = false;
    joinId = parser.value(joinOption).toLongLong(&ok);
    if (!ok) {
      std::cerr << "--join needs a campaign id, e.g. --join 10001\n";
      return 2;
    }
  }

  // The sandbox lives on loopback; a proxy from the environment must not take its requests.
  qputenv("no_proxy", "127.0.0.1,localhost");
  orvane::sandbox::Server server(orvane::sandbox::Options{});
  try {
    server.start();
  } catch (const std::exception& e) {
    std::cerr << "The sandbox did not start: " << e.what() << "\n";
    return 1;
  }
  std::cout << "Sandbox serving on " << server.origin() << "\n";

  auto& sdk = orvane::OrvaneSDK::shared();
  sdk.hostUrl = server.apiBase();
  sdk.hostPartnerUrl = server.partnerBase();
  sdk.noticeUrl = server.noticeUrl();

  auto& orvane = orvane::Orvane::shared();
  orvane.initialize(orvane::sandbox::kMediaKey, orvane::sandbox::kMediaChannelKey, "demo-user");
  orvane.setMainTitle("Free coins");

  std::unique_ptr<demo::JoinSession> join;
  orvane::RequestHandle list;
  QTimer::singleShot(0, &app, [&] {
    list = loadCampaignList([&](const orvane::Req& req) {
      printOrderedLists(req);
      if (!joinId) {
        if (headless) {
          demo::runHeadlessTour(parser.value(outOption), server);
        } else {
          demo::showHostWindow(orvane::sandbox::kMediaKey, orvane::sandbox::kMediaChannelKey);
        }
        return;
      }
      const auto camp = findCamp(req, *joinId);
      if (!camp) {
        std::cerr << "\nCampaign " << *joinId << " is not on this user's list.\n";
        QCoreApplication::exit(1);
        return;
      }
      join = std::make_unique<demo::JoinSession>(*camp, parser.isSet(debugOption));
      join->start();
    });
  });
  if (headless) {
    QTimer::singleShot(120'000, &app, [] {
      std::cerr << "The demo did not finish within 120 s\n";
      QCoreApplication::exit(2);
    });
  }
  const int status = app.exec();
  list.reset();
  join.reset();
  demo::finishHeadlessTour();
  return status;
}
