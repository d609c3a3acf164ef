// The inquiry form against the sandbox, driven with clicks and typing on the offscreen
// platform; pictures come from a scripted source of real image files.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <chrono>
#include <functional>
#include <map>

#include "core/api/api_provider.hpp"
#include "orvane/localized.hpp"
#include "platform/qt/qt_image_codec.hpp"
#include "tests/ui/wall_test_support.hpp"
#include "tools/sandbox/hostile.hpp"
#include "ui/inquiry/check_box.hpp"
#include "ui/inquiry/file_dialog_picture_source.hpp"
#include "ui/inquiry/item_screenshot_view.hpp"
#include "ui/inquiry/request_view_controller.hpp"
#include "ui/inquiry/screenshot_processing.hpp"
#include "ui/sdk/qt_alert_host.hpp"
#include "ui/sdk/storyboard.hpp"
#include "ui/sdk/style.hpp"

namespace orvane::testing {
namespace {

using namespace std::chrono_literals;
using ui::RequestViewController;

QString tr(std::string_view key) { return QString::fromStdString(localized(key)); }

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Hands over the pictures the test queued, and remembers what the form asked for.
class ScriptedPictureSource : public inquiry::PictureSource {
 public:
  bool hasCamera() const override { return camera; }
  void pickPictures(int limit, Picked done) override {
    limits.push_back(limit);
    done(std::exchange(next, {}));
  }
  void takePhoto(Picked done) override {
    ++photos;
    done(std::exchange(next, {}));
  }

  bool camera = false;
  std::vector<inquiry::PickedPicture> next;
  std::vector<int> limits;
  int photos = 0;
};

// Reports a JPEG encoding of a scripted length for images of a scripted width: the exact
// size boundary cannot be hit with a real picture.
class SizedJpegCodec : public qt::QtImageCodec {
 public:
  std::optional<std::string> encodeJpeg(const Image& image, double quality) const override {
    if (auto it = sizes.find(image.width()); it != sizes.end()) return std::string(it->second, 'j');
    return QtImageCodec::encodeJpeg(image, quality);
  }
  std::map<int, std::size_t> sizes;
};

class InquiryFormTest : public WallTest {
 protected:
  void SetUp() override {
    WallTest::SetUp();
    initialize("inquiry-user");
    ASSERT_TRUE(files_.isValid());
  }

  void TearDown() override {
    nav_.reset();
    WallTest::TearDown();
  }

  // The form pushed on a wall's stack, as the navigation bar does, both loads answered.
  RequestViewController* open(ui::Services services, bool scripted = true) {
    auto* root = new ui::ViewController(services);
    nav_ = std::make_unique<ui::NavigationController>(root, services);
    nav_->resize(390, 800);
    nav_->show();
    auto board = ui::Storyboard::named(QStringLiteral("OrvaneStoryboard"), services);
    auto* form = dynamic_cast<RequestViewController*>(
        board->instantiateViewController(QStringLiteral("RequestViewController")));
    EXPECT_NE(form, nullptr);
    if (!form) return nullptr;
    source_ = std::make_shared<ScriptedPictureSource>();
    if (scripted) form->setPictureSource(source_);
    bool campaigns = false, agreement = false;
    QObject::connect(form, &RequestViewController::campaignsAnswered, [&] { campaigns = true; });
    QObject::connect(form, &RequestViewController::agreementAnswered, [&] { agreement = true; });
    nav_->pushViewController(form, false);
    EXPECT_TRUE(spinUntil([&] { return campaigns && agreement; }));
    form_ = form;
    return form;
  }
  RequestViewController* open() { return open(services()); }

  template <class W>
  W* find(const char* name) const {
    auto* w = form_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  QWidget* alert() const { return nav_->alertHost()->currentAlertWidget(); }
  QString alertMessage() const {
    if (!alert()) return {};
    for (auto* label : alert()->findChildren<QLabel*>())
      if (label->text() != tr("ov_alarm")) return label->text();
    return {};
  }
  QPushButton* alertButton(const QString& title) const {
    if (!alert()) return nullptr;
    for (auto* b : alert()->findChildren<QPushButton*>())
      if (b->text() == title) return b;
    return nullptr;
  }
  // Reads the notice on screen, closes it with its button and returns its message.
  QString takeNotice() {
    const QString message = alertMessage();
    if (QPushButton* ok = alertButton(tr("ov_confirm"))) QTest::mouseClick(ok, Qt::LeftButton);
    return message;
  }
  void choose(const char* box, const QString& entry) {
    QTest::mouseClick(find<QWidget>(box), Qt::LeftButton);
    QPushButton* b = alertButton(entry);
    ASSERT_NE(b, nullptr) << entry.toStdString();
    QTest::mouseClick(b, Qt::LeftButton);
  }
  void type(const char* field, const QString& text) {
    auto* w = find<QWidget>(field);
    if (auto* line = qobject_cast<QLineEdit*>(w)) line->clear();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) edit->clear();
    QTest::keyClicks(w, text);
  }
  void fillIn() {
    type("tf_name", QStringLiteral("Kim Minji"));
    type("tf_phone", QStringLiteral("01012345678"));
    type("tf_email", QStringLiteral("minji@example.com"));
    type("tv_input_inquiry", QStringLiteral("The reward for my last campaign never arrived."));
    choose("v_request_type", tr("ov_request_type_savings"));
    choose("v_ad_select", QString::fromStdString(firstCampaignName()));
  }
  std::string firstCampaignName() const {
    const auto& list = form_->form().campaigns();
    return list && !list->empty() ? list->front().name : std::string();
  }
  void agree() { QTest::mouseClick(find<ui::CheckBox>("cb_agree"), Qt::LeftButton); }
  void submit() { QTest::mouseClick(find<QPushButton>("b_positive"), Qt::LeftButton); }

  // A picture file of `w` x `h` with varied content, so JPEG has work to do.
  QString pictureFile(const QString& name, int w, int h, int seed = 1) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        image.setPixel(x, y,
                       qRgb((x * 7 + seed * 31) & 255, (y * 5 + seed * 17) & 255, (x * y + seed) & 255));
    const QString path = files_.filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
  }
  void queue(const QStringList& paths) {
    source_->next = ui::FileDialogPictureSource::picturesFromFiles(paths);
  }
  // Attaches through the tile and waits until the form has handled every picture.
  void attach(const QStringList& paths) {
    queue(paths);
    QTest::mouseClick(find<QToolButton>("iv_attach"), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return form_->picturesLoading() == 0; }));
  }

  void snapshot(const char* name) {
    const QByteArray dir = qgetenv("ORVANE_SHOTS_DIR");
    if (dir.isEmpty()) return;
    QCoreApplication::processEvents();
    nav_->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
  }

  QTemporaryDir files_;
  std::unique_ptr<ui::NavigationController> nav_;
  RequestViewController* form_ = nullptr;
  std::shared_ptr<ScriptedPictureSource> source_;
};

TEST_F(InquiryFormTest, LoadsBothAndChecksEntriesInOrderAsTheUserTypes) {
  open();
  EXPECT_EQ(count("/api/cs/user_camp_list"), 1u);
  EXPECT_EQ(count("/api/cs/agree_contents_app"), 1u);
  EXPECT_TRUE(find<QTextBrowser>("l_agree_contents")->toPlainText().contains("I agree that the operator"));
  EXPECT_FALSE(find<QWidget>("v_ad_select_row")->isVisible());
  EXPECT_EQ(find<QPlainTextEdit>("tv_input_inquiry")->placeholderText(), tr("ov_input_inquiry"));
  snapshot("inquiry-empty");
  // The wall's thin scroll bar, not the desktop's with arrows.
  auto* bar = find<QScrollArea>("sv_main")->verticalScrollBar();
  bar->ensurePolished();
  EXPECT_LE(bar->sizeHint().width(), 8);

  auto* submitButton = find<QPushButton>("b_positive");
  EXPECT_FALSE(submitButton->isEnabled());
  agree();
  ASSERT_TRUE(submitButton->isEnabled());

  submit();
  snapshot("inquiry-notice");
  EXPECT_EQ(takeNotice(), tr("ov_enter_all"));
  // A name of spaces counts; the placeholder does not count as an inquiry.
  type("tf_name", QStringLiteral("   "));
  type("tf_phone", QStringLiteral("01,12345678"));
  type("tf_email", QStringLiteral("minji@example.c"));
  submit();
  EXPECT_EQ(takeNotice(), tr("ov_enter_all"));
  type("tv_input_inquiry", QStringLiteral("Hello"));
  submit();
  EXPECT_EQ(takeNotice(), tr("ov_enter_all")) << "no kind chosen";

  // The kind sheet marks the current kind; only the reward kind shows the campaign row.
  choose("v_request_type", tr("ov_request_type_service_obstacle"));
  EXPECT_FALSE(find<QWidget>("v_ad_select_row")->isVisible());
  QTest::mouseClick(find<QWidget>("v_request_type"), Qt::LeftButton);
  snapshot("inquiry-kind-sheet");
  ASSERT_NE(alertButton(tr("ov_request_type_savings")), nullptr);
  QTest::mouseClick(alertButton(tr("ov_request_type_savings")), Qt::LeftButton);
  EXPECT_TRUE(find<QWidget>("v_ad_select_row")->isVisible());
  EXPECT_EQ(find<QLabel>("l_request_type")->text(), tr("ov_request_type_savings"));
  submit();
  EXPECT_EQ(takeNotice(), tr("ov_enter_all")) << "no campaign chosen";
  ASSERT_FALSE(firstCampaignName().empty());
  choose("v_ad_select", QString::fromStdString(firstCampaignName()));
  EXPECT_EQ(find<QLabel>("l_ad_select")->text(), QString::fromStdString(firstCampaignName()));

  // The comma the old rule let through, then a line feed pasted after the number.
  submit();
  EXPECT_EQ(takeNotice(), tr("ov_not_phone_form"));
  auto* phone = find<QLineEdit>("tf_phone");
  phone->setText(QStringLiteral("01012345678\n"));  // as pasted
  ASSERT_TRUE(phone->text().endsWith(QLatin1Char('\n')));
  submit();
  EXPECT_EQ(takeNotice(), tr("ov_not_phone_form"));
  type("tf_phone", QStringLiteral("0101234567"));
  submit();
  EXPECT_EQ(takeNotice(), tr("ov_not_email_form"));
  EXPECT_EQ(count("/api/cs"), 0u) << "nothing is sent while a check fails";

  // Unticking the box disables sending again, in the disabled colour.
  agree();
  EXPECT_FALSE(submitButton->isEnabled());
  EXPECT_TRUE(submitButton->styleSheet().contains(ui::style::disabled().name()));
  agree();
  EXPECT_TRUE(submitButton->styleSheet().contains(ui::style::accent().name()));
  EXPECT_FALSE(find<ui::CheckBox>("cb_agree")->currentImage().isNull());
}

TEST_F(InquiryFormTest, SubmitsTwoScreenshotsAsTheServerStoresThem) {
  open();
  fillIn();
  const QStringList paths = {pictureFile("first.png", 64, 48, 1), pictureFile("second.png", 40, 80, 2)};
  attach(paths);
  ASSERT_EQ(form_->screenShotList().size(), 2u);
  ASSERT_EQ(form_->thumbnails().size(), 2u);
  EXPECT_EQ(form_->thumbnails()[0]->width(), 70);
  EXPECT_EQ(source_->limits, std::vector<int>{3});
  EXPECT_TRUE(sink_->contains("imgData.count:"));
  agree();
  snapshot("inquiry-filled");

  submit();
  // The overlay covers the whole wall, bar included, at once.
  ASSERT_NE(form_->vProgress(), nullptr);
  EXPECT_EQ(form_->vProgress()->geometry(), nav_->rect());
  EXPECT_TRUE(form_->vProgress()->isVisible());
  snapshot("inquiry-progress");
  ASSERT_TRUE(spinUntil([&] { return alert() != nullptr; }));
  EXPECT_EQ(form_->vProgress(), nullptr);
  EXPECT_EQ(alertMessage(), tr("ov_inquiry_done"));

  const auto inquiries = server_->inquiries();
  ASSERT_EQ(inquiries.size(), 1u);
  const auto& stored = inquiries[0];
  EXPECT_EQ(stored.field("mkey"), sandbox::kMediaKey);
  EXPECT_EQ(stored.field("mckey"), sandbox::kMediaChannelKey);
  EXPECT_EQ(stored.field("userid"), "inquiry-user");
  EXPECT_EQ(stored.field("name"), "Kim Minji");
  EXPECT_EQ(stored.field("tel"), "01012345678");
  EXPECT_EQ(stored.field("email"), "minji@example.com");
  EXPECT_EQ(stored.field("cstype"), "reward");
  EXPECT_EQ(stored.field("campid"), std::to_string(*form_->form().chosenCampaignId()));
  EXPECT_EQ(stored.field("content"), "The reward for my last campaign never arrived.");
  ASSERT_EQ(stored.files.size(), 2u);
  // Pictures are accepted as their loads complete, so the list's order is the one sent.
  const auto& sent = form_->screenShotList();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0]->width() + sent[1]->width(), 64 + 40);
  qt::QtImageCodec codec;
  for (std::size_t i = 0; i < 2; ++i) {
    const auto expected = codec.encodeJpeg(*sent[i], ApiProvider::kJpegQuality);
    ASSERT_TRUE(expected);
    EXPECT_EQ(stored.files[i].field, "uploadfiles[]");
    EXPECT_EQ(stored.files[i].contentType, "image/jpeg");
    EXPECT_TRUE(stored.files[i].data == *expected) << "file " << i << " differs";
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(stored.files[i].data)).size(),
              QSize(sent[i]->width(), sent[i]->height()));
  }

  // The notice's button returns to the wall.
  QTest::mouseClick(alertButton(tr("ov_confirm")), Qt::LeftButton);
  EXPECT_EQ(nav_->topViewController(), nav_->rootViewController());
}

TEST_F(InquiryFormTest, AFailedOrSilentSubmissionTellsTheUserAndKeepsEverything) {
  open();
  fillIn();
  attach({pictureFile("kept.png", 30, 30)});
  agree();
  const auto keptImage = form_->screenShotList().at(0);

  server_->force({.endpoint = "/api/cs", .result = 201, .times = 1});
  submit();
  ASSERT_TRUE(spinUntil([&] { return alert() != nullptr; }));
  EXPECT_EQ(form_->vProgress(), nullptr);
  EXPECT_EQ(takeNotice(), tr("ov_inquiry_failed"));
  EXPECT_TRUE(sink_->contains("RequestViewController apiPostCS Error : Optional(201)"));

  // No answer at all: the backstop ends the wait.
  form_->setSubmissionTimeLimit(300ms);
  server_->force({.endpoint = "/api/cs", .delayMs = 20'000, .times = 1});
  submit();
  EXPECT_NE(form_->vProgress(), nullptr);
  // Esc during the submission, by key and through the window's own path, leaves the
  // form and its overlay where they are.
  QTest::keyClick(form_->vProgress(), Qt::Key_Escape);
  nav_->handleEscape();
  EXPECT_EQ(nav_->topViewController(), form_);
  EXPECT_NE(form_->vProgress(), nullptr);
  ASSERT_TRUE(spinUntil([&] { return alert() != nullptr; }, 8s));
  EXPECT_EQ(form_->vProgress(), nullptr);
  EXPECT_EQ(takeNotice(), tr("ov_inquiry_failed"));

  EXPECT_EQ(find<QLineEdit>("tf_name")->text(), QStringLiteral("Kim Minji"));
  EXPECT_EQ(find<QLineEdit>("tf_phone")->text(), QStringLiteral("01012345678"));
  EXPECT_EQ(find<QPlainTextEdit>("tv_input_inquiry")->toPlainText(),
            QStringLiteral("The reward for my last campaign never arrived."));
  EXPECT_EQ(find<QLabel>("l_request_type")->text(), tr("ov_request_type_savings"));
  ASSERT_EQ(form_->screenShotList().size(), 1u);
  EXPECT_EQ(form_->screenShotList()[0], keptImage);
  EXPECT_TRUE(find<ui::CheckBox>("cb_agree")->isChecked());
  EXPECT_EQ(nav_->topViewController(), form_);
  EXPECT_TRUE(server_->inquiries().empty());
}

TEST_F(InquiryFormTest, ThreeScreenshotsAtMostAndDeletingTheMiddleOne) {
  open();
  attach({pictureFile("a.png", 20, 20, 1), pictureFile("b.png", 20, 20, 1), pictureFile("c.png", 20, 20, 3),
          pictureFile("d.png", 20, 20, 4)});
  // The picker was asked for three; one that hands over more loses the rest, and says so.
  EXPECT_EQ(source_->limits, std::vector<int>{3});
  EXPECT_EQ(takeNotice(), tr("ov_max_image_3"));
  ASSERT_EQ(form_->thumbnails().size(), 3u);
  const auto before = form_->screenShotList();

  // Full: the tile only tells, the picker is not asked.
  QTest::mouseClick(find<QToolButton>("iv_attach"), Qt::LeftButton);
  EXPECT_EQ(takeNotice(), tr("ov_max_image_3"));
  EXPECT_EQ(source_->limits.size(), 1u);

  // a.png and b.png are equal pictures; the middle one goes, by identity.
  QTest::mouseClick(form_->thumbnails()[1]->iv_screenshot_delete(), Qt::LeftButton);
  ASSERT_EQ(form_->screenShotList().size(), 2u);
  EXPECT_EQ(form_->screenShotList()[0], before[0]);
  EXPECT_EQ(form_->screenShotList()[1], before[2]);
  ASSERT_EQ(form_->thumbnails().size(), 2u);
  EXPECT_EQ(form_->thumbnails()[0]->image(), before[0]);
  EXPECT_EQ(form_->thumbnails()[1]->image(), before[2]);

  attach({});  // cancelled picker
  EXPECT_EQ(source_->limits.back(), 1);
  EXPECT_EQ(form_->thumbnails().size(), 2u);
}

TEST_F(InquiryFormTest, RefusesPicturesOverThreeMiBOrTooManyPixelsOrUnreadable) {
  auto platform = std::make_shared<Platform>(*platform_);
  auto codec = std::make_shared<SizedJpegCodec>();
  codec->sizes = {{31, inquiry::kMaxScreenshotBytes}, {32, inquiry::kMaxScreenshotBytes + 1}};
  platform->imageCodec = codec;
  auto services = this->services();
  services.platform = platform;
  open(services);

  attach({pictureFile("exact.png", 31, 10)});
  EXPECT_EQ(form_->screenShotList().size(), 1u) << "exactly 3,145,728 bytes is accepted";
  EXPECT_TRUE(sink_->contains("imgData.count:3145728 / maxSize:3145728"));
  attach({pictureFile("over.png", 32, 10)});
  EXPECT_EQ(takeNotice(), tr("ov_max_image_size_3mb"));
  EXPECT_TRUE(sink_->contains("imgData.count:3145729 / maxSize:3145728"));

  // A small file that declares 30000 x 30000 pixels is refused before decoding.
  const QString bomb = files_.filePath(QStringLiteral("bomb.png"));
  {
    QFile f(bomb);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sandbox::pngBomb().data(), static_cast<qint64>(sandbox::pngBomb().size()));
  }
  attach({bomb});
  EXPECT_EQ(takeNotice(), tr("ov_image_too_large"));
  const QString text = files_.filePath(QStringLiteral("notes.png"));
  {
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
  }
  attach({text});
  EXPECT_EQ(takeNotice(), tr("ov_image_unreadable"));
  EXPECT_TRUE(sink_->contains("error : notes.png"));
  EXPECT_EQ(form_->screenShotList().size(), 1u);
}

TEST_F(InquiryFormTest, CameraEntryOnlyWhereThereIsACamera) {
  open();
  attach({});
  EXPECT_EQ(alert(), nullptr) << "no sheet of one entry: the files open at once";
  EXPECT_EQ(source_->limits.size(), 1u);

  source_->camera = true;
  QTest::mouseClick(find<QToolButton>("iv_attach"), Qt::LeftButton);
  ASSERT_NE(alert(), nullptr);
  ASSERT_NE(alertButton(tr("ov_shoot_photo")), nullptr);
  ASSERT_NE(alertButton(tr("ov_select_photo")), nullptr);
  ASSERT_NE(alertButton(tr("ov_cancel")), nullptr);
  source_->next = ui::FileDialogPictureSource::picturesFromFiles({pictureFile("photo.png", 24, 24)});
  QTest::mouseClick(alertButton(tr("ov_shoot_photo")), Qt::LeftButton);
  ASSERT_TRUE(spinUntil([&] { return form_->picturesLoading() == 0; }));
  EXPECT_EQ(source_->photos, 1);
  EXPECT_EQ(form_->screenShotList().size(), 1u);
}

TEST_F(InquiryFormTest, WithoutCampaignsTheSheetSaysSoAndCancelSendsNothing) {
  server_->force({.endpoint = "/api/cs/user_camp_list", .body = sandbox::BodyMode::Malformed});
  open();
  choose("v_request_type", tr("ov_request_type_savings"));
  QTest::mouseClick(find<QWidget>("v_ad_select"), Qt::LeftButton);
  EXPECT_EQ(takeNotice(), tr("ov_not_campaign"));

  QTest::mouseClick(find<QPushButton>("b_negative"), Qt::LeftButton);
  EXPECT_EQ(nav_->topViewController(), nav_->rootViewController());
  EXPECT_EQ(count("/api/cs"), 0u);
}

// The real file dialog on a real X server: open it from the tile, pick a file, see it.
class InquiryFormOnXvfb : public InquiryFormTest {};

TEST_F(InquiryFormOnXvfb, PicksAFileInTheFileDialogAndShowsItsThumbnail) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    if (qEnvironmentVariableIsSet("ORVANE_REQUIRE_XCB")) FAIL() << "needs the xcb platform";
    GTEST_SKIP() << "needs the xcb platform";
  }
  const QString path = pictureFile(QStringLiteral("screen.png"), 120, 90);
  open(services(), false);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(nav_.get()));

  QTest::mouseClick(find<QToolButton>("iv_attach"), Qt::LeftButton);
  QFileDialog* dialog = nullptr;
  ASSERT_TRUE(spinUntil([&] {
    dialog = nav_->findChild<QFileDialog*>(QStringLiteral("orvane_picture_dialog"));
    return dialog && dialog->isVisible();
  }));
  EXPECT_TRUE(dialog->nameFilters().join(QLatin1Char(' ')).contains(QStringLiteral("*.png")));
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
  dialog->setDirectory(files_.path());
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr) << "the toolkit's own dialog, not a native one";
  QTest::keyClicks(name, QFileInfo(path).fileName());
  QTest::keyClick(name, Qt::Key_Return);
  ASSERT_TRUE(spinUntil([&] { return form_->thumbnails().size() == 1; }));
  EXPECT_FALSE(form_->thumbnails()[0]->iv_screenshot()->pixmap().isNull());
  EXPECT_EQ(form_->screenShotList().size(), 1u);
  EXPECT_EQ(form_->screenShotList()[0]->width(), 120);
}

}  // namespace
}  // namespace orvane::testing
