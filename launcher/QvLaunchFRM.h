#pragma once
// The launcher's main window and the hub of the process: it binds the
// serial-link module, hosts the plug-ins (PluginHost), receives the module's
// events, runs ring-wait (RingWait) and the session dialog, and reports
// messages. To the sessions it is their host (launcher/session).
#include "core/data/MessageTable.h"
#include "launcher/PluginHost.h"
#include "launcher/RingWait.h"
#include "launcher/session/Session.h"
#include "platform/Handles.h"
#include "platform/TColor.h"

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
class QTimer;
class TAnimationImage;
class TAttachPanel;
class TMultiButton;
class TMultiPanel;

namespace qv {

class TfrmConnecting;
class TfrmOption;
class TfrmReceiveMsg;
class TSingleApp;
class TTaskTray;

class TfrmLaunch : public QMainWindow, public SessionHost, public RingWait::Window {
  Q_OBJECT
 public:
  explicit TfrmLaunch(QWidget* parent = nullptr);
  ~TfrmLaunch() override;

  // Start-up failed (message file or serial-link module): the program ends.
  bool Terminated() const { return terminated_; }
  // Another launcher runs: this one ends (without an error) before it loads anything.
  bool SecondInstance() const;
  HWND32 Handle() const { return handle_; }
  // The session dialog and the notice window, created after the main window.
  void SetSessionDialog(TfrmConnecting* dialog);
  void SetNoticeWindow(TfrmReceiveMsg* notice);

  // Status line; an empty text restores the idle caption. Texts are CP932.
  void SetStatus(std::string_view text) override;
  std::string StatusText() const;
  void StartBannerAnimation() override;
  void StopBannerAnimation() override;
  void ReloadBanner();

  void LoadPlugins();
  void OpenItem(std::string_view caption);
  // The settings dialog; OK stores its settings (SaveOptions).
  void OptionsDialog();
  // With ring-wait paused: writes the dialog's settings in one go and gives
  // every other window its colours. False (and a message) when the settings
  // file cannot be written.
  bool SaveOptions(TfrmOption& dialog);
  // The launcher and every other window of the program (plug-ins' too, but
  // not except) take the colours.
  void RecolorForms(TColor back, TColor text, QWidget* except);
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
  const SerialEntries& Serial() const { return serial_.Entries(); }
  SerialLink& Link() { return serial_; }
  // The parameter block from the settings, handed to kwxInitial; with
  // useAutoNumber the centre number is the one an e-mail notice gave.
  void InitSerialModule(bool useAutoNumber) override;
  // The calls into the module, one per function (SerialLink). Texts are CP932.
  bool SerialConnectSMail(const std::string& number, std::string_view text) { return serial_.ConnectSMail(number, text); }
  bool SerialConnectEMail(int32_t mode, int32_t count) { return serial_.ConnectEMail(mode, count); }
  bool SerialSendEMail(std::string_view text) { return serial_.SendEMail(text); }
  void SerialGetEMailList(int32_t first) { serial_.GetEMailList(first); }
  void SerialGetEMail(const std::string& id) { serial_.GetEMail(id); }
  void SerialPurgeEMail(const std::string& id) { serial_.PurgeEMail(id); }
  void SerialExitEMail() { serial_.ExitEMail(); }
  std::string SerialGetBuffer() { return serial_.GetBuffer(); }
  bool SerialWaitForRing() { return serial_.WaitForRing(); }
  // 10 user abort, 1130 no answer, 99999 stop ring-wait.
  void SerialDisconnect(int32_t reason) { serial_.Disconnect(static_cast<kwx::DisconnectReason>(reason)); }
  bool SerialResumeTxRx() { return serial_.ResumeTxRx(); }
  bool SerialReadySMail() { return serial_.ReadySMail(); }
  bool SerialGetState() { return serial_.Busy(); }
  // 0 own number, 2 light mail, 3 e-mail notice, 6 caller number.
  std::string SerialGetParam(int32_t id, int32_t size) { return serial_.GetParam(static_cast<kwx::ParamId>(id), size); }
  bool SerialEnterInfoMode(int32_t kind) { return serial_.EnterInfoMode(kind); }
  bool SerialGetInfo() { return serial_.GetInfo(); }
  bool SerialSetInfo(std::string_view data) { return serial_.SetInfo(data); }
  bool SerialBareInfo(std::string_view data) { return serial_.BareInfo(data); }
  bool SerialDeleteInfo() { return serial_.DeleteInfo(); }
  bool SerialExitInfoMode() { return serial_.ExitInfoMode(); }
  std::string SerialGetTelNumber(const std::string& port, int32_t baud) { return serial_.GetTelNumber(port, baud); }
  bool WaitSerialIdle(int count) { return serial_.WaitIdle(count); }

  // The launcher's handler of the module's WM_USER+1 events.
  void WMSerialEvent(int32_t kind, int32_t code);
  // Handles an arrival of ring-wait: 0 direct mail, 1 light mail, 2 e-mail notice.
  bool HandleIncoming(int type);

  // Ring-wait (RingWait).
  void StartRingWait() { ringWait_.Start(); }
  void StopRingWait(bool noPause) { ringWait_.Stop(noPause); }
  void ToggleRingWait();
  void WaitRingTransition() { ringWait_.WaitTransition(); }
  // The state, and its indicator: pnlRing's colour and caption, btnRing's caption.
  void ShowRingWaitState(RingWaitState state) { ringWait_.Show(state); }
  RingWaitState RingWait() const { return ringWait_.State(); }
  void ShowOwnNumber();

  // Automatic e-mail receive after a notice.
  const std::string& AutoReceiveNumber() const override { return ringWait_.AutoReceiveNumber(); }
  int AutoReceiveCount() const { return ringWait_.AutoReceiveCount(); }
  int AutoReceiveInterval() const { return ringWait_.AutoReceiveInterval(); }
  void tmrEmailAutoTimer();

  // Runs the session dialog; false at once while it is already showing.
  // Ring-wait pauses around it.
  bool RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly, bool receiveAll);
  bool RunInfoRead(int kind);
  bool RunInfoWrite(int kind);

  bool LoadEnvironment();
  // Reports a message id (I, W, D, E + five digits) or a free text; returns
  // the text it produced.
  std::string ReportMessage(std::string_view idOrText, bool show) override;
  // The same, with "%1" ... "%9" of the text filled in (CP932 arguments).
  std::string ReportMessageWith(std::string_view id, bool show, const std::vector<std::string>& args);
  // The window a message box shows over: the active one of the process
  // (a plug-in's window that asked), else the launcher.
  QWidget* BoxOwner();
  // One line of the error log, naming the peer.
  void LogError(const std::string& text);
  // The port cannot be opened: says why, with the port's name and where it
  // leads (the module's event carries no more than that it failed).
  void ReportPortProblem();
  // False, with a message, when [Port] SerialPort is empty: no session starts.
  bool PortIsSet();
  void ShowNotice(const std::string& text, bool force) override;
  void CloseNotice() override;
  void PlaySentSound() override;
  void PlayArrivalAlert();
  void ShowErrorLog();
  const MessageTable& Messages() const { return messages_; }
  void SetPeerNumber(std::string number) override { peerNumber_ = std::move(number); }
  const std::string& PeerNumber() const { return peerNumber_; }

  void TaskTrayMouseDown(Qt::MouseButton button);
  // Ctrl+Tab over the program's windows (most recently active first).
  void CycleForms();

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
  TTaskTray* TaskTray1;
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
  // Draws the status in the bar's one line at its present width.
  void FitStatus();

 private:
  void CreateComponents();
  // The window's background and text colours, and the controls that show them.
  void ApplyColors(TColor back, TColor text);
  void ShowRingWaitIndicator(RingWaitState state) override;
  void FormCreate();
  void ClearEntries();
  TDllForm* FindPlugin(std::string_view displayName) const { return plugins_.Find(displayName); }
  void tmrStartTimer();
  void OpenSelected();
  bool RunSession(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp);
  // RunSession with ring-wait paused around it.
  bool RunPausingRingWait(SessionMode mode, const std::function<void(TfrmConnecting&)>& setUp);
  void PlaySoundFile(const std::filesystem::path& file);

  MessageTable messages_;
  SerialLink serial_;
  PluginHost plugins_;
  qv::RingWait ringWait_;
  QPointer<TfrmConnecting> connecting_;
  QPointer<TfrmReceiveMsg> notice_;
  std::string peerNumber_;
  std::vector<QAction*> pluginActions_;
  std::vector<QPointer<QWidget>> activation_;  // windows, most recently active first
  QString status_;    // the status line's whole text
  QFont statusFont_;  // its font before any fitting
  HWND32 handle_ = 0;
  bool terminated_ = false;
  // Why the mail folder cannot take mail, found at start and told once.
  std::string mailFolderProblem_;
};

// The serial-link module's trace callback: accepted and ignored.
extern "C" void SerialTraceCallback(int32_t kind, const void* data);

}  // namespace qv
