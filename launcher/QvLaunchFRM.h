#pragma once
// The launcher's main window and the hub of the process: it binds the
// serial-link module, hosts the plug-ins, receives the module's events, runs
// the session dialog and reports messages.
#include "launcher/MessageTable.h"
#include "launcher/SerialModule.h"
#include "platform/TColor.h"
#include "launcher/SessionTypes.h"
#include "platform/Handles.h"
#include "abi/PluginApi.h"

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class TAnimationImage;
class TAttachPanel;
class TMultiButton;
class TMultiPanel;

namespace qv {

class TDllForm;
class TfrmConnecting;
class TSingleApp;

class TfrmLaunch : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmLaunch(QWidget* parent = nullptr);
  ~TfrmLaunch() override;

  // Start-up failed (message file or serial-link module): the program ends.
  bool Terminated() const { return terminated_; }
  // Another launcher runs: this one ends (without an error) before it loads anything.
  bool SecondInstance() const;
  HWND32 Handle() const { return handle_; }

  // Status line; an empty text restores the idle caption. Texts are CP932.
  void SetStatus(std::string_view text);
  std::string StatusText() const;
  void StartBannerAnimation();
  void StopBannerAnimation();
  void ReloadBanner();

  void LoadPlugins();
  void OpenItem(std::string_view caption);
  void OptionsDialog();
  void AboutBox();
  // Sends SetStr(1, text) to the first entry of that display name, if loaded.
  void NotifyPlugin(std::string_view displayName, std::string_view text);
  bool PluginParamCallback(int32_t kind, int32_t value);
  int32_t PluginStrCallback(int32_t kind, const char* text);

  // The list's entries: display name (CP932) and holder (null for "設定").
  struct Entry {
    std::string caption;
    TDllForm* plugin = nullptr;
  };
  std::vector<Entry> Entries() const;

  bool BindSerialModule();
  void UnbindSerialModule();
  SerialModule& Serial() { return serial_; }
  // The parameter block from the settings, handed to kwxInitial; with
  // useAutoNumber the centre number is the one an e-mail notice gave.
  void InitSerialModule(bool useAutoNumber);
  // The calls into the module, one per function. Texts are CP932.
  bool SerialConnectSMail(const std::string& number, std::string_view text);
  bool SerialConnectEMail(int32_t mode, int32_t count);
  bool SerialSendEMail(std::string_view text);
  void SerialGetEMailList(int32_t first);
  void SerialGetEMail(const std::string& id);
  void SerialPurgeEMail(const std::string& id);
  void SerialExitEMail();
  // What the module holds, at most 6144 bytes; the module's buffer is emptied.
  std::string SerialGetBuffer();
  bool SerialWaitForRing();
  // 10 user abort, 1130 no answer, 99999 stop ring-wait.
  void SerialDisconnect(int32_t reason);
  bool SerialResumeTxRx();
  bool SerialReadySMail();
  bool SerialGetState();
  // The text the module keeps under id (0 own number, 2 light mail, 3 e-mail
  // notice, 6 caller number), read into a zeroed buffer of size bytes.
  std::string SerialGetParam(int32_t id, int32_t size);
  bool SerialEnterInfoMode(int32_t kind);
  bool SerialGetInfo();
  bool SerialSetInfo(std::string_view data);
  bool SerialBareInfo(std::string_view data);
  bool SerialDeleteInfo();
  bool SerialExitInfoMode();
  // The handset's own number read without a session; empty when none.
  std::string SerialGetTelNumber(const std::string& port, int32_t baud);
  // Polls the module every 100 ms (no message processing) until it is idle;
  // false after count polls.
  bool WaitSerialIdle(int count);

  // The launcher's handler of the module's WM_USER+1 events.
  void WMSerialEvent(int32_t kind, int32_t code);
  // Handles an arrival of ring-wait: 0 direct mail, 1 light mail, 2 e-mail notice.
  bool HandleIncoming(int type);

  // Ring-wait.
  void StartRingWait();
  void StopRingWait(bool noPause);
  void ToggleRingWait();
  void WaitRingTransition();
  void ShowRingWaitState(RingWaitState state);
  RingWaitState RingWait() const { return ringWaitState_; }
  void ShowOwnNumber();

  // Automatic e-mail receive after a notice.
  const std::string& AutoReceiveNumber() const { return autoReceiveNumber_; }
  int AutoReceiveCount() const { return autoReceiveCount_; }
  int AutoReceiveInterval() const { return autoReceiveInterval_; }
  void tmrEmailAutoTimer();

  // Runs the session dialog; false at once while it is already showing.
  // Ring-wait pauses around it.
  bool RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly, bool receiveAll);
  bool RunInfoRead(int kind);
  bool RunInfoWrite(int kind);

  bool LoadEnvironment();
  // Reports a message id (I, W, D, E + five digits) or a free text; returns
  // the text it produced.
  std::string ReportMessage(std::string_view idOrText, bool show);
  void ShowNotice(const std::string& text, bool force);
  void CloseNotice();
  void PlaySentSound();
  void PlayArrivalAlert();
  void ShowErrorLog();
  const MessageTable& Messages() const { return messages_; }
  void SetPeerNumber(std::string number) { peerNumber_ = std::move(number); }
  const std::string& PeerNumber() const { return peerNumber_; }

  void TaskTrayMouseDown(Qt::MouseButton button);
  // Ctrl+Tab over the program's windows (most recently active first).
  void CycleForms();

  // A pause that only paces what the user sees (the 4 s after a direct mail,
  // the 3 s before an automatic receive, the 1 s after ring-wait stops);
  // tests make them pass rate times faster.
  static void Pause(int ms, bool processMessages);
  static void SetPauseRate(int rate);

  // Plays a sound file asynchronously; replaceable for tests.
  using SoundPlayer = std::function<void(const std::filesystem::path& file)>;
  static void SetSoundPlayer(SoundPlayer player);

  TAttachPanel* pnlInfo;
  QWidget* pnlTopBanner;
  TMultiPanel* pnlLogo;
  QLabel* ImgLogo;
  TAttachPanel* pnlBanner;
  QLabel* pnlAd;
  TAnimationImage* aniBanner;
  QListWidget* lsvMainMenu;
  QWidget* pnlBottom;
  TMultiPanel* pnlRing;
  TMultiButton* btnRing;
  QMenu* popMain;
  QTimer* tmrStart;
  QTimer* tmrEmailAuto;
  QSystemTrayIcon* TaskTray1;
  TSingleApp* SingleApp1;
  QAction* actClose;
  QAction* actMinimize;
  QAction* actNormal;
  QAction* actOpen;
  QAction* actOption;
  QAction* actWaitRing;
  QAction* actMyTelNo;
  QAction* actErrorLog;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateComponents();
  // The window's background and text colours, and the controls that show them.
  void ApplyColors(TColor back, TColor text);
  void FormCreate();
  void ClearEntries();
  void tmrStartTimer();
  void OpenSelected();
  bool RunSession(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp);
  // Waits out a ring-wait transition, stops ring-wait while run runs and
  // starts it again if it was waiting.
  void PausingRingWait(const std::function<void()>& run);
  // RunSession with ring-wait paused around it.
  bool RunPausingRingWait(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp);
  void ReportAutoNumberMismatch(const std::string& number);
  TDllForm* FindPlugin(std::string_view displayName) const;
  void PlaySoundFile(const std::filesystem::path& file);

  MessageTable messages_;
  SerialModule serial_;
  RingWaitState ringWaitState_ = RingWaitState::Stopped;
  std::string peerNumber_;
  std::string autoReceiveNumber_;
  int autoReceiveCount_ = 0;
  int autoReceiveInterval_ = 0;
  std::vector<std::unique_ptr<TDllForm>> plugins_;  // one per list entry with data
  std::vector<QAction*> pluginActions_;
  std::vector<QPointer<QWidget>> activation_;  // windows, most recently active first
  HWND32 handle_ = 0;
  bool terminated_ = false;
};

extern TfrmLaunch* frmLaunch;

// The local time now as "yyyy/mm/dd hh:nn:ss".
std::string NowText();

// The launcher's callbacks handed to every plug-in.
extern "C" QvBool HostParamCallback(int32_t kind, int32_t value);
extern "C" int32_t HostStrCallback(int32_t kind, const char* text, int32_t size);
// The serial-link module's trace callback: accepted and ignored.
extern "C" void SerialTraceCallback(int32_t kind, const void* data);

}  // namespace qv
