#include "launcher/QvConnectFRM.h"

#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"
#include "core/ui/QvWait30FRM.h"
#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "launcher/FormColors.h"
#include "launcher/QvSelectFRM.h"
#include "launcher/WindowService.h"
#include "launcher/session/DirectMailReception.h"
#include "launcher/session/HandsetData.h"
#include "launcher/session/MailSession.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace qv {

namespace {

TfrmConnecting::SessionRunner& Runner() {
  static TfrmConnecting::SessionRunner runner;
  return runner;
}

// Waits for a folder that a plug-in window holds keep the windows alive.
RetryPolicy FolderRetry() {
  RetryPolicy retry;
  retry.waiting = [] { QCoreApplication::processEvents(); };
  return retry;
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
  // One size for every session, with room for all its lines: the window
  // manager then offers no maximising either.
  const QSize hint = sizeHint();
  setFixedSize(std::max(280, hint.width()), std::max(170, hint.height()));
}

TfrmConnecting::~TfrmConnecting() { StoreKeptMail(); }

void TfrmConnecting::Attach(SerialLink& link, SessionHost& host) {
  link_ = &link;
  host_ = &host;
}

void TfrmConnecting::SetSessionRunner(SessionRunner runner) { Runner() = std::move(runner); }

void TfrmConnecting::AddEvent(int kind, int code) { events_.Add({static_cast<kwx::EventType>(kind), code}); }

SessionContext TfrmConnecting::Context() { return {*link_, *host_, *this, events_, keeper_, options_}; }

void TfrmConnecting::ShowStatus(const std::string& text) { pnlConnect->SetCaption(ToQString(text)); }

void TfrmConnecting::ShowNumber(const std::string& text) { lblTel->setText(ToQString(text)); }

void TfrmConnecting::ProcessMessages() { QCoreApplication::processEvents(); }

void TfrmConnecting::WaitForModule(uint64_t seen, std::chrono::milliseconds timeout) {
  // The module's events reach the queue through the launcher's handler while
  // the windows are served; the count may pass seen only after that.
  ServeWindows(timeout, Serving::Everything, [this, seen] { return PostedMessageCount() != seen || !events_.Empty(); });
}

void TfrmConnecting::ShowListing(int pages, int mails) {
  // No total is known before the last page: the bar only shows that work goes on.
  pbConnect->setVisible(true);
  pbConnect->setRange(0, 0);
  lblCount->setVisible(true);
  lblCount->setText(QStringLiteral("一覧 %1 ページ  %2 件").arg(pages).arg(mails));
}

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
  if (!link_ || !host_) return PollEnd::Aborted;
  SessionContext context = Context();
  return qv::Poll(
      context, [&handle](const SerialEvent& e) { return handle(e.kind, e.code); },
      [&afterDrain] {
        if (afterDrain) afterDrain();
        return false;
      });
}

void TfrmConnecting::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, 0, "Connect");
  ApplyFormColors(*this, {pnlConnect}, {btnAbort});
  pnlConnect->SetCaption({});
  lblTel->clear();
  // An incoming call shows who calls from the start.
  if (mode_ == SessionMode::AcceptDirectMail && link_) ShowNumber(IncomingCaller(*link_));
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
  events_.Clear();
  abort_ = false;
  SessionResult result = SessionResult::NothingDone;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (Runner()) {
    result = Runner()(*this, mode_);
  } else if (link_ && host_) {
    SessionContext context = Context();
    result = RunSessionOfMode(context, mode_);
  }
  QApplication::restoreOverrideCursor();
  StoreKeptMail();
  done(static_cast<int>(result));
}

SessionResult TfrmConnecting::RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly) {
  if (!link_ || !host_) return SessionResult::NothingDone;
  SessionContext context = Context();
  return MailSession(context, send, receive, autoReceive, directOnly).Run();
}

SessionResult TfrmConnecting::ReceiveDirectMail() {
  if (!link_ || !host_) return SessionResult::NothingDone;
  SessionContext context = Context();
  return DirectMailReception(context, FromQString(lblTel->text())).Run();
}

SessionResult TfrmConnecting::ReadHandsetInfo(int kind) {
  if (!link_ || !host_) return SessionResult::NothingDone;
  SessionContext context = Context();
  return HandsetDataRead(context, kind).Run();
}

SessionResult TfrmConnecting::WriteHandsetInfo(int kind) {
  if (!link_ || !host_) return SessionResult::NothingDone;
  SessionContext context = Context();
  return HandsetDataWrite(context, kind).Run();
}

ContinueAnswer TfrmConnecting::AskContinue() {
  TfrmWait30 wait(this);
  return static_cast<ContinueAnswer>(wait.exec());
}

SelectAnswer TfrmConnecting::ChooseMails(const std::vector<std::string>& lines, std::vector<std::string>& chosen) {
  TfrmSelect select(this);
  select.SetLines(lines);
  const int answer = select.exec();
  chosen = select.SelectedLines(lines);
  return static_cast<SelectAnswer>(answer);
}

bool TfrmConnecting::StoreReceived(const std::string& folder, const std::string& text,
                                   const std::vector<std::string>& row) {
  return host_ && keeper_.StoreReceived(*host_, folder, text, row, FolderRetry());
}

void TfrmConnecting::StoreKeptMail() {
  keeper_.StoreKept(FolderRetry());
}

}  // namespace qv
