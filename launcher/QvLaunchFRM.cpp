#include "launcher/QvLaunchFRM.h"

#include "core/ui/FormColors.h"
#include "core/ui/FormPosition.h"
#include "core/data/LegacyNames.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "core/ui/QtText.h"
#include "core/ui/SingleApp.h"
#include "core/data/TextFunctions.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/ui/Theme.h"
#include "core/ui/WindowHandle.h"
#include "core/data/ErrorLog.h"
#include "launcher/FormColors.h"
#include "core/ui/MessageBox.h"
#include "launcher/QvConnectFRM.h"
#include "launcher/QvDLLForm.h"
#include "launcher/QvMessageFRM.h"
#include "launcher/QvOptionFRM.h"
#include "launcher/QvReceiveMsgFRM.h"
#include "launcher/TaskTray.h"
#include "launcher/WindowService.h"
#include "launcher/splash.h"
#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/Graphics.h"
#include "controls/MultiButton.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/CommPort.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

namespace qv {

namespace {

constexpr int kPluginRole = Qt::UserRole + 1;   // index into the holders, -1 for the settings entry
constexpr int kCaptionRole = Qt::UserRole + 2;  // the display name as CP932 bytes


constexpr TColor kDefaultBackColor = 0xFF8080;
constexpr TColor kDefaultFontColor = clWhite;

const QString kIdleCaption = QStringLiteral("ＶｅｏＱｕｏｒｖｅｌ");

QPixmap AppPicture(const char* name) { return QPixmap(QString::fromStdString(FromProgramDir(name).string())); }

TfrmLaunch::SoundPlayer& Player() {
  static TfrmLaunch::SoundPlayer player;
  return player;
}

std::string UpperFirst(std::string_view s) {
  std::string out(s);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

std::string FiveDigits(char letter, int32_t code) {
  char id[16];
  std::snprintf(id, sizeof id, "%c%05d", letter, code);
  return id;
}

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

// The light-mail text the module keeps.
constexpr int32_t kLightMailBytes = 750;

// The list's image list has 32 x 32 cells: an icon of another size is
// stretched to the cell, as adding it to the image list does, so that every
// entry shows the same size.
constexpr QSize kEntryIconSize(32, 32);
QIcon EntryIcon(const QIcon& icon) {
  if (icon.isNull()) return icon;
  QPixmap cell = icon.pixmap(kEntryIconSize);
  if (cell.size() != kEntryIconSize) cell = cell.scaled(kEntryIconSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return QIcon(cell);
}

}  // namespace

extern "C" void SerialTraceCallback(int32_t /*kind*/, const void* /*data*/) {}

TfrmLaunch::TfrmLaunch(QWidget* parent)
    : QMainWindow(parent),
      plugins_([this](int32_t kind, int32_t value) { return PluginParamCallback(kind, value); },
               [this](int32_t kind, const char* text) { return PluginStrCallback(kind, text); }),
      ringWait_(serial_, *this) {
  SetMainForm(this);
  CreateComponents();
  // Waiting for the module to become idle lets the windows paint and answer
  // the window manager; nothing new starts meanwhile.
  serial_.SetIdlePause([](std::chrono::milliseconds span) { ServeWindows(span, Serving::NothingNew); });
  handle_ = RegisterQtWindow(this);
  qApp->installEventFilter(this);
  // The guard's check runs once the window is built, before it creates
  // anything: a second launcher brings the first to the front and ends.
  SingleApp1->Loaded();
  if (SingleApp1->Terminated()) {
    terminated_ = true;
    return;
  }
  try {
    TaskTray1->Loaded();
  } catch (const ETaskTrayError&) {
    // Many Linux desktops have no notification area: the launcher then runs
    // without its icon instead of ending.
    TaskTray1->DeleteIcon();
  }
  FormCreate();
}

TfrmLaunch::~TfrmLaunch() {
  qApp->removeEventFilter(this);
  UnregisterWindow(handle_);
  ClearEntries();
  // The windows are going: the last waits for the module are plain sleeps.
  serial_.SetIdlePause({});
  // The module is unloaded only once its worker has ended.
  StopRingWait(true);
  if (SerialGetState()) {
    SerialDisconnect(10);
    WaitSerialIdle(300);
  }
  UnbindSerialModule();
  messages_.Clear();
  if (MainForm() == this) SetMainForm(nullptr);
}

void TfrmLaunch::SetSessionDialog(TfrmConnecting* dialog) {
  connecting_ = dialog;
  if (connecting_) connecting_->Attach(serial_, *this);
}

void TfrmLaunch::SetNoticeWindow(TfrmReceiveMsg* notice) { notice_ = notice; }

bool TfrmLaunch::SecondInstance() const { return SingleApp1->Terminated(); }

void TfrmLaunch::CreateComponents() {
  setObjectName("frmLaunch");
  setWindowTitle(QStringLiteral("VeoQuorvel"));
  resize(211, 448);
  setMinimumWidth(211);
  setAutoFillBackground(true);

  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pnlInfo = new TAttachPanel(central);
  pnlInfo->setObjectName("pnlInfo");
  pnlInfo->setFixedHeight(25);
  // A small radius keeps a line of text inside the 25-pixel frame.
  pnlInfo->SetRadius(6);
  pnlInfo->SetCaptionStyle(btsUpShadow);
  pnlInfo->SetWordWrap(false);  // a second line would not fit in the bar
  statusFont_ = pnlInfo->font();
  status_ = kIdleCaption;
  pnlInfo->SetCaption(kIdleCaption);
  layout->addWidget(pnlInfo);

  pnlTopBanner = new QWidget(central);
  pnlTopBanner->setObjectName("pnlTopBanner");
  pnlTopBanner->setFixedHeight(58);
  auto* top = new QHBoxLayout(pnlTopBanner);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  pnlLogo = new TMultiPanel(pnlTopBanner);
  pnlLogo->setObjectName("pnlLogo");
  pnlLogo->setFixedWidth(65);
  pnlLogo->SetBevelOuter(bvNone);
  ImgLogo = new QLabel(pnlLogo);
  ImgLogo->setObjectName("ImgLogo");
  ImgLogo->setAlignment(Qt::AlignCenter);
  ImgLogo->setCursor(Qt::PointingHandCursor);
  auto* logoLayout = new QVBoxLayout(pnlLogo);
  logoLayout->setContentsMargins(2, 2, 2, 2);
  logoLayout->addWidget(ImgLogo);
  pnlBanner = new TAttachPanel(pnlTopBanner);
  pnlBanner->setObjectName("pnlBanner");
  pnlBanner->setFixedWidth(124);
  // The banner covers all but a thin frame: two pixels of rim at the sides,
  // rim and face above and below.
  pnlBanner->SetRadius(2);
  pnlAd = new QLabel(pnlBanner);
  pnlAd->setObjectName("pnlAd");
  pnlAd->setGeometry(2, 4, 120, 50);
  pnlAd->setAutoFillBackground(true);
  QPalette white = pnlAd->palette();
  white.setColor(QPalette::Window, Qt::white);
  pnlAd->setPalette(white);
  aniBanner = new TAnimationImage(pnlAd);
  aniBanner->setObjectName("aniBanner");
  aniBanner->setGeometry(0, 0, 120, 50);
  aniBanner->SetSkipStartPos(true);
  top->addWidget(pnlLogo);
  top->addStretch();
  top->addWidget(pnlBanner);
  layout->addWidget(pnlTopBanner);

  lsvMainMenu = new QListWidget(central);
  lsvMainMenu->setObjectName("lsvMainMenu");
  lsvMainMenu->setViewMode(QListView::ListMode);
  lsvMainMenu->setFlow(QListView::TopToBottom);
  lsvMainMenu->setWrapping(true);
  lsvMainMenu->setResizeMode(QListView::Adjust);
  lsvMainMenu->setIconSize(kEntryIconSize);
  lsvMainMenu->setSpacing(2);
  lsvMainMenu->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lsvMainMenu->setFrameShape(QFrame::NoFrame);
  layout->addWidget(lsvMainMenu, 1);

  pnlBottom = new QWidget(central);
  pnlBottom->setObjectName("pnlBottom");
  auto* bottom = new QHBoxLayout(pnlBottom);
  bottom->setContentsMargins(4, 4, 4, 4);
  pnlRing = new TMultiPanel(pnlBottom);
  pnlRing->setObjectName("pnlRing");
  pnlRing->setFixedSize(61, 21);
  pnlRing->SetBevelOuter(bvLowered);
  pnlRing->SetParentFont(false);  // coloured by the state, not by the window
  btnRing = new TMultiButton(pnlBottom);
  btnRing->setObjectName("btnRing");
  btnRing->setFixedHeight(25);
  bottom->addWidget(pnlRing);
  bottom->addWidget(btnRing, 1);
  layout->addWidget(pnlBottom);
  ApplyColors(kDefaultBackColor, kDefaultFontColor);

  auto makeAction = [this](const char* name, const QString& text) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    addAction(a);
    return a;
  };
  actClose = makeAction("actClose", QStringLiteral("終了"));
  actMinimize = makeAction("actMinimize", QStringLiteral("最小化(&N)"));
  actNormal = makeAction("actNormal", QStringLiteral("元のサイズに戻す(&R)"));
  actOpen = makeAction("actOpen", QStringLiteral("開く(&O)"));
  actOption = makeAction("actOption", QStringLiteral("設定"));
  actWaitRing = makeAction("actWaitRing", QStringLiteral("待受開始"));
  actMyTelNo = makeAction("actMyTelNo", QStringLiteral("電話番号表示"));
  actErrorLog = makeAction("actErrorLog", QStringLiteral("エラーログ"));
  connect(actClose, &QAction::triggered, this, &QWidget::close);
  connect(actMinimize, &QAction::triggered, this, [this] { showMinimized(); });
  connect(actNormal, &QAction::triggered, this, [this] { showNormal(); });
  connect(actOpen, &QAction::triggered, this, [this] { OpenSelected(); });
  connect(actOption, &QAction::triggered, this, [this] { OptionsDialog(); });
  connect(actErrorLog, &QAction::triggered, this, [this] { ShowErrorLog(); });
  connect(actWaitRing, &QAction::triggered, this, [this] { ToggleRingWait(); });
  connect(actMyTelNo, &QAction::triggered, this, [this] { ShowOwnNumber(); });
  actOpen->setEnabled(false);
  // The button shows the action's caption and enabled state and triggers it.
  btnRing->SetAction(actWaitRing);

  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  file->addAction(actClose);
  QMenu* tools = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
  tools->addAction(actMyTelNo);
  tools->addAction(actErrorLog);

  popMain = new QMenu(this);
  popMain->setObjectName("popMain");
  popMain->addAction(actOption);
  popMain->addSeparator();
  popMain->addAction(actClose);

  connect(lsvMainMenu, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { OpenSelected(); });
  connect(lsvMainMenu, &QListWidget::itemSelectionChanged, this,
          [this] { actOpen->setEnabled(!lsvMainMenu->selectedItems().isEmpty()); });

  tmrStart = new QTimer(this);
  tmrStart->setObjectName("tmrStart");
  tmrStart->setSingleShot(true);
  tmrStart->setInterval(1);
  connect(tmrStart, &QTimer::timeout, this, [this] { tmrStartTimer(); });
  tmrEmailAuto = new QTimer(this);
  tmrEmailAuto->setObjectName("tmrEmailAuto");
  tmrEmailAuto->setInterval(60000);
  connect(tmrEmailAuto, &QTimer::timeout, this, [this] { tmrEmailAutoTimer(); });
  SingleApp1 = new TSingleApp(this);
  SingleApp1->setObjectName("SingleApp1");
  SingleApp1->SetUniqueName("QuorvelLaunchApp");
  SingleApp1->SetDupInstAction(TDupInstAction::diActivateFirst);
  SingleApp1->SetErrorMessage(Sjis("すでに起動されています"));

  ImgLogo->setPixmap(AppPicture("logo.png"));
  // Behind the theme: the rest frame of our own banner strip, seen while no
  // theme has loaded.
  const QImage strip(QString::fromStdString(FromProgramDir("banner.png").string()));
  pnlAd->setPixmap(QPixmap::fromImage(strip.copy(0, 0, strip.width(), std::min(strip.height(), kBannerFrameHeight))));

  QPixmap trayPicture = AppPicture("tray.png");
  if (!trayPicture.isNull()) setWindowIcon(QIcon(trayPicture));
  // Registered at load (the constructor), where a desktop without a
  // notification area is told.
  TaskTray1 = new TTaskTray(this, true);
  TaskTray1->setObjectName("TaskTray1");
  TaskTray1->SetIconID(1);
  TaskTray1->SetIcon(QIcon(trayPicture));
  TaskTray1->SetTipString(QStringLiteral("VeoQuorvel"));
  TaskTray1->SetRegistered(true);
  TaskTray1->OnMouseDown = [this](TTaskTray*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    TaskTrayMouseDown(button);
  };
  ShowRingWaitState(RingWaitState::Stopped);
}

void TfrmLaunch::FormCreate() {
  std::error_code ec;
  // What earlier versions left under CP932 names, before anything is made anew.
  RenameLegacyDataNames();
  // Made when missing (mail is the user's own), and tried with a write: a
  // folder that cannot take mail is told once the window is up.
  if (MailStoreError error; !PrepareMailFolder(error)) mailFolderProblem_ = MailStoreErrorText(error);
  std::filesystem::create_directories(GetThemeFolder(), ec);
  if (!LoadEnvironment()) {
    terminated_ = true;
    return;
  }
  if (!BindSerialModule()) {
    ShowMessageBox(this, BoxKind::Error, Sjis("DLLの読み込みに失敗しました"));
    terminated_ = true;
    return;
  }
  peerNumber_.clear();
  tmrStart->start();
  LoadPlugins();
  ReloadBanner();
  pnlTopBanner->setFixedHeight(58);
  pnlLogo->setFixedWidth(65);
  pnlBanner->setFixedWidth(124);
}

void TfrmLaunch::tmrStartTimer() {
  tmrStart->stop();
  if (!mailFolderProblem_.empty()) {
    const std::string text = Sjis("メールフォルダにメールを保存できません。受信・送信・保存はできません。") + "\r\n" +
                             std::exchange(mailFolderProblem_, {});
    LogError(text);
    ShowMessageBox(BoxOwner(), BoxKind::Warning, text);
  }
  if (IniRead(keys::SerialPort).empty()) OptionsDialog();
}

// ---- status line and banner ----

void TfrmLaunch::SetStatus(std::string_view text) {
  status_ = text.empty() ? kIdleCaption : ToQString(text);
  FitStatus();
}

std::string TfrmLaunch::StatusText() const { return FromQString(status_); }

void TfrmLaunch::FitStatus() {
  // The bar holds one line: a status too wide for it is drawn smaller, down
  // to a size still legible, and only then cut short; its tip holds it whole.
  constexpr int kSmallestPixels = 8;
  const int room = pnlInfo->width() - 2 * pnlInfo->Inset() - 2;  // 2: the shadow
  TFont font = pnlInfo->GetFont();  // its colour, with the font before any fitting
  font.Font = statusFont_;
  auto width = [&] { return QFontMetrics(font.Font).horizontalAdvance(status_); };
  for (int px = FontPixelHeight(font.Font); width() > room && px > kSmallestPixels;) font.Font.setPixelSize(--px);
  const QString shown = width() > room ? QFontMetrics(font.Font).elidedText(status_, Qt::ElideRight, room) : status_;
  pnlInfo->SetFont(font);
  pnlInfo->SetCaption(shown);
  pnlInfo->setToolTip(shown == status_ ? QString() : status_);
}

void TfrmLaunch::StartBannerAnimation() {
  aniBanner->setVisible(true);
  aniBanner->Start();
}

void TfrmLaunch::StopBannerAnimation() { aniBanner->Stop(); }

void TfrmLaunch::ReloadBanner() {
  // The current theme; one that does not load leaves the banner as it was.
  LoadThemeAnimation(*aniBanner);
}

void TfrmLaunch::ApplyColors(TColor back, TColor text) {
  SetFormColors(this, ToQColor(back), ToQColor(text));
  // The entries are listed on the window's own colours too.
  setPalette(SchemeListPalette(palette(), ToQColor(back), ToQColor(text)));
  ApplyFormColors(*this, {pnlInfo, pnlBanner}, {btnRing});
}

void TfrmLaunch::ShowRingWaitIndicator(RingWaitState state) {
  TColor colour = clRed;
  QString caption, button;
  switch (state) {
    case RingWaitState::Stopped:
      colour = clRed;
      caption = QStringLiteral("待受停止");
      button = QStringLiteral("待受開始");
      break;
    case RingWaitState::Waiting:
      colour = clGreen;
      caption = QStringLiteral("待受中");
      button = QStringLiteral("待受停止");
      break;
    case RingWaitState::Starting:
    case RingWaitState::Stopping:
      colour = clYellow;
      button = QStringLiteral("待受停止");
      break;
  }
  pnlRing->SetColor(colour);
  pnlRing->SetFont({pnlRing->font(), colour == clYellow ? clBlack : clWhite});
  pnlRing->SetCaption(caption);
  actWaitRing->setText(button);  // the button follows its action
  pnlRing->repaint();
}

// ---- plug-ins ----

void TfrmLaunch::ClearEntries() {
  lsvMainMenu->clear();
  for (QAction* a : pluginActions_) {
    popMain->removeAction(a);
    delete a;
  }
  pluginActions_.clear();
  plugins_.Clear();
}

void TfrmLaunch::LoadPlugins() {
  ClearEntries();
  plugins_.Load();
  QAction* firstFixed = popMain->actions().isEmpty() ? nullptr : popMain->actions().front();
  const auto& loaded = plugins_.Plugins();
  for (size_t k = 0; k < loaded.size(); ++k) {
    const std::string& caption = loaded[k].caption;
    auto* item = new QListWidgetItem(EntryIcon(loaded[k].holder->GetIcon()), ToQString(caption), lsvMainMenu);
    item->setData(kPluginRole, static_cast<int>(k));
    item->setData(kCaptionRole, QByteArray(caption.data(), static_cast<qsizetype>(caption.size())));
    auto* action = new QAction(ToQString(caption) + QStringLiteral("(&") + QChar('A' + static_cast<int>(k)) +
                                   QStringLiteral(")"),
                               popMain);
    connect(action, &QAction::triggered, this, [this, action] {
      const QString text = action->text();
      const QString wanted = text.left(text.indexOf('('));
      for (int row = 0; row < lsvMainMenu->count(); ++row) {
        QListWidgetItem* it = lsvMainMenu->item(row);
        const int index = it->data(kPluginRole).toInt();
        if (it->text() == wanted && index >= 0) {
          plugins_.Plugins()[static_cast<size_t>(index)].holder->ShowPluginForm();
          return;
        }
      }
    });
    popMain->insertAction(firstFixed, action);
    pluginActions_.push_back(action);
  }
  auto* option = new QListWidgetItem(EntryIcon(QIcon(AppPicture("option.png"))), QStringLiteral("設定"), lsvMainMenu);
  option->setData(kPluginRole, -1);
  const std::string optionCaption = Sjis("設定");
  option->setData(kCaptionRole, QByteArray(optionCaption.data(), static_cast<qsizetype>(optionCaption.size())));
}

std::vector<TfrmLaunch::Entry> TfrmLaunch::Entries() const {
  std::vector<Entry> entries;
  for (int row = 0; row < lsvMainMenu->count(); ++row) {
    QListWidgetItem* it = lsvMainMenu->item(row);
    QByteArray caption = it->data(kCaptionRole).toByteArray();
    const int index = it->data(kPluginRole).toInt();
    entries.push_back({std::string(caption.constData(), static_cast<size_t>(caption.size())),
                       index >= 0 ? plugins_.Plugins()[static_cast<size_t>(index)].holder.get() : nullptr});
  }
  return entries;
}

void TfrmLaunch::OpenSelected() {
  QListWidgetItem* item = lsvMainMenu->currentItem();
  if (!item || !item->isSelected()) return;
  QByteArray caption = item->data(kCaptionRole).toByteArray();
  OpenItem(std::string_view(caption.constData(), static_cast<size_t>(caption.size())));
}

void TfrmLaunch::OpenItem(std::string_view caption) {
  for (const Entry& e : Entries()) {
    if (e.caption != caption) continue;
    SetStatus("");
    if (!e.plugin) {
      OptionsDialog();
    } else if (e.caption == Sjis("ｵﾝﾗｲﾝｻｲﾝｱｯﾌﾟ")) {
      // The sign-up window runs its own calls and returns when it closes:
      // ring-wait pauses around it.
      ringWait_.PauseAround([&] { e.plugin->ShowPluginForm(); });
    } else {
      e.plugin->ShowPluginForm();
    }
    return;
  }
}

void TfrmLaunch::NotifyPlugin(std::string_view displayName, std::string_view text) {
  plugins_.Notify(displayName, text);
}

bool TfrmLaunch::PluginParamCallback(int32_t kind, int32_t value) {
  static const std::string kQueue = Sjis("送信予約"), kSent = Sjis("送信簿"), kInbox = Sjis("受信簿"), kMail = Sjis("メール");
  switch (kind) {
    case 0:
      if (value == 0) SetStatus("");
      return true;
    case 1: {
      bool result = true;
      switch (value) {
        case 1:
          result = RunMailSession(true, false, false, false, false);
          NotifyPlugin(kMail, kQueue);
          NotifyPlugin(kMail, kSent);
          break;
        case 2:
        case 3:
          result = RunMailSession(false, true, false, false, value == 3);
          NotifyPlugin(kMail, kInbox);
          break;
        case 4:
          result = RunMailSession(true, true, false, false, true);
          NotifyPlugin(kMail, kQueue);
          NotifyPlugin(kMail, kSent);
          NotifyPlugin(kMail, kInbox);
          break;
        case 5:
          result = RunMailSession(true, false, false, true, false);
          NotifyPlugin(kMail, kQueue);
          NotifyPlugin(kMail, kSent);
          break;
        default:
          break;
      }
      return result;
    }
    case 4:
      if (value == 1) ReloadBanner();
      return true;
    case 5:
      return RunInfoRead(value);
    case 6:
      return RunInfoWrite(value);
    case 10:
      ReportMessage(FiveDigits('W', value), true);
      return true;
    default:
      return true;
  }
}

int32_t TfrmLaunch::PluginStrCallback(int32_t kind, const char* text) {
  const std::string copy = text ? text : "";
  switch (kind) {
    case 2:
      NotifyPlugin(Sjis("ブックマーク"), copy);
      break;
    case 3:
      NotifyPlugin(Sjis("電話帳"), copy);
      break;
    case 10:
      CloseNotice();
      ShowNotice(copy, false);
      break;
    default:
      break;
  }
  return 1;
}

// ---- serial link ----

bool TfrmLaunch::BindSerialModule() { return serial_.Bind(IniRead(keys::DllFile), &SerialTraceCallback); }

void TfrmLaunch::UnbindSerialModule() { serial_.Unbind(); }

void TfrmLaunch::InitSerialModule(bool useAutoNumber) {
  KwxInitialParam block = MakeInitialParam(useAutoNumber ? AutoReceiveNumber() : EMailPhoneNo());
  peerNumber_.clear();
  serial_.Initial(handle_, block);
}

// ---- module events ----

void TfrmLaunch::WMSerialEvent(int32_t kind, int32_t code) {
  static const std::string kMail = Sjis("メール"), kInbox = Sjis("受信簿");
  if (connecting_) connecting_->AddEvent(kind, code);
  const SerialEvent event{static_cast<kwx::EventType>(kind), code};
  auto notice = [this](const char* utf8) {
    const std::string text = Sjis(utf8);
    CloseNotice();
    SetStatus(text);
    ShowNotice(text, false);
  };
  switch (event.kind) {
    case kwx::KWX_EV_PROGRESS:
      ReportMessage(FiveDigits('I', code), false);
      break;
    case kwx::KWX_EV_READY:
      if (code == kwx::kReadyArmed)
        ringWait_.Armed();
      else if (code == kwx::kReadyRefused)
        notice("直送メールお断り中");
      break;
    case kwx::KWX_EV_INCOMING:
      switch (code) {
        case kwx::kIncomingDirectMail:
          if (HandleIncoming(code)) {
            PacingPause(4000, false);
            notice("直送メール着信");
            PlayArrivalAlert();
          }
          NotifyPlugin(kMail, kInbox);
          break;
        case kwx::kIncomingLightMail:
          if (HandleIncoming(code)) {
            notice("ブリーズメール着信");
            PlayArrivalAlert();
          }
          NotifyPlugin(kMail, kInbox);
          break;
        case kwx::kIncomingEMailNotice:
          HandleIncoming(code);
          break;
        case kwx::kIncomingOtherCall:
          notice("データ・音声着信");
          PlayArrivalAlert();
          ReportMessage("W01004", false);
          break;
        default:
          break;
      }
      break;
    case kwx::KWX_EV_SESSION_END:
      if (code == kwx::WorkerEnded(kwx::kKindRingWait)) ringWait_.EndedByModule();
      break;
    case kwx::KWX_EV_SESSION_ERROR:
      StopBannerAnimation();
      // The time-outs and a dropped carrier leave a pending automatic receive
      // to its next try; any other error cancels it.
      if (code != 1120 && code != 1130 && code != 1280 && code != 11140) {
        ringWait_.CancelAutoReceive();
        tmrEmailAuto->stop();
      }
      ReportMessage(FiveDigits('E', code), true);
      break;
    case kwx::KWX_EV_MODULE_ERROR:
      StopBannerAnimation();
      if (ringWait_.RetryStart(code)) break;
      if (ringWait_.State() == RingWaitState::Starting) StopRingWait(false);
      if (code == kwx::kModuleDeviceGone) StopRingWait(false);
      if (code == kwx::kModulePortCannotOpen)
        ReportPortProblem();
      else
        ReportMessage(FiveDigits('D', code), true);
      break;
    default:
      break;
  }
}

bool TfrmLaunch::HandleIncoming(int type) {
  static const std::string kInbox = Sjis("受信簿");
  StopBannerAnimation();
  switch (type) {
    case kwx::kIncomingDirectMail:
      return RunSession(SessionMode::AcceptDirectMail, [](TfrmConnecting&) {});
    case kwx::kIncomingLightMail: {
      // The module keeps 750 bytes of light mail; the text is in its wire form.
      const std::string hex = DecimalTextToHex(serial_.GetParam(kwx::kParamLightMail, kLightMailBytes));
      peerNumber_ = serial_.GetParam(kwx::kParamCaller, 512);
      const std::string sender = TrimText(peerNumber_);
      MailIndexRow row;
      BuildIndexRow(row, 9, 0, 1, 0, 0, 0, 0, sender, "", Sjis("ブリーズメール"), NowText(), sender);
      return connecting_ && connecting_->StoreReceived(kInbox, hex, row);
    }
    case kwx::kIncomingEMailNotice: {
      bool mismatch = false;
      std::string notifier;
      if (!ringWait_.TakeEMailNotice(serial_.GetParam(kwx::kParamEMailNotice, 512), mismatch, notifier)) {
        if (mismatch) ReportMessage(Sjis("Eメール自動受信の電話番号をご確認ください。") + "\r\n" + notifier, true);
        return false;
      }
      PacingPause(3000, false);
      tmrEmailAuto->setInterval(1);
      tmrEmailAuto->start();
      return true;
    }
    default:
      return false;
  }
}

void TfrmLaunch::tmrEmailAutoTimer() {
  static const std::string kMail = Sjis("メール"), kInbox = Sjis("受信簿");
  tmrEmailAuto->stop();
  if (!connecting_ || !connecting_->isVisible()) {
    if (RunMailSession(false, true, true, false, true)) {
      NotifyPlugin(kMail, kInbox);
      const std::string text = Sjis("Eメール着信");
      CloseNotice();
      SetStatus(text);
      ShowNotice(text, false);
      PlayArrivalAlert();
      return;
    }
    if (ringWait_.AutoReceiveFailed()) {
      CloseNotice();
      ShowNotice(Sjis("センターにEメールが有ります"), false);
      return;
    }
  }
  // An interval of 0 minutes means no retry rather than a busy timer.
  const int interval = ringWait_.AutoReceiveInterval();
  if (interval <= 0) return;
  tmrEmailAuto->setInterval(interval * 60000);
  tmrEmailAuto->start();
}

// ---- ring-wait ----

void TfrmLaunch::ToggleRingWait() {
  if (!FindPlugin(Sjis("メール"))) return;
  if (ringWait_.State() == RingWaitState::Stopped) {
    if (PortIsSet()) StartRingWait();
  } else {
    StopRingWait(false);
  }
}

void TfrmLaunch::ShowOwnNumber() {
  if (!PortIsSet()) return;
  WaitRingTransition();
  const std::string number =
      ringWait_.State() == RingWaitState::Waiting
          ? serial_.GetParam(kwx::kParamOwnNumber, 256)
          : serial_.GetTelNumber(ComPortDeviceName(IniRead(keys::SerialPort), true),
                                 BaudRateOrDefault(IniReadInteger(keys::Baudrate)));
  if (number.empty())
    ReportMessage("W01001", true);
  else
    ShowMessageBox(this, BoxKind::Information, Sjis("電話番号は ") + number + Sjis("です"));
}

// ---- sessions ----

bool TfrmLaunch::RunSession(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp) {
  // One modal session dialog at a time: a request from inside a running
  // session is refused instead of showing the dialog a second time.
  if (!connecting_ || connecting_->isVisible()) return false;
  connecting_->SetMode(mode);
  setUp(*connecting_);
  return connecting_->exec() == static_cast<int>(SessionResult::Done);
}

bool TfrmLaunch::RunPausingRingWait(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp) {
  if (connecting_ && connecting_->isVisible()) return false;
  if (!PortIsSet()) return false;
  bool done = false;
  ringWait_.PauseAround([&] { done = RunSession(mode, setUp); });
  return done;
}

bool TfrmLaunch::RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly, bool receiveAll) {
  StopBannerAnimation();
  if (!send && !receive) return false;
  SessionMode mode = send && receive ? SessionMode::SendAndReceive
                     : send          ? (directOnly ? SessionMode::SendDirectMailOnly : SessionMode::SendQueue)
                                     : (autoReceive ? SessionMode::AutoReceiveMail : SessionMode::ReceiveMail);
  const bool autoDelete = IniReadBool(keys::AutoDeleteReceive);
  return RunPausingRingWait(mode, [&](TfrmConnecting& dialog) {
    dialog.SetReceiveAll(receiveAll);
    dialog.SetAutoDelete(autoDelete);
  });
}

bool TfrmLaunch::RunInfoRead(int kind) {
  return RunPausingRingWait(SessionMode::ReadHandsetInfo, [kind](TfrmConnecting& dialog) { dialog.SetParameter(kind); });
}

bool TfrmLaunch::RunInfoWrite(int kind) {
  return RunPausingRingWait(SessionMode::WriteHandsetInfo, [kind](TfrmConnecting& dialog) { dialog.SetParameter(kind); });
}

// ---- messages, log, notices, sounds ----

bool TfrmLaunch::LoadEnvironment() {
  ApplyColors(IniReadColor(keys::BackColor), IniReadColor(keys::FontColor));
  // The message file's path is taken as written (the program's folder is the
  // current directory by now).
  const std::string name = NativePath(IniRead(keys::MessageFile));
  std::error_code ec;
  if (name.empty() || !std::filesystem::is_regular_file(name, ec) || !messages_.LoadFromFile(name)) {
    // A settings file that is missing, empty or no ini text names no message
    // file: the settings file is then what the user has to mend.
    if (SettingsFile().ReadSectionNames().empty())
      ShowMessageBox(this, BoxKind::Error,
                     Sjis("設定ファイルの読み込みに失敗しました") + "\r\n" +
                         cp932::FromUtf8(SettingsFilePath().string()));
    else
      ShowMessageBox(this, BoxKind::Error, Sjis("メッセージファイルの読み込みに失敗しました"));
    return false;
  }
  return true;
}

QWidget* TfrmLaunch::BoxOwner() {
  // A plug-in's window asks through the launcher: the box belongs over the
  // window the user works in, not over the launcher behind it. That is the
  // modal one if any, else the active one, else the one last active that is
  // still up: right after a dialog has closed the focus is on its way back
  // and no window is active.
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (const auto& w : activation_)
    if (w && w->isVisible() && !w->isMinimized()) return w;
  return this;
}

std::string TfrmLaunch::ReportMessage(std::string_view s, bool show) { return ReportMessageWith(s, show, {}); }

std::string TfrmLaunch::ReportMessageWith(std::string_view s, bool show, const std::vector<std::string>& args) {
  if (s.empty()) return {};
  // Only a letter and five digits is an id: a free text may begin with one
  // of the letters too ("Eメール...").
  const bool id = s.size() == 6 && std::all_of(s.begin() + 1, s.end(), [](char c) { return c >= '0' && c <= '9'; });
  const char letter = id ? UpperFirst(s.substr(0, 1))[0] : '\0';
  std::string text;
  bool logged = true;
  switch (letter) {
    case 'I':
      text = FillInArguments(messages_.Text(s), args);
      SetStatus(text);
      if (show) ShowMessageBox(BoxOwner(), BoxKind::Information, text);
      logged = false;
      break;
    case 'W':
      text = FillInArguments(ExpandLineBreaks(messages_.Text(s)), args);
      SetStatus("");
      CloseNotice();
      if (show)
        ShowMessageBox(BoxOwner(), BoxKind::Warning, text);
      else
        ShowNotice(text, true);
      logged = false;
      break;
    case 'D':
      text = FillInArguments(ExpandLineBreaks(messages_.Text(s)), args) + "(" + std::string(s) + ")";
      SetStatus("");
      if (show) {
        CloseNotice();
        ShowNotice(text, true);
      }
      break;
    case 'E': {
      text = FillInArguments(ExpandLineBreaks(messages_.Text(s)), args);
      if (text.empty()) text = Sjis("通信が中断されました。") + "(" + std::string(s.substr(1, 5)) + ")";
      SetStatus("");
      if (show && UpperFirst(s) != "E00520") {
        CloseNotice();
        ShowNotice(text, true);
      }
      break;
    }
    default:
      text = std::string(s);
      SetStatus("");
      if (show) {
        CloseNotice();
        ShowNotice(text, true);
      }
      break;
  }
  if (logged) LogError(text);
  return text;
}

void TfrmLaunch::LogError(const std::string& text) {
  const std::string path = GetDataFilePath(keys::ErrorLogFile.name, keys::ErrorLogFile.def);
  AppendErrorLog(path, FormatErrorLogLine(LocalNow(), peerNumber_, text));
}

namespace {
// A path as text for a message (file names are UTF-8 here, texts CP932).
std::string PathText(const std::filesystem::path& path) {
  std::string text;
  return cp932::TryFromUtf8(path.string(), text) ? text : path.string();
}
}  // namespace

void TfrmLaunch::ReportPortProblem() {
  const std::string setting = TrimText(IniRead(keys::SerialPort));
  const std::string name = ComPortDeviceName(setting, false);
  const PortDiagnosis d = DiagnoseCommPort(ComPortDeviceName(setting, true));
  const std::string where = PathText(d.path);
  switch (d.problem) {
    case PortProblem::NoSuchPort:
      ReportMessageWith(d.folderEntry ? "D01003" : "D01002", true, {name, where});
      return;
    case PortProblem::InUse:
      ReportMessageWith("D01004", true, {name, where});
      return;
    case PortProblem::NoPermission:
      if (d.group.empty())
        ReportMessageWith("D01006", true, {name, where});
      else
        ReportMessageWith("D01005", true, {name, where, d.group});
      return;
    case PortProblem::Other:
      ReportMessageWith("D01007", true, {name, where, std::strerror(d.error)});
      return;
    case PortProblem::None:
    case PortProblem::NotAPortName:
      // It opens now: what the module said is all there is to say.
      ReportMessage(FiveDigits('D', kwx::kModulePortCannotOpen), true);
      return;
  }
}

bool TfrmLaunch::PortIsSet() {
  if (!TrimText(IniRead(keys::SerialPort)).empty()) return true;
  ReportMessageWith("D01001", true, {PathText(SettingsFilePath())});
  return false;
}

void TfrmLaunch::ShowNotice(const std::string& text, bool force) {
  if (!notice_) return;
  if (!force && !IniReadBool(keys::ShowMessage)) return;
  notice_->SetMessage(text);
  notice_->show();
}

void TfrmLaunch::CloseNotice() {
  if (!notice_ || !notice_->isVisible()) return;
  while (notice_ && notice_->tmrWait->isActive()) {
    QCoreApplication::processEvents();
    ServeWindows(std::chrono::milliseconds(100), Serving::Everything,
                 [this] { return !notice_ || !notice_->tmrWait->isActive(); });
  }
  if (notice_) notice_->close();
}

void TfrmLaunch::SetSoundPlayer(SoundPlayer player) { Player() = std::move(player); }

void TfrmLaunch::PlaySoundFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return;
  if (Player()) {
    Player()(file);
    return;
  }
  static QHash<QString, QSoundEffect*> effects;
  const QString key = QString::fromStdString(file.string());
  QSoundEffect*& effect = effects[key];
  if (!effect) {
    effect = new QSoundEffect(qApp);
    effect->setSource(QUrl::fromLocalFile(key));
  }
  effect->play();
}

void TfrmLaunch::PlaySentSound() {
  if (!IniReadBool(keys::PlaySound)) return;
  PlaySoundFile(GetDataFilePath(keys::PBSoundFile.name, keys::PBSoundFile.def));
}

void TfrmLaunch::PlayArrivalAlert() {
  if (IniReadBool(keys::PlaySound)) PlaySoundFile(GetDataFilePath(keys::RingSoundFile.name, keys::RingSoundFile.def));
  if (!IniReadBool(keys::Vibration)) return;
  const QPoint origin = pos();
  auto* random = QRandomGenerator::global();
  for (int i = 0; i < 21; ++i) {
    QThread::msleep(40);
    QCoreApplication::processEvents();
    move(x() + random->bounded(5) - 2, y());
    move(x(), y() + random->bounded(5) - 2);
  }
  move(origin);
}

void TfrmLaunch::ShowErrorLog() {
  const std::string path = GetDataFilePath(keys::ErrorLogFile.name, keys::ErrorLogFile.def);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return;
  std::string text;
  ReadWholeFile(path, text);
  TfrmMessage viewer(this);
  viewer.setWindowTitle(QStringLiteral("VeoQuorvel - エラーログ"));
  viewer.SetLines(SplitTextLines(text));
  viewer.exec();
}

// ---- dialogs ----

void TfrmLaunch::OptionsDialog() {
  TfrmOption::Host host;
  host.telNumber = [this](const std::string& device, int baud) { return serial_.GetTelNumber(device, baud); };
  // The module refuses a port that ring-wait holds.
  host.pauseRingWait = [this](const std::function<void()>& run) { ringWait_.PauseAround(run); };
  host.report = [this](std::string_view id) { ReportMessage(id, true); };
  host.commit = [this](TfrmOption& dialog) { return SaveOptions(dialog); };
  TfrmOption dialog(this, std::move(host));
  dialog.LoadSettings(ColorFromQColor(palette().color(QPalette::Window)),
                      ColorFromQColor(palette().color(QPalette::WindowText)));
  dialog.exec();
}

bool TfrmLaunch::SaveOptions(TfrmOption& dialog) {
  bool saved = false;
  ringWait_.PauseAround([&] {
    // All keys in one rewrite: a crash leaves the old settings or the new, whole.
    saved = IniWriteStrings(dialog.SettingsEntries());
    if (saved) RecolorForms(dialog.BackColor(), dialog.FontColor(), &dialog);
  });
  if (!saved)
    ShowMessageBox(&dialog, BoxKind::Error,
                   Sjis("設定を保存できませんでした。") + "\r\n" + SettingsFilePath().string());
  return saved;
}

void TfrmLaunch::RecolorForms(TColor back, TColor text, QWidget* except) {
  ApplyColors(back, text);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    const Qt::WindowType type = w->windowType();
    if (w == this || w == except || (type != Qt::Window && type != Qt::Dialog)) continue;
    SetFormColors(w, ToQColor(back), ToQColor(text));
  }
}

void TfrmLaunch::AboutBox() {
  TSplashWindow about(this);
  about.setModal(true);
  about.memVersion->clear();
  const std::string dll = IniRead(keys::DllFile);
  QStringList lines;
  lines << ToQString(Sjis("通信モジュール V") + GetFileVersionValue(FromProgramDir(dll), "FileVersion", "2.0"));
  for (const Entry& e : Entries()) {
    if (!e.plugin || e.caption == Sjis("テーマ")) continue;
    lines << ToQString(e.caption + " V" + GetFileVersionValue(FromProgramDir(e.plugin->FileName()), "FileVersion", "2.0"));
  }
  about.memVersion->setPlainText(lines.join('\n'));
  // As the splash: in the middle of the screen, not over the launcher.
  about.CentreOnScreen();
  about.exec();
}

// ---- window events ----

bool TfrmLaunch::event(QEvent* event) {
  if (event->type() == PostedMessageEvent::kType) {
    auto* m = static_cast<PostedMessageEvent*>(event);
    // Inside a wait that starts nothing the module's events wait their turn.
    if (HoldModuleEvent(this, *m)) return true;
    if (m->msg == kwx::WM_KWX_NOTIFY) WMSerialEvent(static_cast<int32_t>(m->wParam), static_cast<int32_t>(m->lParam));
    return true;
  }
  return QMainWindow::event(event);
}

void TfrmLaunch::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) LoadFormPosition(this, kPlaceBottomLeft, 0, "Launch");
}

void TfrmLaunch::closeEvent(QCloseEvent* event) {
  for (const Entry& e : Entries()) {
    if (e.plugin && !e.plugin->CloseForm()) {
      event->ignore();
      return;
    }
  }
  StopRingWait(true);
  SaveFormPosition(this, "Launch");
  event->accept();
  QCoreApplication::exit(0);
}

void TfrmLaunch::TaskTrayMouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton && !QApplication::activeModalWidget()) popMain->popup(QCursor::pos());
}

void TfrmLaunch::CycleForms() {
  if (QApplication::activeModalWidget()) return;
  std::vector<QWidget*> forms;
  for (const auto& w : activation_)
    if (w) forms.push_back(w);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    const Qt::WindowType type = w->windowType();
    if ((type == Qt::Window || type == Qt::Dialog) && std::find(forms.begin(), forms.end(), w) == forms.end())
      forms.push_back(w);
  }
  if (forms.size() < 2) return;
  for (size_t i = forms.size() - 1; i >= 1; --i) {
    QWidget* w = forms[i];
    if (!w->isVisible()) continue;
    if (w->isMinimized())
      w->showNormal();
    else
      w->show();
    w->raise();
    w->activateWindow();
    return;
  }
}

bool TfrmLaunch::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate:
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        auto* w = static_cast<QWidget*>(watched);
        std::erase_if(activation_, [w](const QPointer<QWidget>& p) { return !p || p == w; });
        activation_.insert(activation_.begin(), w);
      }
      break;
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (watched == lsvMainMenu && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        OpenSelected();
        return true;
      }
      // A key event visits every widget up the chain; take it once, where it
      // is first delivered.
      QWidget* focus = QApplication::focusWidget();
      const bool first = watched->isWidgetType() &&
                         (watched == focus || (!focus && static_cast<QWidget*>(watched)->isWindow()));
      if (first && key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ControlModifier)) CycleForms();
      break;  // never marked as handled
    }
    case QEvent::MouseButtonRelease:
      if (watched == ImgLogo && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) AboutBox();
      break;
    case QEvent::Resize:
      if (watched == pnlInfo) FitStatus();
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace qv
