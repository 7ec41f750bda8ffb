#pragma once
// An icon in the desktop's notification area as a component of its owner:
// its picture and tip, pop-up menus for the left and right button, and mouse
// events. Each icon has an id unique in the process; the ids and their
// components are kept in one list, through which the notification area's
// reports reach the component they belong to.
#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <stdexcept>

class QMenu;

namespace qv {

// An id that is 0 or less, or one that another component has (text CP932).
class EInvalidOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// The notification area refused the icon: "タスクトレイに登録できません".
class ETaskTrayError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The notification area itself: adds, changes and removes the icon of an id.
// The default is QSystemTrayIcon, which has nothing to add to on a desktop
// without a notification area; tests put one of their own in.
class TrayShell {
 public:
  virtual ~TrayShell() = default;
  virtual bool Add(int id, const QIcon& icon, const QString& tip) = 0;
  virtual bool Modify(int id, const QIcon& icon, const QString& tip) = 0;
  virtual bool Delete(int id) = 0;
};
// Null restores the default.
void SetTrayShell(TrayShell* shell);

class TTaskTray : public QObject {
  Q_OBJECT
  Q_PROPERTY(QIcon Icon READ GetIcon WRITE SetIcon)
  Q_PROPERTY(int IconID READ GetIconID WRITE SetIconID)
  Q_PROPERTY(bool Registered READ GetRegistered WRITE SetRegistered)
  Q_PROPERTY(QString TipString READ GetTipString WRITE SetTipString)
  Q_PROPERTY(bool HideMainForm READ GetHideMainForm WRITE SetHideMainForm)
 public:
  // The button of a double click; sender first.
  using TButtonDblClick = std::function<void(TTaskTray* sender, Qt::MouseButton button)>;
  using TMouseEvent = std::function<void(TTaskTray* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                         int x, int y)>;
  using TMouseMoveEvent = std::function<void(TTaskTray* sender, Qt::KeyboardModifiers shift, int x, int y)>;

  // Takes the id one above the last one in use (1 when none) and starts
  // unregistered. While loading, property changes wait for Loaded().
  explicit TTaskTray(QObject* owner = nullptr, bool loading = false);
  ~TTaskTray() override;

  QIcon GetIcon() const { return icon_; }
  // An empty icon takes the icon off the notification area.
  void SetIcon(const QIcon& icon);
  int GetIconID() const { return id_; }
  // Throws EInvalidOperation for 0 or less and for an id in use; otherwise
  // the icon moves to the new id.
  void SetIconID(int id);
  bool GetRegistered() const { return registered_; }
  void SetRegistered(bool value);
  QString GetTipString() const { return tip_; }
  void SetTipString(const QString& tip);
  bool GetHideMainForm() const { return hideMainForm_; }
  void SetHideMainForm(bool value) { hideMainForm_ = value; }
  // The icon is in the notification area.
  bool Shown() const { return shown_; }

  // The end of loading: hides the main window when asked, then UpdateIcon.
  void Loaded();

  // Takes the icon off the notification area; not registered afterwards.
  virtual void DeleteIcon();
  // Puts the icon in (or changes it) while registered; throws ETaskTrayError
  // when the notification area refuses it.
  virtual void UpdateIcon();
  virtual void DblClick(Qt::MouseButton button);
  // Brings an owning window forward, fires OnMouseDown and pops the button's
  // menu up at (x, y).
  virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

  // What the notification area reports for an icon id: a click becomes a
  // press and a release of its button at the cursor, a double click a
  // double click of the left button (X11 trays report no moves). Unknown ids
  // are ignored, and so is a report that comes while one is handled.
  static void Notify(int id, QSystemTrayIcon::ActivationReason reason);
  // The component of an id, or null.
  static TTaskTray* Find(int id);

  QMenu* PopupMenuL = nullptr;
  QMenu* PopupMenuR = nullptr;
  TButtonDblClick OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

 private:
  QIcon icon_;
  QString tip_;
  int id_ = 0;
  bool registered_ = false;
  bool hideMainForm_ = false;
  bool loading_ = false;
  bool shown_ = false;
};

}  // namespace qv
