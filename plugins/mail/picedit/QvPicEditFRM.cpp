#include "plugins/mail/picedit/QvPicEditFRM.h"

#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <array>
#include <sstream>

#include "core/ui/MessageBox.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "plugins/mail/bitmapedit/BitmapRaster.h"
#include "plugins/mail/picedit/GridPictBtn.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/WindowText.h"
#include "plugins/mail/bitmapedit/QvBitmapEditFRM.h"
#include "plugins/mail/picedit/QvPicResizeFRM.h"
#include "plugins/mail/bitmapedit/UserDrawPanel.h"

namespace qv {

namespace {

constexpr const char* kPictureFilter =
    "すべてのファイル (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG イメージファイル (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
    "ビットマップ (*.bmp)|*.bmp";
// The seconds the wait and loop lists offer, in milliseconds.
constexpr std::array<int, 19> kSecondsMs = {100,  200,  300,  400,  500,  600,  700,  800,  900, 1000,
                                            2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
constexpr int kDefaultSecondsMs = 500;
constexpr int kFirstPageCount = 2, kLastPageCount = 8;

QString SecondsText(int ms) { return ms < 1000 ? QStringLiteral("0.%1").arg(ms / 100) : QString::number(ms / 1000); }

const char* KindName(int kind) { return kind == kPaneSlide ? "SLIDE" : kind == kPaneVoid ? "VOID" : "PLAIN"; }

// The list entry of a value, -1 when the list has none.
int SecondsIndex(int ms) {
  for (size_t i = 0; i < kSecondsMs.size(); ++i)
    if (kSecondsMs[i] == ms) return int(i);
  return -1;
}

bool EndsWithBmp(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return name.size() >= 4 && UpperAscii(name.substr(name.size() - 4)) == ".BMP";
}

}  // namespace

EditorPicture OpenEditorPicture(const std::filesystem::path& path) {
  EditorPicture opened;
  if (EndsWithBmp(path)) {
    if (std::optional<QImage> bitmap = LoadPictureFile(path)) opened.picture = TScaledPicture(*bitmap);
    return opened;
  }
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return opened;
  try {
    TScaledPicture jpeg = TScaledPicture::FromJpeg(std::move(bytes));
    if (jpeg.Check()) opened.picture = std::move(jpeg);
  } catch (const EJPEGTooLarge& e) {
    opened.tooLarge = QSize(e.Size.Width, e.Size.Height);
  } catch (const std::exception&) {
  }
  return opened;
}

std::optional<QImage> LoadEditorPicture(const std::filesystem::path& path) {
  const EditorPicture opened = OpenEditorPicture(path);
  if (!opened.picture) return std::nullopt;
  QImage picture = MakeRasterPicture(opened.picture->Full());
  if (picture.isNull()) return std::nullopt;
  return picture;
}

bool EditPicture(QWidget* parent, const QImage& picture, std::string_view headers, std::string& bytes,
                 std::string& newHeaders) {
  TfrmPicEdit form(parent);
  form.SetPicture(picture);
  form.SetPartHeaders(headers);
  if (form.exec() != QDialog::Accepted) return false;
  try {
    TQkDIB dib;
    dib.Assign(form.Picture());
    std::ostringstream out(std::ios::binary);
    dib.SaveToStream(out);
    bytes = out.str();
  } catch (const std::exception&) {
    return false;
  }
  newHeaders = form.GetPartHeaders();
  return true;
}

TfrmPicEdit::TfrmPicEdit(QWidget* parent) : TPlacedDialog(parent, "PicEdit") {
  setObjectName(QStringLiteral("frmPicEdit"));
  setWindowTitle(Q("VeoQuorvel - 画像編集"));
  BuildLayout();
  resize(660, 420);
  QImage white(96, 72, QImage::Format_RGB32);
  white.fill(Qt::white);
  SetPicture(white);
}

TfrmPicEdit::~TfrmPicEdit() = default;

void TfrmPicEdit::BuildLayout() {
  auto* outer = new QHBoxLayout(this);

  scbPicture = new QScrollArea(this);
  scbPicture->setObjectName(QStringLiteral("scbPicture"));
  scbPicture->setBackgroundRole(QPalette::Dark);
  scbPicture->setAlignment(Qt::AlignCenter);
  // Room for a six-page picture at twice its size.
  scbPicture->setMinimumSize(2 * kDiv6Width + 8, 2 * kDiv6Height + 8);
  grdPicture = new TGridPictBtn(scbPicture);
  grdPicture->setObjectName(QStringLiteral("grdPicture"));
  grdPicture->SetDrawText3D(true);
  grdPicture->SetDrawTextFormat(TGridPictBtn::TDraeTextFormat(TGridPictBtn::dtLEFT | TGridPictBtn::dtTOP |
                                                              TGridPictBtn::dtSINGLELINE | TGridPictBtn::dtNOPREFIX));
  TFont captions = grdPicture->GetFont();
  captions.Color = clNavy;
  captions.Font.setBold(true);
  grdPicture->SetFont(captions);
  scbPicture->setWidget(grdPicture);
  // A picture larger than the area is shown fitted to it, as the area's size changes.
  scbPicture->viewport()->installEventFilter(this);
  auto* left = new QVBoxLayout;
  left->addWidget(scbPicture, 1);
  lblSize = new QLabel(this);
  lblSize->setObjectName(QStringLiteral("lblSize"));
  left->addWidget(lblSize);
  outer->addLayout(left, 1);

  auto* right = new QVBoxLayout;
  auto* mode = new QGroupBox(Q("形式"), this);
  auto* modeBox = new QVBoxLayout(mode);
  chkDiv6 = new QCheckBox(Q("1/6画像"), mode);
  chkCBMP = new QCheckBox(Q("ページ種別を指定"), mode);
  chkAnimation = new QCheckBox(Q("準動画"), mode);
  modeBox->addWidget(chkDiv6);
  auto* kinds = new QGridLayout;
  kinds->setContentsMargins(16, 0, 0, 0);
  btnPlain = new QPushButton(QStringLiteral("PLAIN"), mode);
  btnSlide = new QPushButton(QStringLiteral("SLIDE"), mode);
  btnVoid = new QPushButton(QStringLiteral("VOID"), mode);
  btnKind = new QPushButton(Q("種別変更"), mode);
  kinds->addWidget(chkCBMP, 0, 0, 1, 2);
  kinds->addWidget(btnPlain, 1, 0);
  kinds->addWidget(btnSlide, 1, 1);
  kinds->addWidget(btnVoid, 2, 0);
  kinds->addWidget(btnKind, 2, 1);
  modeBox->addLayout(kinds);
  modeBox->addWidget(chkAnimation);
  auto* lists = new QGridLayout;
  lists->setContentsMargins(16, 0, 0, 0);
  cmbPageCount = new QComboBox(mode);
  cmbPageCount->setObjectName(QStringLiteral("cmbPageCount"));
  for (int n = kFirstPageCount; n <= kLastPageCount; ++n) cmbPageCount->addItem(QString::number(n));
  cmbWait = new QComboBox(mode);
  cmbWait->setObjectName(QStringLiteral("cmbWait"));
  cmbLoop = new QComboBox(mode);
  cmbLoop->setObjectName(QStringLiteral("cmbLoop"));
  for (int ms : kSecondsMs) {
    cmbWait->addItem(SecondsText(ms));
    cmbLoop->addItem(SecondsText(ms));
  }
  lists->addWidget(new QLabel(Q("コマ数"), mode), 0, 0);
  lists->addWidget(cmbPageCount, 0, 1);
  lists->addWidget(new QLabel(Q("表示間隔(秒)"), mode), 1, 0);
  lists->addWidget(cmbWait, 1, 1);
  lists->addWidget(new QLabel(Q("ループ間隔(秒)"), mode), 2, 0);
  lists->addWidget(cmbLoop, 2, 1);
  modeBox->addLayout(lists);
  right->addWidget(mode);

  btnEdit = new QPushButton(Q("画像編集"), this);
  btnLoad = new QPushButton(Q("画像読込"), this);
  btnResize = new QPushButton(Q("サイズ変更"), this);
  right->addWidget(btnEdit);
  right->addWidget(btnLoad);
  right->addWidget(btnResize);
  right->addStretch(1);
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(Q("キャンセル"), this);
  btnOK->setDefault(true);
  right->addWidget(btnOK);
  right->addWidget(btnCancel);
  outer->addLayout(right);

  connect(chkDiv6, &QCheckBox::clicked, this, &TfrmPicEdit::SetPageMode);
  connect(chkAnimation, &QCheckBox::clicked, this, &TfrmPicEdit::SetAnimationMode);
  connect(chkCBMP, &QCheckBox::clicked, this, &TfrmPicEdit::SetPageKindsOn);
  connect(btnPlain, &QPushButton::clicked, this, [this] { SetPageKind(kPanePlain); });
  connect(btnSlide, &QPushButton::clicked, this, [this] { SetPageKind(kPaneSlide); });
  connect(btnVoid, &QPushButton::clicked, this, [this] { SetPageKind(kPaneVoid); });
  connect(btnKind, &QPushButton::clicked, this, &TfrmPicEdit::CyclePageKind);
  connect(btnEdit, &QPushButton::clicked, this, &TfrmPicEdit::EditPicture);
  connect(btnLoad, &QPushButton::clicked, this, &TfrmPicEdit::LoadPicture);
  connect(btnResize, &QPushButton::clicked, this, &TfrmPicEdit::ResizePicture);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(grdPicture, &TGridPictBtn::OnCellClick, this, [this] { UpdateCommands(); });
  connect(grdPicture, &TGridPictBtn::OnCellDblClick, this, [this] { EditPicture(); });
}

void TfrmPicEdit::done(int result) {
  if (result == Accepted) Finish();
  TPlacedDialog::done(result);
}

bool TfrmPicEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scbPicture->viewport() && event->type() == QEvent::Resize && !shown_.isNull()) ShowPicture();
  return TPlacedDialog::eventFilter(watched, event);
}

void TfrmPicEdit::SetPicture(const QImage& picture) {
  if (picture.isNull()) {
    QImage white(96, 72, QImage::Format_RGB32);
    white.fill(Qt::white);
    picture_ = TScaledPicture(white);
  } else {
    picture_ = TScaledPicture(MakeRasterPicture(picture));
  }
  NeitherMode();
}

QImage TfrmPicEdit::TopLeft(int width, int height) const {
  const QSize size = picture_.Size();
  return picture_.Decode(8, QRect(0, 0, std::min(size.width(), width), std::min(size.height(), height)));
}

void TfrmPicEdit::SetPartHeaders(std::string_view headers) {
  const TDXPictureInfo info = ParseDXHeaders(picture_.Size().width(), picture_.Size().height(), headers);
  if (info.IsDiv6) {
    SetPageMode(true);
    pages_.Assign(info);
    chkCBMP->setChecked(info.HasPageLayout);
    UpdateGrid();
    UpdateCommands();
  } else if (info.IsAnimation) {
    // A value that no list holds leaves that list as it was.
    if (info.PageCount >= kFirstPageCount && info.PageCount <= kLastPageCount)
      cmbPageCount->setCurrentIndex(info.PageCount - kFirstPageCount);
    if (const int wait = SecondsIndex(info.WaitTime); wait >= 0) cmbWait->setCurrentIndex(wait);
    if (const int loop = SecondsIndex(info.LoopTime); loop >= 0) cmbLoop->setCurrentIndex(loop);
    chkAnimation->setChecked(true);
    SetAnimationMode(true);
  } else {
    NeitherMode();
  }
}

std::string TfrmPicEdit::GetPartHeaders() const {
  TDXPictureInfo info;
  if (PageMode()) {
    info.IsDiv6 = true;
    info.HasPageLayout = PageKindsOn();
    if (info.HasPageLayout) pages_.Fill(info);
  } else if (AnimationMode()) {
    info.IsAnimation = true;
    info.PageCount = std::max(cmbPageCount->currentIndex(), 0) + kFirstPageCount;
    info.WaitTime = kSecondsMs[size_t(std::max(cmbWait->currentIndex(), 0))];
    info.LoopTime = kSecondsMs[size_t(std::max(cmbLoop->currentIndex(), 0))];
  }
  return BuildDXHeaders(info);
}

bool TfrmPicEdit::PageMode() const { return chkDiv6->isChecked(); }
bool TfrmPicEdit::AnimationMode() const { return chkAnimation->isChecked(); }
bool TfrmPicEdit::PageKindsOn() const { return PageMode() && chkCBMP->isChecked(); }

int TfrmPicEdit::CurrentPage() const {
  return PageMode() ? grdPicture->CellIndexA() * 3 + grdPicture->CellIndexB() : 0;
}

void TfrmPicEdit::SelectPage(int page) {
  if (!PageMode() || page < 0 || page >= kPageCount) return;
  grdPicture->SetCellIndexA(page / 3);
  grdPicture->SetCellIndexB(page % 3);
  UpdateCommands();
}

void TfrmPicEdit::ClearLists() {
  for (QComboBox* list : {cmbPageCount, cmbWait, cmbLoop}) {
    list->setCurrentIndex(-1);
    list->setEnabled(false);
  }
}

void TfrmPicEdit::NeitherMode() {
  for (QCheckBox* box : {chkDiv6, chkCBMP, chkAnimation}) box->setChecked(false);
  chkDiv6->setEnabled(true);
  chkCBMP->setEnabled(false);
  chkAnimation->setEnabled(true);
  ClearLists();
  pages_.Reset();
  ShowPicture();
}

void TfrmPicEdit::SetPageMode(bool on) {
  if (!on) {
    NeitherMode();
    return;
  }
  if (picture_.Size() != QSize(kDiv6Width, kDiv6Height)) {
    if (AskWarning(this, Sjis("画像サイズを1/6画像サイズ(192×130)に変更してもよろしいですか？"), false) != Answer::Yes) {
      chkDiv6->setChecked(false);
      return;
    }
    // Only the part that stays is decoded of a photo.
    const QImage kept = MakeRasterPicture(TopLeft(kDiv6Width, kDiv6Height));
    QImage sized = NewPictureLike(kept, kDiv6Width, kDiv6Height, clWhite);
    DrawPicture(sized, QPoint(0, 0), kept);
    picture_ = TScaledPicture(sized);
  } else if (picture_.IsJpeg()) {
    picture_ = TScaledPicture(MakeRasterPicture(picture_.Full()));
  }
  chkDiv6->setChecked(true);
  chkCBMP->setEnabled(true);
  chkAnimation->setChecked(false);
  ClearLists();
  ShowPicture();
  SelectPage(0);
}

void TfrmPicEdit::SetAnimationMode(bool on) {
  if (!on) {
    NeitherMode();
    return;
  }
  chkAnimation->setChecked(true);
  for (QCheckBox* box : {chkDiv6, chkCBMP}) {
    box->setChecked(false);
    box->setEnabled(false);
  }
  pages_.Reset();
  for (QComboBox* list : {cmbPageCount, cmbWait, cmbLoop}) list->setEnabled(true);
  if (cmbPageCount->currentIndex() < 0) cmbPageCount->setCurrentIndex(0);
  for (QComboBox* list : {cmbWait, cmbLoop})
    if (list->currentIndex() < 0) list->setCurrentIndex(SecondsIndex(kDefaultSecondsMs));
  ShowPicture();
}

void TfrmPicEdit::SetPageKindsOn(bool on) {
  chkCBMP->setChecked(on && PageMode());
  UpdateGrid();
  UpdateCommands();
}

void TfrmPicEdit::SetPageKind(int kind) {
  if (!PageKindsOn() || !pages_.CanSetKind(CurrentPage(), kind)) return;
  pages_.SetKind(CurrentPage(), kind);
  UpdateGrid();
  UpdateCommands();
}

void TfrmPicEdit::CyclePageKind() {
  if (!PageKindsOn()) return;
  pages_.CycleKind(CurrentPage());
  UpdateGrid();
  UpdateCommands();
}

void TfrmPicEdit::ShowPicture() {
  const QSize size = picture_.Size();
  // Room in the area before it is laid out: what it is made for.
  const QSize room = scbPicture->viewport()->isVisible()
                         ? scbPicture->viewport()->size() - QSize(4, 4)
                         : QSize(2 * kDiv6Width, 2 * kDiv6Height);
  if (size.width() <= kDiv6Width && size.height() <= kDiv6Height) {
    // Small pictures are shown twice their size, in the handset's pixels.
    shown_ = QImage();
    grdPicture->SetPicture(picture_.Full());
    grdPicture->resize(size * 2);
  } else if (size.width() <= room.width() && size.height() <= room.height()) {
    shown_ = QImage();
    grdPicture->SetPicture(picture_.Full());
    grdPicture->resize(size);
  } else {
    // Larger ones are fitted to the area, a photo decoded at that size only.
    const QSize fitted = size.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (shown_.size() != fitted) {
      shown_ = picture_.Scaled(fitted, Qt::SmoothTransformation);
      if (shown_.isNull()) DrawBrokenImage(shown_);
    }
    grdPicture->SetPicture(shown_);
    grdPicture->resize(fitted);
  }
  grdPicture->SetCols(PageMode() ? 2 : 1);
  grdPicture->SetRows(PageMode() ? 3 : 1);
  lblSize->setText(QStringLiteral("%1 × %2").arg(size.width()).arg(size.height()));
  UpdateGrid();
  UpdateCommands();
}

void TfrmPicEdit::UpdateGrid() {
  QStringList items;
  if (PageMode()) {
    static const char* const kDigits[kPageCount] = {"１", "２", "３", "４", "５", "６"};
    // Cells go left to right, then down; the left column holds pages 1-3.
    for (int cell = 0; cell < kPageCount; ++cell) {
      const int page = (cell % 2) * 3 + cell / 2;
      QString caption = Q(kDigits[page]);
      if (PageKindsOn()) caption += QLatin1Char(' ') + QLatin1String(KindName(pages_[page].kind));
      items << caption;
    }
  }
  grdPicture->SetItems(items);
}

void TfrmPicEdit::UpdateCommands() {
  const bool kinds = PageKindsOn();
  const int page = CurrentPage();
  btnPlain->setEnabled(kinds && pages_.CanSetKind(page, kPanePlain));
  btnSlide->setEnabled(kinds && pages_.CanSetKind(page, kPaneSlide));
  btnVoid->setEnabled(kinds && pages_.CanSetKind(page, kPaneVoid));
  btnKind->setEnabled(kinds);
}

void TfrmPicEdit::EditPicture() {
  TUserDrawDialog dialog(this);
  if (!PageMode()) {
    // The editor takes the top-left part it is limited to.
    dialog.SetBitMap(TopLeft(dialog.GetMaxWidth(), dialog.GetMaxHeight()));
    if (!dialog.Execute()) return;
    picture_ = TScaledPicture(MakeRasterPicture(dialog.GetBitMap()));
    ShowPicture();
    return;
  }
  const int page = CurrentPage();
  QImage pixels = picture_.Full();
  QImage part = pixels.copy(PageArea(page));
  if (PageKindsOn()) part = part.copy(0, 0, pages_[page].width, pages_[page].height);
  dialog.SetBitMap(part);
  dialog.SetMaxWidth(kPageWidth);
  dialog.SetMaxHeight(kPageHeight);
  if (!dialog.Execute()) return;
  const QSize size = PutPage(pixels, page, dialog.GetBitMap());
  picture_ = TScaledPicture(pixels);
  if (size != QSize(kPageWidth, kPageHeight)) chkCBMP->setChecked(true);
  if (PageKindsOn()) pages_.SetSize(page, size.width(), size.height());
  ShowPicture();
}

void TfrmPicEdit::LoadPicture() {
  const std::optional<std::filesystem::path> path = AskOpenFile(this, Sjis(kPictureFilter));
  if (!path) return;
  const EditorPicture loaded = OpenEditorPicture(*path);
  if (!loaded.picture) {
    const QString file = QFile::decodeName(QByteArray::fromStdString(path->string()));
    const QString why = loaded.tooLarge.isEmpty()
                            ? Q("画像ファイルを読み込めませんでした。")
                            : Q("画像が大きすぎるため読み込めませんでした。\n画像の大きさ: ") + PictureSizeText(loaded.tooLarge) +
                                  Q("\n読み込める大きさ: ") + PixelCountText(kMaxPicturePixels) + Q("まで");
    ShowMessageBox(this, BoxKind::Error, FromQString(why + QLatin1Char('\n') + file));
    return;
  }
  picture_ = *loaded.picture;
  shown_ = QImage();
  if (PageMode()) NeitherMode();
  ShowPicture();
}

void TfrmPicEdit::ResizePicture() {
  TfrmPicResize form(this);
  form.SetPicture(picture_);
  if (form.exec() != QDialog::Accepted) return;
  picture_ = TScaledPicture(MakeRasterPicture(form.Result()));
  shown_ = QImage();
  if (PageMode() && picture_.Size() != QSize(kDiv6Width, kDiv6Height)) NeitherMode();
  ShowPicture();
}

void TfrmPicEdit::Finish() {
  QImage pixels = MakeRasterPicture(picture_.Full());
  if (PageKindsOn())
    for (int page = 0; page < kPageCount; ++page)
      if (pages_[page].kind == kPaneVoid) FillBox(pixels, PageArea(page), TRasterInk::Brush(pixels, clWhite));
  ConvertBitmapViaDIB(pixels);
  picture_ = TScaledPicture(pixels);
}

}  // namespace qv
