#pragma once
// The launcher's main window and the hub of the process: it binds the
// serial-link module, hosts the plug-ins, receives the module's events, runs
// the session dialog and reports messages.
#include "launcher/MessageTable.h"
#include "launcher/SerialModule.h"
#include "controls/TColor.h"
#include "launcher/SessionTypes.h"
#include "platform/Handles.h"
#include "plugins/PluginApi.h"

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

class TfrmLaunch : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmLaunch(QWidget* parent = nullptr);
  ~TfrmLaunch() override;

  // Start-up failed (message file or serial-link module): the program ends.
  bool Terminated() const { return terminated_; }
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
  void SerialDisconnect(int32_t reason);
  // The launcher's handler of the module's WM_USER+1 events.
  void WMSerialEvent(int32_t kind, int32_t code);
  void ShowRingWaitState(RingWaitState state);
  RingWaitState RingWait() const { return ringWaitState_; }

  // Runs the session dialog; false at once while it is already showing.
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

// The launcher's callbacks handed to every plug-in.
extern "C" QvBool HostParamCallback(int32_t kind, int32_t value);
extern "C" int32_t HostStrCallback(int32_t kind, const char* text, int32_t size);
// The serial-link module's trace callback: accepted and ignored.
extern "C" void SerialTraceCallback(int32_t kind, const void* data);

}  // namespace qv
