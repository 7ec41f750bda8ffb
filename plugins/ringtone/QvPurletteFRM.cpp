#include "plugins/ringtone/QvPurletteFRM.h"

#include "controls/ImageList.h"
#include "core/ui/FormPosition.h"
#include "core/ui/MessageBox.h"
#include "core/data/HostCallbacks.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/data/SettingsKeys.h"
#include "platform/Cp932.h"
#include "platform/Paths.h"
#include "platform/FileUtil.h"
#include "plugins/ringtone/GmProgramNames.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <sys/stat.h>
#include <system_error>

namespace qv {
namespace {

// Warnings the launcher shows from its message file.
constexpr int32_t kWarnNotMidi = 4001;
constexpr int32_t kWarnCannotOpen = 4002;

void Warn(int32_t code) { CallHostParam(QV_PARAM_WARNING, code); }

QString RoleName(int role) {
  static const char* const kRoles[4] = {"メロディ", "BASS", "伴奏1", "伴奏2"};
  return QString::fromUtf8(kRoles[role]);
}

std::filesystem::path ToPath(const QString& name) { return std::filesystem::path(QFile::encodeName(name).toStdString()); }
QString FromPath(const std::filesystem::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }

// Cuts typed text to the byte limit of its ringtone block (CP932 bytes, whole characters).
void LimitBytes(QLineEdit* edit, size_t limit) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, limit](const QString& text) {
    if (FromQString(text).size() <= limit) return;
    QString cut = text;
    while (!cut.isEmpty() && FromQString(cut).size() > limit) cut.chop(cut.back().isLowSurrogate() ? 2 : 1);
    const int cursor = std::min(edit->cursorPosition(), static_cast<int>(cut.size()));
    edit->setText(cut);
    edit->setCursorPosition(cursor);
  });
}

}  // namespace


TfrmPurlette::TfrmPurlette(QWidget* parent) : QMainWindow(parent) {
  CreateComponents();
  std::error_code ec;
  const std::filesystem::path tempFolder = std::filesystem::temp_directory_path(ec);
  temp_ = std::make_unique<PreviewTempFile>(ec ? std::filesystem::path() : tempFolder);
  if (tcv_.Bind(IniRead(keys::MidiDllFile))) {
    ImageList1->SetWidth(kClipIconWidth);
    ImageList1->SetHeight(kClipIconHeight);
    LoadImageListFromDll("CLIPICON", *ImageList1);
    actOpen->setIcon(ImageListIcon(*ImageList1, 23));
    actSave->setIcon(ImageListIcon(*ImageList1, 22));
    actClose->setIcon(ImageListIcon(*ImageList1, 34));
    setWindowIcon(ImageListIcon(*ImageList1, 30));
  } else {
    ShowMessageBox(this, BoxKind::Error, Sjis("MIDIDLLの読み込みに失敗しました"));
    // The plug-in lives in the launcher's process: the whole program ends
    // once its event loop runs. Called by name, so that nothing of this
    // module waits in the queue should the module go first.
    QMetaObject::invokeMethod(qApp, "exit", Qt::QueuedConnection, Q_ARG(int, 0));
  }
  Reset();
}

TfrmPurlette::~TfrmPurlette() {
  // Nothing of the synthesizer, the temporary file or the converter may
  // outlive the window: the module is unloaded next.
  StopPlayer();
  temp_.reset();
  tcv_.Unbind();
  source_.clear();
}

void TfrmPurlette::CreateComponents() {
  setObjectName("frmPurlette");
  setWindowTitle(QStringLiteral("VeoQuorvel - purletteメーカー"));
  resize(440, 500);
  ImageList1 = new TImageList(this);
  ImageList1->setObjectName("ImageList1");

  auto action = [this](const char* name, const char* caption) {
    auto* a = new QAction(QString::fromUtf8(caption), this);
    a->setObjectName(name);
    return a;
  };
  actOpen = action("actOpen", "開く");
  actSave = action("actSave", "保存");
  actMidiPlay = action("actMidiPlay", "再生");
  actDxmPlay = action("actDxmPlay", "purlette再生");
  actStop = action("actStop", "停止");
  actClose = action("actClose", "閉じる");
  actMidiPlay->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  actDxmPlay->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
  actStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
  connect(actOpen, &QAction::triggered, this, &TfrmPurlette::actOpenExecute);
  connect(actSave, &QAction::triggered, this, &TfrmPurlette::actSaveExecute);
  connect(actMidiPlay, &QAction::triggered, this, &TfrmPurlette::actMidiPlayExecute);
  connect(actDxmPlay, &QAction::triggered, this, &TfrmPurlette::actDxmPlayExecute);
  connect(actStop, &QAction::triggered, this, &TfrmPurlette::actStopExecute);
  connect(actClose, &QAction::triggered, this, &QWidget::close);

  auto* tools = addToolBar(QStringLiteral("purlette"));
  tools->setObjectName("tbrMain");
  tools->setMovable(false);
  tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tools->setIconSize(QSize(kClipIconWidth, kClipIconHeight));
  tools->addActions({actOpen, actSave});
  tools->addSeparator();
  tools->addActions({actMidiPlay, actDxmPlay, actStop});
  tools->addSeparator();
  tools->addAction(actClose);

  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* layout = new QVBoxLayout(central);

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(new QLabel(QStringLiteral("ファイル名"), central));
  edtFileName = new QLineEdit(central);
  edtFileName->setObjectName("edtFileName");
  edtFileName->setReadOnly(true);
  fileRow->addWidget(edtFileName, 1);
  layout->addLayout(fileRow);

  pnlMelody = new QGroupBox(QStringLiteral("チャンネルマップ"), central);
  pnlMelody->setObjectName("pnlMelody");
  auto* grid = new QGridLayout(pnlMelody);
  grid->addWidget(new QLabel(QStringLiteral("パート"), pnlMelody), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("MIDIチャンネル"), pnlMelody), 0, 2);
  for (int k = 0; k < 4; ++k) {
    grid->addWidget(new QLabel(QString::number(k + 1), pnlMelody), k + 1, 0);
    cboMap[k] = new QComboBox(pnlMelody);
    cboMap[k]->setObjectName(QStringLiteral("cboMap%1").arg(k + 1));
    for (int role = 0; role < 4; ++role) cboMap[k]->addItem(RoleName(role));
    // Room for the longest role with the drop-down arrow, whatever font draws it.
    cboMap[k]->setMinimumWidth(cboMap[k]->fontMetrics().horizontalAdvance(RoleName(0)) * 5 / 4 + 32);
    connect(cboMap[k], &QComboBox::activated, this, [this, k] { cboMapClick(k); });
    grid->addWidget(cboMap[k], k + 1, 1);
    cboReMap[k] = new QComboBox(pnlMelody);
    cboReMap[k]->setObjectName(QStringLiteral("cboReMap%1").arg(k + 1));
    grid->addWidget(cboReMap[k], k + 1, 2);
  }
  grid->setColumnStretch(2, 1);
  layout->addWidget(pnlMelody);

  pnlComment = new QGroupBox(QStringLiteral("曲概要"), central);
  pnlComment->setObjectName("pnlComment");
  auto* form = new QFormLayout(pnlComment);
  struct Box {
    QLineEdit** edit;
    const char* name;
    const char* caption;
  } boxes[kSongTextCount] = {
      {&edtTitle, "edtTitle", "タイトル"},        {&edtArtist, "edtArtist", "アーティスト"},
      {&edtGenre, "edtGenre", "ジャンル"},        {&edtCopyright, "edtCopyright", "著作権"},
      {&edtCreator, "edtCreator", "作成者"},      {&edtComposer, "edtComposer", "作曲者"},
      {&edtLyrics, "edtLyrics", "作詞者"},        {&edtArranger, "edtArranger", "編曲者"},
  };
  for (int i = 0; i < kSongTextCount; ++i) {
    auto* edit = new QLineEdit(pnlComment);
    edit->setObjectName(boxes[i].name);
    LimitBytes(edit, SongTextLimit(i));
    *boxes[i].edit = edit;
    form->addRow(QString::fromUtf8(boxes[i].caption), edit);
  }
  layout->addWidget(pnlComment);
  layout->addStretch(1);

  tmrPlay = new QTimer(this);
  tmrPlay->setObjectName("tmrPlay");
  tmrPlay->setInterval(100);
  connect(tmrPlay, &QTimer::timeout, this, &TfrmPurlette::tmrPlayTimer);
}

std::filesystem::path TfrmPurlette::TempFileName() const { return temp_ ? temp_->path() : std::filesystem::path(); }

QLineEdit* TfrmPurlette::TextBox(int text) const {
  const std::array<QLineEdit*, kSongTextCount> boxes = {edtTitle,    edtArtist,   edtGenre,  edtCopyright,
                                                        edtCreator,  edtComposer, edtLyrics, edtArranger};
  return boxes[static_cast<size_t>(text)];
}

std::string TfrmPurlette::TextBytes(int text) const {
  const std::string& loaded = loaded_[static_cast<size_t>(text)];
  const QString shown = TextBox(text)->text();
  // Text that came from the file keeps its bytes: only typed text is encoded.
  if (!loaded.empty() && shown == ToQString(loaded)) return loaded;
  return FromQString(shown);
}

void TfrmPurlette::SetLoadedText(int text, const std::string& bytes) {
  loaded_[static_cast<size_t>(text)] = bytes;
  TextBox(text)->setText(ToQString(bytes));
}

void TfrmPurlette::Reset() {
  source_.clear();
  sourceName_.clear();
  edtFileName->clear();
  pnlMelody->setEnabled(false);
  pnlComment->setEnabled(false);
  for (int k = 0; k < 4; ++k) {
    cboMap[k]->setCurrentIndex(-1);
    cboReMap[k]->clear();
  }
  for (int i = 0; i < kSongTextCount; ++i) SetLoadedText(i, {});
  UpdateActions();
}

void TfrmPurlette::UpdateActions() {
  const bool loaded = !sourceName_.empty();
  const bool playing = player_.Playing();
  actSave->setEnabled(loaded);
  actMidiPlay->setEnabled(loaded && !playing);
  actDxmPlay->setEnabled(loaded && !playing && temp_ && temp_->ok());
  actStop->setEnabled(playing);
}

void TfrmPurlette::actOpenExecute() {
  const QString name = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                    QStringLiteral("スタンダードMIDIファイル (*.mid)"));
  if (name.isEmpty()) return;
  OpenFile(ToPath(name));
}

void TfrmPurlette::OpenFile(const std::filesystem::path& file) {
  Reset();
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    Warn(kWarnCannotOpen);
    return;
  }
  // The converter counts sizes in int32: a larger file is refused unread.
  if (static_cast<uint64_t>(st.st_size) > kMaxSourceSize) {
    Warn(kWarnNotMidi);
    return;
  }
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) {
    Warn(kWarnCannotOpen);
    return;
  }
  const auto scan = ScanMidi(tcv_, bytes);
  if (!scan) {
    Warn(kWarnNotMidi);
    return;
  }
  source_ = std::move(bytes);
  sourceName_ = file;
  for (int k = 0; k < 4; ++k) cboMap[k]->setCurrentIndex(k);
  SetLoadedText(kTitle, scan->title);
  SetLoadedText(kCopyright, scan->copyright);
  for (int ch = 0; ch < 16; ++ch) {
    const int program = scan->programs[static_cast<size_t>(ch)];
    if (ch == kRhythmChannel || program >= kGmProgramCount) continue;
    const QString item = QStringLiteral("Ch%1 (%2)").arg(ch + 1).arg(QString::fromLatin1(GmProgramName(program)));
    for (QComboBox* box : cboReMap) box->addItem(item, ch);  // the item keeps its channel
  }
  for (int k = 0; k < 4; ++k) cboReMap[k]->setCurrentIndex(k < cboReMap[k]->count() ? k : -1);
  edtFileName->setText(FromPath(file));
  pnlMelody->setEnabled(true);
  pnlComment->setEnabled(true);
  UpdateActions();
}

void TfrmPurlette::cboMapClick(int box) {
  const int role = cboMap[box]->currentIndex();
  if (role < 0) return;
  int freeRole = -1;
  for (int r = 0; r < 4 && freeRole < 0; ++r) {
    bool shown = false;
    for (QComboBox* b : cboMap) shown = shown || b->currentIndex() == r;
    if (!shown) freeRole = r;
  }
  for (int k = 0; k < 4; ++k)
    if (k != box && cboMap[k]->currentIndex() == role) cboMap[k]->setCurrentIndex(freeRole);
}

ConvertSettings TfrmPurlette::Settings() const {
  ConvertSettings s;
  for (int i = 0; i < kSongTextCount; ++i) s.texts[static_cast<size_t>(i)] = TextBytes(i);
  for (int k = 0; k < 4; ++k) {
    s.roles[k] = cboMap[k]->currentIndex();
    const QVariant channel = cboReMap[k]->currentData();
    s.sources[k] = channel.isValid() ? channel.toInt() : -1;
  }
  s.offeredChannels = cboReMap[0]->count();
  return s;
}

ConvertResult TfrmPurlette::Convert() {
  ConvertResult result;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    result = ConvertToRingtone(tcv_, source_, Settings());
    QApplication::restoreOverrideCursor();
  }
  if (result.ok && !result.warning.empty())
    ShowMessageBox(this, BoxKind::Information, ConversionWarningText(result.warning));
  return result;
}

void TfrmPurlette::actSaveExecute() {
  if (sourceName_.empty()) return;
  QFileDialog dialog(this, QString(), FromPath(sourceName_.parent_path()), QStringLiteral("purletteファイル (*.dxm)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("dxm"));
  dialog.selectFile(FromPath(sourceName_.stem()) + QStringLiteral(".dxm"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::filesystem::path target = ToPath(dialog.selectedFiles().front());
  const ConvertResult result = Convert();
  // The file is replaced whole or not at all.
  if (!result.ok || !WriteFileAtomically(target, result.ringtone))
    ShowMessageBox(this, BoxKind::Error, Sjis("purletteファイルを保存できませんでした。\n") + ShownPath(target));
}

void TfrmPurlette::actMidiPlayExecute() {
  if (sourceName_.empty()) return;
  StopPlayer();
  // The player gets a copy, so the source file stays free for the user.
  const bool copied = temp_ && temp_->ok() && temp_->Write(source_);
  Play(copied ? temp_->path() : sourceName_);
}

void TfrmPurlette::actDxmPlayExecute() {
  if (sourceName_.empty() || !temp_ || !temp_->ok()) return;
  StopPlayer();
  const ConvertResult result = Convert();
  if (!result.ok) return;
  const auto midi = RingtoneToMidi(tcv_, result.ringtone);
  if (!midi || !temp_->Write(*midi)) return;
  Play(temp_->path());
}

void TfrmPurlette::actStopExecute() { StopPlayer(); }

void TfrmPurlette::Play(const std::filesystem::path& file) {
  if (player_.Play(file)) tmrPlay->start();
  UpdateActions();
}

void TfrmPurlette::StopPlayer() {
  tmrPlay->stop();
  player_.Close();
  UpdateActions();
}

void TfrmPurlette::tmrPlayTimer() {
  if (!player_.Playing()) StopPlayer();
}

void TfrmPurlette::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, 0, "Purlette");
  Reset();
}

void TfrmPurlette::closeEvent(QCloseEvent* event) {
  StopPlayer();
  SaveFormPosition(this, "Purlette");
  Reset();
  QMainWindow::closeEvent(event);
}

}  // namespace qv
