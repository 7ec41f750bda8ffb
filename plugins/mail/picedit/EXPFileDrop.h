#pragma once
// Files dropped from the desktop onto a window: an event filter on Control
// (or, without one, on the owner's window) that takes local file URLs while
// Accept is set and reports each drop once, with every file's full path and
// the drop point in the control's client coordinates.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <vector>

namespace qv {

class TEXPFileDrop : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Accept READ GetAccept WRITE SetAccept)

 public:
  // The owner's window receives the files until a Control is given.
  explicit TEXPFileDrop(QObject* owner);
  ~TEXPFileDrop() override;

  bool GetAccept() const { return accept_; }
  void SetAccept(bool accept);
  QWidget* GetControl() const { return control_; }
  // Moves the hook to the control (none: back to the owner's window).
  void SetControl(QWidget* control);
  // The widget that receives the files, or none when the owner is no widget
  // and no control is given.
  QWidget* Target() const { return target_; }

 signals:
  void OnFileDrop(int num, const std::vector<std::filesystem::path>& files, int x, int y);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Hook();
  void Unhook();
  void ControlDestroyed();

  bool accept_ = true;
  QPointer<QWidget> control_;
  QPointer<QWidget> target_;
  bool targetAcceptedDrops_ = false;
  QMetaObject::Connection controlGone_;
};

}  // namespace qv
