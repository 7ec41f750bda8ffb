#include "plugins/signup/SignupPageList.h"

#include "plugins/signup/SignupPages.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace qv {
namespace {

constexpr int kLineRole = Qt::UserRole;
constexpr int kChoiceRole = Qt::UserRole + 1;
// Text of older pages and of the screen while offline.
const QColor kGrey(0x60, 0x60, 0x60);
constexpr int kTextMargin = 2;

std::string Bytes(const QVariant& v) {
  const QByteArray b = v.toByteArray();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace

class SignupLineDelegate : public QStyledItemDelegate {
 public:
  explicit SignupLineDelegate(TSignupPageList* list) : QStyledItemDelegate(list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
    return QSize(list_->TextWidth(), list_->RowHeight(index.row()));
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const TSignupPageList::Look& look = list_->GetLook();
    const std::string line = Bytes(index.data(kLineRole));
    const std::string choice = Bytes(index.data(kChoiceRole));
    const QPalette& pal = list_->palette();
    const QColor base = pal.color(QPalette::Base);
    QColor fill = base;
    QColor ink = pal.color(QPalette::Text);
    if (look.live) {
      if (!choice.empty() && (option.state & QStyle::State_Selected)) {
        fill = pal.color(QPalette::Highlight);
        ink = pal.color(QPalette::HighlightedText);
      }
    } else {
      if (!look.historyEmpty) ink = kGrey;
      if (!choice.empty() && choice == look.sent) {
        fill = kGrey;
        ink = base;
      }
    }
    painter->fillRect(option.rect, fill);
    list_->Text().Draw(*painter, option.rect.adjusted(kTextMargin, 1, -kTextMargin, -1), line, ink, !choice.empty());
    if (option.state & QStyle::State_HasFocus) {
      painter->save();
      QPen pen(ink, 1, Qt::DotLine);
      painter->setPen(pen);
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
      painter->restore();
    }
  }

 private:
  TSignupPageList* list_;
};

TSignupPageList::TSignupPageList(QWidget* parent) : QListWidget(parent) {
  setUniformItemSizes(false);
  setResizeMode(QListView::Adjust);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setItemDelegate(new SignupLineDelegate(this));
  text_.SetFont(font());
}

void TSignupPageList::SetLook(Look look) {
  look_ = std::move(look);
  viewport()->update();
}

void TSignupPageList::SetLines(const std::vector<std::string>& lines) {
  clear();
  for (const std::string& line : lines) {
    auto* item = new QListWidgetItem(this);
    item->setData(kLineRole, QByteArray(line.data(), static_cast<qsizetype>(line.size())));
    const std::string choice = signup::ParseChoice(line);
    item->setData(kChoiceRole, QByteArray(choice.data(), static_cast<qsizetype>(choice.size())));
  }
}

std::string TSignupPageList::Line(int row) const {
  const QListWidgetItem* it = item(row);
  return it ? Bytes(it->data(kLineRole)) : std::string();
}

std::string TSignupPageList::Choice(int row) const {
  const QListWidgetItem* it = item(row);
  return it ? Bytes(it->data(kChoiceRole)) : std::string();
}

void TSignupPageList::SetListFont(const QFont& f) {
  setFont(f);
  text_.SetFont(f);
  Remeasure();
}

int TSignupPageList::TextWidth() const {
  int width = viewport()->width() - 2 * kTextMargin;
  return width > 1 ? width : 1;
}

int TSignupPageList::RowHeight(int row) const { return text_.Height(Line(row), TextWidth()) + 2; }

void TSignupPageList::Remeasure() {
  // The rows ask their delegate again for their heights.
  scheduleDelayedItemsLayout();
  viewport()->update();
}

void TSignupPageList::keyPressEvent(QKeyEvent* event) {
  // Keys do nothing on the screen.
  event->accept();
}

void TSignupPageList::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  Remeasure();
}

}  // namespace qv
