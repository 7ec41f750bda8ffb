#pragma once
// The online sign-up terminal: a window that looks like a handset. It binds
// the sign-up serial-link module itself, dials the sign-up centre through it,
// sends the typed requests and shows the pages that come back, keeping the
// last pages with what was sent from each.
#include "core/data/MessageTable.h"
#include "plugins/signup/KwxBinding.h"
#include "plugins/signup/SignupPages.h"
#include "platform/Handles.h"

#include <QDialog>
#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QPlainTextEdit;
class QTimer;
class TAnimationImage;
class TAttachPanel;
class TImageList;
class TMultiButton;
class TMultiSpeedButton;

namespace qv {

class TSignupPageList;
class TSingleApp;

class TfrmSignup : public QDialog {
  Q_OBJECT
 public:
  // The receive buffer's size (a page keeps 102,400 bytes and its NUL) and
  // the send buffer's (a request keeps 2,304 bytes and its NUL).
  static constexpr size_t kReceiveBufferSize = signup::kPageLimit + 1;
  static constexpr size_t kSendBufferSize = signup::kRequestLimit + 1;

  explicit TfrmSignup(QWidget* parent = nullptr);
  ~TfrmSignup() override;

  // Binds the thirteen entry points of [File] OnlineSignUpDllFile.
  bool LoadLinkModule();
  bool LinkLoaded() const { return link_.Bound(); }
  // Starts the call: kwxInitial with the parameter block built from the settings.
  bool LinkInitial(HWND32 window);
  // Sends the lines (the input's typed lines) as a request.
  void SendSignupRequest(const std::vector<std::string>& lines);
  // One event of the module (WM_USER+1: type and detail).
  void WMLinkEvent(int32_t type, int32_t detail);
  // Keeps a received page; its index.
  int PushPage(std::string text);
  void ShowPage(int index);
  void SetOnline(bool flag);
  // Whether typed text (CP932) may go on the line.
  bool CheckInput(std::string_view text) const { return signup::CheckInput(text); }
  // Reports a message id: in the message panel, or in a box.
  void ShowMessageCode(std::string_view code, bool inBox = false);

  bool Online() const { return online_; }
  bool Busy() const { return busy_; }
  int ShownIndex() const { return shown_; }
  const signup::PageHistory& History() const { return history_; }
  const MessageTable& Messages() const { return messages_; }
  const std::vector<std::string>& PicText() const { return picText_; }
  HWND32 Handle() const { return handle_; }
  // The input's mode as the last page shown asked for it.
  signup::InputMode InputMode() const { return inputMode_; }

  TSignupPageList* lstMain;
  QPlainTextEdit* memInput;
  TAttachPanel* pnlMain;
  TAttachPanel* pnlInput;
  TAttachPanel* pnlMessage;
  TAnimationImage* aniBanner;
  std::array<QAction*, 10> actNumBtn{};
  QAction* actNumBtnA;  // "*"
  QAction* actNumBtnS;  // "#"
  QAction* actOK;
  QAction* actCall;
  QAction* actDisconnect;
  QAction* actConnect;
  QAction* actBack;
  QAction* actForward;
  QAction* actExt;
  std::array<TMultiSpeedButton*, 12> btnKeys{};
  TMultiButton* btnOK;
  TMultiButton* btnCall;
  TMultiButton* btnDisconnect;
  TMultiButton* btnConnect;
  TMultiButton* btnBack;
  TMultiButton* btnForward;
  TMultiButton* btnExt;
  TImageList* imlButton;
  TImageList* imlNumber;
  TImageList* imlPicText;
  QTimer* tmrStart;
  TSingleApp* SingleApp1;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override { close(); }

 private:
  void CreateComponents();
  void ReadSettings();
  void LoadTables();
  void Showing();
  void UpdateActions();
  void SetBusy(bool busy);
  void SetHourglass(bool on);
  void SetInputReadOnly(bool readOnly, bool grey);
  void ApplyInputMode(signup::InputMode mode);
  void ShowLines(const std::vector<std::string>& lines);
  std::vector<std::string> DisplayLines(int index);
  void RefreshLook();
  // What follows the body's colour without being its child's colour.
  void TintCallKeys();
  // The input as CP932, false when the codec cannot hold all of it.
  bool InputBytes(std::string& bytes) const;
  std::string InputTrimmed() const;
  void SendInput();
  void SendBuffer(std::string_view request);
  void ReadData();
  void PageComplete();
  void AskToContinue();
  void LogError(std::string_view text);
  void KeyPressed(QAction* key);
  void LineClicked(int row);
  void LineDoubleClicked();
  void tmrStartTimer();

  void actConnectExecute();
  void actDisconnectExecute();
  void actBackExecute();
  void actForwardExecute();

  KwxBinding link_;
  HWND32 handle_ = 0;
  bool online_ = false;
  bool busy_ = false;
  bool hourglass_ = false;
  signup::PageHistory history_;
  int shown_ = -1;
  signup::InputMode inputMode_ = signup::InputMode::Kanji;
  std::vector<char> receive_;
  size_t position_ = 0;
  std::array<char, kSendBufferSize> send_{};
  MessageTable messages_;
  std::vector<std::string> picText_;
  int maxErrLogCount_ = 100;
  std::filesystem::path picTextFile_, messageFile_, errorLogFile_, firstMessageFile_;
  std::string linkFile_;
  int fontSize_ = 9;
};

}  // namespace qv
