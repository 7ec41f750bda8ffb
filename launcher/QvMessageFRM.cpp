#include "launcher/QvMessageFRM.h"

#include "core/ui/FormPosition.h"
#include "controls/MultiButton.h"
#include "core/ui/QtText.h"
#include "launcher/FormColors.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QVBoxLayout>

namespace qv {

TfrmMessage::TfrmMessage(QWidget* parent) : QDialog(parent) {
  setObjectName("frmMessage");
  setAutoFillBackground(true);
  resize(480, 320);
  memMessage = new QPlainTextEdit(this);
  memMessage->setObjectName("memMessage");
  memMessage->setReadOnly(true);
  memMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
  btnOK = new TMultiButton(this);
  btnOK->setObjectName("btnOK");
  btnOK->SetCaption(QStringLiteral("OK"));
  btnOK->setMinimumSize(75, 25);
  btnOK->setDefault(true);
  connect(btnOK, &QAbstractButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(memMessage);
  layout->addLayout(buttons);
}

void TfrmMessage::SetLines(const std::vector<std::string>& lines) {
  QStringList text;
  for (const auto& line : lines) text << ToQString(line);
  memMessage->setPlainText(text.join('\n'));
}

void TfrmMessage::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, 0, "Message");
  ApplyFormColors(*this, {}, {btnOK});
}

void TfrmMessage::done(int result) {
  SaveFormPosition(this, "Message");
  QDialog::done(result);
}

}  // namespace qv
