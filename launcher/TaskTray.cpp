#include "launcher/TaskTray.h"

#include "core/ui/FormPosition.h"
#include "platform/Cp932.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QWidget>
#include <map>
#include <memory>

namespace qv {
namespace {

// The process-wide list of ids and their components, in id order.
std::map<int, TTaskTray*>& Trays() {
  static std::map<int, TTaskTray*> trays;
  return trays;
}

// The desktop's notification area through Qt: one icon per id.
class QtTrayShell : public TrayShell {
 public:
  bool Add(int id, const QIcon& icon, const QString& tip) override {
    if (!QSystemTrayIcon::isSystemTrayAvailable() || icon.isNull()) return false;
    auto tray = std::make_unique<QSystemTrayIcon>(icon);
    tray->setToolTip(tip);
    QObject::connect(tray.get(), &QSystemTrayIcon::activated,
                     [id](QSystemTrayIcon::ActivationReason reason) { TTaskTray::Notify(id, reason); });
    tray->show();
    icons_[id] = std::move(tray);
    return true;
  }
  bool Modify(int id, const QIcon& icon, const QString& tip) override {
    auto it = icons_.find(id);
    if (it == icons_.end() || icon.isNull()) return false;
    it->second->setIcon(icon);
    it->second->setToolTip(tip);
    return true;
  }
  bool Delete(int id) override { return icons_.erase(id) > 0; }

 private:
  std::map<int, std::unique_ptr<QSystemTrayIcon>> icons_;
};

TrayShell*& CurrentShell() {
  static TrayShell* shell = nullptr;
  return shell;
}

TrayShell& Shell() {
  static QtTrayShell qt;
  return CurrentShell() ? *CurrentShell() : qt;
}

}  // namespace

void SetTrayShell(TrayShell* shell) { CurrentShell() = shell; }

TTaskTray::TTaskTray(QObject* owner, bool loading) : QObject(owner), loading_(loading) {
  auto& trays = Trays();
  id_ = trays.empty() ? 1 : trays.rbegin()->first + 1;
  trays[id_] = this;
}

TTaskTray::~TTaskTray() {
  if (shown_) Shell().Delete(id_);
  auto& trays = Trays();
  if (auto it = trays.find(id_); it != trays.end() && it->second == this) trays.erase(it);
}

TTaskTray* TTaskTray::Find(int id) {
  auto it = Trays().find(id);
  return it == Trays().end() ? nullptr : it->second;
}

void TTaskTray::SetIcon(const QIcon& icon) {
  icon_ = icon;
  if (icon_.isNull())
    DeleteIcon();
  else
    UpdateIcon();
}

void TTaskTray::SetIconID(int id) {
  if (id <= 0) throw EInvalidOperation(Sjis("0以下は指定できません"));
  if (id == id_) return;
  if (Find(id)) throw EInvalidOperation(Sjis("同じアイコン識別子が有ります"));
  const bool wasShown = shown_;
  if (shown_) {
    Shell().Delete(id_);
    shown_ = false;
  }
  Trays().erase(id_);
  id_ = id;
  Trays()[id_] = this;
  if (wasShown) UpdateIcon();
}

void TTaskTray::SetRegistered(bool value) {
  registered_ = value;
  if (registered_)
    UpdateIcon();
  else
    DeleteIcon();
}

void TTaskTray::SetTipString(const QString& tip) {
  tip_ = tip;
  UpdateIcon();
}

void TTaskTray::Loaded() {
  loading_ = false;
  if (hideMainForm_)
    if (QWidget* main = MainForm()) main->hide();
  UpdateIcon();
}

void TTaskTray::DeleteIcon() {
  if (shown_) Shell().Delete(id_);
  shown_ = false;
  registered_ = false;
}

void TTaskTray::UpdateIcon() {
  if (!registered_ || loading_) return;
  const QIcon icon = icon_.isNull() ? QApplication::windowIcon() : icon_;
  if (shown_) {
    if (Shell().Modify(id_, icon, tip_)) return;
    Shell().Delete(id_);
    shown_ = false;
  }
  if (!Shell().Add(id_, icon, tip_)) throw ETaskTrayError(Sjis("タスクトレイに登録できません"));
  shown_ = true;
}

void TTaskTray::DblClick(Qt::MouseButton button) {
  if (OnDblClick) OnDblClick(this, button);
}

void TTaskTray::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (auto* form = qobject_cast<QWidget*>(parent()); form && form->isWindow()) {
    form->raise();
    form->activateWindow();
    QCoreApplication::processEvents();
  }
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
  QMenu* menu = button == Qt::LeftButton ? PopupMenuL : button == Qt::RightButton ? PopupMenuR : nullptr;
  if (menu) menu->popup(QPoint(x, y));
}

void TTaskTray::MouseMove(Qt::KeyboardModifiers shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TTaskTray::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TTaskTray::Notify(int id, QSystemTrayIcon::ActivationReason reason) {
  static bool handling = false;
  if (handling) return;
  TTaskTray* tray = Find(id);
  if (!tray) return;
  handling = true;
  const QPoint at = QCursor::pos();
  const Qt::KeyboardModifiers shift = QGuiApplication::keyboardModifiers();
  auto click = [&](Qt::MouseButton button) {
    tray->MouseDown(button, shift, at.x(), at.y());
    // The press may have ended the component (its handler closed the owner).
    if (Find(id) == tray) tray->MouseUp(button, shift, at.x(), at.y());
  };
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      click(Qt::LeftButton);
      break;
    case QSystemTrayIcon::Context:
      click(Qt::RightButton);
      break;
    case QSystemTrayIcon::MiddleClick:
      click(Qt::MiddleButton);
      break;
    case QSystemTrayIcon::DoubleClick:
      tray->DblClick(Qt::LeftButton);
      break;
    default:
      break;
  }
  handling = false;
}

}  // namespace qv
