#include "launcher/QvLaunchFRM.h"

#include "core/FormPosition.h"
#include "core/HandsetExchange.h"
#include "core/MailStore.h"
#include "core/QtText.h"
#include "core/SingleApp.h"
#include "core/TextFunctions.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/WindowHandle.h"
#include "launcher/ErrorLog.h"
#include "launcher/FormColors.h"
#include "core/MessageBox.h"
#include "launcher/QvConnectFRM.h"
#include "launcher/QvDLLForm.h"
#include "launcher/QvMessageFRM.h"
#include "launcher/QvOptionFRM.h"
#include "launcher/QvReceiveMsgFRM.h"
#include "launcher/splash.h"
#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSoundEffect>
#include <QSystemTrayIcon>
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

TfrmLaunch* frmLaunch = nullptr;

namespace {

constexpr int kPluginRole = Qt::UserRole + 1;   // index into the holders, -1 for the settings entry
constexpr int kCaptionRole = Qt::UserRole + 2;  // the display name as CP932 bytes


constexpr TColor kDefaultBackColor = 0xFF8080;
constexpr TColor kDefaultFontColor = clWhite;
// Frames of a banner strip are this high, stacked from the top.
constexpr int kBannerFrameHeight = 50;
// Milliseconds per banner frame: a theme's interval of 0 or none.
constexpr int kBannerSpeed = 500;

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

std::atomic<int> g_pauseRate{1};

// The light-mail text the module keeps.
constexpr int32_t kLightMailBytes = 750;
// The longest retry interval whose milliseconds a timer still holds.
constexpr int kMaxAutoReceiveMinutes = std::numeric_limits<int>::max() / 60000;

// A count or interval of an e-mail notice: 0 when it is no number, 1 when negative.
int NoticeNumber(std::string_view field) {
  const std::string text = TrimText(field);
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return value < 0 ? 1 : value;
}

}  // namespace

// A pause that only paces what the user sees; tests make them pass faster.
void TfrmLaunch::Pause(int ms, bool processMessages) {
  QThread::msleep(static_cast<unsigned long>(std::max(1, ms / g_pauseRate.load())));
  if (processMessages) QCoreApplication::processEvents();
}

void TfrmLaunch::SetPauseRate(int rate) { g_pauseRate = std::max(1, rate); }

std::string NowText() { return FormatHandsetDate({}, std::time(nullptr)); }

namespace {

}  // namespace

extern "C" QvBool HostParamCallback(int32_t kind, int32_t value) {
  return frmLaunch ? (frmLaunch->PluginParamCallback(kind, value) ? 1 : 0) : 1;
}

extern "C" int32_t HostStrCallback(int32_t kind, const char* text, int32_t /*size*/) {
  return frmLaunch ? frmLaunch->PluginStrCallback(kind, text) : 1;
}

extern "C" void SerialTraceCallback(int32_t /*kind*/, const void* /*data*/) {}

TfrmLaunch::TfrmLaunch(QWidget* parent) : QMainWindow(parent) {
  frmLaunch = this;
  SetMainForm(this);
  CreateComponents();
  handle_ = RegisterQtWindow(this);
  qApp->installEventFilter(this);
  // The guard's check runs once the window is built, before it creates
  // anything: a second launcher brings the first to the front and ends.
  SingleApp1->Loaded();
  if (SingleApp1->Terminated()) {
    terminated_ = true;
    return;
  }
  FormCreate();
}

TfrmLaunch::~TfrmLaunch() {
  qApp->removeEventFilter(this);
  UnregisterWindow(handle_);
  ClearEntries();
  // The module is unloaded only once its worker has ended.
  StopRingWait(true);
  if (SerialGetState()) {
    SerialDisconnect(10);
    WaitSerialIdle(300);
  }
  UnbindSerialModule();
  messages_.Clear();
  if (MainForm() == this) SetMainForm(nullptr);
  if (frmLaunch == this) frmLaunch = nullptr;
}

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
  lsvMainMenu->setIconSize(QSize(32, 32));
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

  QPixmap trayPicture = AppPicture("tray.png");
  if (!trayPicture.isNull()) setWindowIcon(QIcon(trayPicture));
  TaskTray1 = new QSystemTrayIcon(this);
  TaskTray1->setObjectName("TaskTray1");
  TaskTray1->setToolTip(QStringLiteral("VeoQuorvel"));
  connect(TaskTray1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Context) TaskTrayMouseDown(Qt::RightButton);
  });
  if (!trayPicture.isNull()) {
    TaskTray1->setIcon(QIcon(trayPicture));
    if (QSystemTrayIcon::isSystemTrayAvailable()) TaskTray1->show();
  }
  ShowRingWaitState(RingWaitState::Stopped);
}

void TfrmLaunch::FormCreate() {
  std::error_code ec;
  std::filesystem::create_directories(GetMailFolder(), ec);
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
  ringWaitState_ = RingWaitState::Stopped;
  tmrStart->start();
  LoadPlugins();
  ReloadBanner();
  pnlTopBanner->setFixedHeight(58);
  pnlLogo->setFixedWidth(65);
  pnlBanner->setFixedWidth(124);
}

void TfrmLaunch::tmrStartTimer() {
  tmrStart->stop();
  if (IniRead(keys::SerialPort).empty()) OptionsDialog();
}

// ---- status line and banner ----

void TfrmLaunch::SetStatus(std::string_view text) { pnlInfo->SetCaption(text.empty() ? kIdleCaption : ToQString(text)); }

std::string TfrmLaunch::StatusText() const { return FromQString(pnlInfo->GetCaption()); }

void TfrmLaunch::StartBannerAnimation() {
  aniBanner->setVisible(true);
  aniBanner->Start();
}

void TfrmLaunch::StopBannerAnimation() { aniBanner->Stop(); }

void TfrmLaunch::ReloadBanner() {
  // Our own banner strip plays as the default theme; its rest frame is also
  // the static picture behind the animation.
  const QImage strip(QString::fromStdString(FromProgramDir("banner.png").string()));
  pnlAd->setPixmap(QPixmap::fromImage(strip.copy(0, 0, strip.width(), std::min(strip.height(), kBannerFrameHeight))));
  aniBanner->SetPicture(strip);
  aniBanner->SetColCount(1);
  aniBanner->SetRowCount(strip.height() / kBannerFrameHeight);
  aniBanner->SetSpeed(kBannerSpeed);
  ImgLogo->setPixmap(AppPicture("logo.png"));
}

void TfrmLaunch::ApplyColors(TColor back, TColor text) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(back));
  pal.setColor(QPalette::Base, ToQColor(back));
  pal.setColor(QPalette::WindowText, ToQColor(text));
  pal.setColor(QPalette::Text, ToQColor(text));
  setPalette(pal);
  ApplyFormColors(*this, {pnlInfo, pnlBanner}, {btnRing});
}

void TfrmLaunch::ShowRingWaitState(RingWaitState state) {
  ringWaitState_ = state;
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
  // Entries go in list order: each finalises and unloads its plug-in.
  for (auto& holder : plugins_) holder.reset();
  plugins_.clear();
}

void TfrmLaunch::LoadPlugins() {
  ClearEntries();
  std::vector<std::string> names;
  for (int i = 1;; ++i) {
    std::string name = IniReadString(keys::PluginsSection, std::to_string(i), "");
    if (name.empty()) break;
    std::error_code ec;
    if (std::filesystem::is_regular_file(FromProgramDir(name), ec)) names.push_back(name);
  }
  QAction* firstFixed = popMain->actions().isEmpty() ? nullptr : popMain->actions().front();
  for (const std::string& name : names) {
    auto holder = std::make_unique<TDllForm>(name, &HostParamCallback, &HostStrCallback);
    if (!holder->Initialized()) continue;  // freeing it finalises and unloads
    const std::string caption = holder->GetName();
    const int k = static_cast<int>(plugins_.size());
    auto* item = new QListWidgetItem(holder->GetIcon(), ToQString(caption), lsvMainMenu);
    item->setData(kPluginRole, k);
    item->setData(kCaptionRole, QByteArray(caption.data(), static_cast<qsizetype>(caption.size())));
    auto* action = new QAction(ToQString(caption) + QStringLiteral("(&") + QChar('A' + k) + QStringLiteral(")"), popMain);
    connect(action, &QAction::triggered, this, [this, action] {
      const QString text = action->text();
      const QString wanted = text.left(text.indexOf('('));
      for (int row = 0; row < lsvMainMenu->count(); ++row) {
        QListWidgetItem* it = lsvMainMenu->item(row);
        const int index = it->data(kPluginRole).toInt();
        if (it->text() == wanted && index >= 0) {
          plugins_[static_cast<size_t>(index)]->ShowPluginForm();
          return;
        }
      }
    });
    popMain->insertAction(firstFixed, action);
    pluginActions_.push_back(action);
    plugins_.push_back(std::move(holder));
  }
  auto* option = new QListWidgetItem(QIcon(AppPicture("option.png")), QStringLiteral("設定"), lsvMainMenu);
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
                       index >= 0 ? plugins_[static_cast<size_t>(index)].get() : nullptr});
  }
  return entries;
}

TDllForm* TfrmLaunch::FindPlugin(std::string_view displayName) const {
  for (const Entry& e : Entries())
    if (e.caption == displayName) return e.plugin;
  return nullptr;
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
      PausingRingWait([&] { e.plugin->ShowPluginForm(); });
    } else {
      e.plugin->ShowPluginForm();
    }
    return;
  }
}

void TfrmLaunch::NotifyPlugin(std::string_view displayName, std::string_view text) {
  if (TDllForm* plugin = FindPlugin(displayName); plugin && plugin->Initialized()) plugin->SetStr(1, text);
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
  auto block = std::make_unique<KwxInitialParam>();
  std::memset(block.get(), 0, sizeof *block);
  const std::string centre = MakeDialString(useAutoNumber ? autoReceiveNumber_ : EMailPhoneNo());
  const std::string signUp = MakeDialString(OnlineSignUpPhoneNo());
  const std::string port = ComPortDeviceName(IniRead(keys::SerialPort), true);
  std::strncpy(block->EMailPhoneNo, centre.c_str(), sizeof block->EMailPhoneNo - 1);
  std::strncpy(block->OnlineSignUpPhoneNo, signUp.c_str(), sizeof block->OnlineSignUpPhoneNo - 1);
  block->Reserved = 0;
  block->Bunkei = IniReadBool(keys::BunkeiFlag) ? -1 : 0;
  block->NotifyWindow = handle_;
  std::strncpy(block->SerialPort, port.c_str(), sizeof block->SerialPort - 1);
  block->Baudrate = BaudRateOrDefault(IniReadInteger(keys::Baudrate));
  block->RingReject = IniReadBool(keys::RingReject) ? -1 : 0;
  block->DialWithNum = IniReadBool(keys::DialWithNum) ? -1 : 0;
  block->AutoReceive = IniReadBool(keys::AutoReceive) ? -1 : 0;
  peerNumber_.clear();
  if (serial_.kwxInitial) serial_.kwxInitial(handle_, block.get());
}

bool TfrmLaunch::SerialConnectSMail(const std::string& number, std::string_view text) {
  return serial_.kwxConnectSMail &&
         serial_.kwxConnectSMail(number.c_str(), text.data(), static_cast<int32_t>(text.size())) != 0;
}

bool TfrmLaunch::SerialConnectEMail(int32_t mode, int32_t count) {
  return serial_.kwxConnectEMail && serial_.kwxConnectEMail(mode, count) != 0;
}

bool TfrmLaunch::SerialSendEMail(std::string_view text) {
  return serial_.kwxAsyncSendEMail && serial_.kwxAsyncSendEMail(text.data(), static_cast<int32_t>(text.size())) != 0;
}

void TfrmLaunch::SerialGetEMailList(int32_t first) {
  if (serial_.kwxAsyncGetEMailList) serial_.kwxAsyncGetEMailList(first);
}

void TfrmLaunch::SerialGetEMail(const std::string& id) {
  if (serial_.kwxAsyncGetEMail) serial_.kwxAsyncGetEMail(id.c_str());
}

void TfrmLaunch::SerialPurgeEMail(const std::string& id) {
  if (serial_.kwxPurgeEMail) serial_.kwxPurgeEMail(id.c_str());
}

void TfrmLaunch::SerialExitEMail() {
  if (serial_.kwxExitEMail) serial_.kwxExitEMail();
}

std::string TfrmLaunch::SerialGetBuffer() {
  std::string buffer(static_cast<size_t>(kwx::kReceiveBufferSize), '\0');
  int32_t size = kwx::kReceiveBufferSize;
  if (!serial_.kwxAsyncGetBuffer || !serial_.kwxAsyncGetBuffer(buffer.data(), &size)) size = 0;
  buffer.resize(static_cast<size_t>(std::clamp<int32_t>(size, 0, kwx::kReceiveBufferSize)));
  return buffer;
}

bool TfrmLaunch::SerialWaitForRing() { return serial_.kwxWaitForRing && serial_.kwxWaitForRing() != 0; }

void TfrmLaunch::SerialDisconnect(int32_t reason) {
  if (serial_.kwxDisconnect) serial_.kwxDisconnect(reason);
}

bool TfrmLaunch::SerialResumeTxRx() { return serial_.kwxResumeTxRx && serial_.kwxResumeTxRx(0, 0, 0) != 0; }

bool TfrmLaunch::SerialReadySMail() { return serial_.kwxReadySMail && serial_.kwxReadySMail() != 0; }

bool TfrmLaunch::SerialGetState() { return serial_.kwxGetState && serial_.kwxGetState() != 0; }

std::string TfrmLaunch::SerialGetParam(int32_t id, int32_t size) {
  // One byte beyond what the module may fill: its text is not terminated
  // when it is as long as the buffer.
  std::vector<char> buffer(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
  if (size <= 0 || !serial_.kwxGetParam || !serial_.kwxGetParam(id, buffer.data(), size)) return {};
  return std::string(buffer.data());
}

bool TfrmLaunch::SerialEnterInfoMode(int32_t kind) {
  return serial_.kwxEnterInfoMode && serial_.kwxEnterInfoMode(kind) != 0;
}

bool TfrmLaunch::SerialGetInfo() { return serial_.kwxGetInfo && serial_.kwxGetInfo() != 0; }

bool TfrmLaunch::SerialSetInfo(std::string_view data) {
  return serial_.kwxSetInfo && serial_.kwxSetInfo(data.data(), static_cast<int32_t>(data.size())) != 0;
}

bool TfrmLaunch::SerialBareInfo(std::string_view data) {
  return serial_.kwxBareInfo && serial_.kwxBareInfo(data.data(), static_cast<int32_t>(data.size())) != 0;
}

bool TfrmLaunch::SerialDeleteInfo() { return serial_.kwxDeleteInfo && serial_.kwxDeleteInfo() != 0; }

bool TfrmLaunch::SerialExitInfoMode() { return serial_.kwxExitInfoMode && serial_.kwxExitInfoMode() != 0; }

std::string TfrmLaunch::SerialGetTelNumber(const std::string& port, int32_t baud) {
  char number[257] = {};
  if (!serial_.kwxGetTelNumber || !serial_.kwxGetTelNumber(port.c_str(), baud, number)) return {};
  return std::string(number);
}

bool TfrmLaunch::WaitSerialIdle(int count) {
  for (int i = 0; i < count; ++i) {
    if (!SerialGetState()) return true;
    QThread::msleep(100);
  }
  return !SerialGetState();
}

// ---- module events ----

void TfrmLaunch::WMSerialEvent(int32_t kind, int32_t code) {
  static const std::string kMail = Sjis("メール"), kInbox = Sjis("受信簿");
  if (frmConnecting) frmConnecting->AddEvent(kind, code);
  auto notice = [this](const char* utf8) {
    const std::string text = Sjis(utf8);
    CloseNotice();
    SetStatus(text);
    ShowNotice(text, false);
  };
  switch (kind) {
    case 0:
      ReportMessage(FiveDigits('I', code), false);
      break;
    case 1:
      if (code == 9 && ringWaitState_ == RingWaitState::Starting) {
        ShowRingWaitState(RingWaitState::Waiting);
        SetStatus("");
      } else if (code == 10) {
        notice("直送メールお断り中");
      }
      break;
    case 2:
      switch (code) {
        case 0:
          if (HandleIncoming(0)) {
            Pause(4000, false);
            notice("直送メール着信");
            PlayArrivalAlert();
          }
          NotifyPlugin(kMail, kInbox);
          break;
        case 1:
          if (HandleIncoming(1)) {
            notice("ブリーズメール着信");
            PlayArrivalAlert();
          }
          NotifyPlugin(kMail, kInbox);
          break;
        case 2:
          HandleIncoming(2);
          break;
        case 3:
          notice("データ・音声着信");
          PlayArrivalAlert();
          ReportMessage("W01004", false);
          break;
        default:
          break;
      }
      break;
    case 8:
      // The module ended ring-wait by itself (the handset went away, say):
      // the indicator must not go on saying it waits.
      if (code == 21 && (ringWaitState_ == RingWaitState::Waiting || ringWaitState_ == RingWaitState::Starting))
        ShowRingWaitState(RingWaitState::Stopped);
      break;
    case 9:
      StopBannerAnimation();
      if (code != 1120 && code != 1130 && code != 1280 && code != 11140) {
        autoReceiveCount_ = 0;
        tmrEmailAuto->stop();
      }
      ReportMessage(FiveDigits('E', code), true);
      break;
    case 10:
      if (ringWaitState_ == RingWaitState::Starting) StopRingWait(false);
      StopBannerAnimation();
      if (code == 30) StopRingWait(false);
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
    case 0:
      return RunSession(SessionMode::AcceptDirectMail, [](TfrmConnecting&) {});
    case 1: {
      // The module keeps 750 bytes of light mail; the text is in its wire form.
      const std::string hex = DecimalTextToHex(SerialGetParam(2, kLightMailBytes));
      peerNumber_ = SerialGetParam(6, 512);
      const std::string sender = TrimText(peerNumber_);
      MailIndexRow row;
      BuildIndexRow(row, 9, 0, 1, 0, 0, 0, 0, sender, "", Sjis("ブリーズメール"), NowText(), sender);
      return frmConnecting && frmConnecting->StoreReceived(kInbox, hex, row);
    }
    case 2: {
      std::string notice = SerialGetParam(3, 512);
      std::erase_if(notice, [](char c) { return c == '\r' || c == '\n'; });
      const std::string notifier = TrimText(GetField(notice, ":", 0));
      if (notifier != EMailAutoPhoneNo()) {
        autoReceiveCount_ = 0;
        autoReceiveInterval_ = 1;
        ReportAutoNumberMismatch(notifier);
        return false;
      }
      autoReceiveCount_ = NoticeNumber(GetField(notice, ":", 2));
      autoReceiveInterval_ = std::min(NoticeNumber(GetField(notice, ":", 3)), kMaxAutoReceiveMinutes);
      autoReceiveNumber_ = TrimText(GetField(notice, ":", 1));
      if (autoReceiveNumber_.empty()) return false;
      Pause(3000, false);
      tmrEmailAuto->setInterval(1);
      tmrEmailAuto->start();
      return true;
    }
    default:
      return false;
  }
}

void TfrmLaunch::ReportAutoNumberMismatch(const std::string& number) {
  ReportMessage(Sjis("Eメール自動受信の電話番号をご確認ください。") + "\r\n" + number, true);
}

void TfrmLaunch::tmrEmailAutoTimer() {
  static const std::string kMail = Sjis("メール"), kInbox = Sjis("受信簿");
  tmrEmailAuto->stop();
  if (!frmConnecting || !frmConnecting->isVisible()) {
    if (RunMailSession(false, true, true, false, true)) {
      NotifyPlugin(kMail, kInbox);
      const std::string text = Sjis("Eメール着信");
      CloseNotice();
      SetStatus(text);
      ShowNotice(text, false);
      PlayArrivalAlert();
      return;
    }
    if (--autoReceiveCount_ == 0) {
      CloseNotice();
      ShowNotice(Sjis("センターにEメールが有ります"), false);
      return;
    }
  }
  // An interval of 0 minutes means no retry rather than a busy timer.
  if (autoReceiveInterval_ <= 0) return;
  tmrEmailAuto->setInterval(autoReceiveInterval_ * 60000);
  tmrEmailAuto->start();
}

// ---- ring-wait ----

void TfrmLaunch::StartRingWait() {
  if (ringWaitState_ != RingWaitState::Stopped) return;
  InitSerialModule(false);
  // Waiting once the module reports it armed (event 1/9).
  ShowRingWaitState(RingWaitState::Starting);
  if (!SerialWaitForRing()) ShowRingWaitState(RingWaitState::Stopped);
}

void TfrmLaunch::StopRingWait(bool noPause) {
  if (ringWaitState_ == RingWaitState::Stopped) return;
  ShowRingWaitState(RingWaitState::Stopping);
  SerialDisconnect(99999);
  WaitSerialIdle(30000);
  ShowRingWaitState(RingWaitState::Stopped);
  if (!noPause) Pause(1000, true);
  SetStatus("");
}

void TfrmLaunch::ToggleRingWait() {
  if (!FindPlugin(Sjis("メール"))) return;
  if (ringWaitState_ == RingWaitState::Stopped)
    StartRingWait();
  else
    StopRingWait(false);
}

void TfrmLaunch::WaitRingTransition() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  while (ringWaitState_ == RingWaitState::Starting || ringWaitState_ == RingWaitState::Stopping) {
    QThread::msleep(100);
    QCoreApplication::processEvents();
  }
  QApplication::restoreOverrideCursor();
}

void TfrmLaunch::ShowOwnNumber() {
  WaitRingTransition();
  const std::string number =
      ringWaitState_ == RingWaitState::Waiting
          ? SerialGetParam(0, 256)
          : SerialGetTelNumber(ComPortDeviceName(IniRead(keys::SerialPort), true),
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
  if (!frmConnecting || frmConnecting->isVisible()) return false;
  frmConnecting->SetMode(mode);
  setUp(*frmConnecting);
  return frmConnecting->exec() == static_cast<int>(SessionResult::Done);
}

void TfrmLaunch::PausingRingWait(const std::function<void()>& run) {
  WaitRingTransition();
  const bool wasWaiting = ringWaitState_ == RingWaitState::Waiting;
  if (wasWaiting) StopRingWait(false);
  run();
  if (wasWaiting) StartRingWait();
}

bool TfrmLaunch::RunPausingRingWait(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp) {
  if (frmConnecting && frmConnecting->isVisible()) return false;
  bool done = false;
  PausingRingWait([&] { done = RunSession(mode, setUp); });
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
    ShowMessageBox(this, BoxKind::Error, Sjis("メッセージファイルの読み込みに失敗しました"));
    return false;
  }
  return true;
}

std::string TfrmLaunch::ReportMessage(std::string_view s, bool show) {
  if (s.empty()) return {};
  // Only a letter and five digits is an id: a free text may begin with one
  // of the letters too ("Eメール...").
  const bool id = s.size() == 6 && std::all_of(s.begin() + 1, s.end(), [](char c) { return c >= '0' && c <= '9'; });
  const char letter = id ? UpperFirst(s.substr(0, 1))[0] : '\0';
  std::string text;
  bool logged = true;
  switch (letter) {
    case 'I':
      text = messages_.Text(s);
      SetStatus(text);
      if (show) ShowMessageBox(this, BoxKind::Information, text);
      logged = false;
      break;
    case 'W':
      text = ExpandLineBreaks(messages_.Text(s));
      SetStatus("");
      CloseNotice();
      if (show)
        ShowMessageBox(this, BoxKind::Warning, text);
      else
        ShowNotice(text, true);
      logged = false;
      break;
    case 'D':
      text = ExpandLineBreaks(messages_.Text(s)) + "(" + std::string(s) + ")";
      SetStatus("");
      if (show) {
        CloseNotice();
        ShowNotice(text, true);
      }
      break;
    case 'E': {
      text = ExpandLineBreaks(messages_.Text(s));
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
  if (logged) {
    const std::string path = GetDataFilePath(keys::ErrorLogFile.name, keys::ErrorLogFile.def);
    AppendErrorLog(path, FormatErrorLogLine(LocalNow(), peerNumber_, text));
  }
  return text;
}

void TfrmLaunch::ShowNotice(const std::string& text, bool force) {
  if (!frmReceiveMsg) return;
  if (!force && !IniReadBool(keys::ShowMessage)) return;
  frmReceiveMsg->SetMessage(text);
  frmReceiveMsg->show();
}

void TfrmLaunch::CloseNotice() {
  if (!frmReceiveMsg || !frmReceiveMsg->isVisible()) return;
  while (frmReceiveMsg && frmReceiveMsg->tmrWait->isActive()) {
    QCoreApplication::processEvents();
    QThread::msleep(100);
  }
  if (frmReceiveMsg) frmReceiveMsg->close();
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
  TfrmOption dialog(this);
  dialog.exec();
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
  about.exec();
}

// ---- window events ----

bool TfrmLaunch::event(QEvent* event) {
  if (event->type() == PostedMessageEvent::kType) {
    auto* m = static_cast<PostedMessageEvent*>(event);
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
      if (watched == ImgLogo) AboutBox();
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace qv
