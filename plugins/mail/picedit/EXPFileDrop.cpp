#include "plugins/mail/picedit/EXPFileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <exception>

#include "core/ui/MessageBox.h"

namespace qv {

namespace {

bool HasLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

}  // namespace

TEXPFileDrop::TEXPFileDrop(QObject* owner) : QObject(owner) { Hook(); }

TEXPFileDrop::~TEXPFileDrop() {
  // Going down with the window it hooks: the window is half destroyed, and
  // its filters go with it.
  for (QObject* p = parent(); p; p = p->parent())
    if (p == target_) return;
  Unhook();
}

void TEXPFileDrop::SetAccept(bool accept) {
  accept_ = accept;
  if (target_) target_->setAcceptDrops(accept_ || targetAcceptedDrops_);
}

void TEXPFileDrop::SetControl(QWidget* control) {
  Unhook();
  if (controlGone_) disconnect(controlGone_);
  control_ = control;
  if (control) controlGone_ = connect(control, &QObject::destroyed, this, &TEXPFileDrop::ControlDestroyed);
  Hook();
}

void TEXPFileDrop::ControlDestroyed() {
  control_ = nullptr;
  target_ = nullptr;
  accept_ = false;
}

void TEXPFileDrop::Hook() {
  QWidget* target = control_;
  if (!target && parent() && parent()->isWidgetType()) target = static_cast<QWidget*>(parent())->window();
  target_ = target;
  if (!target) return;
  targetAcceptedDrops_ = target->acceptDrops();
  target->installEventFilter(this);
  target->setAcceptDrops(accept_ || targetAcceptedDrops_);
}

void TEXPFileDrop::Unhook() {
  if (!target_) return;
  target_->removeEventFilter(this);
  target_->setAcceptDrops(targetAcceptedDrops_);
  target_ = nullptr;
}

bool TEXPFileDrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != target_ || !accept_) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!HasLocalFiles(drag->mimeData())) return QObject::eventFilter(watched, event);
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!HasLocalFiles(drop->mimeData())) return QObject::eventFilter(watched, event);
      // Every path whole, however long.
      std::vector<std::filesystem::path> files;
      for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile()) files.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
      const QPoint at = drop->position().toPoint();
      drop->acceptProposedAction();
      try {
        emit OnFileDrop(int(files.size()), files, at.x(), at.y());
      } catch (const std::exception& e) {
        ShowMessageBox(target_, BoxKind::Error, e.what());
      }
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace qv
