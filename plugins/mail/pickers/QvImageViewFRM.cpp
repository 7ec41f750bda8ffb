#include "plugins/mail/pickers/QvImageViewFRM.h"

#include "plugins/mail/editor/KMailEdit.h"
#include "core/data/MailAttachments.h"
#include "core/data/MailForm.h"
#include "plugins/mail/compose/MailWindowParts.h"

#include <QAction>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace qv {

namespace {

QWidget* ButtonPanel(const char* name, QWidget* parent, QHBoxLayout*& row) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QString::fromLatin1(name));
  row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 0);
  return panel;
}

QToolButton* ActionButton(QAction* action, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setDefaultAction(action);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

// Sixteen characters of the handset's screen, the width a presentation's
// text is kept to.
const QString kScreenLine = QStringLiteral("0000000000000000");

}  // namespace

TfrmImageView::TfrmImageView(QWidget* owner) : TPlacedDialog(owner, "ImageView") {
  setObjectName(QStringLiteral("frmImageView"));
  setWindowTitle(Q("VeoQuorvel - 画像"));
  resize(360, 400);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  clock_ = [clock] { return clock->elapsed(); };

  actNext = NewAction(this, "actNext", "次へ");
  actPrev = NewAction(this, "actPrev", "前へ");
  actPlay = NewAction(this, "actPlay", "再生");
  actOK = NewAction(this, "actOK", "OK");
  tmrMain = new QTimer(this);
  tmrMain->setObjectName(QStringLiteral("tmrMain"));
  tmrMain->setInterval(1);
  tmrMM = new QTimer(this);
  tmrMM->setObjectName(QStringLiteral("tmrMM"));
  tmrMM->setInterval(1);

  auto* outer = new QVBoxLayout(this);
  KMailEdit1 = NewMailEditor(this);
  KMailEdit1->SetPreview(true);
  KMailEdit1->OnBmpData = [this](TKMailEdit*, const std::string& name, QImage& bmp, std::string& headers) {
    AnswerPicture(name, bmp, headers);
  };
  KMailEdit1->installEventFilter(this);
  outer->addWidget(KMailEdit1, 1);

  auto* bar = new QHBoxLayout;
  lblCount = new QLabel(this);
  lblCount->setObjectName(QStringLiteral("lblCount"));
  bar->addWidget(lblCount);
  QHBoxLayout* row = nullptr;
  pnlDIV = ButtonPanel("pnlDIV", this, row);
  row->addWidget(ActionButton(actPrev, pnlDIV));
  row->addWidget(ActionButton(actNext, pnlDIV));
  bar->addWidget(pnlDIV);
  pnlMM = ButtonPanel("pnlMM", this, row);
  row->addWidget(ActionButton(actPlay, pnlMM));
  bar->addWidget(pnlMM);
  bar->addStretch();
  outer->addLayout(bar);

  pnlZoom = ButtonPanel("pnlZoom", this, row);
  radNormal = new QRadioButton(Q("通常"), pnlZoom);
  radNormal->setObjectName(QStringLiteral("radNormal"));
  radQuarter = new QRadioButton(Q("1/4縮小"), pnlZoom);
  radQuarter->setObjectName(QStringLiteral("radQuarter"));
  radCustom = new QRadioButton(Q("ウィンドウサイズに合わせる"), pnlZoom);
  radCustom->setObjectName(QStringLiteral("radCustom"));
  radNormal->setChecked(true);
  auto* zoomGroup = new QButtonGroup(pnlZoom);
  for (QRadioButton* r : {radNormal, radQuarter, radCustom}) {
    zoomGroup->addButton(r);
    row->addWidget(r);
  }
  row->addStretch();
  outer->addWidget(pnlZoom);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  pnlDialog = ButtonPanel("pnlDialog", this, row);
  auto* ok = new QPushButton(QStringLiteral("OK"), pnlDialog);
  ok->setObjectName(QStringLiteral("btnOK"));
  auto* cancel = new QPushButton(Q("キャンセル"), pnlDialog);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  row->addWidget(ok);
  row->addWidget(cancel);
  buttons->addWidget(pnlDialog);
  pnlView = ButtonPanel("pnlView", this, row);
  auto* close = new QPushButton(Q("閉じる"), pnlView);
  close->setObjectName(QStringLiteral("btnClose"));
  row->addWidget(close);
  buttons->addWidget(pnlView);
  outer->addLayout(buttons);

  connect(actNext, &QAction::triggered, this, [this] {
    if (!view_.pages.empty()) ShowPage((shown_ + 1) % static_cast<int>(view_.pages.size()));
  });
  connect(actPrev, &QAction::triggered, this, [this] {
    const int n = static_cast<int>(view_.pages.size());
    if (n > 0) ShowPage((shown_ + n - 1) % n);
  });
  connect(actPlay, &QAction::triggered, this, &TfrmImageView::Play);
  connect(actOK, &QAction::triggered, this, &QDialog::accept);
  connect(ok, &QPushButton::clicked, actOK, &QAction::trigger);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(tmrMain, &QTimer::timeout, this, &TfrmImageView::TickMain);
  connect(tmrMM, &QTimer::timeout, this, &TfrmImageView::TickMM);
  connect(zoomGroup, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
    if (!on) return;
    scaled_.clear();
    ShowPage(shown_);
  });
  pnlDIV->hide();
  pnlMM->hide();
  SetPickMode(false);
  UpdateActions();
}

TfrmImageView::~TfrmImageView() { KMailEdit1->OnBmpData = nullptr; }

void TfrmImageView::SetPickMode(bool pick) {
  pickMode_ = pick;
  pnlDialog->setVisible(pick);
  pnlView->setVisible(!pick);
}

void TfrmImageView::SetManualTicks(bool manual) {
  manualTicks_ = manual;
  if (manual) {
    tmrMain->stop();
    tmrMM->stop();
  }
}

ViewerZoom TfrmImageView::Zoom() const {
  if (radQuarter->isChecked()) return ViewerZoom::Quarter;
  if (radCustom->isChecked()) return ViewerZoom::Fit;
  return ViewerZoom::Normal;
}

void TfrmImageView::BuildPages() {
  built_ = true;
  StopPlaying();
  tmrMain->stop();
  cache_.Clear();
  scaled_.clear();
  view_ = list_ ? BuildViewerPages(*list_, index_, pickMode_, cache_) : ViewerPages{};
  const ViewerContent c = view_.content;
  pnlDIV->setVisible(c == ViewerContent::Div6);
  pnlMM->setVisible(c == ViewerContent::MediaMix);
  pnlZoom->setVisible(c != ViewerContent::Div6 && c != ViewerContent::Animation && c != ViewerContent::MediaMix);
  EditorResized();
  ShowPage(0);
  next_ = 0;
  // An animation runs until the window closes.
  if (!view_.times.empty() && c != ViewerContent::MediaMix) {
    tmrMain->setInterval(1);
    if (!manualTicks_) tmrMain->start();
  }
  UpdateActions();
}

void TfrmImageView::ShowPage(int index) {
  const int count = static_cast<int>(view_.pages.size());
  if (count == 0) {
    shown_ = 0;
    KMailEdit1->SetMarkupText({});
    lblCount->setText(QStringLiteral("(0/0)"));
    return;
  }
  shown_ = index >= 0 && index < count ? index : 0;
  KMailEdit1->SetMarkupText(view_.pages[static_cast<size_t>(shown_)]);
  lblCount->setText(QStringLiteral("(%1/%2)").arg(shown_ + 1).arg(count));
}

int TfrmImageView::GetPageNumber() const {
  if (view_.pages.empty()) return 0;
  return PageNumberOfMarkup(view_.pages[static_cast<size_t>(std::clamp(shown_, 0, int(view_.pages.size()) - 1))]);
}

void TfrmImageView::TickMain() {
  tmrMain->stop();
  const int count = static_cast<int>(view_.pages.size());
  if (count == 0) return;
  if (next_ < 0 || next_ >= count) next_ = 0;
  ShowPage(next_);
  const int time = static_cast<size_t>(next_) < view_.times.size() ? view_.times[static_cast<size_t>(next_)] : 1;
  // A page of no time still lets the window breathe.
  tmrMain->setInterval(std::max(1, time));
  next_ = (next_ + 1) % count;
  if (!manualTicks_) tmrMain->start();
}

void TfrmImageView::Play() {
  if (playing_) return;
  tmrMM->stop();
  ShowPage(0);
  // Nothing to play: no page has a time to wait for.
  if (view_.times.empty()) return;
  start_ = clock_();
  previous_ = 0;
  playing_ = true;
  if (!manualTicks_) tmrMM->start();
  UpdateActions();
}

void TfrmImageView::TickMM() {
  if (!playing_) {
    tmrMM->stop();
    return;
  }
  const int64_t elapsed = clock_() - start_;
  const MixTick tick = MediaMixTick(view_.times, shown_, previous_, elapsed);
  previous_ = elapsed;
  if (tick.show >= 0) ShowPage(tick.show);
  if (tick.stop) StopPlaying();
}

void TfrmImageView::StopPlaying() {
  tmrMM->stop();
  if (!playing_) return;
  playing_ = false;
  UpdateActions();
}

void TfrmImageView::UpdateActions() {
  const bool several = view_.pages.size() > 1;
  actNext->setEnabled(several);
  actPrev->setEnabled(several);
  actPlay->setEnabled(!playing_);
}

void TfrmImageView::AnswerPicture(const std::string& name, QImage& bmp, std::string& headers) {
  if (!list_) return;
  const ViewerPictureCache::Source& source = cache_.GetSource(*list_, name);
  headers = source.headers;
  if (source.picture.IsNull()) return;
  const QSize size = ZoomedSize(source.picture.Size(), Zoom(), KMailEdit1->size());
  if (size == source.picture.Size()) {
    bmp = cache_.Get(*list_, name).bitmap;
    return;
  }
  // Nothing to draw in an editor of no size.
  if (size.isEmpty()) return;
  Scaled& scaled = scaled_[name];
  if (scaled.size != size || scaled.bitmap.isNull()) {
    scaled.size = size;
    // A photo is decoded at the scale the size needs, then stretched the
    // rest of the way without smoothing and made 24 bits.
    const QImage picture = source.picture.Scaled(size, Qt::FastTransformation);
    if (picture.isNull())
      DrawBrokenImage(scaled.bitmap);
    else
      scaled.bitmap = picture.convertToFormat(QImage::Format_RGB888);
  }
  bmp = scaled.bitmap;
}

void TfrmImageView::EditorResized() {
  if (view_.content == ViewerContent::MediaMix) {
    const int side = std::max(0, (KMailEdit1->width() - KMailEdit1->TextWidth(kScreenLine)) / 2);
    if (KMailEdit1->Margin().Left() != side) KMailEdit1->Margin().SetLeft(side);
    if (KMailEdit1->Margin().Right() != side) KMailEdit1->Margin().SetRight(side);
  }
  // A picture fitted to the window follows its size.
  if (built_ && Zoom() == ViewerZoom::Fit && pnlZoom->isVisibleTo(this) && !view_.pages.empty())
    ShowPage(shown_);
}

bool TfrmImageView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == KMailEdit1 && event->type() == QEvent::Resize) EditorResized();
  return TPlacedDialog::eventFilter(watched, event);
}

void TfrmImageView::showEvent(QShowEvent* event) {
  TPlacedDialog::showEvent(event);
  if (built_) return;
  BuildPages();
  // The buttons take the keys; no caret stands over the picture.
  (pickMode_ ? pnlDialog : pnlView)->findChild<QPushButton*>()->setFocus();
}

void TfrmImageView::done(int result) {
  tmrMain->stop();
  StopPlaying();
  TPlacedDialog::done(result);
}

bool IsViewableAttachment(std::string_view name) {
  const int kind = MediaFileKind(name);
  return kind == kMediaBitmap || kind == kMediaJpeg || kind == kMediaMixCtrl || kind == kMediaFlm;
}

int ViewableRow(const AttachmentList& list, const std::vector<int>& selected) {
  if (selected.size() != 1 || selected[0] < 0 || static_cast<size_t>(selected[0]) >= list.Count()) return -1;
  return IsViewableAttachment(list[static_cast<size_t>(selected[0])].name) ? selected[0] : -1;
}

void ShowAttachmentViewer(QWidget* owner, const AttachmentList& list, int index) {
  TfrmImageView view(owner);
  view.SetAttachList(&list);
  view.SetAttachIndex(index);
  view.exec();
}

int PickPicturePage(QWidget* owner, const AttachmentList& list, int index) {
  TfrmImageView view(owner);
  view.SetAttachList(&list);
  view.SetAttachIndex(index);
  view.SetPickMode(true);
  if (view.exec() != QDialog::Accepted) return 0;
  return view.GetPageNumber() + 1;
}

}  // namespace qv
