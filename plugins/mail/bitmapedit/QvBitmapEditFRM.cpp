#include "plugins/mail/bitmapedit/QvBitmapEditFRM.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QValidator>
#include <QVBoxLayout>

#include <functional>

#include "controls/MultiButton.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "core/ui/ByteLengthValidator.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/WindowText.h"
#include "plugins/mail/bitmapedit/SelectButton.h"

namespace qv {

void TPaletteBox::mousePressEvent(QMouseEvent* event) {
  button_ = event->button();
  TColorBox::mousePressEvent(event);
}

TColorSample::TColorSample(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setFixedSize(24, 16);
}

void TColorSample::SetColor(TColor color) {
  color_ = color;
  update();
}

void TColorSample::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(contentsRect(), ToQColor(color_));
  painter.end();
  QFrame::paintEvent(event);
}

TStampPreview::TStampPreview(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setFixedSize(52, 52);
}

void TStampPreview::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void TStampPreview::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = contentsRect();
  painter.fillRect(area, Qt::white);
  if (!picture_.isNull()) {
    // Shrunk to fit when larger, never smoothed.
    const QSize size = picture_.width() <= area.width() && picture_.height() <= area.height()
                           ? picture_.size()
                           : picture_.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.left() + (area.width() - size.width()) / 2,
                       area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
    painter.drawImage(target, picture_);
  }
  painter.end();
  QFrame::paintEvent(event);
}

namespace {

constexpr int kGlyphSize = 16;
constexpr int kTextLimit = 240;
constexpr const char* kBitmapFilter = "ビットマップ (*.bmp)|*.bmp";

// The 16 colours of the palette, $00BBGGRR.
constexpr TColor kPalette[16] = {0x000000, 0xFFFFFF, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000,
                                 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00};

QString ColorCode(TColor color) { return QStringLiteral("$%1").arg(color, 6, 16, QLatin1Char('0')).toUpper(); }

// A tool button's glyph: count images side by side on magenta, the colour
// of the bottom-left pixel that the button takes as transparent.
QImage GlyphStrip(int count, const std::function<void(QPainter&, int)>& draw) {
  QImage strip(kGlyphSize * count, kGlyphSize, QImage::Format_RGB32);
  strip.fill(QColor(255, 0, 255));
  QPainter painter(&strip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (int i = 0; i < count; ++i) {
    painter.save();
    painter.translate(kGlyphSize * i, 0);
    draw(painter, i);
    painter.restore();
  }
  return strip;
}

const QColor kInk(0, 0, 0);
const QColor kFace(128, 160, 224);

void DrawGlyphText(QPainter& p, bool outlined) {
  QFont font = QApplication::font();
  font.setPixelSize(13);
  font.setBold(true);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  const QRect cell(0, 0, kGlyphSize, kGlyphSize);
  if (outlined) {
    p.setPen(kInk);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) p.drawText(cell.translated(dx, dy), Qt::AlignCenter, QStringLiteral("A"));
    p.setPen(Qt::white);
  } else {
    p.setPen(kInk);
  }
  p.drawText(cell, Qt::AlignCenter, QStringLiteral("A"));
}

void DrawMagnifier(QPainter& p, bool plus) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(Qt::white);
  p.drawEllipse(QRect(2, 2, 9, 9));
  p.setPen(QPen(kInk, 2));
  p.drawLine(10, 10, 13, 13);
  p.setPen(QPen(kInk, 1));
  p.drawLine(4, 6, 8, 6);
  if (plus) p.drawLine(6, 4, 6, 8);
}

}  // namespace

// ---- the component -----------------------------------------------------------

TUserDrawDialog::TUserDrawDialog(QObject* owner) : QObject(owner) {}

QImage FitPicture(const QImage& picture, int maxWidth, int maxHeight) {
  maxWidth = std::max(maxWidth, 1);
  maxHeight = std::max(maxHeight, 1);
  if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) {
    QImage blank(maxWidth, maxHeight, QImage::Format_RGB32);
    blank.fill(Qt::white);
    return blank;
  }
  if (picture.width() <= maxWidth && picture.height() <= maxHeight) return picture;
  return picture.copy(0, 0, std::min(picture.width(), maxWidth), std::min(picture.height(), maxHeight));
}

bool TUserDrawDialog::Execute() {
  TfrmBitmapEdit form(nullptr);
  ApplyLook(form, parent(), color_);
  form.SetFormColor(FormColor(parent(), color_));
  form.ChooseTool(form.sbSelect, 0);
  form.ShowTools(option_);
  form.SetDownButtonColor(downButtonColor_);
  form.SetWorkColor(workColor_);
  if (!initialDir_.isEmpty()) form.SetInitialDir(std::filesystem::path(QFile::encodeName(initialDir_).toStdString()));
  form.SetMaxSize(maxWidth_, maxHeight_);
  form.SetPicture(FitPicture(bitmap_, maxWidth_, maxHeight_));
  if (form.exec() != QDialog::Accepted) return false;
  bitmap_ = form.Picture();
  return true;
}

// ---- the window --------------------------------------------------------------

TfrmBitmapEdit::TfrmBitmapEdit(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmBitmapEdit"));
  setWindowTitle(Q("画像編集"));
  setAutoFillBackground(true);
  BuildTools();
  BuildMenus();
  BuildLayout();
  resize(600, 440);
  UpdatePalette();
  UpdateCommands();
}

TfrmBitmapEdit::~TfrmBitmapEdit() = default;

void TfrmBitmapEdit::BuildTools() {
  auto make = [this](const char* name, const char* hint, int count, int group, const QImage& glyph) {
    auto* button = new TSelectButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(Q(hint));
    button->SetButtonCount(count);
    button->SetGroup(group);
    button->SetGlyph(glyph);
    connect(button, &TSelectButton::OnChange, this, [this, button] { ToolChanged(button); });
    return button;
  };
  sbSelect = make("sbSelect", "選択", 1, 1, GlyphStrip(1, [](QPainter& p, int) {
                    p.setPen(QPen(kInk, 1, Qt::DashLine));
                    p.drawRect(2, 3, 11, 9);
                  }));
  sbPen = make("sbPen", "鉛筆", 1, 1, GlyphStrip(1, [](QPainter& p, int) {
                 p.setPen(QPen(QColor(220, 170, 40), 3));
                 p.drawLine(6, 9, 12, 3);
                 p.setPen(kInk);
                 p.drawLine(3, 12, 5, 10);
               }));
  sbLine = make("sbLine", "線", 2, 1, GlyphStrip(2, [](QPainter& p, int i) {
                  p.setPen(QPen(kInk, i == 0 ? 1 : 4));
                  p.drawLine(3, 12, 12, 3);
                  if (i == 1) {
                    p.setPen(QPen(Qt::white, 1));
                    p.drawLine(3, 12, 12, 3);
                  }
                }));
  sbEraser = make("sbEraser", "消しゴム", 1, 1, GlyphStrip(1, [](QPainter& p, int) {
                    p.setPen(kInk);
                    p.setBrush(QColor(250, 200, 210));
                    p.drawRect(3, 5, 10, 6);
                    p.setBrush(Qt::white);
                    p.drawRect(3, 5, 4, 6);
                  }));
  sbPaint = make("sbPaint", "塗りつぶし", 1, 1, GlyphStrip(1, [](QPainter& p, int) {
                   p.setPen(kInk);
                   p.setBrush(Qt::white);
                   p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(8, 2), QPoint(13, 7), QPoint(8, 12)}));
                   p.setBrush(QColor(40, 90, 220));
                   p.drawRect(11, 9, 2, 4);
                 }));
  sbRect = make("sbRect", "四角形", 4, 1, GlyphStrip(4, [](QPainter& p, int i) {
                  p.setPen(i == 2 ? Qt::NoPen : QPen(kInk));
                  p.setBrush(i == 1 || i == 2 ? QBrush(kFace) : Qt::NoBrush);
                  p.drawRect(2, 3, 11, 9);
                  if (i == 3) {
                    p.setPen(kInk);
                    p.drawRect(4, 5, 7, 5);
                  }
                }));
  sbEllipse = make("sbEllipse", "円形", 4, 1, GlyphStrip(4, [](QPainter& p, int i) {
                     p.setPen(i == 2 ? Qt::NoPen : QPen(kInk));
                     p.setBrush(i == 1 || i == 2 ? QBrush(kFace) : Qt::NoBrush);
                     p.drawEllipse(QRect(2, 3, 12, 10));
                     if (i == 3) {
                       p.setPen(kInk);
                       p.drawEllipse(QRect(4, 5, 8, 6));
                     }
                   }));
  sbText = make("sbText", "文字", 2, 1, GlyphStrip(2, [](QPainter& p, int i) { DrawGlyphText(p, i == 1); }));
  sbZoom = make("sbZoom", "拡大・縮小", 2, 1, GlyphStrip(2, [](QPainter& p, int i) { DrawMagnifier(p, i == 0); }));
  sbStamp = make("sbStamp", "スタンプ", 1, 1, GlyphStrip(1, [](QPainter& p, int) {
                   p.setPen(kInk);
                   p.setBrush(QColor(200, 60, 60));
                   p.drawRect(6, 2, 4, 6);
                   p.drawRect(3, 8, 10, 3);
                   p.drawLine(3, 13, 12, 13);
                 }));
  sbLineWidth = make("sbLineWidth", "ペンの太さ", 4, 2, GlyphStrip(4, [](QPainter& p, int i) {
                       p.fillRect(QRect(2, 8 - i / 2 - (i == 3 ? 1 : 0), 12, i + 1), kInk);
                     }));
  using P = TUserDrawPanel;
  tools_ = {{sbSelect, {P::mdtNone}},
            {sbPen, {P::mdtConnectLine}},
            {sbLine, {P::mdtLine, P::mdtDblLine}},
            {sbEraser, {P::mdtEraser}},
            {sbPaint, {P::mdtPaint}},
            {sbRect, {P::mdtBox, P::mdtBoxFill, P::mdtFill, P::mdtDblBox}},
            {sbEllipse, {P::mdtEllipse, P::mdtEllipseFill, P::mdtEllipseFillNoFlame, P::mdtDblEllipse}},
            {sbText, {P::mdtText, P::mdtDblText}},
            {sbZoom, {P::mdtZoomUp, P::mdtZoomDown}},
            {sbStamp, {P::mdtBmp}},
            {sbLineWidth, {}}};
  connect(sbZoom, &TSelectButton::OnDblClick, this, [this] { UserDrawPanel->SetZoom(100); });
}

void TfrmBitmapEdit::BuildMenus() {
  auto action = [this](const char* name, const char* caption) {
    auto* a = new QAction(Q(caption), this);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  mnuOpen = action("mnuOpen", "画像を開く(&O)");
  mnuPlace = action("mnuPlace", "画像配置(&P)");
  mnuSave = action("mnuSave", "画像の保存(&S)");
  mnuStampLoad = action("mnuStampLoad", "スタンプ画像読み込み(&S)");
  mnuFont = action("mnuFont", "フォント(&F)");
  mnuMonochrome = action("mnuMonochrome", "白黒(&M)");
  mnuColor = action("mnuColor", "カラー(&C)");
  mnuUndo = action("mnuUndo", "元に戻す(&Z)");
  mnuCut = action("mnuCut", "切り取り(&X)");
  mnuCopy = action("mnuCopy", "コピー(&C)");
  mnuPaste = action("mnuPaste", "貼り付け(&P)");
  mnuDelete = action("mnuDelete", "削除(&D)");
  mnuClipping = action("mnuClipping", "切り抜き(&Q)");
  mnuSelToStamp = action("mnuSelToStamp", "選択範囲をスタンプにする(&T)");
  mnuZoomUp = action("mnuZoomUp", "拡大表示(&+)");
  mnuZoomDown = action("mnuZoomDown", "縮小表示(&-)");
  mnuGrid = action("mnuGrid", "グリッド表示(&G)");
  mnuGrid->setCheckable(true);

  QMenuBar* bar = menuBar_ = new QMenuBar(this);
  QMenu* file = bar->addMenu(Q("ファイル(&F)"));
  file->addActions({mnuOpen, mnuPlace, mnuSave});
  QMenu* edit = bar->addMenu(Q("編集(&E)"));
  edit->addAction(mnuUndo);
  edit->addSeparator();
  edit->addActions({mnuCut, mnuCopy, mnuPaste, mnuDelete});
  edit->addSeparator();
  edit->addActions({mnuClipping, mnuSelToStamp});
  QMenu* view = bar->addMenu(Q("表示(&V)"));
  view->addActions({mnuZoomUp, mnuZoomDown, mnuGrid});
  QMenu* picture = bar->addMenu(Q("画像(&I)"));
  picture->addActions({mnuMonochrome, mnuColor});
  picture->addSeparator();
  picture->addActions({mnuStampLoad, mnuFont});

  connect(mnuOpen, &QAction::triggered, this, &TfrmBitmapEdit::OpenPicture);
  connect(mnuPlace, &QAction::triggered, this, &TfrmBitmapEdit::PlacePicture);
  connect(mnuSave, &QAction::triggered, this, &TfrmBitmapEdit::SavePicture);
  connect(mnuStampLoad, &QAction::triggered, this, &TfrmBitmapEdit::LoadStamp);
  connect(mnuFont, &QAction::triggered, this, &TfrmBitmapEdit::ChooseFont);
  connect(mnuMonochrome, &QAction::triggered, this, [this] { UserDrawPanel->SetMonochrome(true); });
  connect(mnuColor, &QAction::triggered, this, [this] { UserDrawPanel->SetMonochrome(false); });
  connect(mnuUndo, &QAction::triggered, this, [this] { UserDrawPanel->Undo(); });
  connect(mnuCut, &QAction::triggered, this, [this] { UserDrawPanel->CutToClipboard(); });
  connect(mnuCopy, &QAction::triggered, this, [this] { UserDrawPanel->CopyToClipboard(); });
  connect(mnuPaste, &QAction::triggered, this, [this] { UserDrawPanel->PasteFromClipboard(); });
  connect(mnuDelete, &QAction::triggered, this, [this] { UserDrawPanel->DeleteSelection(); });
  connect(mnuClipping, &QAction::triggered, this, [this] { UserDrawPanel->Clipping(); });
  connect(mnuSelToStamp, &QAction::triggered, this, [this] {
    UserDrawPanel->SelectionToStamp();
    UpdateStampPreview();
  });
  connect(mnuZoomUp, &QAction::triggered, this, [this] { UserDrawPanel->ZoomUp(); });
  connect(mnuZoomDown, &QAction::triggered, this, [this] { UserDrawPanel->ZoomDown(); });
  connect(mnuGrid, &QAction::toggled, this, [this](bool on) { UserDrawPanel->SetGrid(on); });
}

void TfrmBitmapEdit::BuildLayout() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  outer->setSpacing(4);
  outer->setMenuBar(menuBar_);

  // The tool buttons are children of the window itself, laid over this
  // column, so that an unfolded one can reach over the picture area.
  auto* middle = new QHBoxLayout;
  toolColumn_ = new QWidget(this);
  toolColumn_->setFixedWidth(sbSelect->FoldedSize().width() + 2);
  toolColumn_->installEventFilter(this);
  middle->addWidget(toolColumn_);
  scbWork = new QScrollArea(this);
  scbWork->setObjectName(QStringLiteral("scbWork"));
  scbWork->setWidgetResizable(false);
  scbWork->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  UserDrawPanel = new TUserDrawPanel;
  UserDrawPanel->setObjectName(QStringLiteral("UserDrawPanel"));
  scbWork->setWidget(UserDrawPanel);
  scbWork->viewport()->installEventFilter(this);
  scbWork->viewport()->setAutoFillBackground(true);
  middle->addWidget(scbWork, 1);
  outer->addLayout(middle, 1);

  auto* bottom = new QHBoxLayout;
  ColorBox = new TPaletteBox(this);
  ColorBox->setObjectName(QStringLiteral("ColorBox"));
  ColorBox->SetSelSize(16);
  ColorBox->setFixedSize(8 * 16, 2 * 16);
  bottom->addWidget(ColorBox);
  auto* colours = new QVBoxLayout;
  colours->setSpacing(2);
  auto addSample = [&](TColorSample*& sample, const char* caption, const char* name, TColor color) {
    auto* row = new QHBoxLayout;
    sample = new TColorSample(this);
    sample->setObjectName(QString::fromLatin1(name));
    sample->setToolTip(Q(caption));
    sample->SetColor(color);
    row->addWidget(sample);
    row->addWidget(new QLabel(Q(caption), this));
    colours->addLayout(row);
  };
  addSample(pnlDrawColor, "描画色", "pnlDrawColor", clBlack);
  addSample(pnlBackColor, "背景色", "pnlBackColor", clWhite);
  bottom->addLayout(colours);
  auto* textColumn = new QVBoxLayout;
  lblText = new QLabel(Q("描画文字列"), this);
  edtText = new QLineEdit(this);
  edtText->setObjectName(QStringLiteral("edtText"));
  edtText->setToolTip(Q("描画文字列"));
  edtText->setValidator(new TByteLengthValidator(kTextLimit, edtText));
  textColumn->addWidget(lblText);
  textColumn->addWidget(edtText);
  bottom->addLayout(textColumn, 1);
  imgStamp = new TStampPreview(this);
  imgStamp->setObjectName(QStringLiteral("imgStamp"));
  imgStamp->setToolTip(Q("スタンプ"));
  bottom->addWidget(imgStamp);
  auto* buttons = new QVBoxLayout;
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = new QPushButton(Q("キャンセル"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  // Return in the text field and Escape over the picture must not end the
  // editing: neither button answers to a key.
  for (QPushButton* b : {btnOK, btnCancel}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  bottom->addLayout(buttons);
  outer->addLayout(bottom);

  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(edtText, &QLineEdit::textChanged, this, [this](const QString& text) { UserDrawPanel->SetText(text); });
  connect(ColorBox, &TColorBox::OnColorClick, this, [this](TColor color) {
    if (ColorBox->LastButton() == Qt::RightButton) {
      UserDrawPanel->SetBackColor(color);
      pnlBackColor->SetColor(color);
    } else {
      UserDrawPanel->SetDrawColor(color);
      pnlDrawColor->SetColor(color);
    }
  });
  connect(UserDrawPanel, &TUserDrawPanel::StateChanged, this, &TfrmBitmapEdit::UpdateCommands);
  connect(UserDrawPanel, &TUserDrawPanel::OnBitmapChange, this, &TfrmBitmapEdit::BitmapChanged);
  connect(UserDrawPanel, &TUserDrawPanel::DrawTypeChanged, this, &TfrmBitmapEdit::DrawTypeChanged);
  connect(UserDrawPanel, &TUserDrawPanel::OnZoomClick, this, &TfrmBitmapEdit::ScrollToPixel);
  for (const Tool& tool : tools_) tool.button->raise();
}

void TfrmBitmapEdit::LayoutTools() {
  const QPoint origin = toolColumn_->geometry().topLeft();
  int y = origin.y();
  for (const Tool& tool : tools_) {
    if (tool.button->isHidden()) continue;
    tool.button->move(origin.x(), y);
    y += tool.button->FoldedSize().height() + 2;
  }
}

bool TfrmBitmapEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == toolColumn_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) LayoutTools();
  // A click on the work area beside the picture puts the selection down.
  if (watched == scbWork->viewport() && event->type() == QEvent::MouseButtonPress) UserDrawPanel->CommitSelection();
  return QDialog::eventFilter(watched, event);
}

void TfrmBitmapEdit::keyPressEvent(QKeyEvent* event) {
  // Escape puts a lifted selection down wherever the focus is; it does not
  // close the window and lose the picture.
  if (event->key() == Qt::Key_Escape) {
    UserDrawPanel->CommitSelection();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmBitmapEdit::ChooseTool(TSelectButton* button, int selectNo) {
  button->SetSelectNo(selectNo);
  button->SetDown(true);
  ToolChanged(button);
}

void TfrmBitmapEdit::ToolChanged(TSelectButton* button) {
  for (const Tool& tool : tools_) {
    if (tool.button != button) continue;
    if (tool.types.empty())
      UserDrawPanel->SetPenWidth(button->GetSelectNo() + 1);
    else
      UserDrawPanel->SetDrawType(tool.types[size_t(std::clamp(button->GetSelectNo(), 0, int(tool.types.size()) - 1))]);
  }
}

void TfrmBitmapEdit::DrawTypeChanged() {
  // The panel chose the selection itself (a placed or pasted picture).
  if (UserDrawPanel->GetDrawType() == TUserDrawPanel::mdtNone && !sbSelect->GetDown()) sbSelect->SetDown(true);
}

void TfrmBitmapEdit::ShowTools(TBmpEditOption option) {
  using D = TUserDrawDialog;
  const std::pair<TSelectButton*, D::TBmpEditOptionItem> shown[] = {
      {sbPen, D::bePen},       {sbLine, D::beLine}, {sbEraser, D::beEraser}, {sbPaint, D::bePaint},
      {sbRect, D::beBox},      {sbEllipse, D::beEllipse}, {sbText, D::beText},   {sbZoom, D::beZoom},
      {sbStamp, D::beStamp}};
  for (const auto& [button, item] : shown) button->setVisible(option.testFlag(item));
  lblText->setVisible(option.testFlag(D::beText));
  edtText->setVisible(option.testFlag(D::beText));
  imgStamp->setVisible(option.testFlag(D::beStamp));
  LayoutTools();
}

void TfrmBitmapEdit::SetDownButtonColor(TColor color) {
  for (const Tool& tool : tools_) tool.button->SetDownColor(color);
}

void TfrmBitmapEdit::SetWorkColor(TColor color) {
  QPalette palette = scbWork->viewport()->palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  scbWork->viewport()->setPalette(palette);
}

void TfrmBitmapEdit::SetFormColor(TColor color) {
  SetFormColors(this, ToQColor(color), palette().color(QPalette::Active, QPalette::WindowText));
  NotifyChildrenColorChanged(this);
  ColorBox->SetColor(color);
}

void TfrmBitmapEdit::SetInitialDir(const std::filesystem::path& folder) {
  std::error_code error;
  if (!folder.empty() && std::filesystem::is_directory(folder, error)) lastDir_ = folder;
}

void TfrmBitmapEdit::SetMaxSize(int width, int height) {
  maxWidth_ = std::max(width, 1);
  maxHeight_ = std::max(height, 1);
}

void TfrmBitmapEdit::SetPicture(const QImage& picture) {
  UserDrawPanel->SetBitmap(picture);
  UserDrawPanel->SetUndoBitmap(UserDrawPanel->GetBitmap());
}

QImage TfrmBitmapEdit::Picture() {
  UserDrawPanel->CommitSelection();
  return FitPicture(UserDrawPanel->GetBitmap(), maxWidth_, maxHeight_);
}

QStringList TfrmBitmapEdit::PaletteCodes() const { return ColorBox->GetColorCodeList(); }

void TfrmBitmapEdit::UpdatePalette() {
  const bool mono = UserDrawPanel->GetMonochrome();
  QStringList codes;
  for (int i = 0; i < 16; ++i) {
    const int grey = i == 15 ? 255 : 16 * i;
    codes << ColorCode(mono ? RGB(grey, grey, grey) : kPalette[i]);
  }
  ColorBox->SetColorCodeList(codes);
  monochromeShown_ = mono;
  pnlDrawColor->update();
  pnlBackColor->update();
}

void TfrmBitmapEdit::BitmapChanged() {
  if (UserDrawPanel->GetMonochrome() != monochromeShown_) UpdatePalette();
  UpdateCommands();
}

void TfrmBitmapEdit::UpdateStampPreview() { imgStamp->SetPicture(UserDrawPanel->GetClipBitmap()); }

void TfrmBitmapEdit::UpdateCommands() {
  TUserDrawPanel* panel = UserDrawPanel;
  const bool selection = panel->HasSelection();
  btnOK->setEnabled(panel->GetBitmapWidth() > 0 && panel->GetBitmapHeight() > 0);
  mnuMonochrome->setEnabled(!panel->GetMonochrome());
  mnuColor->setEnabled(panel->GetMonochrome());
  mnuUndo->setEnabled(panel->CanUndo());
  for (QAction* a : {mnuCopy, mnuCut, mnuDelete, mnuClipping, mnuSelToStamp}) a->setEnabled(selection);
  mnuZoomUp->setEnabled(panel->GetZoom() < 1600);
  mnuZoomDown->setEnabled(panel->GetZoom() > 100);
  mnuGrid->setChecked(panel->GetGrid());
}

void TfrmBitmapEdit::ScrollToPixel(QPoint pixel) {
  const QPoint at = UserDrawPanel->ToControl(pixel) + QPoint(UserDrawPanel->GetZoom(), UserDrawPanel->GetZoom()) / 200;
  scbWork->horizontalScrollBar()->setValue(at.x() - scbWork->viewport()->width() / 2);
  scbWork->verticalScrollBar()->setValue(at.y() - scbWork->viewport()->height() / 2);
}

// ---- file commands -------------------------------------------------------------

std::optional<std::filesystem::path> TfrmBitmapEdit::AskPictureFile() {
  std::optional<std::filesystem::path> path = AskOpenFile(this, Sjis(kBitmapFilter), lastDir_);
  if (path) Remember(*path);
  return path;
}

void TfrmBitmapEdit::Remember(const std::filesystem::path& file) {
  if (file.has_parent_path()) lastDir_ = file.parent_path();
}

namespace {
void TellFileError(QWidget* parent, const char* what, const std::filesystem::path& path) {
  ShowMessageBox(parent, BoxKind::Error,
                 FromQString(Q(what) + QLatin1Char('\n') + QFile::decodeName(QByteArray::fromStdString(path.string()))));
}
}  // namespace

void TfrmBitmapEdit::OpenPicture() {
  const std::optional<std::filesystem::path> path = AskPictureFile();
  if (!path) return;
  std::optional<QImage> picture = LoadPictureFile(*path);
  if (!picture) {
    TellFileError(this, "画像ファイルを読み込めませんでした。", *path);
    return;
  }
  // A 1-bit file goes through true colour and back to 1 bit.
  if (picture->format() == QImage::Format_Mono)
    picture = UserDrawPanel->MonochromeOf(picture->convertToFormat(QImage::Format_RGB32));
  // Never larger than the editor may hand back.
  UserDrawPanel->SetBitmap(FitPicture(*picture, maxWidth_, maxHeight_));
}

void TfrmBitmapEdit::PlacePicture() {
  const std::optional<std::filesystem::path> path = AskPictureFile();
  if (!path) return;
  const std::optional<QImage> picture = LoadPictureFile(*path);
  if (!picture) {
    TellFileError(this, "画像ファイルを読み込めませんでした。", *path);
    return;
  }
  ChooseTool(sbSelect, 0);
  UserDrawPanel->PlaceBitmap(*picture);
}

void TfrmBitmapEdit::SavePicture() {
  const std::optional<std::filesystem::path> path = AskSaveFile(this, lastDir_, Sjis(kBitmapFilter));
  if (!path) return;
  Remember(*path);
  if (!SavePictureFile(*path, UserDrawPanel->ComposedBitmap()))
    TellFileError(this, "画像ファイルを保存できませんでした。", *path);
}

void TfrmBitmapEdit::LoadStamp() {
  const std::optional<std::filesystem::path> path = AskPictureFile();
  if (!path) return;
  // A file that is no picture leaves the stamp as it was.
  if (const std::optional<QImage> picture = LoadPictureFile(*path)) {
    UserDrawPanel->SetClipBitmap(*picture);
    UpdateStampPreview();
  }
}

void TfrmBitmapEdit::ChooseFont() {
  if (const std::optional<QFont> font = AskFont(this, UserDrawPanel->GetFont())) UserDrawPanel->SetFont(*font);
}

}  // namespace qv
