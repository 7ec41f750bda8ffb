#include "plugins/mail/pickers/QvMailAddressFRM.h"

#include "core/data/AddressFunctions.h"
#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"
#include "plugins/mail/compose/MailWindowParts.h"
#include "plugins/mail/pickers/QvAddressDateFRM.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace qv {
namespace {

// Where a recipient list item keeps its CP932 texts.
constexpr int kBytesRole = Qt::UserRole + 1;
enum RecipientColumn : int { kColName = 0, kColAddress = 1, kColTime = 2 };

QStandardItem* TextItem(const std::string& bytes) {
  auto* item = new QStandardItem(ToQString(bytes));
  item->setData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), kBytesRole);
  item->setEditable(false);
  return item;
}

std::string Bytes(const QModelIndex& cell) {
  const QByteArray b = cell.data(kBytesRole).toByteArray();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QStandardItemModel* SourceOf(const QTreeView* view) {
  auto* proxy = static_cast<QSortFilterProxyModel*>(view->model());
  return static_cast<QStandardItemModel*>(proxy->sourceModel());
}

// The selected rows of a view as rows of its items (behind the sorting
// proxy of a recipient list), in the order shown.
std::vector<int> SelectedSourceRows(const QTreeView* view) {
  QModelIndexList picked = view->selectionModel()->selectedRows(0);
  std::sort(picked.begin(), picked.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  auto* proxy = qobject_cast<const QSortFilterProxyModel*>(view->model());
  std::vector<int> rows;
  for (const QModelIndex& i : picked) rows.push_back(proxy ? proxy->mapToSource(i).row() : i.row());
  return rows;
}

void SetUpListView(QTreeView* view, QAbstractItemModel* model) {
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->header()->setSectionsClickable(true);
  view->header()->setSortIndicatorShown(false);
  view->header()->setStretchLastSection(true);
}

// A button of an action ("btnTo" for "actTo"). It never takes the focus, so
// that the list it acts on keeps it.
QToolButton* ActionButton(QAction* action, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setDefaultAction(action);
  button->setObjectName(QStringLiteral("btn") + action->objectName().mid(3));
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

QLabel* Caption(const char* text, QWidget* parent) {
  auto* label = new QLabel(Q(text), parent);
  // Bold by its font: a style sheet would cut the label off the window's colours.
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

}  // namespace

PhoneBookItemModel::PhoneBookItemModel(QObject* parent) : QAbstractTableModel(parent) {}

void PhoneBookItemModel::Load(TCSVData book, bool email) {
  beginResetModel();
  book_ = std::move(book);
  items_ = PhoneBookItems(book_, email);
  endResetModel();
  if (tag_ != 0) Sort(tag_);
}

void PhoneBookItemModel::Sort(int tag) {
  tag_ = tag;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  ListViewSortKeys keys;
  if (tag != 0 && keys.Fetch(this, tag)) {
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys.Compare(a, b) < 0; });
  } else {
    auto fileOrder = [this](int a, int b) {
      const PhoneBookItem &x = Item(a), &y = Item(b);
      return x.row != y.row ? x.row < y.row : x.n < y.n;
    };
    std::sort(order.begin(), order.end(), fileOrder);
  }
  std::vector<PhoneBookItem> sorted;
  sorted.reserve(items_.size());
  std::vector<int> moved(items_.size());
  for (size_t i = 0; i < order.size(); ++i) {
    sorted.push_back(items_[static_cast<size_t>(order[i])]);
    moved[static_cast<size_t>(order[i])] = static_cast<int>(i);
  }
  items_ = std::move(sorted);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex& i : before) after.append(index(moved[static_cast<size_t>(i.row())], i.column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void PhoneBookItemModel::Clear() { Load(TCSVData(), true); }

int PhoneBookItemModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int PhoneBookItemModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant PhoneBookItemModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const PhoneBookItem& item = Item(index.row());
  if (role == kSortTextRole) return index.column() == 0 ? QVariant(ToQString(ItemReading(book_, item))) : QVariant();
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case 0: return ToQString(ItemName(book_, item));
    case 1: return ToQString(ItemPhone(book_, item));
    case 2: return ToQString(ItemMail(book_, item));
    default: return {};
  }
}

QVariant PhoneBookItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == kColumnTagRole) return 0;
  if (role != Qt::DisplayRole) return {};
  static const char* const kCaptions[] = {"名前", "電話番号", "メールアドレス"};
  return section >= 0 && section < 3 ? Q(kCaptions[section]) : QVariant();
}

TfrmMailAddress::TfrmMailAddress(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmMailAddress"));
  setWindowTitle(Q("VeoQuorvel - 電話帳"));
  resize(720, 460);
  const QDate now = QDate::currentDate();
  today_ = {now.year(), now.month(), now.day()};

  actTo = NewAction(this, "actTo", "TO");
  actCC = NewAction(this, "actCC", "CC");
  actBCC = NewAction(this, "actBCC", "BCC");
  actDate = NewAction(this, "actDate", "配送日時指定");
  actDelete = NewAction(this, "actDelete", "削除");
  actSelectAll = NewAction(this, "actSelectAll", "全て選択");
  actOK = NewAction(this, "actOK", "OK");

  lsvAddress = new QTreeView(this);
  lsvAddress->setObjectName(QStringLiteral("lsvAddress"));
  addresses = new PhoneBookItemModel(this);
  SetUpListView(lsvAddress, addresses);
  connect(lsvAddress->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    ListViewColumnClick(lsvAddress, column);
    addresses->Sort(ListViewTag(lsvAddress));
  });
  lsvAddress->header()->setStretchLastSection(false);
  for (int c = 0; c < 3; ++c) lsvAddress->header()->resizeSection(c, c == 0 ? 80 : 100);

  auto* moves = new QVBoxLayout;
  moves->addStretch();
  for (QAction* a : {actTo, actCC, actBCC}) {
    QToolButton* button = ActionButton(a, this);
    button->setMinimumWidth(64);
    moves->addWidget(button);
  }
  moves->addStretch();

  auto panel = [this](const char* name, const char* caption, QTreeView*& view, bool withTime) {
    auto* box = new QWidget(this);
    box->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(Caption(caption, box));
    view = NewRecipientList(withTime, box);
    layout->addWidget(view, 1);
    return box;
  };
  pnlToTel = panel("pnlToTel", "宛先 (TO)", lsvToTel, false);
  pnlToMail = panel("pnlToMail", "宛先 (TO)", lsvToMail, true);
  pnlCC = panel("pnlCC", "CC", lsvCC, true);
  pnlBCC = panel("pnlBCC", "BCC", lsvBCC, true);
  lsvToTel->setObjectName(QStringLiteral("lsvToTel"));
  lsvToMail->setObjectName(QStringLiteral("lsvToMail"));
  lsvCC->setObjectName(QStringLiteral("lsvCC"));
  lsvBCC->setObjectName(QStringLiteral("lsvBCC"));
  auto* lists = new QVBoxLayout;
  for (QWidget* p : {pnlToTel, pnlToMail, pnlCC, pnlBCC}) lists->addWidget(p, 1);

  auto* left = new QVBoxLayout;
  left->addWidget(Caption("電話帳", this));
  left->addWidget(lsvAddress, 1);
  auto* body = new QHBoxLayout;
  body->addLayout(left, 5);
  body->addLayout(moves);
  body->addLayout(lists, 5);

  auto* bottom = new QHBoxLayout;
  for (QAction* a : {actDate, actDelete, actSelectAll}) bottom->addWidget(ActionButton(a, this));
  bottom->addStretch();
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(Q("キャンセル"), this);
  btnOK->setDefault(true);
  bottom->addWidget(btnOK);
  bottom->addWidget(btnCancel);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(body, 1);
  outer->addLayout(bottom);

  // The list keys: Delete in a recipient list, Ctrl+A in any list.
  actDelete->setShortcut(QKeySequence::Delete);
  actDelete->setShortcutContext(Qt::WidgetShortcut);
  actSelectAll->setShortcut(QKeySequence::SelectAll);
  actSelectAll->setShortcutContext(Qt::WidgetShortcut);
  for (QTreeView* v : RecipientLists()) {
    v->addAction(actDelete);
    v->addAction(actSelectAll);
  }
  lsvAddress->addAction(actSelectAll);

  connect(actTo, &QAction::triggered, this, [this] { AddSelected(ToList()); });
  connect(actCC, &QAction::triggered, this, [this] { AddSelected(lsvCC); });
  connect(actBCC, &QAction::triggered, this, [this] { AddSelected(lsvBCC); });
  connect(actDate, &QAction::triggered, this, &TfrmMailAddress::ChooseDeliveryTime);
  connect(actDelete, &QAction::triggered, this, &TfrmMailAddress::DeleteSelected);
  connect(actSelectAll, &QAction::triggered, this, &TfrmMailAddress::SelectAllOfFocused);
  connect(actOK, &QAction::triggered, this, [this] { done(1); });
  connect(btnOK, &QPushButton::clicked, actOK, &QAction::trigger);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(lsvAddress, &QTreeView::doubleClicked, this, [this] {
    if (actTo->isEnabled()) actTo->trigger();
  });
  for (QTreeView* v : RecipientLists()) {
    connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TfrmMailAddress::UpdateActions);
    connect(v->model(), &QAbstractItemModel::rowsInserted, this, &TfrmMailAddress::UpdateActions);
    connect(v->model(), &QAbstractItemModel::rowsRemoved, this, &TfrmMailAddress::UpdateActions);
  }
  connect(lsvAddress->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TfrmMailAddress::UpdateActions);
  connect(addresses, &QAbstractItemModel::modelReset, this, &TfrmMailAddress::UpdateActions);
  connect(qApp, &QApplication::focusChanged, this, &TfrmMailAddress::UpdateActions);
  SetMailMode(true);
}

TfrmMailAddress::~TfrmMailAddress() {
  // The focus moves as the window goes; nothing may call back into it then.
  QObject::disconnect(qApp, nullptr, this, nullptr);
}

QTreeView* TfrmMailAddress::NewRecipientList(bool withTime, QWidget* parent) {
  auto* view = new QTreeView(parent);
  auto* items = new QStandardItemModel(0, withTime ? 3 : 2, view);
  items->setHorizontalHeaderLabels(withTime ? QStringList{Q("名前"), Q("メールアドレス"), Q("日付指定")}
                                            : QStringList{Q("名前"), Q("電話番号")});
  for (int c = 0; c < items->columnCount(); ++c) items->setHeaderData(c, Qt::Horizontal, 0, kColumnTagRole);
  SetUpListView(view, new ListViewSortModel(view, view));
  static_cast<ListViewSortModel*>(view->model())->setSourceModel(items);
  connect(view->header(), &QHeaderView::sectionClicked, view, [view](int column) { ListViewColumnClick(view, column); });
  view->header()->resizeSection(0, 80);
  if (withTime) view->header()->resizeSection(1, 100);
  return view;
}

void TfrmMailAddress::SetMailMode(bool email) {
  email_ = email;
  pnlToTel->setVisible(!email);
  pnlToMail->setVisible(email);
  pnlCC->setVisible(email);
  pnlBCC->setVisible(email);
  for (QAction* a : {actCC, actBCC, actDate}) {
    a->setVisible(email);
    // A tool button outside a tool bar does not follow its action's visibility.
    for (QObject* o : a->associatedObjects())
      if (auto* button = qobject_cast<QToolButton*>(o)) button->setVisible(email);
  }
  UpdateActions();
}

void TfrmMailAddress::FillList(QTreeView* view, const std::vector<Recipient>& list) {
  SourceOf(view)->removeRows(0, SourceOf(view)->rowCount());
  for (const Recipient& r : list) AppendRecipient(view, r);
}

void TfrmMailAddress::AppendRecipient(QTreeView* view, const Recipient& r) {
  QList<QStandardItem*> row{TextItem(r.name), TextItem(r.address)};
  if (SourceOf(view)->columnCount() > kColTime) row.append(TextItem(r.time));
  SourceOf(view)->appendRow(row);
}

std::vector<Recipient> TfrmMailAddress::ListRecipients(const QTreeView* view) const {
  // In the order shown, as the list reads to the user.
  std::vector<Recipient> list;
  const QAbstractItemModel* shown = view->model();
  for (int r = 0; r < shown->rowCount(); ++r) {
    Recipient rec{Bytes(shown->index(r, kColName)), Bytes(shown->index(r, kColAddress)), {}};
    if (shown->columnCount() > kColTime) rec.time = Bytes(shown->index(r, kColTime));
    list.push_back(std::move(rec));
  }
  return list;
}

// The CC and BCC lists hold mail addresses whatever the mode (the compose
// window empties them for a direct mail), so their texts never lose one.
void TfrmMailAddress::SetToText(std::string_view text) { FillList(ToList(), ParseRecipients(text, email_)); }
void TfrmMailAddress::SetCCText(std::string_view text) { FillList(lsvCC, ParseRecipients(text, true)); }
void TfrmMailAddress::SetBCCText(std::string_view text) { FillList(lsvBCC, ParseRecipients(text, true)); }
std::string TfrmMailAddress::GetToText() const { return RecipientsText(ListRecipients(ToList()), email_); }
std::string TfrmMailAddress::GetCCText() const { return RecipientsText(ListRecipients(lsvCC), true); }
std::string TfrmMailAddress::GetBCCText() const { return RecipientsText(ListRecipients(lsvBCC), true); }

void TfrmMailAddress::LoadAddressList() {
  TCSVData book;
  if (LoadPhoneBook(book))
    addresses->Load(std::move(book), email_);
  else
    addresses->Clear();
}

void TfrmMailAddress::AddSelected(QTreeView* target) {
  for (int row : SelectedSourceRows(lsvAddress)) {
    const PhoneBookItem& item = addresses->Item(row);
    const TCSVData& book = addresses->Book();
    Recipient r;
    r.name = std::string(ItemName(book, item));
    r.address = target == lsvToTel ? NormalizePhoneNumber(ItemPhone(book, item)) : std::string(ItemMail(book, item));
    AppendRecipient(target, r);
  }
}

void TfrmMailAddress::ChooseDeliveryTime() {
  QTreeView* view = FocusedList();
  if (!view || view == lsvAddress || view == lsvToTel) return;
  const std::vector<int> rows = SelectedSourceRows(view);
  if (rows.empty()) return;
  QStandardItemModel* items = SourceOf(view);
  // The start value only when every selected recipient has the same one.
  std::string start = Bytes(items->index(rows.front(), kColTime));
  for (int r : rows)
    if (Bytes(items->index(r, kColTime)) != start) start.clear();
  TfrmAddressDate dialog(this);
  dialog.SetStart(start, today_);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string value = dialog.Value();
  for (int r : rows) items->setItem(r, kColTime, TextItem(value));
}

void TfrmMailAddress::DeleteSelected() {
  QTreeView* view = FocusedList();
  if (!IsRecipientList(view)) return;
  std::vector<int> rows = SelectedSourceRows(view);
  std::sort(rows.rbegin(), rows.rend());
  for (int r : rows) SourceOf(view)->removeRow(r);
}

void TfrmMailAddress::SelectAllOfFocused() {
  if (QTreeView* view = FocusedList()) view->selectAll();
}

QTreeView* TfrmMailAddress::FocusedList() const {
  QWidget* focus = QApplication::focusWidget();
  if (focus == lsvAddress) return lsvAddress;
  for (QTreeView* v : RecipientLists())
    if (focus == v) return v;
  return nullptr;
}

bool TfrmMailAddress::IsRecipientList(const QTreeView* view) const {
  return view && view != lsvAddress;
}

void TfrmMailAddress::UpdateActions() {
  const bool picked = lsvAddress->selectionModel()->hasSelection();
  actTo->setEnabled(picked);
  actCC->setEnabled(picked);
  actBCC->setEnabled(picked);
  QTreeView* focused = FocusedList();
  const bool focusedSelection = focused && focused->selectionModel()->hasSelection();
  actDate->setEnabled(focusedSelection && (focused == lsvToMail || focused == lsvCC || focused == lsvBCC));
  actDelete->setEnabled(focusedSelection && IsRecipientList(focused));
  actSelectAll->setEnabled(focused && focused->model()->rowCount() > 0);
}

void TfrmMailAddress::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  LoadFormPosition(this, kPlaceOwnerCentre, 0, "MailAddress");
  LoadListViewColumns(lsvAddress, "MailAddress", 0);
  addresses->Sort(ListViewTag(lsvAddress));
  LoadAddressList();
  UpdateActions();
}

void TfrmMailAddress::done(int result) {
  if (shown_) {
    SaveFormPosition(this, "MailAddress");
    SaveListViewColumns(lsvAddress, "MailAddress");
  }
  QDialog::done(result);
}

}  // namespace qv
