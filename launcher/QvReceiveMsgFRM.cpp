#include "launcher/QvReceiveMsgFRM.h"

#include "core/ui/FormPosition.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "core/ui/QtText.h"
#include "launcher/FormColors.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>

namespace qv {

TfrmReceiveMsg::TfrmReceiveMsg(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("frmReceiveMsg");
  setWindowTitle(QStringLiteral("メッセージ"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAutoFillBackground(true);
  pnlMsg = new TAttachPanel(this);
  pnlMsg->setObjectName("pnlMsg");
  pnlMsg->SetCaptionAlignment(bpaLeftTop);
  btnOK = new TMultiButton(this);
  btnOK->setObjectName("btnOK");
  btnOK->SetCaption(QStringLiteral("OK"));
  connect(btnOK, &QAbstractButton::clicked, this, &QWidget::close);
  tmrWait = new QTimer(this);
  tmrWait->setObjectName("tmrWait");
  tmrWait->setInterval(4000);
  tmrWait->setSingleShot(true);  // its tick only disables it
  setFixedSize(204, 100);
}

TfrmReceiveMsg::~TfrmReceiveMsg() {
}

void TfrmReceiveMsg::SetMessage(const std::string& text) {
  QStringList lines = ToQString(text).split(QRegularExpression("\r\n|\r|\n"));
  QFontMetrics fm(pnlMsg->font());
  int widest = 0;
  for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
  const int width = std::max(140, widest) + 64;
  const int height = btnOK->sizeHint().height() + static_cast<int>(lines.size()) * fm.boundingRect("A").height() + 44;
  // A notice replaced while it shows keeps its bottom-right corner.
  const QRect before = geometry();
  setFixedSize(width, height);
  if (isVisible()) setGeometry(before.right() + 1 - width, before.bottom() + 1 - height, width, height);
  for (QString& line : lines) line.prepend(QStringLiteral("  "));
  pnlMsg->SetCaption(lines.join('\n'));
  tmrWait->start();
  Q_EMIT MessageSet(pnlMsg->GetCaption());
}

QString TfrmReceiveMsg::MessageText() const { return pnlMsg->GetCaption(); }

void TfrmReceiveMsg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  // Notices differ in size: they all sit at the corner where the last one sat.
  LoadFormPositionAtCorner(this, kPlaceBottomRight, "ReceiveMsg");
  ApplyFormColors(*this, {pnlMsg}, {btnOK});
}

void TfrmReceiveMsg::closeEvent(QCloseEvent* event) {
  SaveFormPosition(this, "ReceiveMsg");
  QWidget::closeEvent(event);
}

void TfrmReceiveMsg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QSize b = btnOK->sizeHint();
  const int bw = std::max(b.width(), 75);
  btnOK->setGeometry((width() - bw) / 2, height() - b.height() - 8, bw, b.height());
  pnlMsg->setGeometry(4, 4, width() - 8, height() - b.height() - 16);
}

}  // namespace qv
