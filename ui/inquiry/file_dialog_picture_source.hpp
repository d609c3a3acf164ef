#pragma once

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "core/inquiry/picture_source.hpp"

class QWidget;

namespace orvane::ui {

// The desktop's pictures: a file dialog filtered to the image formats Qt reads, opened
// window-modal over `parent` without a nested event loop. The files are read later, on
// the executor (PickedPicture::load). The desktop build has no camera capture, so
// `hasCamera` is false and the form offers no camera entry. GUI thread.
class FileDialogPictureSource : public inquiry::PictureSource {
 public:
  explicit FileDialogPictureSource(QWidget* parent);
  ~FileDialogPictureSource() override;  // closes an open dialog; its callback never runs

  bool hasCamera() const override { return false; }
  void pickPictures(int limit, Picked done) override;
  void takePhoto(Picked done) override;

  // The dialog while it is open (tests drive it like a user).
  QFileDialog* dialog() const { return dialog_; }

  // "Images (*.png *.jpg ...)" from the formats this Qt can read.
  static QString imageFilter();
  // The picks for chosen files, in the order given.
  static std::vector<inquiry::PickedPicture> picturesFromFiles(const QStringList& paths);

 private:
  QPointer<QWidget> parent_;
  QPointer<QFileDialog> dialog_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvane::ui
