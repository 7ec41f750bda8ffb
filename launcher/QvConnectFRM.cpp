#include "launcher/QvConnectFRM.h"

#include "core/FormPosition.h"
#include "core/QvWait30FRM.h"
#include "core/QtText.h"
#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "launcher/FormColors.h"
#include "launcher/QvLaunchFRM.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <charconv>
#include <cstdio>

namespace qv {

TfrmConnecting* frmConnecting = nullptr;

namespace {

TfrmConnecting::SessionRunner& Runner() {
  static TfrmConnecting::SessionRunner runner;
  return runner;
}

int NumberOrZero(std::string_view s) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return (ec == std::errc() && p == s.data() + s.size()) ? v : 0;
}

}  // namespace

TfrmConnecting::TfrmConnecting(QWidget* parent) : QDialog(parent) {
  setObjectName("frmConnecting");
  setWindowTitle(QStringLiteral("VeoQuorvel - 通信中"));
  setAutoFillBackground(true);
  setModal(true);
  pnlConnect = new TAttachPanel(this);
  pnlConnect->setObjectName("pnlConnect");
  pnlConnect->SetCaption(QStringLiteral("通信中"));
  pnlConnect->setMinimumHeight(44);
  lblTel = new QLabel(this);
  lblTel->setObjectName("lblTel");
  lblCount = new QLabel(this);
  lblCount->setObjectName("lblCount");
  lblSize = new QLabel(this);
  lblSize->setObjectName("lblSize");
  lblSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pbConnect = new QProgressBar(this);
  pbConnect->setObjectName("pbConnect");
  pbConnect->setTextVisible(false);
  pnlWait = new QWidget(this);
  pnlWait->setObjectName("pnlWait");
  aniWait = new TAnimationImage(pnlWait);
  aniWait->setObjectName("aniWait");
  // Two frames side by side; with the start frame skipped, Start shows the
  // other frame and Stop the start frame again.
  aniWait->SetPicture(QImage(QString::fromStdString(FromProgramDir("wait.png").string())));
  aniWait->SetColCount(2);
  aniWait->SetSkipStartPos(true);
  aniWait->setFixedSize(32, 32);
  btnAbort = new TMultiButton(this);
  btnAbort->setObjectName("btnAbort");
  btnAbort->SetCaption(QStringLiteral("中止"));
  btnAbort->setMinimumSize(75, 25);
  connect(btnAbort, &QAbstractButton::clicked, this, [this] { btnAbortClick(); });
  tmrStart = new QTimer(this);
  tmrStart->setObjectName("tmrStart");
  tmrStart->setInterval(100);
  tmrStart->setSingleShot(true);
  connect(tmrStart, &QTimer::timeout, this, [this] { tmrStartTimer(); });

  auto* info = new QGridLayout;
  info->addWidget(lblTel, 0, 0, 1, 2);
  info->addWidget(lblCount, 1, 0);
  info->addWidget(lblSize, 1, 1);
  auto* bottom = new QHBoxLayout;
  auto* waitLayout = new QHBoxLayout(pnlWait);
  waitLayout->setContentsMargins(0, 0, 0, 0);
  waitLayout->addWidget(aniWait);
  bottom->addWidget(pnlWait);
  bottom->addStretch();
  bottom->addWidget(btnAbort);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pnlConnect);
  layout->addLayout(info);
  layout->addWidget(pbConnect);
  layout->addLayout(bottom);
  resize(280, 170);
  frmConnecting = this;
}

TfrmConnecting::~TfrmConnecting() {
  StoreKeptMail();
  if (frmConnecting == this) frmConnecting = nullptr;
}

void TfrmConnecting::SetSessionRunner(SessionRunner runner) { Runner() = std::move(runner); }

void TfrmConnecting::AddEvent(int kind, int code) { events_.push_back(std::to_string(kind) + "=" + std::to_string(code)); }

void TfrmConnecting::SetProgressMax(int n) {
  if (n <= 0) {
    pbConnect->setVisible(false);
    lblCount->setVisible(false);
    return;
  }
  pbConnect->setVisible(true);
  lblCount->setVisible(true);
  pbConnect->setRange(0, n);
  pbConnect->setValue(0);
  lblCount->setText(QStringLiteral("0/%1 件").arg(n));
}

void TfrmConnecting::SetProgress(int i, bool pending) {
  if (pbConnect->isHidden()) return;
  const int max = pbConnect->maximum();
  if (i > max) {
    pbConnect->setValue(pending && max > 0 ? max - 1 : max);
    lblCount->clear();
    return;
  }
  pbConnect->setValue(pending && i > 0 ? i - 1 : i);
  lblCount->setText(QStringLiteral("%1/%2 件").arg(i).arg(max));
}

void TfrmConnecting::SetSize(long long n) {
  lblSize->clear();
  if (n <= 0) return;
  lblSize->setText(QStringLiteral("%1Byte").arg(n));
  if (aniWait->ShownFrame() == aniWait->GetStartPos())
    aniWait->Start();
  else
    aniWait->Stop();
}

TfrmConnecting::PollEnd TfrmConnecting::Poll(const std::function<bool(int, int)>& handle,
                                              const std::function<void()>& afterDrain) {
  for (;;) {
    QThread::msleep(100);
    QCoreApplication::processEvents();
    if (abort_) {
      if (frmLaunch) frmLaunch->SerialDisconnect(10);
      return PollEnd::Aborted;
    }
    while (!events_.empty()) {
      std::string line = std::move(events_.front());
      events_.pop_front();
      size_t eq = line.find('=');
      if (eq != std::string::npos) {
        const int kind = NumberOrZero(std::string_view(line).substr(0, eq));
        const int code = NumberOrZero(std::string_view(line).substr(eq + 1));
        if (kind == 0) {
          char id[16];
          std::snprintf(id, sizeof id, "I%05d", code);
          if (frmLaunch) pnlConnect->SetCaption(ToQString(frmLaunch->ReportMessage(id, false)));
        } else if (handle(kind, code)) {
          return PollEnd::Handled;
        }
      }
      if (abort_) {
        if (frmLaunch) frmLaunch->SerialDisconnect(10);
        return PollEnd::Aborted;
      }
    }
    if (afterDrain) afterDrain();
  }
}

void TfrmConnecting::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, 0, "Connect");
  ApplyFormColors(*this, {pnlConnect}, {btnAbort});
  pnlConnect->SetCaption({});
  lblTel->clear();
  lblSize->clear();
  lblCount->setVisible(false);
  tmrStart->start();
}

void TfrmConnecting::done(int result) {
  SaveFormPosition(this, "Connect");
  QDialog::done(result);
}

void TfrmConnecting::tmrStartTimer() {
  tmrStart->stop();
  events_.clear();
  abort_ = false;
  SessionResult result = SessionResult::NothingDone;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  result = Runner() ? Runner()(*this, mode_) : RunSessionOfMode(mode_);
  QApplication::restoreOverrideCursor();
  StoreKeptMail();
  done(static_cast<int>(result));
}

SessionResult TfrmConnecting::RunSessionOfMode(SessionMode mode) {
  if (!frmLaunch) return SessionResult::NothingDone;
  SessionResult result = SessionResult::NothingDone;
  switch (mode) {
    case SessionMode::SendQueue:
      result = RunMailSession(true, false, false, false);
      break;
    case SessionMode::ReceiveMail:
      result = RunMailSession(false, true, false, false);
      break;
    case SessionMode::AutoReceiveMail:
      result = RunMailSession(false, true, true, false);
      break;
    case SessionMode::SendAndReceive:
      result = RunMailSession(true, true, false, false);
      break;
    case SessionMode::AcceptDirectMail: {
      // Inside ring-wait, which goes on afterwards: no wait for idle.
      const std::string caller = frmLaunch->SerialGetParam(6, 256);
      lblTel->setText(caller.empty() ? QStringLiteral("非通知") : ToQString(caller));
      return ReceiveDirectMail();
    }
    case SessionMode::SendDirectMailOnly:
      result = RunMailSession(true, false, false, true);
      break;
    case SessionMode::ReadHandsetInfo:
    case SessionMode::WriteHandsetInfo:
      // The handset data sessions are run through a session runner.
      break;
  }
  frmLaunch->WaitSerialIdle(30000);
  return result;
}

int TfrmConnecting::AskContinue() {
  TfrmWait30 wait(this);
  int answer = wait.exec();
  if (!frmLaunch) return answer;
  switch (answer) {
    case TfrmWait30::kResume:
      frmLaunch->SerialResumeTxRx();
      break;
    case TfrmWait30::kTimeOut:
      frmLaunch->SerialDisconnect(1130);
      break;
    default:
      answer = TfrmWait30::kAbort;
      frmLaunch->SerialDisconnect(10);
      break;
  }
  return answer;
}

}  // namespace qv
