#include "plugins/theme/QvBannerFRM.h"

#include "controls/AnimationImage.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/ColorContrast.h"
#include "controls/Graphics.h"
#include "controls/ImageList.h"
#include "controls/MultiButton.h"
#include "core/ui/FormPosition.h"
#include "core/ui/MessageBox.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/Paths.h"
#include "core/data/LegacyNames.h"
#include "core/data/HostCallbacks.h"
#include "plugins/theme/BannerListBox.h"
#include "plugins/theme/BannerPreview.h"
#include "plugins/theme/QvBannerEditFRM.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <system_error>

namespace qv {
namespace {

constexpr char kIdent[] = "Theme";
constexpr int kRowHeight = 54;
// Cells of "CLIPICON".
constexpr int kImageAdd = 39, kImageDel = 4, kImageEdit = 12, kImageSelect = 37, kImageWindow = 32;

std::string S(std::string_view utf8) { return cp932::FromUtf8(utf8); }

QImage FirstFrame(const QImage& strip) {
  return strip.copy(0, 0, strip.width(), std::min(strip.height(), kBannerFrameHeight));
}

std::string WithoutExtension(const std::string& fileName) {
  return std::filesystem::path(fileName).stem().string();
}

}  // namespace

TfrmBanner::TfrmBanner(QWidget* parent) : QWidget(parent) {
  CreateComponents();
  ImageList1->SetWidth(kClipIconWidth);
  ImageList1->SetHeight(kClipIconHeight);
  if (LoadImageListFromDll("CLIPICON", *ImageList1) && kImageWindow < ImageList1->Count())
    setWindowIcon(QIcon(QPixmap::fromImage(ImageList1->Image(kImageWindow))));
  UpdateActions();
}

TfrmBanner::~TfrmBanner() = default;

void TfrmBanner::CreateComponents() {
  setObjectName("frmBanner");
  setWindowTitle(QStringLiteral("VeoQuorvel - テーマ"));
  setWindowFlag(Qt::Window);
  resize(430, 330);
  ImageList1 = new TImageList(this);
  ImageList1->setObjectName("ImageList1");

  auto action = [this](const char* name, const char* caption, const char* hint) {
    auto* a = new QAction(QString::fromUtf8(caption), this);
    a->setObjectName(name);
    a->setToolTip(QString::fromUtf8(hint));
    return a;
  };
  actAdd = action("actAdd", "追加", "テーマを追加");
  actDel = action("actDel", "削除", "テーマを削除");
  actEdit = action("actEdit", "編集", "テーマを編集");
  actSelectBanner = action("actSelectBanner", "設定", "VeoQuorvelのテーマに設定");
  connect(actAdd, &QAction::triggered, this, &TfrmBanner::actAddExecute);
  connect(actDel, &QAction::triggered, this, &TfrmBanner::actDelExecute);
  connect(actEdit, &QAction::triggered, this, &TfrmBanner::actEditExecute);
  connect(actSelectBanner, &QAction::triggered, this, &TfrmBanner::actSelectBannerExecute);

  auto* layout = new QVBoxLayout(this);
  pnlTool = new QWidget(this);
  pnlTool->setObjectName("pnlTool");
  auto* tools = new QHBoxLayout(pnlTool);
  tools->setContentsMargins(0, 0, 0, 0);
  auto button = [this, tools](const char* name, QAction* a, int image) {
    auto* b = new TMultiSpeedButton(pnlTool);
    b->setObjectName(name);
    b->SetParentColor(true);  // faces in the window's colour
    b->setFixedSize(64, 40);
    b->SetImages(ImageList1);
    b->SetImageIndex(image);
    b->SetImageAlign(biaTop);
    b->SetAction(a);
    tools->addWidget(b);
    return b;
  };
  btnAdd = button("btnAdd", actAdd, kImageAdd);
  btnDel = button("btnDel", actDel, kImageDel);
  btnEdit = button("btnEdit", actEdit, kImageEdit);
  btnSelectBanner = button("btnSelectBanner", actSelectBanner, kImageSelect);
  tools->addStretch(1);
  layout->addWidget(pnlTool);

  auto* body = new QHBoxLayout;
  lstBanner = new TBannerListBox(this);
  lstBanner->setObjectName("lstBanner");
  lstBanner->SetItemHeight(kRowHeight);
  lstBanner->SetOnDrawItem([this](QPainter& p, const QRect& r, int row, bool selected) {
    lstBannerDrawItem(p, r, row, selected);
  });
  lstBanner->installEventFilter(this);
  lstBanner->viewport()->installEventFilter(this);
  lstBanner->setContextMenuPolicy(Qt::CustomContextMenu);
  popBanner = new QMenu(this);
  popBanner->setObjectName("popBanner");
  popBanner->addActions({actEdit, actDel});
  connect(lstBanner, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popBanner->popup(lstBanner->viewport()->mapToGlobal(pos)); });
  connect(lstBanner, &QListWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
  connect(lstBanner, &QListWidget::itemDoubleClicked, this, [this] { EditTheme(SelectedRow()); });
  body->addWidget(lstBanner, 1);

  const BannerPreview preview = NewBannerPreview(this);
  pnlPreview = preview.box;
  pnlWhite = preview.white;
  aniPreview = preview.animation;
  body->addWidget(pnlPreview);
  layout->addLayout(body, 1);
}

// ---- showing and closing ----

void TfrmBanner::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QWidget::showEvent(event);
}

void TfrmBanner::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

void TfrmBanner::FormShow() {
  LoadFormPosition(this, kPlaceCentre, 0, kIdent);
  current_ = IniRead(keys::ThemeFile);
  lstBanner->SetItemHeight(kRowHeight);
  folder_ = GetThemeFolder();
  while (ItemCount() > 0) DeleteThemeItem(ItemCount() - 1);
  // The listed themes in key order first, then the rest of the folder.
  std::vector<std::string> names;
  for (int key = 1;; ++key) {
    std::string name = TrimText(IniReadString(keys::ThemeListSection, std::to_string(key), ""));
    if (name.empty()) break;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  RenameLegacyThemeNames(folder_);
  ListFiles(folder_ + "*" + std::string(kThemeExtension), names);
  for (const std::string& name : names) {
    TBannerData data;
    if (LoadBannerIndex(PathIn(folder_, name), data)) AddThemeItem(name, data);
  }
  ShowPreview();
  UpdateActions();
}

void TfrmBanner::FormClose() {
  ClearBannerStrip(*aniPreview);
  while (ItemCount() > 0) DeleteThemeItem(ItemCount() - 1);
  SaveFormPosition(this, kIdent);
}

// ---- rows ----

int TfrmBanner::AddThemeItem(const std::string& fileName, const TBannerData& data) {
  Item item{fileName, data};
  item.data.Bitmap = FirstFrame(data.Bitmap);
  items_.push_back(std::move(item));
  lstBanner->addItem(ToQString(fileName));
  return ItemCount() - 1;
}

void TfrmBanner::UpdateThemeItem(int index, const std::string& fileName, const TBannerData& data) {
  if (index < 0 || index >= ItemCount()) return;
  Item& item = items_[static_cast<size_t>(index)];
  item.fileName = fileName;
  item.data = data;
  item.data.Bitmap = FirstFrame(data.Bitmap);
  lstBanner->item(index)->setText(ToQString(fileName));
  lstBanner->viewport()->update();
}

void TfrmBanner::DeleteThemeItem(int index) {
  if (index < 0 || index >= ItemCount()) return;
  items_.erase(items_.begin() + index);
  delete lstBanner->takeItem(index);
}

bool TfrmBanner::InUse(int index) const {
  return index >= 0 && index < ItemCount() && SameTextNoCase(ItemFileName(index), current_);
}

int TfrmBanner::SelectedRow() const {
  const int row = lstBanner->currentRow();
  return row >= 0 && row < ItemCount() && lstBanner->item(row)->isSelected() ? row : -1;
}

void TfrmBanner::lstBannerDrawItem(QPainter& painter, const QRect& rect, int row, bool selected) const {
  const QPalette& pal = lstBanner->palette();
  TColor back = ColorFromQColor(pal.color(selected ? QPalette::Highlight : QPalette::Base));
  const bool inUse = InUse(row);
  if (inUse) back = BlendColor(clBlue, back, 128);
  painter.fillRect(rect, ToQColor(back));
  if (row < 0 || row >= ItemCount()) return;
  const TBannerData& data = ItemData(row);
  painter.drawImage(rect.topLeft() + QPoint(2, 2), data.Bitmap);
  const int line = painter.fontMetrics().height();
  auto text = [&](int lineIndex, const QString& s) {
    painter.drawText(QRect(rect.left() + 132, rect.top() + 2 + line * lineIndex, rect.width() - 134, line),
                     Qt::AlignLeft | Qt::AlignTop, s);
  };
  const QColor ink = pal.color(selected ? QPalette::HighlightedText : QPalette::Text);
  painter.setPen(ink);
  text(0, ToQString(data.Name));
  if (inUse) text(1, QStringLiteral("使用中"));
  if (!data.Editable) {
    // Red where red reads; on the selection or the current theme's blue, a
    // red mixed towards the row's own text as far as it takes to read.
    painter.setPen(ToQColor(ReadableColor(clRed, back, ColorFromQColor(ink))));
    text(2, QStringLiteral("※編集不可"));
  }
}

// ---- preview, keys and clicks ----

void TfrmBanner::ShowPreview() {
  ClearBannerStrip(*aniPreview);
  const int row = SelectedRow();
  if (row < 0) return;
  TBannerData data;
  if (!LoadBannerIndex(PathIn(folder_, ItemFileName(row)), data)) return;
  ShowBannerStrip(*aniPreview, data.Bitmap, data.Interval, data.Balloon);
  aniPreview->Start();
}

bool TfrmBanner::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstBanner && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      EditTheme(SelectedRow());
      return true;
    }
    if (key == Qt::Key_Delete) {
      actDelExecute();
      return true;
    }
  } else if (watched == lstBanner && event->type() == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_Return &&
        key != Qt::Key_Enter && key != Qt::Key_Delete)
      ShowPreview();
  } else if (watched == lstBanner->viewport() && event->type() == QEvent::MouseButtonRelease) {
    // After the list has taken the click and moved its selection.
    QMetaObject::invokeMethod(this, [this] { ShowPreview(); }, Qt::QueuedConnection);
  }
  return QWidget::eventFilter(watched, event);
}

// ---- actions ----

void TfrmBanner::UpdateActions() {
  const int row = SelectedRow();
  const bool editable = row >= 0 && ItemData(row).Editable;
  actEdit->setEnabled(editable);
  actDel->setEnabled(editable);
  actSelectBanner->setEnabled(row >= 0);
  actAdd->setEnabled(true);
}

void TfrmBanner::actAddExecute() { EditTheme(-1); }

void TfrmBanner::actEditExecute() { EditTheme(SelectedRow()); }

void TfrmBanner::actDelExecute() {
  const int row = SelectedRow();
  if (row < 0 || !ItemData(row).Editable) return;
  const std::filesystem::path file = PathIn(folder_, ItemFileName(row));
  std::error_code ec;
  std::filesystem::remove(file, ec);
  if (ec) {
    // The theme stays listed as long as its file is there.
    ShowMessageBox(this, BoxKind::Warning, S("テーマファイルを削除できませんでした。\n") + ItemFileName(row));
    return;
  }
  const bool wasCurrent = InUse(row);
  DeleteThemeItem(row);
  // The launcher must not go on showing a theme whose file is gone.
  if (wasCurrent) SetCurrentTheme(FallbackTheme());
  ShowPreview();
  UpdateActions();
}

std::string TfrmBanner::FallbackTheme() const {
  for (int i = 0; i < ItemCount(); ++i)
    if (SameTextNoCase(ItemFileName(i), kDefaultThemeFile)) return ItemFileName(i);
  return ItemCount() > 0 ? ItemFileName(0) : std::string();
}

void TfrmBanner::SetCurrentTheme(const std::string& fileName) {
  current_ = fileName;
  lstBanner->viewport()->update();
  IniWrite(keys::ThemeFile, current_);
  CallHostParam(QV_PARAM_RELOAD_THEME, 1);
}

void TfrmBanner::actSelectBannerExecute() {
  const int row = SelectedRow();
  if (row < 0) return;
  SetCurrentTheme(ItemFileName(row));
}

void TfrmBanner::EditTheme(int index) {
  if (index >= ItemCount()) return;
  if (index >= 0 && !IniReadBool(keys::ThemeEditMode) && !ItemData(index).Editable) return;
  TfrmBannerEdit editor(this);
  for (int i = 0; i < ItemCount(); ++i)
    if (i != index) editor.NamesInUse.push_back(WithoutExtension(ItemFileName(i)));
  editor.SetEditMode(IniReadBool(keys::ThemeEditMode));
  if (index < 0) {
    editor.SetThemeName(S("新規作成"));
    editor.SetBalloon("");
    editor.SetEditable(true);
    editor.SetInterval("0.5");
  } else {
    TBannerData data;
    if (!LoadBannerIndex(PathIn(folder_, ItemFileName(index)), data)) {
      ShowMessageBox(this, BoxKind::Warning, S("テーマファイルを読み込めませんでした。\n") + ItemFileName(index));
      return;
    }
    editor.SplitFrames(data.Bitmap);
    editor.SetEditable(data.Editable);
    editor.SetThemeName(data.Name);
    editor.SetBalloon(data.Balloon);
    editor.SetInterval(data.Interval);
  }
  // A save that fails brings the editor back with everything the user made.
  while (editor.exec() == TfrmBannerEdit::kResultOK) {
    TBannerData data;
    editor.JoinFrames(data.Bitmap);
    data.Balloon = editor.Balloon();
    data.Interval = editor.Interval();
    data.Editable = editor.Editable();
    data.Name = TrimText(editor.ThemeName());
    const std::string fileName = ThemeFileName(data.Name);
    const std::filesystem::path target = PathIn(folder_, fileName);
    // The new file is written first: the old one goes only once the theme is safe.
    if (!SaveBannerIndex(target, data)) {
      ShowMessageBox(&editor, BoxKind::Warning, S("テーマを保存できませんでした。\n") + fileName);
      continue;
    }
    if (index < 0) {
      const int row = AddThemeItem(fileName, data);
      lstBanner->setCurrentRow(row);
    } else {
      const std::string oldName = ItemFileName(index);
      const bool wasCurrent = InUse(index);
      if (oldName != fileName) {
        const std::filesystem::path old = PathIn(folder_, oldName);
        std::error_code ec;
        // On a file system that ignores case the two names may be one file.
        if (!std::filesystem::equivalent(old, target, ec)) std::filesystem::remove(old, ec);
      }
      UpdateThemeItem(index, fileName, data);
      // The launcher shows the theme as it now is, under its new name.
      if (wasCurrent) SetCurrentTheme(fileName);
    }
    break;
  }
  ShowPreview();
  UpdateActions();
}

}  // namespace qv
