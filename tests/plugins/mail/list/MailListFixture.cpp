#include "MailListFixture.h"

#include "MailFolders.h"

#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QTreeWidget>
#include <dlfcn.h>

namespace mailtest {
std::string U(std::string_view cp932) { return qv::cp932::ToUtf8(cp932); }

qv::MailIndexRow Row(const MailSpec& s) {
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, s.kind, 0, s.unread ? 1 : 0, s.isProtected ? 1 : 0, s.outgoing ? 1 : 0, 1,
                    s.attachment ? 1 : 0, J(s.from), J(s.to), J(s.subject), J(s.date), "");
  return row;
}

std::string AddMail(std::string_view folder, std::string_view text, const MailSpec& spec) {
  const std::string id = qvtest::AppendMail(J(folder), text, Row(spec));
  EXPECT_FALSE(id.empty()) << folder;
  return id;
}

std::vector<std::pair<std::string, std::string>> LiveMails(std::string_view folder) {
  std::vector<std::pair<std::string, std::string>> mails;
  for (const auto& mail : qvtest::ReadLiveMails(J(folder))) mails.emplace_back(U(mail.row[qv::kColSubject]), mail.text);
  return mails;
}

std::vector<std::string> LiveColumn(std::string_view folder, int column) {
  std::vector<std::string> cells;
  for (const auto& cell : qvtest::LiveColumnOf(J(folder), column)) cells.push_back(U(cell));
  return cells;
}

BoxAnswers::BoxAnswers(std::vector<QMessageBox::StandardButton> answers) : answers_(std::move(answers)) {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    texts_.push_back(box->text().toStdString());
    allPlain_ = allPlain_ && box->textFormat() == Qt::PlainText;
    QMessageBox::StandardButton answer = QMessageBox::No;
    if (texts_.size() <= answers_.size())
      answer = answers_[texts_.size() - 1];
    else
      ++unexpected_;
    if (QAbstractButton* b = box->button(answer))
      b->click();
    else
      box->reject();
  });
  timer_.start();
}

BoxAnswers::~BoxAnswers() { timer_.stop(); }

std::vector<std::pair<int32_t, int32_t>>& MailListTest::ParamCalls() {
  static std::vector<std::pair<int32_t, int32_t>> calls;
  return calls;
}

std::vector<std::pair<int32_t, std::string>>& MailListTest::StrCalls() {
  static std::vector<std::pair<int32_t, std::string>> calls;
  return calls;
}

void MailListTest::SetUp() {
  dir_ = tmp_.path() / "app";
  launcherDir_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
  std::filesystem::copy_file(qvtest::AppDir() / "QvMail.qpl", dir_ / "QvMail.qpl");
  // The resource module with the icons.
  std::filesystem::copy_file(qvtest::AppDir() / "image.dll", dir_ / "image.dll");
  std::filesystem::create_directories(MailDir());
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Mail", "Folder", "MailLog");
  ParamCalls().clear();
  StrCalls().clear();
}

void MailListTest::TearDown() {
  Unload();
  launcherDir_.reset();
}

std::filesystem::path MailListTest::IndexFile(std::string_view folder) const {
  return MailDir() / (std::string(folder) + ".qvm");  // the folder's UTF-8 name
}
std::filesystem::path MailListTest::StoreFile(std::string_view folder) const {
  return MailDir() / (std::string(folder) + ".qvs");
}

void MailListTest::Load() {
  auto param = [](int32_t kind, int32_t value) -> QvBool {
    ParamCalls().emplace_back(kind, value);
    return 1;
  };
  auto str = [](int32_t kind, const char* text, int32_t) -> int32_t {
    StrCalls().emplace_back(kind, text ? text : "");
    return 1;
  };
  plugin_ = std::make_unique<qv::TDllForm>("QvMail.qpl", +param, +str);
  ASSERT_TRUE(plugin_->Initialized());
  ASSERT_TRUE(plugin_->ShowPluginForm());
  window_ = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmMailList") window_ = w;
  ASSERT_NE(window_, nullptr);
  ASSERT_TRUE(window_->isVisible());
}

void MailListTest::Unload() {
  plugin_.reset();
  window_ = nullptr;
}

QTreeWidget* MailListTest::Tree() const { return window_->findChild<QTreeWidget*>("trvFolder"); }
QTreeView* MailListTest::List() const { return window_->findChild<QTreeView*>("lsvMail"); }
QAbstractItemModel* MailListTest::ListModel() const { return List()->model(); }
QLabel* MailListTest::Label(const char* name) const { return window_->findChild<QLabel*>(name); }

QAction* MailListTest::Action(const char* name) const {
  auto* a = window_->findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << name;
  return a;
}

std::string MailListTest::CountText() const { return Label("pnlMailCount")->text().toStdString(); }
std::string MailListTest::ShownFolder() const { return Label("pnlListName")->text().toStdString(); }

std::vector<std::string> MailListTest::FolderNodes() const {
  std::vector<std::string> names;
  for (int i = 0; i < Tree()->topLevelItemCount(); ++i) names.push_back(Tree()->topLevelItem(i)->text(0).toStdString());
  return names;
}

QTreeWidgetItem* MailListTest::Node(std::string_view utf8) const {
  for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
    if (Tree()->topLevelItem(i)->text(0).toStdString() == utf8) return Tree()->topLevelItem(i);
  return nullptr;
}

std::vector<std::vector<std::string>> MailListTest::ListRows() const {
  std::vector<std::vector<std::string>> rows;
  QAbstractItemModel* m = ListModel();
  for (int r = 0; r < m->rowCount(); ++r) {
    std::vector<std::string> cells;
    for (int c = 0; c < m->columnCount(); ++c) cells.push_back(m->index(r, c).data().toString().toStdString());
    rows.push_back(cells);
  }
  return rows;
}

std::vector<std::string> MailListTest::ListColumn(int column) const {
  std::vector<std::string> cells;
  for (const auto& row : ListRows()) cells.push_back(row[static_cast<size_t>(column)]);
  return cells;
}

void MailListTest::ClickFolder(std::string_view utf8) {
  QTreeWidgetItem* node = Node(utf8);
  ASSERT_NE(node, nullptr) << utf8;
  Tree()->setCurrentItem(node);
  ASSERT_EQ(ShownFolder(), utf8);
}

void MailListTest::SelectSubjects(const std::vector<std::string>& subjects) {
  List()->setFocus();
  List()->clearSelection();
  QAbstractItemModel* m = ListModel();
  for (int r = 0; r < m->rowCount(); ++r) {
    const std::string subject = m->index(r, 6).data().toString().toStdString();
    if (std::find(subjects.begin(), subjects.end(), subject) != subjects.end())
      List()->selectionModel()->select(m->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

bool MailListTest::DragToFolder(std::string_view utf8, const QMimeData* data, bool drop) {
  QTreeWidgetItem* node = Node(utf8);
  EXPECT_NE(node, nullptr) << utf8;
  if (!node) return false;
  const QPoint pos = Tree()->visualItemRect(node).center();
  QDragEnterEvent enter(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Tree()->viewport(), &enter);
  QDragMoveEvent move(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Tree()->viewport(), &move);
  const bool accepted = enter.isAccepted() && move.isAccepted();
  if (drop) {
    QDropEvent dropEvent(QPointF(pos), Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Tree()->viewport(), &dropEvent);
    QApplication::processEvents();  // the move runs once the drag is over
  } else {
    QDragLeaveEvent leave;
    QApplication::sendEvent(Tree()->viewport(), &leave);
  }
  return accepted;
}

std::unique_ptr<QMimeData> MailListTest::SelectionDragData() const {
  return std::unique_ptr<QMimeData>(ListModel()->mimeData(List()->selectionModel()->selectedIndexes()));
}

void* MailListTest::Export(const char* name) const {
  void* handle = dlopen((dir_ / "QvMail.qpl").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
  if (!handle) return nullptr;
  void* symbol = dlsym(handle, name);
  dlclose(handle);  // only drops the reference taken here
  return symbol;
}

void MailListTest::Trigger(const char* action) {
  QAction* a = Action(action);
  ASSERT_TRUE(a->isEnabled()) << action;
  a->trigger();
}

}  // namespace mailtest
