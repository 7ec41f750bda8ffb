#include "plugins/signup/QvSignupFRM.h"

#include "controls/AnimationImage.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/BRVPanelEX.h"
#include "controls/Graphics.h"
#include "controls/ImageList.h"
#include "controls/MultiButton.h"
#include "core/data/ErrorLog.h"
#include "core/data/HandsetExchange.h"
#include "core/ui/FormColors.h"
#include "core/ui/MessageBox.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/ui/QvWait30FRM.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/ui/SingleApp.h"
#include "core/ui/Theme.h"
#include "core/data/TextFunctions.h"
#include "core/ui/WindowHandle.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "plugins/signup/SignupPageList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace qv {
namespace {

std::string S(std::string_view utf8) { return cp932::FromUtf8(utf8); }

// The screen's colour while offline, and the input's text on older pages.
constexpr TColor kOfflineColor = 0xFFE0E0;
const QColor kGreyText(0x60, 0x60, 0x60);
// The typed text keeps at most this many bytes.
constexpr size_t kInputLimit = 2000;
// Images of "BUTTON", in order.
enum { kImgOK, kImgCall, kImgDisconnect, kImgConnect, kImgBack, kImgForward, kImgExit };

bool Exists(const std::filesystem::path& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::vector<std::string> FileLines(const std::filesystem::path& path) {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadWholeFile(path, text)) return lines;
  for (std::string_view line : SplitLines(text)) lines.emplace_back(line);
  return lines;
}

// A file name of the settings, absolute from the launcher's folder; none
// when the key is empty.
std::filesystem::path FileSetting(const keys::Key& key) {
  if (TrimText(IniRead(key)).empty()) return {};
  return GetDataFilePath(key.name, "");
}

std::string Code(char letter, int32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%05d", letter, static_cast<int>(number));
  return text;
}

}  // namespace

TfrmSignup::TfrmSignup(QWidget* parent) : QDialog(parent) {
  receive_.assign(kReceiveBufferSize, '\0');
  CreateComponents();
  handle_ = RegisterQtWindow(this);
  ReadSettings();
  SetOnline(false);
  LoadTables();
  SingleApp1->Loaded();
  if (LoadLinkModule()) {
    if (Exists(firstMessageFile_)) lstMain->SetLines(FileLines(firstMessageFile_));
    if (lstMain->count() == 0) lstMain->SetLines({std::string()});
    imlButton->SetWidth(kButtonWidth);
    imlButton->SetHeight(kButtonHeight);
    LoadImageListFromDll("BUTTON", *imlButton);
    imlNumber->SetWidth(kNumberWidth);
    imlNumber->SetHeight(kNumberHeight);
    LoadImageListFromDll("NUMBER", *imlNumber);
    imlPicText->SetWidth(kPicTextWidth);
    imlPicText->SetHeight(kPicTextHeight);
    LoadImageListFromDll("PICTEXT", *imlPicText);
    // The launcher lists the terminal with this icon.
    if (imlButton->Count() > kImgConnect) setWindowIcon(QIcon(QPixmap::fromImage(imlButton->Image(kImgConnect))));
  } else {
    ShowMessageBox(this, BoxKind::Error, S("DLLの読み込みに失敗しました"));
    // The window lives in the launcher's process: the whole program ends
    // once its event loop runs. Called by name, so that nothing of this
    // module waits in the queue should the module go first.
    QMetaObject::invokeMethod(qApp, "exit", Qt::QueuedConnection, Q_ARG(int, 0));
  }
  UpdateActions();
}

TfrmSignup::~TfrmSignup() {
  tmrStart->stop();
  SetHourglass(false);
  // The module ends its call before it goes.
  if (online_ && link_.kwxDisconnect) link_.kwxDisconnect(0);
  link_.Unbind();
}

void TfrmSignup::CreateComponents() {
  setObjectName("frmSignup");
  setWindowTitle(QStringLiteral("VeoQuorvel - オンラインサインアップ"));
  resize(272, 640);

  imlButton = new TImageList(kButtonWidth, kButtonHeight, this);
  imlButton->setObjectName("imlButton");
  imlNumber = new TImageList(kNumberWidth, kNumberHeight, this);
  imlNumber->setObjectName("imlNumber");
  imlPicText = new TImageList(kPicTextWidth, kPicTextHeight, this);
  imlPicText->setObjectName("imlPicText");

  SingleApp1 = new TSingleApp(this);
  SingleApp1->setObjectName("SingleApp1");
  SingleApp1->SetUniqueName("VeoAppliOnlineSignupB2");
  SingleApp1->SetDupInstAction(TDupInstAction::diActivateFirst);

  auto action = [this](const char* name, const QString& caption) {
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    addAction(a);
    return a;
  };
  for (int n = 0; n < 10; ++n) {
    const QByteArray name = "actNumBtn" + QByteArray::number(n);
    actNumBtn[static_cast<size_t>(n)] = action(name.constData(), QString::number(n));
  }
  actNumBtnA = action("actNumBtnA", QStringLiteral("*"));
  actNumBtnS = action("actNumBtnS", QStringLiteral("#"));
  actOK = action("actOK", QStringLiteral("決定"));
  actCall = action("actCall", QStringLiteral("通話"));
  actDisconnect = action("actDisconnect", QStringLiteral("切断"));
  actConnect = action("actConnect", QStringLiteral("接続"));
  actBack = action("actBack", QStringLiteral("戻る"));
  actForward = action("actForward", QStringLiteral("進む"));
  actExt = action("actExt", QStringLiteral("終了"));
  for (QAction* key : actNumBtn) connect(key, &QAction::triggered, this, [this, key] { KeyPressed(key); });
  connect(actNumBtnA, &QAction::triggered, this, [this] { KeyPressed(actNumBtnA); });
  connect(actNumBtnS, &QAction::triggered, this, [this] { KeyPressed(actNumBtnS); });
  connect(actOK, &QAction::triggered, this, &TfrmSignup::SendInput);
  connect(actCall, &QAction::triggered, this, &TfrmSignup::SendInput);
  connect(actDisconnect, &QAction::triggered, this, &TfrmSignup::actDisconnectExecute);
  connect(actConnect, &QAction::triggered, this, &TfrmSignup::actConnectExecute);
  connect(actBack, &QAction::triggered, this, &TfrmSignup::actBackExecute);
  connect(actForward, &QAction::triggered, this, &TfrmSignup::actForwardExecute);
  connect(actExt, &QAction::triggered, this, &QWidget::close);

  // The handset's body, with the screen on top and the keys below: dark
  // until the launcher's colours reach it (TakeColours).
  SetFormColors(this, QColor(0x3A, 0x40, 0x4A), QColor(0xF0, 0xF0, 0xF0));
  setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(6);

  aniBanner = new TAnimationImage(this);
  aniBanner->setObjectName("aniBanner");
  aniBanner->setFixedSize(120, 50);
  layout->addWidget(aniBanner, 0, Qt::AlignHCenter);

  pnlMain = new TAttachPanel(this);
  pnlMain->setObjectName("pnlMain");
  pnlMain->SetRadius(6);
  auto* screen = new QVBoxLayout(pnlMain);
  screen->setSpacing(2);
  lstMain = new TSignupPageList(pnlMain);
  lstMain->setObjectName("lstMain");
  lstMain->setFrameShape(QFrame::NoFrame);
  lstMain->Text().SetImages(imlPicText);
  connect(lstMain, &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { LineClicked(lstMain->row(it)); });
  connect(lstMain, &QListWidget::itemDoubleClicked, this, [this] { LineDoubleClicked(); });
  screen->addWidget(lstMain, 1);
  pnlMessage = new TAttachPanel(pnlMain);
  pnlMessage->setObjectName("pnlMessage");
  pnlMessage->SetRadius(3);
  pnlMessage->SetCaptionAlignment(bpaLeftMiddle);
  pnlMessage->setFixedHeight(26);
  // It speaks on the screen, not on the body.
  pnlMessage->SetParentFont(false);
  screen->addWidget(pnlMessage);
  layout->addWidget(pnlMain, 1);

  pnlInput = new TAttachPanel(this);
  pnlInput->setObjectName("pnlInput");
  pnlInput->SetRadius(6);
  auto* inputLayout = new QVBoxLayout(pnlInput);
  memInput = new QPlainTextEdit(pnlInput);
  memInput->setObjectName("memInput");
  memInput->setFrameShape(QFrame::NoFrame);
  memInput->setFixedHeight(52);
  memInput->installEventFilter(this);
  connect(memInput, &QPlainTextEdit::textChanged, this, [this] {
    // Typed text is kept within its byte limit, cut at the end.
    QString text = memInput->toPlainText();
    if (FromQString(text).size() > kInputLimit) {
      while (!text.isEmpty() && FromQString(text).size() > kInputLimit) text.chop(text.back().isLowSurrogate() ? 2 : 1);
      const QSignalBlocker block(memInput);
      memInput->setPlainText(text);
      memInput->moveCursor(QTextCursor::End);
    }
    UpdateActions();
  });
  inputLayout->addWidget(memInput);
  layout->addWidget(pnlInput);

  auto button = [this](const char* name, QAction* a, int image) {
    auto* b = new TMultiButton(this);
    b->setObjectName(name);
    b->SetParentColor(true);  // keys in the body's colour
    if (a) b->SetAction(a);
    b->SetImages(imlButton);
    b->SetImageIndex(image);
    b->SetImageAlign(biaLeft);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    b->setMinimumHeight(30);
    return b;
  };
  btnBack = button("btnBack", actBack, kImgBack);
  btnOK = button("btnOK", actOK, kImgOK);
  btnForward = button("btnForward", actForward, kImgForward);
  btnCall = button("btnCall", actCall, kImgCall);
  // The connect key has a caption of its own; it follows the action otherwise.
  btnConnect = button("btnConnect", nullptr, kImgConnect);
  btnConnect->SetCaption(QStringLiteral("Online Signup"));
  connect(btnConnect, &QAbstractButton::clicked, actConnect, &QAction::trigger);
  connect(actConnect, &QAction::changed, btnConnect, [this] { btnConnect->setEnabled(actConnect->isEnabled()); });
  btnDisconnect = button("btnDisconnect", actDisconnect, kImgDisconnect);
  btnExt = button("btnExt", actExt, kImgExit);
  auto* rowNav = new QHBoxLayout;
  rowNav->addWidget(btnBack);
  rowNav->addWidget(btnOK);
  rowNav->addWidget(btnForward);
  layout->addLayout(rowNav);
  auto* rowCall = new QHBoxLayout;
  rowCall->addWidget(btnCall);
  rowCall->addWidget(btnDisconnect);
  layout->addLayout(rowCall);

  auto* keypad = new QGridLayout;
  keypad->setSpacing(4);
  const QAction* order[12] = {actNumBtn[1], actNumBtn[2], actNumBtn[3], actNumBtn[4], actNumBtn[5], actNumBtn[6],
                              actNumBtn[7], actNumBtn[8], actNumBtn[9], actNumBtnA,   actNumBtn[0], actNumBtnS};
  for (int k = 0; k < 12; ++k) {
    auto* key = new TMultiSpeedButton(this);
    QAction* a = const_cast<QAction*>(order[k]);
    key->setObjectName("btn" + a->objectName().mid(3));
    key->SetAction(a);
    key->SetImages(imlNumber);
    // "NUMBER" holds 0-9, then * and #.
    key->SetImageIndex(a == actNumBtnA ? 10 : a == actNumBtnS ? 11 : a->text().toInt());
    key->SetFaceColor(RGB(0xE8, 0xE8, 0xEC));
    // The key's picture shows its character.
    key->SetCaptionVisible(false);
    key->SetTransparent(false);
    key->setMinimumHeight(28);
    keypad->addWidget(key, k / 3, k % 3);
    btnKeys[static_cast<size_t>(k)] = key;
  }
  layout->addLayout(keypad);
  auto* rowEnd = new QHBoxLayout;
  rowEnd->addWidget(btnConnect, 2);
  rowEnd->addWidget(btnExt, 1);
  layout->addLayout(rowEnd);

  TintCallKeys();

  tmrStart = new QTimer(this);
  tmrStart->setObjectName("tmrStart");
  tmrStart->setInterval(100);
  connect(tmrStart, &QTimer::timeout, this, &TfrmSignup::tmrStartTimer);
}

void TfrmSignup::ReadSettings() {
  history_.SetMaxCount(IniReadInteger(keys::MaxLogCount));
  maxErrLogCount_ = IniReadInteger(keys::MaxErrLogCount);
  // No limit, or a limit below one, keeps the usual hundred lines.
  if (maxErrLogCount_ < 1) maxErrLogCount_ = static_cast<int>(kErrorLogLines);
  fontSize_ = IniReadInteger(keys::FontSizeSignUp);
  picTextFile_ = FileSetting(keys::PicTextFile);
  messageFile_ = FileSetting(keys::MessageFile);
  errorLogFile_ = FileSetting(keys::ErrorLogFile);
  firstMessageFile_ = FileSetting(keys::FirstMessageFile);
  linkFile_ = TrimText(IniRead(keys::OnlineSignUpDllFile));
}

void TfrmSignup::LoadTables() {
  if (Exists(messageFile_)) messages_.LoadFromFile(messageFile_);
  if (Exists(picTextFile_)) picText_ = FileLines(picTextFile_);
  lstMain->Text().SetTable(picText_);
}

bool TfrmSignup::LoadLinkModule() { return link_.Bind(linkFile_); }

bool TfrmSignup::LinkInitial(HWND32 window) {
  if (!link_.kwxInitial) return false;
  auto block = std::make_unique<KwxInitialParam>();
  std::memset(block.get(), 0, sizeof *block);
  const std::string number = MakeDialString(OnlineSignUpPhoneNo());
  const std::string port = ComPortDeviceName(IniRead(keys::SerialPort), true);
  std::strncpy(block->OnlineSignUpPhoneNo, number.c_str(), sizeof block->OnlineSignUpPhoneNo - 1);
  block->Reserved = 0;
  block->Bunkei = IniReadBool(keys::BunkeiFlag) ? -1 : 0;
  block->NotifyWindow = window;
  std::strncpy(block->SerialPort, port.c_str(), sizeof block->SerialPort - 1);
  block->Baudrate = BaudRateOrDefault(IniReadInteger(keys::Baudrate));
  return link_.kwxInitial(window, block.get()) != 0;
}

// ---- state -----------------------------------------------------------------

void TfrmSignup::SetOnline(bool flag) {
  online_ = flag;
  actDisconnect->setEnabled(flag);
  const TColor colour = flag ? clWindow : kOfflineColor;
  pnlMain->SetColor(colour);
  pnlInput->SetColor(colour);
  QPalette screen = lstMain->palette();
  screen.setColor(QPalette::Base, ToQColor(colour));
  lstMain->setPalette(screen);
  QPalette input = memInput->palette();
  input.setColor(QPalette::Base, ToQColor(colour));
  memInput->setPalette(input);
  if (flag) {
    setWindowTitle(QStringLiteral("VeoQuorvel - オンラインサインアップ - 通信中"));
    memInput->setEnabled(true);
    aniBanner->show();
    aniBanner->Start();
  } else {
    setWindowTitle(QStringLiteral("VeoQuorvel - オンラインサインアップ"));
    memInput->clear();
    memInput->setEnabled(false);
    aniBanner->Stop();
    pnlMessage->SetCaption(QString());
  }
  RefreshLook();
  UpdateActions();
}

void TfrmSignup::SetBusy(bool busy) {
  busy_ = busy;
  UpdateActions();
}

void TfrmSignup::SetHourglass(bool on) {
  if (on == hourglass_) return;
  hourglass_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TfrmSignup::SetInputReadOnly(bool readOnly, bool grey) {
  memInput->setReadOnly(readOnly);
  QPalette p = memInput->palette();
  p.setColor(QPalette::Text, grey ? kGreyText : QApplication::palette().color(QPalette::Text));
  memInput->setPalette(p);
  // Read-only switches the input method by itself; the page's mode stands.
  ApplyInputMode(signup::InputMode::Unchanged);
}

void TfrmSignup::ApplyInputMode(signup::InputMode mode) {
  if (mode != signup::InputMode::Unchanged) inputMode_ = mode;
  const bool kanji = inputMode_ == signup::InputMode::Kanji;
  memInput->setAttribute(Qt::WA_InputMethodEnabled, kanji && !memInput->isReadOnly());
  memInput->setInputMethodHints(kanji ? Qt::ImhNone : Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
}

void TfrmSignup::UpdateActions() {
  const bool newest = shown_ == history_.Newest();
  const bool canSend = online_ && !busy_ && newest;
  actCall->setEnabled(canSend);
  for (QAction* key : actNumBtn) key->setEnabled(canSend);
  actNumBtnA->setEnabled(canSend);
  actNumBtnS->setEnabled(canSend);
  actOK->setEnabled(canSend && !InputTrimmed().empty());
  actConnect->setEnabled(!online_ && !busy_ && link_.Bound());
  actDisconnect->setEnabled(online_);
  actBack->setEnabled(shown_ >= 1 && !busy_);
  actForward->setEnabled(shown_ >= 0 && shown_ < history_.Newest() && !busy_);
}

void TfrmSignup::RefreshLook() {
  TSignupPageList::Look look;
  look.live = online_ && shown_ == history_.Newest();
  look.historyEmpty = history_.Empty();
  if (shown_ >= 0 && shown_ < history_.Count()) look.sent = history_[shown_].sent;
  lstMain->SetLook(std::move(look));
}

// ---- pages -----------------------------------------------------------------

int TfrmSignup::PushPage(std::string text) {
  const bool full = history_.Count() >= static_cast<int>(history_.MaxCount());
  const int index = history_.Push(std::move(text));
  // The oldest page went: the index shown stays with its page.
  if (full && shown_ >= 0) shown_ = std::max(0, shown_ - 1);
  return index;
}

std::vector<std::string> TfrmSignup::DisplayLines(int index) {
  std::vector<std::string> lines = signup::PageLines(history_[index].text);
  ApplyInputMode(signup::ParsePage(lines, picText_));
  return lines;
}

void TfrmSignup::ShowLines(const std::vector<std::string>& lines) {
  lstMain->SetLines(lines);
  lstMain->Remeasure();
}

void TfrmSignup::ShowPage(int index) {
  if (index < 0 || index >= history_.Count()) return;
  shown_ = index;
  ShowLines(DisplayLines(index));
  const QSignalBlocker block(memInput);
  memInput->setPlainText(ToQString(history_[index].sent));
  if (index == history_.Newest())
    SetInputReadOnly(busy_, false);
  else
    SetInputReadOnly(true, true);
  RefreshLook();
  UpdateActions();
}

void TfrmSignup::PageComplete() {
  receive_[position_] = '\0';
  const std::string_view text(receive_.data(), std::strlen(receive_.data()));
  std::string page;
  for (const std::string& line : signup::PageLines(text)) {
    page += line;
    page += "\r\n";
  }
  memInput->clear();
  ShowPage(PushPage(std::move(page)));
  pnlMessage->SetCaption(QString());
}

void TfrmSignup::ReadData() {
  if (!link_.kwxAsyncGetBuffer) return;
  const size_t room = signup::kPageLimit - position_;
  // With no room left the part is still taken (and dropped): the module
  // waits for it before it reads on.
  char none = '\0';
  int32_t size = static_cast<int32_t>(room);
  char* at = room > 0 ? receive_.data() + position_ : &none;
  if (link_.kwxAsyncGetBuffer(at, &size) && size > 0) position_ += std::min(static_cast<size_t>(size), room);
}

// ---- requests --------------------------------------------------------------

void TfrmSignup::SendBuffer(std::string_view request) {
  // The buffer stays as it is until the reply has come.
  const std::string cut = signup::CutRequest(request);
  send_.fill('\0');
  std::memcpy(send_.data(), cut.data(), cut.size());
  if (link_.kwxAsyncSendSignup) link_.kwxAsyncSendSignup(send_.data(), static_cast<int32_t>(cut.size()));
}

void TfrmSignup::SendSignupRequest(const std::vector<std::string>& lines) {
  std::string addressee = "SIGNUP";
  if (!history_.Empty()) {
    std::string value, params;
    if (signup::FindHeader(signup::PageLines(history_[history_.Newest()].text), "Reply-To", 0, -1, value, params) &&
        !value.empty())
      addressee = value;
  }
  const std::string request = signup::RequestText(addressee, lines);
  if (!history_.Empty()) {
    std::string sent;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) sent += "\r\n";
      sent += lines[i];
    }
    history_[history_.Newest()].sent = std::move(sent);
  }
  SetBusy(true);
  SetInputReadOnly(true, false);
  SetHourglass(true);
  RefreshLook();
  SendBuffer(request);
}

bool TfrmSignup::InputBytes(std::string& bytes) const { return TryFromQString(memInput->toPlainText(), bytes); }

std::string TfrmSignup::InputTrimmed() const { return memInput->toPlainText().trimmed().toStdString(); }

void TfrmSignup::SendInput() {
  if (!(online_ && !busy_ && shown_ == history_.Newest())) return;
  std::string bytes;
  if (!InputBytes(bytes) || !CheckInput(bytes)) {
    ShowMessageCode("W00001", true);
    return;
  }
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t br = bytes.find('\n', start);
    lines.push_back(bytes.substr(start, br == std::string::npos ? std::string::npos : br - start));
    if (br == std::string::npos) break;
    start = br + 1;
  }
  SendSignupRequest(lines);
}

// ---- events ----------------------------------------------------------------

bool TfrmSignup::event(QEvent* e) {
  if (e->type() == PostedMessageEvent::kType) {
    const auto* m = static_cast<PostedMessageEvent*>(e);
    if (m->msg == kwx::WM_KWX_NOTIFY) WMLinkEvent(static_cast<int32_t>(m->wParam), static_cast<int32_t>(m->lParam));
    return true;
  }
  return QDialog::event(e);
}

void TfrmSignup::WMLinkEvent(int32_t type, int32_t detail) {
  switch (type) {
    case kwx::KWX_EV_PROGRESS:
      ShowMessageCode(Code('I', detail));
      break;
    case kwx::KWX_EV_READY:
      switch (detail) {
        case kwx::kReadyForOperation: {
          SetBusy(false);
          SetInputReadOnly(shown_ != history_.Newest(), shown_ != history_.Newest());
          SetHourglass(false);
          RefreshLook();
          std::string value, params;
          if (!history_.Empty() &&
              signup::FindHeader(signup::PageLines(history_[history_.Newest()].text), "Reply-To", 0, -1, value,
                                 params) &&
              !value.empty()) {
            const QSignalBlocker block(memInput);
            memInput->clear();
            SendSignupRequest({});
          }
          break;
        }
        case kwx::kReadyData:
        case kwx::kReadyBufferFull:
          ReadData();
          break;
        case kwx::kReadyFirstOperation:
          SendBuffer(signup::kFirstMessage);
          break;
        case kwx::kReadyBodyStarts:
          std::fill(receive_.begin(), receive_.end(), '\0');
          position_ = 0;
          break;
        case kwx::kReadyTurnOver:
          PageComplete();
          break;
        default:
          break;
      }
      break;
    case kwx::KWX_EV_NO_RESPONSE:
      AskToContinue();
      break;
    case kwx::KWX_EV_SESSION_END:
      if (detail == kwx::SessionOver(kwx::kKindSignup)) {
        if (link_.kwxDisconnect) link_.kwxDisconnect(0);
      } else if (detail == kwx::WorkerEnded(kwx::kKindSignup)) {
        SetOnline(false);
        lstMain->viewport()->update();
        SetBusy(false);
        SetHourglass(false);
      }
      break;
    case kwx::KWX_EV_SESSION_ERROR:
      ShowMessageCode(Code('E', detail));
      break;
    case kwx::KWX_EV_MODULE_ERROR:
      ShowMessageCode(Code('D', detail));
      break;
    default:
      break;
  }
}

void TfrmSignup::AskToContinue() {
  TfrmWait30 dialog(this);
  const int result = dialog.exec();
  if (result == TfrmWait30::kResume) {
    if (link_.kwxResumeTxRx) link_.kwxResumeTxRx(0, 0, 0);
  } else if (link_.kwxDisconnect) {
    link_.kwxDisconnect(result == TfrmWait30::kTimeOut ? kwx::kDisconnectNoAnswer : kwx::kDisconnectUser);
  }
}

// ---- messages --------------------------------------------------------------

void TfrmSignup::ShowMessageCode(std::string_view code, bool inBox) {
  if (code.empty()) {
    pnlMessage->SetCaption(QString());
    return;
  }
  const std::string value = messages_.Text(code);
  switch (code[0]) {
    case 'I':
    case 'i':
      if (inBox)
        ShowMessageBox(this, BoxKind::Information, value);
      else
        pnlMessage->SetCaption(ToQString(value));
      break;
    case 'W':
    case 'w':
      ShowMessageBox(this, BoxKind::Warning, ExpandLineBreaks(value));
      break;
    case 'D':
    case 'd': {
      const std::string text = ExpandLineBreaks(value + "(" + std::string(code) + ")");
      pnlMessage->SetCaption(QString());
      LogError(text);
      ShowMessageBox(this, BoxKind::Error, text);
      break;
    }
    case 'E':
    case 'e': {
      const std::string text = ExpandLineBreaks(
          value.empty() ? S("通信が中断されました。（") + std::string(code.substr(1, 5)) + S("）") : value);
      pnlMessage->SetCaption(QString());
      LogError(text);
      ShowMessageBox(this, BoxKind::Error, text);
      break;
    }
    default:
      break;
  }
}

void TfrmSignup::LogError(std::string_view text) {
  if (errorLogFile_.empty()) return;
  std::string flat;
  for (char c : text)
    if (c != '\r' && c != '\n') flat += c;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  AppendErrorLog(errorLogFile_, FormatErrorLogLine(local, OnlineSignUpPhoneNo(), flat),
                 static_cast<size_t>(maxErrLogCount_));
}

// ---- input -----------------------------------------------------------------

void TfrmSignup::KeyPressed(QAction* key) {
  if (memInput->isReadOnly() || !memInput->isEnabled()) return;
  memInput->insertPlainText(key->text());
  memInput->setFocus();
}

void TfrmSignup::LineClicked(int row) {
  if (!(online_ && !busy_ && shown_ == history_.Newest())) return;
  memInput->setPlainText(ToQString(lstMain->Choice(row)));
  memInput->moveCursor(QTextCursor::End);
}

void TfrmSignup::LineDoubleClicked() {
  if (actOK->isEnabled())
    actOK->trigger();
  else
    ShowPage(history_.Newest());
}

bool TfrmSignup::eventFilter(QObject* watched, QEvent* e) {
  if (watched == memInput && e->type() == QEvent::FocusIn) lstMain->clearSelection();
  return QDialog::eventFilter(watched, e);
}

void TfrmSignup::actConnectExecute() {
  history_.Clear();
  shown_ = -1;
  ShowLines({std::string()});
  SetOnline(true);
  SetBusy(true);
  SetHourglass(true);
  if (!LinkInitial(handle_)) {
    SetOnline(false);
    SetBusy(false);
    SetHourglass(false);
  }
}

void TfrmSignup::actDisconnectExecute() {
  if (link_.kwxDisconnect) link_.kwxDisconnect(0);
}

void TfrmSignup::actBackExecute() {
  if (shown_ >= 1) ShowPage(shown_ - 1);
}

void TfrmSignup::actForwardExecute() {
  if (shown_ < history_.Newest()) ShowPage(shown_ + 1);
}

// ---- showing and closing ---------------------------------------------------

void TfrmSignup::TintCallKeys() {
  const TColor body = ColorFromQColor(palette().color(QPalette::Active, QPalette::Window));
  for (TAttachPanel* panel : {pnlMain, pnlInput}) panel->SetAttachColor(body);
  // The call keys keep a hint of green and red on whatever body.
  btnCall->SetFaceColor(BlendColor(RGB(0x00, 0xC0, 0x00), body, 64));
  btnDisconnect->SetFaceColor(BlendColor(RGB(0xE0, 0x00, 0x00), body, 64));
}

void TfrmSignup::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) {
    TakeMainFormColors(this);
    TintCallKeys();
  }
  QDialog::showEvent(e);
  if (e->spontaneous()) return;
  QFont f = font();
  f.setPointSize(fontSize_ > 0 ? fontSize_ : 9);
  lstMain->SetListFont(f);
  memInput->setFont(f);
  // The checks speak once the window is up.
  QTimer::singleShot(0, this, &TfrmSignup::Showing);
}

void TfrmSignup::Showing() {
  if (!isVisible()) return;
  if (messages_.Lines().empty()) {
    ShowMessageBox(this, BoxKind::Error, S("メッセージ情報の読み込みに失敗しました"));
    close();
  }
  if (picText_.empty()) ShowMessageBox(this, BoxKind::Warning, S("絵文字がインストールされていません"));
  if (!messages_.Lines().empty()) tmrStart->start();
  lstMain->Remeasure();
}

void TfrmSignup::tmrStartTimer() {
  tmrStart->stop();
  // The launcher's current theme; it moves only while a call is up.
  if (LoadThemeAnimation(*aniBanner) && online_) aniBanner->Start();
}

void TfrmSignup::closeEvent(QCloseEvent* e) {
  if (online_) {
    ShowMessageBox(this, BoxKind::Warning, S("オンラインサインアップを切断してください"));
    e->ignore();
    return;
  }
  if (link_.kwxTerminate) link_.kwxTerminate();
  tmrStart->stop();
  e->accept();
}

}  // namespace qv
