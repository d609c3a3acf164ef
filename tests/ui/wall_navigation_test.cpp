#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "ui/screens/orvane_view_controller.hpp"
#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/storyboard.hpp"
#include "wall_test_support.hpp"

namespace orvane::ui {
namespace {

using Events = std::vector<std::string>;

// Records its lifecycle calls in a shared journal.
class Screen : public ViewController {
 public:
  Screen(std::string name, Events& events, QString title = {}) : name_(std::move(name)), events_(events) {
    navigationItem().title = title.isEmpty() ? QString::fromStdString(name_) : title;
  }

 protected:
  void viewDidLoad() override { events_.push_back(name_ + ".load"); }
  void viewWillAppear() override { events_.push_back(name_ + ".willAppear"); }
  void viewDidAppear() override { events_.push_back(name_ + ".didAppear"); }
  void viewWillDisappear() override { events_.push_back(name_ + ".willDisappear"); }
  void viewDidDisappear() override { events_.push_back(name_ + ".didDisappear"); }

 private:
  std::string name_;
  Events& events_;
};

class NavigationTest : public ::testing::Test {
 protected:
  // A shown container with root "A".
  std::unique_ptr<NavigationController> shownNav(bool animated = false) {
    Services services;
    services.animations = animated;
    auto nav = std::make_unique<NavigationController>(new Screen("A", events), services);
    nav->resize(390, 720);
    nav->show();
    return nav;
  }
  static QToolButton* back(NavigationController& nav) { return nav.findChild<QToolButton*>("b_back"); }
  static QLabel* title(NavigationController& nav) { return nav.findChild<QLabel*>("l_navigation_title"); }

  Events events;
};

TEST_F(NavigationTest, PushAndBackClickRunTheLifecycleInOrderAndDeleteThePoppedScreen) {
  auto nav = shownNav();
  EXPECT_EQ(events, (Events{"A.load", "A.willAppear", "A.didAppear"}));
  events.clear();

  nav->rootViewController()->navigationItem().backButtonTitle = "List";
  QPointer<ViewController> b = new Screen("B", events);
  nav->pushViewController(b, true);
  EXPECT_EQ(events, (Events{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear"}));
  EXPECT_EQ(nav->topViewController(), b.data());
  EXPECT_EQ(b->navigationController(), nav.get());
  EXPECT_TRUE(b->isVisible());
  EXPECT_FALSE(nav->rootViewController()->isVisible());
  EXPECT_EQ(title(*nav)->text(), "B");
  ASSERT_TRUE(back(*nav)->isVisible());
  EXPECT_EQ(back(*nav)->text(), "List");

  events.clear();
  QTest::mouseClick(back(*nav), Qt::LeftButton);
  EXPECT_EQ(events, (Events{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_FALSE(back(*nav)->isVisible());
  EXPECT_EQ(title(*nav)->text(), "A");
  EXPECT_TRUE(QTest::qWaitFor([&] { return b.isNull(); }, 2000)) << "the popped screen must be deleted";
}

TEST_F(NavigationTest, BackTitleDefaultsAndFollowsItemChanges) {
  auto nav = shownNav();
  auto* b = new Screen("B", events);
  nav->pushViewController(b, false);
  EXPECT_FALSE(back(*nav)->text().isEmpty()) << "an empty back title still shows a word";
  nav->rootViewController()->navigationItem().backButtonTitle = "Cloudberry";
  emit nav->rootViewController()->navigationItemChanged();
  EXPECT_EQ(back(*nav)->text(), "Cloudberry");
  b->navigationItem().title = "Renamed";
  emit b->navigationItemChanged();
  EXPECT_EQ(title(*nav)->text(), "Renamed");
}

// A long back title is cut at its end, keeps its full text for assistive tools, and may
// use the whole bar when the pushed screen has no title of its own.
TEST_F(NavigationTest, ALongBackTitleIsElidedAtItsEndAndWidensWithoutATitle) {
  auto nav = shownNav();
  const QString name = "Cloudberry Puzzle Deluxe Edition with Many Extra Levels";
  nav->rootViewController()->navigationItem().backButtonTitle = name;
  auto* titled = new Screen("B", events);
  nav->pushViewController(titled, false);
  const QString narrow = back(*nav)->text();
  EXPECT_TRUE(narrow.endsWith(QChar(0x2026))) << narrow.toStdString();
  EXPECT_TRUE(name.startsWith(narrow.chopped(1)));
  EXPECT_EQ(back(*nav)->accessibleName(), name);
  EXPECT_FALSE(back(*nav)->geometry().intersects(title(*nav)->geometry()));

  titled->navigationItem().title.clear();
  emit titled->navigationItemChanged();
  EXPECT_GT(back(*nav)->text().size(), narrow.size());
  EXPECT_LE(back(*nav)->geometry().right(), nav->findChild<QToolButton*>("b_close")->geometry().left());
}

TEST_F(NavigationTest, RootIsNeverPoppedAndPopToRootDropsEveryScreenAbove) {
  auto nav = shownNav();
  nav->popViewController(false);
  EXPECT_EQ(nav->viewControllers().size(), 1u);

  QPointer<ViewController> b = new Screen("B", events);
  QPointer<ViewController> c = new Screen("C", events);
  nav->pushViewController(b, false);
  nav->pushViewController(c, false);
  nav->pushViewController(c, false);  // already there: ignored
  ASSERT_EQ(nav->viewControllers().size(), 3u);
  events.clear();
  nav->popToRootViewController(true);
  EXPECT_EQ(events, (Events{"C.willDisappear", "A.willAppear", "C.didDisappear", "A.didAppear"}));
  EXPECT_EQ(nav->topViewController(), nav->rootViewController());
  EXPECT_TRUE(QTest::qWaitFor([&] { return b.isNull() && c.isNull(); }, 2000));
}

TEST_F(NavigationTest, AnimatedTransitionsEndWithTheRightScreenInPlace) {
  auto nav = shownNav(/*animated=*/true);
  auto* b = new Screen("B", events);
  auto* c = new Screen("C", events);
  nav->pushViewController(b, true);
  EXPECT_NE(b->pos().x(), 0) << "the push slides in";
  // A second push while the first slides finishes the first at once.
  nav->pushViewController(c, true);
  EXPECT_FALSE(nav->rootViewController()->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return c->pos() == QPoint(0, 0); }, 3000));
  QPointer<ViewController> gone = c;
  nav->popViewController(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return gone.isNull(); }, 3000));
  EXPECT_EQ(b->pos(), QPoint(0, 0));
  EXPECT_TRUE(b->isVisible());
  // Destroying the container mid-slide is safe.
  nav->pushViewController(new Screen("D", events), true);
  nav.reset();
}

TEST_F(NavigationTest, CloseEmitsAndLongTitlesAreElided) {
  auto nav = shownNav();
  QSignalSpy closed(nav.get(), &NavigationController::closeRequested);
  QTest::mouseClick(nav->findChild<QToolButton*>("b_close"), Qt::LeftButton);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(nav->findChild<QToolButton*>("b_close")->accessibleName().isEmpty());

  const QString longTitle(200, QChar('W'));
  nav->pushViewController(new Screen("B", events, longTitle), false);
  EXPECT_NE(title(*nav)->text(), longTitle);
  EXPECT_TRUE(title(*nav)->text().endsWith(QChar(0x2026)));
  EXPECT_EQ(title(*nav)->accessibleName(), longTitle);
  ASSERT_TRUE(nav->alertHost());
}

TEST_F(NavigationTest, StoryboardReportsWhatItCannotMake) {
  auto sink = std::make_shared<testing::CapturingSink>();
  Log::setSink(sink);
  Log::displayLog = true;
  EXPECT_EQ(Storyboard::named("Elsewhere"), nullptr);
  auto storyboard = Storyboard::named("OrvaneStoryboard");
  ASSERT_NE(storyboard, nullptr);
  EXPECT_EQ(storyboard->instantiateViewController("NoSuchScreen"), nullptr);
  EXPECT_TRUE(sink->contains("Failed to instantiate nib NoSuchScreen"));
  EXPECT_TRUE(sink->contains("Failed to instantiate nib Elsewhere"));
  // A segue without a container reports and shows nothing.
  Screen lone("Lone", events);
  EXPECT_FALSE(lone.performSegue("DetailViewController", {}));
  Log::displayLog = false;
  Log::setSink(nullptr);
}

// The facade's entry points, against the sandbox.
class EntryPointTest : public testing::WallTest {};

TEST_F(EntryPointTest, InitialScreenIsAContainerHostingTheList) {
  initialize();
  auto storyboard = Storyboard::named("OrvaneStoryboard");
  std::unique_ptr<ViewController> initial(storyboard->instantiateInitialViewController());
  auto* nav = qobject_cast<NavigationController*>(initial.get());
  ASSERT_NE(nav, nullptr);
  EXPECT_NE(qobject_cast<OrvaneViewController*>(nav->rootViewController()), nullptr);
  EXPECT_EQ(nav->rootViewController()->navigationController(), nav);
}

TEST_F(EntryPointTest, PresentingIsSafeBeforeInitializeWithoutAHostAndTwiceInARow) {
  QWidget host;
  host.resize(800, 900);
  host.show();
  Orvane::shared().presentOrvane(&host);
  EXPECT_TRUE(sink_->contains("not initialised"));
  EXPECT_EQ(host.findChild<NavigationController*>(), nullptr);
  Orvane::shared().presentOrvane(nullptr);

  initialize();
  Orvane::shared().presentOrvane(&host);
  Orvane::shared().presentOrvane(&host);
  const auto walls = host.findChildren<NavigationController*>();
  ASSERT_EQ(walls.size(), 1) << "a second call raises the open wall";
  QWidget* window = walls.front()->window();
  EXPECT_NE(window, &host);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowModality(), Qt::WindowModal);
  EXPECT_LE(window->width(), 390);
  EXPECT_TRUE(sink_->contains("already shown"));

  QPointer<QWidget> windowPtr = window;
  QTest::mouseClick(walls.front()->findChild<QToolButton*>("b_close"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return windowPtr.isNull(); }, 2000)) << "close closes the wall's window";
  Orvane::shared().presentOrvane(&host);
  EXPECT_EQ(host.findChildren<NavigationController*>().size(), 1) << "a closed wall can be shown again";
  delete host.findChild<NavigationController*>()->window();
}

TEST_F(EntryPointTest, EachCallMakesAnIndependentWall) {
  initialize();
  std::unique_ptr<QWidget> first(Orvane::shared().orvaneViewController());
  std::unique_ptr<QWidget> second(Orvane::shared().orvaneViewController());
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(first->parent(), nullptr);
  auto* nav = first->findChild<NavigationController*>();
  ASSERT_NE(nav, nullptr);
  EXPECT_NE(nav->alertHost(), second->findChild<NavigationController*>()->alertHost());
}

}  // namespace
}  // namespace orvane::ui
