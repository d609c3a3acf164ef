#include "ui/inquiry/file_dialog_picture_source.hpp"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <set>

#include "orvane/localized.hpp"
#include "ui/inquiry/screenshot_processing.hpp"

namespace orvane::ui {

FileDialogPictureSource::FileDialogPictureSource(QWidget* parent) : parent_(parent) {}

FileDialogPictureSource::~FileDialogPictureSource() {
  *alive_ = false;
  if (dialog_) {
    dialog_->disconnect();
    dialog_->close();
    dialog_->deleteLater();
  }
}

QString FileDialogPictureSource::imageFilter() {
  std::set<QString> patterns;
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    patterns.insert(QStringLiteral("*.") + QString::fromLatin1(format).toLower());
  QStringList list(patterns.begin(), patterns.end());
  return QString::fromStdString(localized("ov_image_files")) + QStringLiteral(" (") +
         list.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::vector<inquiry::PickedPicture> FileDialogPictureSource::picturesFromFiles(const QStringList& paths) {
  std::vector<inquiry::PickedPicture> pictures;
  for (const QString& path : paths) {
    pictures.push_back({QFileInfo(path).fileName().toStdString(), [path] { return loadPictureFile(path); }});
  }
  return pictures;
}

void FileDialogPictureSource::pickPictures(int limit, Picked done) {
  if (limit <= 0 || dialog_) {
    // Nothing may be added, or a dialog is already open: hand over none, later.
    if (done)
      QMetaObject::invokeMethod(
          parent_ ? static_cast<QObject*>(parent_.data()) : QCoreApplication::instance(),
          [done] { done({}); }, Qt::QueuedConnection);
    return;
  }
  QString start = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (start.isEmpty() || !QDir(start).exists()) start = QDir::homePath();
  auto* dialog = new QFileDialog(parent_ ? parent_->window() : nullptr,
                                 QString::fromStdString(localized("ov_select_photo")), start, imageFilter());
  dialog->setObjectName(QStringLiteral("orvane_picture_dialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(limit > 1 ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog->setWindowModality(Qt::WindowModal);
  dialog_ = dialog;
  // Exactly one of the two fires; `finished` follows both.
  auto answered = std::make_shared<bool>(false);
  QObject::connect(dialog, &QFileDialog::filesSelected, dialog,
                   [done, answered, alive = alive_](const QStringList& files) {
                     if (*answered || !*alive) return;
                     *answered = true;
                     if (done) done(picturesFromFiles(files));
                   });
  QObject::connect(dialog, &QFileDialog::finished, dialog, [done, answered, alive = alive_](int) {
    if (*answered || !*alive) return;
    *answered = true;
    if (done) done({});
  });
  dialog->open();
}

void FileDialogPictureSource::takePhoto(Picked done) {
  // No camera capture on this platform; the form does not offer it.
  if (done) done({});
}

}  // namespace orvane::ui
