#include "launcher/QvOptionFRM.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

TfrmOption::TfrmOption(QWidget* parent) : QDialog(parent) {
  setObjectName("frmOption");
  setWindowTitle(QStringLiteral("VeoQuorvel - 環境設定"));
  setAutoFillBackground(true);
  auto* text = new QLabel(QStringLiteral("環境設定の画面は準備中です。\n設定は Quorvel.ini を編集してください。"), this);
  text->setObjectName("lblNotice");
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  btnCancel->setObjectName("btnCancel");
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addLayout(buttons);
}

}  // namespace qv
