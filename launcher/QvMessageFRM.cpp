#include "launcher/QvMessageFRM.h"

#include "core/FormPosition.h"
#include "core/QtText.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
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
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
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
  if (!event->spontaneous()) LoadFormPosition(this, kPlaceCentre, 0, "Message");
}

void TfrmMessage::done(int result) {
  SaveFormPosition(this, "Message");
  QDialog::done(result);
}

}  // namespace qv
