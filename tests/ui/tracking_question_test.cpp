// The desktop's tracking question asked over a screen's alert host: one question for
// every waiting request, Enter keeps the current answer, and a question whose screen
// goes away still answers, without remembering anything.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <vector>

#include "core/support/platform/memory_key_value_store.hpp"
#include "orvane/localized.hpp"
#include "platform/qt/qt_tracking_authorization.hpp"
#include "ui/sdk/qt_alert_host.hpp"

namespace orvane {
namespace {

using qt::QtTrackingAuthorization;

constexpr int kWaitMs = 5000;

class TrackingQuestion : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->resize(390, 700);
    window_->show();
    host_ = std::make_shared<ui::QtAlertHost>(window_.get(), false);
  }
  void TearDown() override {
    if (auto* box = tracking_->dialog()) box->close();
  }

  QPushButton* button(int index) const {
    QWidget* card = host_->currentAlertWidget();
    return card ? card->findChild<QPushButton*>(QStringLiteral("alert_button_%1").arg(index)) : nullptr;
  }
  QString message() const {
    QStringList texts;
    if (QWidget* card = host_->currentAlertWidget())
      for (auto* label : card->findChildren<QLabel*>()) texts << label->text();
    return texts.join('|');
  }

  std::shared_ptr<MemoryKeyValueStore> store_ = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<QtTrackingAuthorization> tracking_ = std::make_shared<QtTrackingAuthorization>(store_);
  std::unique_ptr<QWidget> window_;
  std::shared_ptr<ui::QtAlertHost> host_;
};

TEST_F(TrackingQuestion, OneQuestionOverTheScreenAnswersEveryRequestAndEnterKeepsTheAnswer) {
  std::vector<int> answers;
  tracking_->requestAuthorization([&](int s) { answers.push_back(s); }, host_);
  tracking_->requestAuthorization([&](int s) { answers.push_back(s); }, host_);
  ASSERT_NE(host_->currentAlertWidget(), nullptr);
  EXPECT_TRUE(message().contains(QString::fromStdString(localized("ov_tracking_message"))));
  EXPECT_EQ(tracking_->dialog(), nullptr);
  EXPECT_TRUE(answers.empty());

  QTest::mouseClick(button(1), Qt::LeftButton);  // allow
  EXPECT_EQ(answers, (std::vector<int>{tracking::authorized, tracking::authorized}));
  EXPECT_EQ(host_->currentAlertWidget(), nullptr);
  EXPECT_FALSE(tracking_->isAsking());

  // Asked again (the privacy settings): Enter keeps "allowed", Esc says no.
  tracking_->showSettings();
  QTest::keyClick(host_->currentAlertWidget()->parentWidget(), Qt::Key_Return);
  EXPECT_EQ(tracking_->status(), tracking::authorized);
  tracking_->showSettings();
  QTest::keyClick(host_->currentAlertWidget()->parentWidget(), Qt::Key_Escape);
  EXPECT_EQ(tracking_->status(), tracking::denied);
  tracking_->showSettings();
  QTest::keyClick(host_->currentAlertWidget()->parentWidget(), Qt::Key_Return);
  EXPECT_EQ(tracking_->status(), tracking::denied);
}

TEST_F(TrackingQuestion, AQuestionWhoseScreenGoesAwayAnswersWithoutRememberingAndAsksAgain) {
  int answers = 0;
  int answer = -1;
  tracking_->requestAuthorization(
      [&](int s) {
        ++answers;
        answer = s;
      },
      host_);
  ASSERT_TRUE(tracking_->isAsking());
  host_.reset();
  window_.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return answers > 0; }, kWaitMs));
  QTest::qWait(0);
  EXPECT_EQ(answers, 1);
  EXPECT_NE(answer, tracking::authorized);
  EXPECT_EQ(tracking_->status(), tracking::notDetermined);
  EXPECT_FALSE(tracking_->isAsking());

  // The next request, with no screen left, asks in a dialog of its own.
  tracking_->requestAuthorization([&](int) { ++answers; }, host_);
  ASSERT_NE(tracking_->dialog(), nullptr);
  tracking_->dialog()->findChild<QPushButton*>(QtTrackingAuthorization::kAllowButtonName)->click();
  EXPECT_EQ(answers, 2);
  EXPECT_EQ(tracking_->status(), tracking::authorized);
}

}  // namespace
}  // namespace orvane
