#pragma once
// The owner-drawn list box of the theme windows: rows of a fixed height, each
// painted by the window; the frame list also reorders its rows by dragging.
#include <QListWidget>
#include <functional>

class QPainter;

namespace qv {

class TBannerListBox : public QListWidget {
  Q_OBJECT
 public:
  // Paints one row; rect is the row's rectangle in the viewport.
  using DrawItem = std::function<void(QPainter& painter, const QRect& rect, int row, bool selected)>;

  explicit TBannerListBox(QWidget* parent = nullptr);

  void SetItemHeight(int height);
  int ItemHeight() const { return itemHeight_; }
  void SetOnDrawItem(DrawItem draw) { draw_ = std::move(draw); }
  // With dragging on, pressing the left button on a row and moving picks the
  // row up, releasing over the list drops it (rowDropped).
  void SetRowDragging(bool on) { rowDragging_ = on; }
  bool Dragging() const { return dragging_; }

  void PaintRow(QPainter& painter, const QRect& rect, int row, bool selected) const;

 signals:
  // The selected row was dropped onto row to.
  void rowDropped(int from, int to);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int itemHeight_ = 54;
  DrawItem draw_;
  bool rowDragging_ = false;
  int pressRow_ = -1;
  QPoint pressPos_;
  bool dragging_ = false;
};

}  // namespace qv
