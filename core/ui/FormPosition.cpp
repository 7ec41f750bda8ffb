#include "core/ui/FormPosition.h"

#include "core/ui/FormColors.h"

#include "platform/Registry.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <QWidget>
#include <charconv>
#include <cstdio>

namespace qv {
namespace {

constexpr const char* kMainFormProperty = "qvMainForm";
constexpr const char* kTagProperty = "Tag";

// 4 hex digits at pos as an unsigned value, or -1 when absent or not hex.
int Hex4(std::string_view s, size_t pos) {
  if (pos + 4 > s.size()) return -1;
  int v = 0;
  auto [p, ec] = std::from_chars(s.data() + pos, s.data() + pos + 4, v, 16);
  if (ec != std::errc() || p != s.data() + pos + 4) return -1;
  return v;
}

int ParseHex(std::string_view s, int fallback) {
  int v = 0;
  if (s.empty()) return fallback;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (ec != std::errc() || p != s.data() + s.size()) return fallback;
  return v;
}

QRect WorkArea(const QWidget* form) {
  QScreen* screen = form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

bool IsResizable(const QWidget* form) {
  return form->minimumSize() != form->maximumSize() && !(form->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
}

}  // namespace

void SetMainForm(QWidget* form) {
  if (qApp) qApp->setProperty(kMainFormProperty, QVariant::fromValue<QObject*>(form));
}

QWidget* MainForm() {
  if (!qApp) return nullptr;
  return qobject_cast<QWidget*>(qApp->property(kMainFormProperty).value<QObject*>());
}

QRect ComputeFormPlacement(const PlacementInput& in) {
  const QRect& work = in.work;
  const int workLeft = work.left(), workTop = work.top();
  const int workRight = work.left() + work.width(), workBottom = work.top() + work.height();
  int x = Hex4(in.stored, 0), y = Hex4(in.stored, 4);
  const int storedW = Hex4(in.stored, 8), storedH = Hex4(in.stored, 12);
  int w = in.design.width(), h = in.design.height();
  if (in.resizable) {
    w = storedW;
    h = storedH;
  }
  if (x < 0 || y < 0 || w < 48 || h < 48 || (in.keepCorner && (storedW < 48 || storedH < 48))) {
    x = in.design.x();
    y = in.design.y();
    w = in.design.width();
    h = in.design.height();
    if (in.percent > 0) {
      w = static_cast<int>(static_cast<long long>(workRight - workLeft) * in.percent / 100);
      h = static_cast<int>(static_cast<long long>(workBottom - workTop) * in.percent / 100);
    }
    if (in.mode != kPlaceDesign) {
      x = (workLeft + workRight - w) / 2;
      y = (workTop + workBottom - h) / 2;
      switch (in.mode) {
        case kPlaceCursorCentre:
          x = in.cursor.x() - w / 2;
          y = in.cursor.y() - h / 2;
          break;
        case kPlaceCursor:
          x = in.cursor.x();
          y = in.cursor.y();
          break;
        case kPlaceOwnerCentre:
          if (in.owner) {
            x = in.owner->x() + (in.owner->width() - w) / 2;
            y = in.owner->y() + (in.owner->height() - h) / 2;
          }
          break;
        case kPlaceTopLeft:
          x = workLeft;
          y = workTop;
          break;
        case kPlaceTopRight:
          x = workRight - w;
          y = workTop;
          break;
        case kPlaceBottomLeft:
          x = workLeft;
          y = workBottom - h;
          break;
        case kPlaceBottomRight:
          x = workRight - w;
          y = workBottom - h;
          break;
        default:
          break;
      }
    }
  } else if (in.keepCorner) {
    // The stored size says where the corner was; the window keeps its own.
    if (in.mode == kPlaceTopRight || in.mode == kPlaceBottomRight) x += storedW - w;
    if (in.mode == kPlaceBottomLeft || in.mode == kPlaceBottomRight) y += storedH - h;
  }
  if (x + w > workRight) x = workRight - w;
  if (x < workLeft) x = workLeft;
  if (y + h > workBottom) y = workBottom - h;
  if (y < workTop) y = workTop;
  return QRect(x, y, w, h);
}

std::string FormatFormPosition(const QRect& b) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%04X%04X%04X%04X", b.x() & 0xFFFF, b.y() & 0xFFFF, b.width() & 0xFFFF,
                b.height() & 0xFFFF);
  return buf;
}

namespace {

void PlaceForm(QWidget* form, int mode, int percent, std::string_view ident, bool keepCorner) {
  if (!form) return;
  TakeMainFormColors(form);
  PlacementInput in;
  if (!ident.empty()) in.stored = Registry().ReadString("FormPosition", ident, "");
  in.resizable = IsResizable(form);
  in.design = form->geometry();
  in.work = WorkArea(form);
  in.mode = mode;
  in.percent = percent;
  in.cursor = QCursor::pos();
  in.keepCorner = keepCorner;
  if (QWidget* owner = form->parentWidget() ? form->parentWidget()->window() : nullptr) in.owner = owner->geometry();
  form->setGeometry(ComputeFormPlacement(in));
}

}  // namespace

void LoadFormPosition(QWidget* form, int mode, int percent, std::string_view ident) {
  PlaceForm(form, mode, percent, ident, false);
}

void LoadFormPositionAtCorner(QWidget* form, int mode, std::string_view ident) { PlaceForm(form, mode, 0, ident, true); }

void SaveFormPosition(QWidget* form, std::string_view ident) {
  if (!form || ident.empty() || !form->isVisible()) return;
  const QRect b = form->geometry();
  if (b.x() < 0 || b.y() < 0 || b.width() < 48 || b.height() < 48)
    Registry().DeleteKey("FormPosition", ident);
  else
    Registry().WriteString("FormPosition", ident, FormatFormPosition(b));
}

int ListViewTag(const QTreeView* view) { return view ? view->property(kTagProperty).toInt() : 0; }
void SetListViewTag(QTreeView* view, int tag) {
  if (view) view->setProperty(kTagProperty, tag);
}

ListViewLayout ParseListViewValue(std::string_view value, int columns, int defaultSort) {
  ListViewLayout out;
  out.tag = defaultSort;
  if (columns >= 0 && value.size() == 4u * static_cast<size_t>(columns + 1)) {
    for (int i = 0; i < columns; ++i) {
      int raw = Hex4(value, 4 * static_cast<size_t>(i));
      int w = raw < 0 ? -3 : static_cast<int16_t>(raw);
      if (w < -2) break;
      if (w >= 0 && w <= 7) w = 8;
      out.widths.push_back(w);
    }
    std::string_view tail = value.substr(4 * static_cast<size_t>(columns));
    int direction = ParseHex(tail.substr(0, 2), 0);
    int column = ParseHex(tail.substr(2, 2), defaultSort);
    out.tag = direction > 0 ? -column : column;
  }
  if (std::abs(out.tag) > columns) out.tag = 0;
  return out;
}

std::string FormatListViewValue(const std::vector<int>& widths, int tag) {
  std::string out;
  char buf[8];
  for (int w : widths) {
    std::snprintf(buf, sizeof buf, "%04X", w & 0xFFFF);
    out += buf;
  }
  out += tag <= 0 ? "01" : "00";
  std::snprintf(buf, sizeof buf, "%02X", std::abs(tag) & 0xFF);
  out += buf;
  return out;
}

void LoadListViewColumns(QTreeView* view, std::string_view ident, int defaultSort) {
  if (!view || ident.empty()) return;
  QHeaderView* header = view->header();
  int columns = header->count();
  auto layout = ParseListViewValue(Registry().ReadString("ListViewSize", ident, ""), columns, defaultSort);
  for (size_t i = 0; i < layout.widths.size(); ++i) {
    int col = static_cast<int>(i);
    int w = layout.widths[i];
    if (w >= 0) {
      header->resizeSection(col, w);
    } else {
      // -1 sizes to the contents, -2 to the contents or the caption, whichever is wider.
      view->resizeColumnToContents(col);
      if (w == -2) header->resizeSection(col, std::max(header->sectionSize(col), header->sectionSizeHint(col)));
    }
  }
  SetListViewTag(view, layout.tag);
  if (auto* proxy = dynamic_cast<ListViewSortModel*>(view->model())) proxy->Resort();
}

void SaveListViewColumns(QTreeView* view, std::string_view ident) {
  if (!view || ident.empty() || !view->window()->isVisible()) return;
  QHeaderView* header = view->header();
  std::vector<int> widths;
  for (int i = 0; i < header->count(); ++i) widths.push_back(header->sectionSize(i));
  Registry().WriteString("ListViewSize", ident, FormatListViewValue(widths, ListViewTag(view)));
}

void ListViewColumnClick(QTreeView* view, int column) {
  if (!view) return;
  int tag = ListViewTag(view);
  SetListViewTag(view, column + 1 == std::abs(tag) ? -tag : column + 1);
  if (auto* proxy = dynamic_cast<ListViewSortModel*>(view->model())) proxy->Resort();
}

namespace {
// The comparison kind of a column (0 or 2 text, 1 number), and a cell as a number.
int ColumnKind(const QAbstractItemModel* model, int col) {
  return model->headerData(col, Qt::Horizontal, kColumnTagRole).toInt();
}
long long NumberOf(const QString& text) {
  bool ok = false;
  long long v = text.trimmed().toLongLong(&ok);
  return ok ? v : 0;
}
int Sign(long long a, long long b) { return a < b ? -1 : a > b ? 1 : 0; }
QString SortText(const QModelIndex& cell) {
  QVariant key = cell.data(kSortTextRole);
  return key.isValid() ? key.toString() : cell.data(Qt::DisplayRole).toString();
}
}  // namespace

int ListViewCompare(const QTreeView* view, const QModelIndex& item1, const QModelIndex& item2) {
  const QAbstractItemModel* model = item1.model();
  if (!view || !model) return 0;
  int tag = ListViewTag(view);
  int n = std::abs(tag);
  if (n == 0 || n > model->columnCount(item1.parent())) return 0;
  int col = n - 1;
  QString a = SortText(model->index(item1.row(), col, item1.parent()));
  QString b = SortText(model->index(item2.row(), col, item2.parent()));
  int result = ColumnKind(model, col) == 1 ? Sign(NumberOf(a), NumberOf(b)) : QString::localeAwareCompare(a, b);
  return tag < 0 ? -result : result;
}

ListViewSortModel::ListViewSortModel(QTreeView* view, QObject* parent) : QSortFilterProxyModel(parent), view_(view) {}

void ListViewSortModel::setSourceModel(QAbstractItemModel* source) {
  if (sourceModel()) disconnect(sourceModel(), nullptr, this, nullptr);
  keysValid_ = false;
  // Any change to the source makes the fetched keys stale. These come before
  // the proxy's own handlers, which sort inserted and changed rows at once.
  auto stale = [this] { keysValid_ = false; };
  if (!source) {
    QSortFilterProxyModel::setSourceModel(source);
    return;
  }
  connect(source, &QAbstractItemModel::modelReset, this, stale);
  connect(source, &QAbstractItemModel::layoutChanged, this, stale);
  connect(source, &QAbstractItemModel::dataChanged, this, stale);
  connect(source, &QAbstractItemModel::rowsInserted, this, stale);
  connect(source, &QAbstractItemModel::rowsRemoved, this, stale);
  connect(source, &QAbstractItemModel::rowsMoved, this, stale);
  connect(source, &QAbstractItemModel::columnsInserted, this, stale);
  connect(source, &QAbstractItemModel::columnsRemoved, this, stale);
  connect(source, &QAbstractItemModel::headerDataChanged, this, stale);
  QSortFilterProxyModel::setSourceModel(source);
}

void ListViewSortModel::Resort() {
  // Sorted by these keys already, and nothing changed since (every change
  // makes them stale): a list just loaded is not sorted twice.
  if (keysValid_ && keys_.Tag() == ListViewTag(view_) && keys_.Tag() != 0 && sortColumn() == 0) return;
  keysValid_ = false;
  if (ListViewTag(view_) == 0) {
    sort(-1);  // back to the source order
    return;
  }
  invalidate();
  sort(0, Qt::AscendingOrder);
}

bool ListViewSortKeys::Fetch(const QAbstractItemModel* model, int tag) {
  const int col = std::abs(tag) - 1;
  if (!model || col < 0 || col >= model->columnCount()) return false;
  const int rows = model->rowCount();
  tag_ = tag;
  numeric_ = ColumnKind(model, col) == 1;
  texts_.clear();
  numbers_.clear();
  if (numeric_)
    numbers_.reserve(static_cast<size_t>(rows));
  else
    texts_.reserve(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    QString text = SortText(model->index(r, col));
    if (numeric_)
      numbers_.push_back(NumberOf(text));
    else
      texts_.push_back(std::move(text));
  }
  return true;
}

int ListViewSortKeys::Compare(int a, int b) const {
  const auto x = static_cast<size_t>(a), y = static_cast<size_t>(b);
  const int result = numeric_ ? Sign(numbers_[x], numbers_[y]) : QString::localeAwareCompare(texts_[x], texts_[y]);
  return tag_ < 0 ? -result : result;
}

bool ListViewSortModel::PrepareKeys() const {
  // The view's Tag is read once per sort: a property lookup costs more than a comparison.
  if (keysValid_) return true;
  keysValid_ = keys_.Fetch(sourceModel(), ListViewTag(view_));
  return keysValid_;
}

bool ListViewSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  // Keys are kept for flat lists only; rows of a tree compare one by one.
  if (left.parent().isValid() || right.parent().isValid() || !PrepareKeys())
    return ListViewCompare(view_, left, right) < 0;
  return keys_.Compare(left.row(), right.row()) < 0;
}

}  // namespace qv
