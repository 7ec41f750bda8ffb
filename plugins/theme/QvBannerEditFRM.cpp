#include "plugins/theme/QvBannerEditFRM.h"

#include "controls/AnimationImage.h"
#include "controls/MultiButton.h"
#include "core/ui/FormPosition.h"
#include "core/data/MailStore.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/data/TextFunctions.h"
#include "core/ui/Theme.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"
#include "core/data/HostCallbacks.h"
#include "plugins/theme/BannerListBox.h"
#include "plugins/theme/BannerPreview.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>
#include <sstream>
#include <new>

namespace qv {
namespace {

constexpr char kIdent[] = "BannerEdit";
// The theme name is already used by another theme.
constexpr int32_t kWarnNameInUse = 5001;

const char* const kIntervals[] = {"0.01", "0.03", "0.05", "0.1", "0.5", "1", "2", "3", "5", "10"};

std::filesystem::path ToPath(const QString& name) { return std::filesystem::path(QFile::encodeName(name).toStdString()); }

// The blanks and control characters TrimText takes off, on a typed text.
QString TrimBlanks(const QString& text) {
  qsizetype from = 0, to = text.size();
  while (from < to && text[from].unicode() <= 0x20) ++from;
  while (to > from && text[to - 1].unicode() <= 0x20) --to;
  return text.mid(from, to - from);
}

// A box's text as CP932: the bytes it was given while the user left it alone.
std::string BoxBytes(const QLineEdit* box, const std::string& loaded) {
  return box->text() == ToQString(loaded) ? loaded : FromQString(box->text());
}

// Reads a picture file whole through the image library; a null image when it
// is no picture of its kind.
QImage ReadPicture(const std::filesystem::path& fileName) {
  try {
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes)) return {};
    std::istringstream in(std::move(bytes));
    TQkDIB dib;
    if (SameTextNoCase(fileName.extension().string(), ".BMP"))
      dib.LoadFromStream(in);
    else
      LoadJPEGFromStream(in, dib);
    return dib.ToQImage();
  } catch (const EQkException&) {
    return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
}

QImage BlankFrame() {
  QImage frame(kBannerFrameWidth, kBannerFrameHeight, QImage::Format_RGB32);
  frame.fill(Qt::white);
  return frame;
}

}  // namespace

TfrmBannerEdit::TfrmBannerEdit(QWidget* parent) : QDialog(parent) {
  CreateComponents();
  UpdateActions();
}

TfrmBannerEdit::~TfrmBannerEdit() = default;

void TfrmBannerEdit::CreateComponents() {
  setObjectName("frmBannerEdit");
  setWindowTitle(QStringLiteral("VeoQuorvel - テーマ編集"));
  resize(460, 400);

  auto action = [this](const char* name, const char* caption) {
    auto* a = new QAction(QString::fromUtf8(caption), this);
    a->setObjectName(name);
    return a;
  };
  actAdd = action("actAdd", "追加");
  actSwap = action("actSwap", "変更");
  actDel = action("actDel", "削除");
  actOK = action("actOK", "OK");
  connect(actAdd, &QAction::triggered, this, &TfrmBannerEdit::actAddExecute);
  connect(actSwap, &QAction::triggered, this, &TfrmBannerEdit::actSwapExecute);
  connect(actDel, &QAction::triggered, this, &TfrmBannerEdit::actDelExecute);
  connect(actOK, &QAction::triggered, this, &TfrmBannerEdit::actOKExecute);

  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  lstImage = new TBannerListBox(this);
  lstImage->setObjectName("lstImage");
  lstImage->SetItemHeight(54);
  lstImage->SetRowDragging(true);
  lstImage->setMinimumWidth(240);
  lstImage->SetOnDrawItem([this](QPainter& p, const QRect& r, int row, bool selected) {
    lstImageDrawItem(p, r, row, selected);
  });
  lstImage->setContextMenuPolicy(Qt::CustomContextMenu);
  popImage = new QMenu(this);
  popImage->setObjectName("popImage");
  popImage->addActions({actSwap, actDel});
  connect(lstImage, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popImage->popup(lstImage->viewport()->mapToGlobal(pos)); });
  connect(lstImage, &QListWidget::currentRowChanged, this, [this] { UpdateActions(); });
  connect(lstImage, &TBannerListBox::rowDropped, this, [this](int from, int to) { MoveFrame(from, to); });
  left->addWidget(lstImage, 1);
  auto* frameButtons = new QHBoxLayout;
  auto button = [this](const char* name, QAction* a) {
    auto* b = new TMultiButton(this);
    b->setObjectName(name);
    b->SetParentColor(true);  // faces in the window's colour
    b->setFixedHeight(25);
    if (a) b->SetAction(a);
    return b;
  };
  btnAdd = button("btnAdd", actAdd);
  btnEdit = button("btnEdit", actSwap);
  btnDelete = button("btnDelete", actDel);
  frameButtons->addWidget(btnAdd);
  frameButtons->addWidget(btnEdit);
  frameButtons->addWidget(btnDelete);
  left->addLayout(frameButtons);
  layout->addLayout(left, 1);

  auto* right = new QVBoxLayout;
  auto* fields = new QGridLayout;
  edtName = new QLineEdit(this);
  edtName->setObjectName("edtName");
  edtComment = new QLineEdit(this);
  edtComment->setObjectName("edtComment");
  cboTime = new QComboBox(this);
  cboTime->setObjectName("cboTime");
  for (const char* interval : kIntervals) cboTime->addItem(QString::fromLatin1(interval));
  cboTime->setCurrentIndex(-1);
  chkUser = new QCheckBox(QStringLiteral("編集可"), this);
  chkUser->setObjectName("chkUser");
  chkUser->setChecked(true);
  chkUser->setVisible(false);
  fields->addWidget(new QLabel(QStringLiteral("テーマ名"), this), 0, 0);
  fields->addWidget(edtName, 0, 1, 1, 2);
  fields->addWidget(new QLabel(QStringLiteral("ふきだし"), this), 1, 0);
  fields->addWidget(edtComment, 1, 1, 1, 2);
  fields->addWidget(new QLabel(QStringLiteral("切替間隔"), this), 2, 0);
  fields->addWidget(cboTime, 2, 1);
  fields->addWidget(new QLabel(QStringLiteral("秒"), this), 2, 2);
  fields->addWidget(chkUser, 3, 1, 1, 2);
  right->addLayout(fields);
  connect(edtName, &QLineEdit::textChanged, this, [this] { UpdateActions(); });
  connect(cboTime, &QComboBox::activated, this, [this] {
    UpdateActions();
    ShowPreview();
  });

  const BannerPreview preview = NewBannerPreview(this);
  pnlPreview = preview.box;
  pnlWhite = preview.white;
  aniPreview = preview.animation;
  right->addWidget(pnlPreview);
  right->addStretch(1);

  auto* answer = new QHBoxLayout;
  btnOK = button("btnOK", actOK);
  btnOK->setDefault(true);
  btnCancel = button("btnCancel", nullptr);
  btnCancel->SetCaption(QStringLiteral("ｷｬﾝｾﾙ"));
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  answer->addWidget(btnOK);
  answer->addWidget(btnCancel);
  right->addLayout(answer);
  layout->addLayout(right);
}

void TfrmBannerEdit::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    LoadFormPosition(this, kPlaceCentre, 0, kIdent);
    ShowPreview();
    UpdateActions();
  }
  QDialog::showEvent(event);
}

void TfrmBannerEdit::done(int result) {
  aniPreview->Stop();
  SaveFormPosition(this, kIdent);
  QDialog::done(result);
}

// ---- texts ----

void TfrmBannerEdit::SetThemeName(std::string_view name) {
  loadedName_ = std::string(name);
  edtName->setText(ToQString(name));
}

std::string TfrmBannerEdit::ThemeName() const { return BoxBytes(edtName, loadedName_); }

void TfrmBannerEdit::SetBalloon(std::string_view balloon) {
  loadedBalloon_ = std::string(balloon);
  edtComment->setText(ToQString(balloon));
}

std::string TfrmBannerEdit::Balloon() const { return BoxBytes(edtComment, loadedBalloon_); }

void TfrmBannerEdit::SetInterval(std::string_view interval) {
  cboTime->setCurrentIndex(cboTime->findText(ToQString(interval), Qt::MatchExactly | Qt::MatchCaseSensitive));
  UpdateActions();
}

std::string TfrmBannerEdit::Interval() const {
  return cboTime->currentIndex() < 0 ? std::string() : FromQString(cboTime->currentText());
}

void TfrmBannerEdit::SetEditable(bool editable) { chkUser->setChecked(editable); }
bool TfrmBannerEdit::Editable() const { return chkUser->isChecked(); }
void TfrmBannerEdit::SetEditMode(bool on) { chkUser->setVisible(on); }

// ---- frames ----

void TfrmBannerEdit::ClearFrames() {
  frames_.clear();
  lstImage->clear();
}

void TfrmBannerEdit::SplitFrames(const QImage& strip) {
  ClearFrames();
  const int count = strip.isNull() ? 0 : strip.height() / kBannerFrameHeight;
  for (int n = 0; n < count; ++n) {
    QImage frame = BlankFrame();
    // Only the part of the block that lies inside the strip is copied.
    const QRect block(0, kBannerFrameHeight * n, kBannerFrameWidth, kBannerFrameHeight);
    const QRect inside = block.intersected(strip.rect());
    if (!inside.isEmpty()) {
      QPainter p(&frame);
      p.drawImage(inside.topLeft() - block.topLeft(), strip, inside);
    }
    frames_.push_back(std::move(frame));
    lstImage->addItem(QString());
  }
  FramesChanged();
}

void TfrmBannerEdit::JoinFrames(QImage& strip) const {
  strip = QImage(kBannerFrameWidth, kBannerFrameHeight * FrameCount(), QImage::Format_RGB32);
  if (strip.isNull()) return;
  strip.fill(Qt::white);
  QPainter p(&strip);
  for (int n = 0; n < FrameCount(); ++n) p.drawImage(0, kBannerFrameHeight * n, frames_[static_cast<size_t>(n)]);
}

bool TfrmBannerEdit::LoadFrame(QImage& frame, const std::filesystem::path& fileName) {
  const QImage picture = ReadPicture(fileName);
  if (picture.isNull()) {
    ShowMessageBox(this, BoxKind::Warning,
                   cp932::FromUtf8("画像ファイルを読み込めませんでした。\n") +
                       FromQString(QFile::decodeName(QByteArray::fromStdString(fileName.string()))));
    return false;
  }
  QImage loaded = BlankFrame();
  {
    QPainter p(&loaded);
    p.drawImage(QPoint(0, 0), picture, QRect(0, 0, kBannerFrameWidth, kBannerFrameHeight).intersected(picture.rect()));
  }
  frame = std::move(loaded);
  lstImage->viewport()->update();
  return true;
}

void TfrmBannerEdit::MoveFrame(int from, int to) {
  if (from < 0 || from >= FrameCount() || to < 0 || to >= FrameCount()) return;
  QImage moved = std::move(frames_[static_cast<size_t>(from)]);
  frames_.erase(frames_.begin() + from);
  frames_.insert(frames_.begin() + to, std::move(moved));
  lstImage->setCurrentRow(to);
  FramesChanged();
}

void TfrmBannerEdit::FramesChanged() {
  lstImage->viewport()->update();
  UpdateActions();
  ShowPreview();
}

void TfrmBannerEdit::lstImageDrawItem(QPainter& painter, const QRect& rect, int row, bool selected) const {
  const QPalette& pal = lstImage->palette();
  painter.fillRect(rect, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
  if (row < 0 || row >= FrameCount()) return;
  painter.drawImage(rect.topLeft() + QPoint(2, 2), frames_[static_cast<size_t>(row)]);
  painter.setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
  const QString text = row == 0 ? QStringLiteral("待機画像") : QString::number(row) + QStringLiteral("コマ目");
  painter.drawText(QRect(rect.left() + 132, rect.top() + 2, rect.width() - 134, rect.height() - 2),
                   Qt::AlignLeft | Qt::AlignTop, text);
}

std::filesystem::path TfrmBannerEdit::ChooseFile() {
  QFileDialog dialog(this, QString(), QString(),
                     QStringLiteral("すべてのファイル (*.jpg *.bmp);;JPEG イメージファイル (*.jpg);;ビットマップ (*.bmp)"));
  dialog.setObjectName("OpenDialog1");
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return ToPath(dialog.selectedFiles().front());
}

// ---- actions ----

void TfrmBannerEdit::UpdateActions() {
  const bool selected = lstImage->currentRow() >= 0 && lstImage->currentRow() < FrameCount();
  actAdd->setEnabled(FrameCount() < kMaxFrames);
  actSwap->setEnabled(selected);
  actDel->setEnabled(selected);
  actOK->setEnabled(FrameCount() >= 2 && !TrimBlanks(edtName->text()).isEmpty() && cboTime->currentIndex() >= 0);
}

void TfrmBannerEdit::actAddExecute() {
  if (FrameCount() >= kMaxFrames) return;
  const std::filesystem::path file = ChooseFile();
  if (file.empty()) return;
  QImage frame;
  if (!LoadFrame(frame, file)) return;
  frames_.push_back(std::move(frame));
  lstImage->addItem(QString());
  lstImage->setCurrentRow(FrameCount() - 1);
  FramesChanged();
}

void TfrmBannerEdit::actSwapExecute() {
  const int row = lstImage->currentRow();
  if (row < 0 || row >= FrameCount()) return;
  const std::filesystem::path file = ChooseFile();
  if (file.empty()) return;
  if (!LoadFrame(frames_[static_cast<size_t>(row)], file)) return;
  FramesChanged();
}

void TfrmBannerEdit::actDelExecute() {
  const int row = lstImage->currentRow();
  if (row < 0 || row >= FrameCount()) return;
  frames_.erase(frames_.begin() + row);
  delete lstImage->takeItem(row);
  FramesChanged();
}

void TfrmBannerEdit::ShowPreview() {
  ClearBannerStrip(*aniPreview);
  if (FrameCount() <= 1) return;
  QImage strip;
  JoinFrames(strip);
  ShowBannerStrip(*aniPreview, strip, Interval(), Balloon());
  aniPreview->Start();
}

void TfrmBannerEdit::actOKExecute() {
  UpdateActions();
  if (!actOK->isEnabled()) return;
  const std::string name = TrimText(ThemeName());
  const QString trimmed = TrimBlanks(edtName->text());
  if (trimmed != edtName->text()) {
    loadedName_ = name;
    edtName->setText(trimmed);
  }
  const std::string fileName = ReplaceForbiddenChars(name);
  for (const std::string& used : NamesInUse) {
    if (SameTextNoCase(used, fileName)) {
      CallHostParam(QV_PARAM_WARNING, kWarnNameInUse);
      edtName->setFocus();
      return;
    }
  }
  // On disk the name is UTF-8, which may be longer than its CP932 text.
  if (!NameFitsOnDisk(ThemeFileName(name))) {
    ShowMessageBox(this, BoxKind::Warning, Sjis("テーマ名が長すぎます。"));
    edtName->setFocus();
    return;
  }
  done(kResultOK);
}

}  // namespace qv
