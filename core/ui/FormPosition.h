#pragma once
// Window placement and list-view columns kept in the registry key:
// "FormPosition" (left, top, width, height as 4 hex digits each) and
// "ListViewSize" (column widths, sort direction and sort column).
// A place is the window's client area, both when it is stored and when it is
// restored: under X the frame is known only once the window manager has
// framed the window, so a frame taken for a place would move the window by
// the frame at every start.
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSortFilterProxyModel>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;
class QTreeView;

namespace qv {

enum PlacementMode {
  kPlaceDesign = 0,
  kPlaceCursorCentre = 1,
  kPlaceCursor = 2,
  kPlaceOwnerCentre = 3,
  kPlaceCentre = 4,
  kPlaceTopLeft = 5,
  kPlaceTopRight = 6,
  kPlaceBottomLeft = 7,
  kPlaceBottomRight = 8,
};

// The launcher's main window, shared by every module of the process: other
// windows take their colours from it when they are placed (core/ui/FormColors.h).
void SetMainForm(QWidget* form);
QWidget* MainForm();

// What placing a window needs to know, apart from the window itself.
struct PlacementInput {
  std::string stored;  // the FormPosition value, empty when none
  bool resizable = true;
  QRect design;        // the window's own bounds before placement
  QRect work;          // the desktop work area
  int mode = kPlaceDesign;
  int percent = 0;
  QPoint cursor;
  std::optional<QRect> owner;  // bounds of the owning window, if it has one
  // A window sized by its content (the notice window): a stored place keeps
  // the corner of the mode (top-right, bottom-left, bottom-right) where it
  // was, whatever size the window has now.
  bool keepCorner = false;
};
QRect ComputeFormPlacement(const PlacementInput& in);
std::string FormatFormPosition(const QRect& bounds);

void LoadFormPosition(QWidget* form, int mode, int percent, std::string_view ident);
// LoadFormPosition with the stored place's corner kept (keepCorner above).
void LoadFormPositionAtCorner(QWidget* form, int mode, std::string_view ident);
// Nothing for a window that is not shown: its stored place stays.
void SaveFormPosition(QWidget* form, std::string_view ident);

// List sort state: 0 unsorted, +n ascending by column n (1-based), -n
// descending. Each column's comparison (0 or 2 text, 1 number) comes from the
// model's header data under kColumnTagRole.
constexpr int kColumnTagRole = Qt::UserRole + 100;
// A cell's text to sort by where it is not the text shown (a hidden reading).
constexpr int kSortTextRole = Qt::UserRole + 101;
int ListViewTag(const QTreeView* view);
void SetListViewTag(QTreeView* view, int tag);

struct ListViewLayout {
  std::vector<int> widths;  // those to apply, in column order (may stop early)
  int tag = 0;
};
ListViewLayout ParseListViewValue(std::string_view value, int columns, int defaultSort);
std::string FormatListViewValue(const std::vector<int>& widths, int tag);

void LoadListViewColumns(QTreeView* view, std::string_view ident, int defaultSort);
// Nothing while the list's window is not shown: the stored columns stay.
void SaveListViewColumns(QTreeView* view, std::string_view ident);
// The column-click handler: the sorted column reverses, another starts ascending.
void ListViewColumnClick(QTreeView* view, int column);
// The compare handler: below, at or above 0 as item1 sorts before, with or after item2.
int ListViewCompare(const QTreeView* view, const QModelIndex& item1, const QModelIndex& item2);

// The sort column's keys of a flat list, fetched once per sort, compared as
// ListViewCompare compares the rows.
class ListViewSortKeys {
 public:
  // False when the tag names no column of the model.
  bool Fetch(const QAbstractItemModel* model, int tag);
  // Below, at or above 0 as row a sorts before, with or after row b.
  int Compare(int a, int b) const;
  // The tag of the last fetch.
  int Tag() const { return tag_; }

 private:
  int tag_ = 0;
  bool numeric_ = false;
  std::vector<QString> texts_;
  std::vector<long long> numbers_;
};

// A proxy that sorts a view's rows by its Tag, as ListViewCompare orders them.
// Put it between the view and its model; ListViewColumnClick re-sorts through
// it. The sort column's texts of a flat list are fetched once per sort, not on
// every comparison.
class ListViewSortModel : public QSortFilterProxyModel {
 public:
  ListViewSortModel(QTreeView* view, QObject* parent = nullptr);
  void Resort();
  void setSourceModel(QAbstractItemModel* source) override;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
  // Nothing is filtered: every row is taken without asking the (empty) filter.
  bool filterAcceptsRow(int, const QModelIndex&) const override { return true; }

 private:
  bool PrepareKeys() const;
  QTreeView* view_;
  mutable bool keysValid_ = false;
  mutable ListViewSortKeys keys_;
};

}  // namespace qv
