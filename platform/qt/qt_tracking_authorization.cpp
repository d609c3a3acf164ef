#include "platform/qt/qt_tracking_authorization.hpp"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

#include "orvane/localized.hpp"

namespace orvane::qt {

namespace {

QString text(const char* key) { return QString::fromStdString(localized(key)); }

bool onGuiThread() {
  auto* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace

QtTrackingAuthorization::QtTrackingAuthorization(std::shared_ptr<KeyValueStore> store)
    : store_(std::move(store)), advertisingId_(store_, kAdvertisingIdKey) {}

QtTrackingAuthorization::~QtTrackingAuthorization() {
  if (dialog_) {
    dialog_->disconnect();
    dialog_->deleteLater();
  }
  // Nobody may wait forever: whoever still waits learns that nothing was decided.
  auto waiting = std::move(waiting_);
  for (auto& completion : waiting) completion(status());
}

int QtTrackingAuthorization::status() const {
  const auto v = store_->object(kStatusKey);
  if (!v) return tracking::notDetermined;
  const auto* i = std::get_if<std::int64_t>(&*v);
  if (!i || *i < tracking::notDetermined || *i > tracking::authorized) return tracking::notDetermined;
  return static_cast<int>(*i);
}

std::string QtTrackingAuthorization::advertisingIdentifier() {
  std::lock_guard lock(consentMutex_);
  if (status() == tracking::authorized) return advertisingId_.value();
  // An identifier kept while tracking is not allowed (by an earlier version, or with
  // an answer changed behind our back) must not reappear after a later "allow".
  if (store_->object(kAdvertisingIdKey)) advertisingId_.reset();
  return kZeroAdvertisingId;
}

void QtTrackingAuthorization::remember(int answer) {
  std::lock_guard lock(consentMutex_);
  const bool wasAllowed = status() == tracking::authorized;
  store_->setInteger(kStatusKey, answer);
  if (wasAllowed != (answer == tracking::authorized)) advertisingId_.reset();
}

// Lives in the alert's button handlers: pressed, it answers; dropped unanswered (the
// screen went away with it), it releases the waiters.
struct QtTrackingAuthorization::Question {
  Question(std::weak_ptr<QtTrackingAuthorization> owner, std::uint64_t id)
      : owner(std::move(owner)), id(id) {}
  Question(const Question&) = delete;
  Question& operator=(const Question&) = delete;
  ~Question() {
    auto* app = QCoreApplication::instance();
    if (answered || !app) return;
    // On a later turn: this runs inside the host's teardown.
    QMetaObject::invokeMethod(
        app,
        [owner = owner, id = id] {
          if (auto self = owner.lock()) self->finishQuestion(id, self->unansweredStatus(), false);
        },
        Qt::QueuedConnection);
  }
  void answer(int status) {
    if (answered) return;
    answered = true;
    if (auto self = owner.lock()) self->finishQuestion(id, status, true);
  }

  std::weak_ptr<QtTrackingAuthorization> owner;
  std::uint64_t id;
  bool answered = false;
};

void QtTrackingAuthorization::requestAuthorization(std::function<void(int status)> completion,
                                                   std::weak_ptr<AlertHost> host) {
  if (!completion) completion = [](int) {};
  if (!onGuiThread()) {
    // Widgets live in the GUI thread only.
    if (auto* app = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(
          app,
          [weak = weak_from_this(), completion = std::move(completion), host = std::move(host)]() mutable {
            if (auto self = weak.lock()) {
              self->requestAuthorization(std::move(completion), std::move(host));
            } else {
              completion(tracking::notDetermined);
            }
          },
          Qt::QueuedConnection);
    } else {
      completion(status());
    }
    return;
  }
  const int current = status();
  if (current != tracking::notDetermined) {
    completion(current);
    return;
  }
  waiting_.push_back(std::move(completion));
  presenter_ = std::move(host);
  ask();
}

QMessageBox* QtTrackingAuthorization::dialog() const { return dialog_.data(); }

bool QtTrackingAuthorization::isAsking() const { return question_ != 0 || !dialog_.isNull(); }

void QtTrackingAuthorization::showSettings() {
  if (!onGuiThread()) return;
  ask();
}

int QtTrackingAuthorization::unansweredStatus() const {
  return status() == tracking::notDetermined ? tracking::denied : status();
}

void QtTrackingAuthorization::ask() {
  if (question_ != 0) return;  // the open question answers everyone who waits
  if (!dialog_) {
    if (auto host = presenter_.lock()) {
      askOver(*host);
      return;
    }
  }
  showDialog();  // or raises the open one
}

void QtTrackingAuthorization::askOver(AlertHost& host) {
  const std::uint64_t id = ++lastQuestion_;
  question_ = id;
  auto question = std::make_shared<Question>(weak_from_this(), id);
  const bool allowed = status() == tracking::authorized;
  Alert alert;
  alert.title = localized("ov_tracking_title");
  alert.message = localized("ov_tracking_message");
  // Esc means no (the cancel button); Enter keeps the current answer.
  AlertAction deny;
  deny.title = localized("ov_tracking_deny");
  deny.style = AlertAction::Style::cancel;
  deny.preferred = !allowed;
  deny.handler = [question] { question->answer(tracking::denied); };
  AlertAction allow;
  allow.title = localized("ov_tracking_allow");
  allow.preferred = allowed;
  allow.handler = [question] { question->answer(tracking::authorized); };
  alert.actions = {std::move(deny), std::move(allow)};
  question.reset();  // the alert's buttons hold it from here on
  host.present(std::move(alert));
}

void QtTrackingAuthorization::finishQuestion(std::uint64_t id, int answer, bool remember) {
  if (id != question_) return;  // answered already, or another question is open now
  question_ = 0;
  finish(answer, remember);
}

void QtTrackingAuthorization::showDialog() {
  if (dialog_) {
    dialog_->raise();
    dialog_->activateWindow();
    return;
  }
  auto* box = new QMessageBox();
  box->setObjectName(kDialogName);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::Question);
  box->setWindowTitle(text("ov_tracking_title"));
  box->setText(text("ov_tracking_message"));
  auto* allow = box->addButton(text("ov_tracking_allow"), QMessageBox::AcceptRole);
  allow->setObjectName(kAllowButtonName);
  auto* deny = box->addButton(text("ov_tracking_deny"), QMessageBox::RejectRole);
  deny->setObjectName(kDenyButtonName);
  // Escape means no; the current answer is the default so that Enter keeps it.
  box->setEscapeButton(deny);
  box->setDefaultButton(status() == tracking::authorized ? allow : deny);

  QObject::connect(box, &QMessageBox::finished, box, [this, box, allow, deny] {
    const auto* clicked = box->clickedButton();
    if (clicked == allow) {
      finish(tracking::authorized, true);
    } else if (clicked == deny) {
      finish(tracking::denied, true);
    } else {
      // Closed without a choice: no tracking this time, ask again next time.
      finish(unansweredStatus(), false);
    }
  });
  // Torn down without finishing (its application quits): release the waiters.
  QObject::connect(box, &QObject::destroyed, QCoreApplication::instance(), [this] {
    if (!waiting_.empty()) finish(status(), false);
  });
  dialog_ = box;
  box->open();
}

void QtTrackingAuthorization::finish(int answer, bool remember) {
  if (remember) this->remember(answer);
  if (dialog_) {
    if (auto* app = QCoreApplication::instance()) dialog_->disconnect(app);  // the destroyed hook
    dialog_ = nullptr;
  }
  // A completion may ask again; take the list first.
  auto waiting = std::move(waiting_);
  waiting_.clear();
  for (auto& completion : waiting) completion(answer);
}

}  // namespace orvane::qt
