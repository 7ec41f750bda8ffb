#include "ContactsFixture.h"

#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QLabel>
#include <QTreeView>
#include <dlfcn.h>

namespace contactstest {

std::string U(std::string_view cp932) { return qv::cp932::ToUtf8(cp932); }

ModalScript::ModalScript() {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  timer_.start();
}

ModalScript::~ModalScript() { timer_.stop(); }

void ModalScript::Box(QMessageBox::StandardButton answer) {
  steps_.push_back({"a message box", [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
                    [this, answer](QWidget* w) {
                      auto* box = static_cast<QMessageBox*>(w);
                      boxes_.push_back(box->text().toStdString());
                      if (QAbstractButton* b = box->button(answer))
                        b->click();
                      else
                        box->reject();
                    }});
}

void ModalScript::File(const std::filesystem::path& path) {
  steps_.push_back({"a file dialog", [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
                    [path](QWidget* w) {
                      auto* dialog = static_cast<QFileDialog*>(w);
                      if (path.empty()) {
                        dialog->reject();
                        return;
                      }
                      dialog->setOption(QFileDialog::DontConfirmOverwrite);
                      const QString file = QString::fromStdString(path.string());
                      dialog->selectFile(file);
                      // The dialog lists no device, FIFO or socket, so it selects none:
                      // the user types such a name.
                      if (dialog->selectedFiles() != QStringList{file})
                        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) edit->setText(file);
                      static_cast<QDialog*>(dialog)->accept();
                    }});
}

void ModalScript::Window(const char* objectName, std::function<void(QWidget&)> act) {
  const std::string name = objectName;
  steps_.push_back({name, [name](QWidget* w) { return w->objectName().toStdString() == name; },
                    [act](QWidget* w) { act(*w); }, true});
}

std::vector<std::string> ModalScript::TakeBoxes() { return std::exchange(boxes_, {}); }

::testing::AssertionResult ModalScript::Done() const {
  if (steps_.empty() && unexpected_.empty()) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  for (const auto& s : steps_) failure << "never came: " << s.what << "; ";
  for (const auto& u : unexpected_) failure << "unexpected: " << u << "; ";
  return failure;
}

void ModalScript::Tick() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  for (const auto& w : handled_)
    if (w == modal) return;  // a step has it
  for (const auto& name : ignored_)
    if (modal->objectName().toStdString() == name) return;
  if (!steps_.empty() && steps_.front().matches(modal)) {
    Step step = std::move(steps_.front());
    steps_.pop_front();
    handled_.emplace_back(modal);
    if (!step.nested) {
      step.act(modal);
      return;
    }
    // A window the test works in is acted on from a timer of its own: a timer
    // is never entered again while its slot runs, and the act may open modal
    // windows this one must answer.
    QTimer::singleShot(0, modal, [act = std::move(step.act), w = QPointer<QWidget>(modal)] {
      if (w) act(w);
    });
    return;
  }
  std::string what = modal->metaObject()->className() + std::string(" ") + modal->objectName().toStdString();
  if (auto* box = qobject_cast<QMessageBox*>(modal)) what += ": " + box->text().toStdString();
  unexpected_.push_back(what);
  if (auto* dialog = qobject_cast<QDialog*>(modal))
    dialog->done(QDialog::Rejected);
  else
    modal->close();
}

std::function<bool(int32_t, int32_t)>& ContactsTest::OnParam() {
  static std::function<bool(int32_t, int32_t)> handler;
  return handler;
}
std::vector<std::pair<int32_t, int32_t>>& ContactsTest::ParamCalls() {
  static std::vector<std::pair<int32_t, int32_t>> calls;
  return calls;
}
std::vector<std::pair<int32_t, std::string>>& ContactsTest::StrCalls() {
  static std::vector<std::pair<int32_t, std::string>> calls;
  return calls;
}
bool& ContactsTest::StrCallbackSet() {
  static bool set = true;
  return set;
}

void ContactsTest::SetUp() {
  dir_ = tmp_.path() / "app";
  launcherDir_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
  for (const char* file : {"QvAddress.qpl", "QvBookMark.qpl", "image.dll"})
    std::filesystem::copy_file(qvtest::AppDir() / file, dir_ / file);
  qv::IniFile(Ini()).WriteString("File", "TempData", "Temp.dat");
  OnParam() = [](int32_t, int32_t) { return true; };
  ParamCalls().clear();
  StrCalls().clear();
  StrCallbackSet() = true;
}

void ContactsTest::TearDown() {
  Unload();
  OnParam() = {};
  EXPECT_TRUE(modals_.Done());
  launcherDir_.reset();
}

void ContactsTest::Load(const char* module) {
  auto param = [](int32_t kind, int32_t value) -> QvBool {
    ParamCalls().emplace_back(kind, value);
    return OnParam()(kind, value) ? 1 : 0;
  };
  auto str = [](int32_t kind, const char* text, int32_t) -> int32_t {
    StrCalls().emplace_back(kind, U(text ? text : ""));
    return 1;
  };
  module_ = module;
  plugin_ = std::make_unique<qv::TDllForm>(module, +param, StrCallbackSet() ? +str : nullptr);
  ASSERT_TRUE(plugin_->Initialized());
}

QWidget* ContactsTest::Show() {
  EXPECT_TRUE(plugin_->ShowPluginForm());
  window_ = nullptr;
  const std::string name = module_ == "QvAddress.qpl" ? "frmAddress" : "frmBookMark";
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName().toStdString() == name) window_ = w;
  EXPECT_NE(window_, nullptr);
  return window_;
}

void ContactsTest::Unload() {
  plugin_.reset();
  window_ = nullptr;
}

void* ContactsTest::Export(const char* name) const {
  void* handle = ::dlopen((dir_ / module_).c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
  if (!handle) return nullptr;
  void* symbol = ::dlsym(handle, name);
  ::dlclose(handle);  // only drops the reference taken here
  return symbol;
}

QAction* ContactsTest::Action(const char* name) const {
  auto* a = window_->findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << name;
  return a;
}

QTreeView* ContactsTest::List() const {
  return window_->findChild<QTreeView*>(module_ == "QvAddress.qpl" ? "lsvAddress" : "lsvBookMark");
}

int ContactsTest::Rows() const { return List()->model()->rowCount(); }

std::vector<std::string> ContactsTest::Column(int column) const {
  std::vector<std::string> texts;
  auto* model = List()->model();
  for (int r = 0; r < model->rowCount(); ++r) texts.push_back(model->index(r, column).data().toString().toStdString());
  return texts;
}

std::string ContactsTest::CountText() const {
  return window_->findChild<QLabel*>("pnlCount")->text().toStdString();
}

void ContactsTest::Select(const std::vector<int>& rows) {
  auto* selection = List()->selectionModel();
  selection->clearSelection();
  for (int r : rows)
    selection->select(List()->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

std::filesystem::path ContactsTest::Exchange(int kind) const { return dir_ / ("Temp" + std::to_string(kind) + ".dat"); }

std::filesystem::path WriteBook(const std::filesystem::path& path, const qv::PhoneBookList& entries) {
  EXPECT_TRUE(qv::SaveArchive(path, entries));
  return path;
}

}  // namespace contactstest
