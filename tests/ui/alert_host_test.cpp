#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/sdk/navigation_controller.hpp"
#include "ui/sdk/qt_alert_host.hpp"

namespace orvane::ui {
namespace {

class AlertHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<QWidget>();
    window->resize(390, 720);
    window->show();
    host = std::make_unique<QtAlertHost>(window.get(), /*animated=*/false);
  }

  Alert alert(const std::string& title, std::vector<std::string> buttons, int cancelAt = -1) {
    Alert a;
    a.title = title;
    a.message = "message of " + title;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      AlertAction action;
      action.title = buttons[i];
      if (static_cast<int>(i) == cancelAt) action.style = AlertAction::Style::cancel;
      action.handler = [this, t = title + "/" + buttons[i]] {
        pressed.push_back(t);
        alertShownInHandler.push_back(host && host->currentAlertWidget() != nullptr);
      };
      a.actions.push_back(std::move(action));
    }
    return a;
  }
  QPushButton* button(int index) const {
    QWidget* current = host->currentAlertWidget();
    return current ? current->findChild<QPushButton*>(QStringLiteral("alert_button_%1").arg(index)) : nullptr;
  }
  QWidget* overlay() const { return host->currentAlertWidget()->parentWidget(); }

  std::unique_ptr<QWidget> window;
  std::unique_ptr<QtAlertHost> host;
  std::vector<std::string> pressed;
  std::vector<bool> alertShownInHandler;
};

TEST_F(AlertHostTest, ButtonsInOrderAndOneHandlerRunAfterTheAlertClosed) {
  host->present(alert("A", {"First", "Second", "Third"}));
  ASSERT_NE(host->currentAlertWidget(), nullptr) << "shown at once, without waiting";
  EXPECT_EQ(host->currentAlertWidget()->objectName(), "orvane_alert");
  EXPECT_EQ(host->currentAlertWidget()->width(), 270);
  for (int i = 0; i < 3; ++i) ASSERT_NE(button(i), nullptr);
  EXPECT_EQ(button(1)->accessibleName(), "Second");
  EXPECT_LT(button(0)->y(), button(2)->y());

  QPushButton* second = button(1);
  QTest::mouseClick(second, Qt::LeftButton);
  EXPECT_EQ(pressed, (std::vector<std::string>{"A/Second"}));
  EXPECT_EQ(alertShownInHandler, (std::vector<bool>{false}));
  EXPECT_EQ(host->currentAlertWidget(), nullptr);
  // The same button again (before it is deleted), or a key: nothing more runs.
  emit second->clicked();
  EXPECT_EQ(pressed.size(), 1u);
}

TEST_F(AlertHostTest, AlertsQueueAndAnAlertFromAHandlerWaitsItsTurn) {
  Alert first = alert("A", {"OK"});
  first.actions[0].handler = [this] {
    pressed.push_back("A/OK");
    host->present(alert("C", {"OK"}));
  };
  host->present(std::move(first));
  host->present(alert("B", {"OK"}));
  QTest::mouseClick(button(0), Qt::LeftButton);
  QTest::mouseClick(button(0), Qt::LeftButton);
  QTest::mouseClick(button(0), Qt::LeftButton);
  EXPECT_EQ(pressed, (std::vector<std::string>{"A/OK", "B/OK", "C/OK"}));
  EXPECT_EQ(host->currentAlertWidget(), nullptr);
}

TEST_F(AlertHostTest, EscapeCancelsAndEnterConfirms) {
  host->present(alert("A", {"Cancel", "Go"}, 0));
  QTest::keyClick(overlay(), Qt::Key_Return);
  host->present(alert("B", {"Cancel", "Go"}, 0));
  QTest::keyClick(overlay(), Qt::Key_Escape);
  // One button only acknowledges: Esc presses it. Two without a cancel: the user chooses.
  host->present(alert("C", {"OK"}));
  QTest::keyClick(overlay(), Qt::Key_Escape);
  host->present(alert("D", {"Go", "Stay"}));
  QTest::keyClick(overlay(), Qt::Key_Escape);
  EXPECT_NE(host->currentAlertWidget(), nullptr);
  EXPECT_EQ(pressed, (std::vector<std::string>{"A/Go", "B/Cancel", "C/OK"}));
}

// Tab never reaches the window under a modal alert, even from a control that had the
// focus before it opened (Space on a focused campaign cell takes part).
TEST_F(AlertHostTest, TabCyclesAmongTheAlertsButtonsOnly) {
  auto* below = new QPushButton("below", window.get());
  below->setFocusPolicy(Qt::StrongFocus);
  below->show();
  below->setFocus();
  host->present(alert("A", {"One", "Two"}));
  std::set<QWidget*> visited;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(overlay()->isAncestorOf(window->focusWidget())) << i;
    visited.insert(window->focusWidget());
  }
  EXPECT_EQ(visited, (std::set<QWidget*>{button(0), button(1)}));
  QTest::keyClick(window->focusWidget(), Qt::Key_Backtab);
  EXPECT_TRUE(overlay()->isAncestorOf(window->focusWidget()));
  EXPECT_FALSE(below->hasFocus());
}

TEST_F(AlertHostTest, EnterPressesThePreferredButtonEvenACancelOne) {
  Alert a = alert("A", {"No", "Yes"}, 0);
  a.actions[0].preferred = true;
  host->present(std::move(a));
  QTest::keyClick(overlay(), Qt::Key_Return);
  EXPECT_EQ(pressed, (std::vector<std::string>{"A/No"}));
}

TEST_F(AlertHostTest, ActionSheetMarksTheCurrentEntryAndCancelsOnAClickOutside) {
  Alert sheet = alert("Sort", {"Recommended", "Highest", "Cancel"}, 2);
  sheet.kind = Alert::Kind::actionSheet;
  sheet.actions[1].checked = true;
  host->present(std::move(sheet));
  QWidget* panel = host->currentAlertWidget();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->width(), window->width());
  EXPECT_EQ(panel->geometry().bottom(), window->rect().bottom()) << "a sheet sits at the bottom";
  EXPECT_FALSE(button(1)->icon().isNull());
  EXPECT_TRUE(button(0)->icon().isNull());
  EXPECT_GT(button(2)->y(), button(1)->y() + button(1)->height()) << "the cancel entry comes last, apart";
  EXPECT_EQ(button(0)->height(), 56);

  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(panel->width() / 2, 20));  // inside: nothing
  EXPECT_TRUE(pressed.empty());
  QTest::mouseClick(overlay(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(pressed, (std::vector<std::string>{"Sort/Cancel"}));
}

TEST_F(AlertHostTest, WindowGoingAwayDropsEverythingSafely) {
  host->present(alert("A", {"OK"}));
  host->present(alert("B", {"OK"}));
  window.reset();
  EXPECT_EQ(host->currentAlertWidget(), nullptr);
  host->present(alert("C", {"OK"}));  // dropped, no crash
  EXPECT_EQ(host->currentAlertWidget(), nullptr);
  EXPECT_TRUE(pressed.empty());

  // The host going away while an alert shows takes the alert with it.
  window = std::make_unique<QWidget>();
  window->show();
  host = std::make_unique<QtAlertHost>(window.get());
  host->present(alert("D", {"OK"}));
  QPointer<QWidget> overlayPtr = overlay();
  host.reset();
  EXPECT_TRUE(overlayPtr.isNull());
}

TEST_F(AlertHostTest, HandlerThatDestroysTheHostIsSafe) {
  Alert a = alert("A", {"Close"});
  a.actions[0].handler = [this] {
    host.reset();
    window.reset();
  };
  host->present(std::move(a));
  QTest::mouseClick(host->currentAlertWidget()->findChild<QPushButton*>("alert_button_0"), Qt::LeftButton);
  EXPECT_FALSE(host);
}

TEST_F(AlertHostTest, OverlayFollowsTheWindowSize) {
  host->present(alert("A", {"OK"}));
  window->resize(500, 900);
  EXPECT_EQ(overlay()->size(), QSize(500, 900));
  QWidget* card = host->currentAlertWidget();
  EXPECT_EQ(card->geometry().center().x(), QRect(0, 0, 500, 900).center().x());
}

TEST_F(AlertHostTest, ALongMessageGetsTheHeightItsLinesNeed) {
  Alert a = alert("A question with a title", {"No", "Yes"}, 0);
  a.message = std::string(12, ' ');
  for (int i = 0; i < 12; ++i) a.message += "several words that wrap ";
  host->present(std::move(a));
  QCoreApplication::processEvents();
  const auto labels = host->currentAlertWidget()->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 2);
  for (auto* label : labels)
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
  EXPECT_LE(labels[0]->geometry().bottom(), labels[1]->geometry().top());
  EXPECT_LE(labels[1]->geometry().bottom(), button(0)->mapTo(host->currentAlertWidget(), QPoint(0, 0)).y());
}

}  // namespace
}  // namespace orvane::ui
