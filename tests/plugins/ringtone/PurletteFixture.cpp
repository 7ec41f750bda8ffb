#include "PurletteFixture.h"

#include "platform/IniFile.h"
#include "TcvTestApi.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>

namespace purlettetest {

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    ::setenv(name_.c_str(), old_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

double Wav::Rms() const {
  if (samples.empty()) return 0;
  double sum = 0;
  for (int16_t s : samples) sum += double(s) * s;
  return std::sqrt(sum / double(samples.size()));
}

Wav ReadWav(const std::filesystem::path& path) {
  Wav w;
  const std::string f = qvtest::ReadFile(path);
  auto u16 = [&](size_t at) { return uint32_t(uint8_t(f[at])) | uint32_t(uint8_t(f[at + 1])) << 8; };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  if (f.size() < 44 || f.compare(0, 4, "RIFF") != 0 || f.compare(8, 8, "WAVEfmt ") != 0 ||
      f.compare(36, 4, "data") != 0 || u16(20) != 1 || u16(34) != 16)
    return w;
  const uint32_t data = u32(40);
  if (data != f.size() - 44 || u32(4) != 36 + data) return w;  // the header was finished
  w.channels = int(u16(22));
  w.rate = int(u32(24));
  w.samples.resize(data / 2);
  std::memcpy(w.samples.data(), f.data() + 44, w.samples.size() * 2);
  w.ok = true;
  return w;
}

std::string RingtoneBlock(const std::string& r, uint16_t tag) {
  const Bytes bytes(r.begin(), r.end());
  const Bytes block = tcvtest::Block(bytes, tag);
  return std::string(block.begin(), block.end());
}

Bytes Song(const std::vector<std::pair<int, int>>& channels, int notesPerChannel) {
  SmfBuilder b(96);
  for (auto [ch, program] : channels)
    if (program >= 0) b.Program(0, ch, program);
  for (int i = 0; i < notesPerChannel; ++i) {
    for (auto [ch, program] : channels) b.NoteOn(0, ch, ch == 9 ? 36 + i % 3 : 60 + 2 * i + ch);
    bool first = true;
    for (auto [ch, program] : channels) {
      b.NoteOff(first ? 96 : 0, ch, ch == 9 ? 36 + i % 3 : 60 + 2 * i + ch);
      first = false;
    }
  }
  return b.End().File();
}

std::vector<std::pair<int32_t, int32_t>>& PurletteTest::ParamCalls() {
  static std::vector<std::pair<int32_t, int32_t>> calls;
  return calls;
}

void PurletteTest::SetUp() {
  dir_ = tmp_.path() / "app";
  launcherDir_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
  for (const char* file : {"Qvpurlette.qpl", "TCV.so", "image.dll"})
    std::filesystem::copy_file(qvtest::AppDir() / file, dir_ / file);
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "MidiDllFile", "TCV.so");
  tempFolder_ = tmp_.path() / "tmp";
  std::filesystem::create_directories(tempFolder_);
  audioOut_ = std::make_unique<ScopedEnv>("QUORVEL_AUDIO_OUT", PreviewFolder().c_str());
  ParamCalls().clear();
  answer_.setInterval(5);
  QObject::connect(&answer_, &QTimer::timeout, [this] { AnswerModal(); });
  answer_.start();
}

void PurletteTest::TearDown() {
  Unload();
  answer_.stop();
  audioOut_.reset();
  launcherDir_.reset();
}

void PurletteTest::UseConverter(const std::filesystem::path& module) {
  std::filesystem::copy_file(module, dir_ / module.filename(), std::filesystem::copy_options::overwrite_existing);
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "MidiDllFile", module.filename().string());
}

void PurletteTest::Load() {
  auto param = [](int32_t kind, int32_t value) -> QvBool {
    ParamCalls().emplace_back(kind, value);
    return 1;
  };
  auto str = [](int32_t, const char*, int32_t) -> int32_t { return 1; };
  {
    // The temporary name is chosen while the window is created.
    ScopedEnv tmp("TMPDIR", TempFolder().c_str());
    plugin_ = std::make_unique<qv::TDllForm>("Qvpurlette.qpl", +param, +str);
  }
  ASSERT_TRUE(plugin_->Initialized());
  ASSERT_TRUE(plugin_->ShowPluginForm());
  window_ = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmPurlette") window_ = w;
  ASSERT_NE(window_, nullptr);
  ASSERT_TRUE(window_->isVisible());
}

void PurletteTest::Unload() {
  plugin_.reset();
  window_ = nullptr;
}

void* PurletteTest::Export(const char* name) const {
  void* handle = ::dlopen((dir_ / "Qvpurlette.qpl").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
  if (!handle) return nullptr;
  void* symbol = ::dlsym(handle, name);
  ::dlclose(handle);  // only drops the reference taken here
  return symbol;
}

std::filesystem::path PurletteTest::WriteMidi(std::string_view name, const Bytes& bytes) const {
  const std::filesystem::path path = tmp_.path() / "songs" / std::string(name);
  qvtest::WriteFile(path, std::string(bytes.begin(), bytes.end()));
  return path;
}

QAction* PurletteTest::Action(const char* name) const {
  auto* a = window_->findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << name;
  return a;
}

QComboBox* PurletteTest::Combo(const char* name) const {
  auto* c = window_->findChild<QComboBox*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

QLineEdit* PurletteTest::Edit(const char* name) const {
  auto* e = window_->findChild<QLineEdit*>(name);
  EXPECT_NE(e, nullptr) << name;
  return e;
}

std::vector<std::string> PurletteTest::Items(const char* combo) const {
  std::vector<std::string> items;
  QComboBox* c = Combo(combo);
  for (int i = 0; i < c->count(); ++i) items.push_back(c->itemText(i).toStdString());
  return items;
}

std::vector<int> PurletteTest::Roles() const {
  std::vector<int> roles;
  for (const char* name : {"cboMap1", "cboMap2", "cboMap3", "cboMap4"}) roles.push_back(Combo(name)->currentIndex());
  return roles;
}

void PurletteTest::ClickItem(const char* combo, int index) {
  QComboBox* c = Combo(combo);
  c->showPopup();
  QAbstractItemView* view = c->view();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 5000));
  const QRect rect = view->visualRect(view->model()->index(index, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isVisible(); }, 5000));
}

void PurletteTest::AnswerModal() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
    filters_.push_back(dialog->nameFilters().join(";;").toStdString());
    if (nextFile_) {
      dialog->setOption(QFileDialog::DontConfirmOverwrite);
      dialog->selectFile(QString::fromStdString(nextFile_->string()));
      nextFile_.reset();
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own check of the name runs
    } else {
      dialog->reject();
    }
    return;
  }
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    boxes_.push_back(box->text().toStdString());
    const auto buttons = box->buttons();
    if (!buttons.isEmpty()) buttons.front()->click();
  }
}

void PurletteTest::Open(const std::filesystem::path& file) {
  nextFile_ = file;
  Action("actOpen")->trigger();
  EXPECT_FALSE(nextFile_) << "no open dialog came up";
}

void PurletteTest::Save(const std::filesystem::path& file) {
  nextFile_ = file;
  Action("actSave")->trigger();
  EXPECT_FALSE(nextFile_) << "no save dialog came up";
}

bool PurletteTest::Idle() const {
  return !Action("actStop")->isEnabled() && Action("actMidiPlay")->isEnabled();
}

void PurletteTest::PlayToEnd(const char* action) {
  Action(action)->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 30000)) << action << " never ended";
}

std::vector<std::filesystem::path> PurletteTest::Previews() const {
  std::vector<std::pair<int, std::filesystem::path>> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(PreviewFolder(), ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("preview-", 0) == 0) found.emplace_back(std::atoi(name.c_str() + 8), e.path());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::filesystem::path> paths;
  for (auto& f : found) paths.push_back(f.second);
  return paths;
}

}  // namespace purlettetest
