#include "core/ui/QvWait30FRM.h"

#include "controls/MultiButton.h"
#include "core/ui/FormPosition.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

namespace qv {
namespace {
std::atomic<int> g_tickInterval{1000};
}

void TfrmWait30::SetTickInterval(int ms) { g_tickInterval = ms > 0 ? ms : 1000; }

TfrmWait30::TfrmWait30(QWidget* owner) : QDialog(owner) {
  setObjectName("frmWait30");
  setWindowTitle(QStringLiteral("継続確認"));
  setModal(true);
  setAutoFillBackground(true);
  lblMessage = new QLabel(QStringLiteral("接続先の応答がありません。\n通信を続けますか？"), this);
  lblMessage->setObjectName("lblMessage");
  lblCount = new QLabel(this);
  lblCount->setObjectName("lblCount");
  actResume = new QAction(QStringLiteral("継続"), this);
  actResume->setObjectName("actResume");
  actAbort = new QAction(QStringLiteral("中断"), this);
  actAbort->setObjectName("actAbort");
  connect(actResume, &QAction::triggered, this, [this] { Finish(kResume); });
  connect(actAbort, &QAction::triggered, this, [this] { Finish(kAbort); });
  btnResume = new TMultiButton(this);
  btnResume->setObjectName("btnResume");
  btnResume->SetAction(actResume);
  btnResume->setDefault(true);
  btnResume->setMinimumSize(75, 25);
  btnAbort = new TMultiButton(this);
  btnAbort->setObjectName("btnAbort");
  btnAbort->SetAction(actAbort);
  btnAbort->setMinimumSize(75, 25);
  tmrTimeOut = new QTimer(this);
  tmrTimeOut->setObjectName("tmrTimeOut");
  tmrTimeOut->setInterval(g_tickInterval.load());
  connect(tmrTimeOut, &QTimer::timeout, this, [this] { tmrTimeOutTimer(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnResume);
  buttons->addWidget(btnAbort);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblMessage);
  layout->addWidget(lblCount);
  layout->addLayout(buttons);
  ShowRemaining();
  resize(240, 120);
}

void TfrmWait30::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  // Centred on the owner, never stored.
  LoadFormPosition(this, kPlaceOwnerCentre, 0, "");
  // Faces in the window's colour; the captions follow its text colour by themselves.
  for (TMultiButton* button : {btnResume, btnAbort}) button->SetParentColor(true);
  remaining_ = kSeconds;
  ShowRemaining();
  tmrTimeOut->start();
}

void TfrmWait30::tmrTimeOutTimer() {
  --remaining_;
  ShowRemaining();
  if (remaining_ < 1) Finish(kTimeOut);
}

void TfrmWait30::ShowRemaining() { lblCount->setText(QStringLiteral("自動切断まで %1 秒").arg(remaining_)); }

void TfrmWait30::Finish(int result) {
  tmrTimeOut->stop();
  done(result);
}

}  // namespace qv
