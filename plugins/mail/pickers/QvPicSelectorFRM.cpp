#include "plugins/mail/pickers/QvPicSelectorFRM.h"

#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"
#include "plugins/mail/pickers/ImageListSelector.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include <QEvent>
#include <QVBoxLayout>

namespace qv {

TfrmPicSelector::TfrmPicSelector(QWidget* owner) : QWidget(owner, Qt::Tool) {
  setObjectName(QStringLiteral("frmPicSelector"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  ilsPictext = new TImageListSelector(this);
  ilsPictext->setObjectName(QStringLiteral("ilsPictext"));
  // Twice the handset's size, so each glyph is easy to tell and to hit.
  ilsPictext->SetImageWidth(24);
  ilsPictext->SetImageHeight(24);
  layout->addWidget(ilsPictext);
  resize(10 * ilsPictext->CellWidth() + 20, 6 * ilsPictext->CellHeight());
  connect(ilsPictext, &TImageListSelector::Activated, this, &TfrmPicSelector::Insert);
}

void TfrmPicSelector::SetPicker(const QString& caption, TImageList* images) {
  setWindowTitle(caption);
  ilsPictext->SetImages(images);
}

void TfrmPicSelector::Insert() {
  if (auto* compose = qobject_cast<TfrmMailSend*>(parentWidget()))
    compose->InsertPictograph(FromQString(windowTitle()), ilsPictext->GetImagesIndex());
}

void TfrmPicSelector::showEvent(QShowEvent* event) {
  LoadFormPosition(this, kPlaceCursor, 0, {});
  QWidget::showEvent(event);
  activateWindow();
  ilsPictext->setFocus();
}

bool TfrmPicSelector::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate) {
    // Losing the focus closes the picker (and frees it).
    const bool handled = QWidget::event(event);
    close();
    return handled;
  }
  return QWidget::event(event);
}

}  // namespace qv
