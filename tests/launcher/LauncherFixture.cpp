#include "LauncherFixture.h"

#include "core/ui/QtText.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QGlyphRun>
#include <QTextLayout>
#include <QPointer>
#include <QWidget>
#include <dlfcn.h>
#include <fstream>
#include <sstream>

namespace qvtest {
namespace {
// The test's environment may lack the build's folders (CTest can drop all but
// the first of several environment entries); the built-in ones stand in.
const bool kFolders = [] {
  ::setenv("QV_APP_DIR", QV_DEFAULT_APP_DIR, 0);
  ::setenv("QV_ARTIFACT_DIR", QV_DEFAULT_ARTIFACT_DIR, 0);
  ::setenv("QV_SOURCE_DIR", QV_DEFAULT_SOURCE_DIR, 0);
  return true;
}();
}  // namespace

bool RendersWithoutBoxes(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  bool any = false;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    for (quint32 glyph : run.glyphIndexes()) {
      if (glyph == 0) return false;
      any = true;
    }
  }
  return any;
}

ModalAnswerer::ModalAnswerer() : timer_(new QTimer) {
  timer_->setInterval(5);
  QObject::connect(timer_, &QTimer::timeout, [this] { Tick(); });
  timer_->start();
}

ModalAnswerer::~ModalAnswerer() { delete timer_; }

void ModalAnswerer::Tick() {
  QWidget* w = QApplication::activeModalWidget();
  if (!w || w->property("qvtestAnswered").toBool()) return;
  w->setProperty("qvtestAnswered", true);
  ++answered_;
  QPointer<QWidget> guard(w);
  QTimer::singleShot(0, w, [this, guard] {
    if (!guard) return;
    for (auto& handler : handlers_)
      if (handler(guard)) return;
    // A window nobody expected fails the test at once instead of hanging it.
    ADD_FAILURE() << "no answer for the modal window " << guard->metaObject()->className();
    guard->close();
  });
}

void LauncherTest::SetUp() {
  dir_ = tmp_.path() / "app";
  launcherDir_ = std::make_unique<ScopedLauncherDir>(dir_);
  for (const auto& entry : std::filesystem::directory_iterator(QV_LAUNCHER_TEST_MODULES))
    std::filesystem::copy_file(entry.path(), dir_ / entry.path().filename());
  for (const char* picture : {"logo.png", "banner.png", "tray.png", "option.png", "wait.png"})
    if (std::filesystem::exists(AppDir() / picture)) std::filesystem::copy_file(AppDir() / picture, dir_ / picture);
  WriteFile(dir_ / "Message.txt",
            J("I00101=ポートが見つかりました\r\n"
              "W00001=テストの警告です\r\n"
              "W01005=メールはありません<br>後で確かめてください\r\n"
              "D00030=携帯電話が外れました\r\n"
              "E00520=直送メールを拒否しました\r\n"
              "E01130=応答がありません<BR>やり直してください\r\n"
              "I00031=接続しています\r\n"
              "W01002=携帯電話が見つかりません\r\n"));
  WriteIni();
  qv::SetMessageBoxHandler([this](qv::BoxKind kind, const std::string& text) {
    boxes_.emplace_back(kind, text);
    if (onBox_) onBox_();
  });
}

void LauncherTest::TearDown() {
  Stop();
  // A call of the test module that the test scripted nothing for.
  const std::string unscripted = ReadFile(dir_ / "unscripted.log");
  EXPECT_EQ(unscripted, "") << "calls the test module had no reply for";
  qv::SetMessageBoxHandler({});
  qv::TfrmConnecting::SetSessionRunner({});
  qv::TfrmLaunch::SetSoundPlayer({});
  launcherDir_.reset();
}

void LauncherTest::WriteIni(const std::map<std::string, std::string>& entries) {
  std::filesystem::remove(dir_ / "Quorvel.ini");
  qv::IniFile ini(dir_ / "Quorvel.ini");
  ini.WriteString("File", "DllFile", "TestSerial.so");
  ini.WriteString("File", "MessageFile", "Message.txt");
  ini.WriteString("Port", "SerialPort", "COM1");
  for (const auto& [name, value] : entries) {
    auto bar = name.find('|');
    ini.WriteString(name.substr(0, bar), name.substr(bar + 1), value);
  }
}

void LauncherTest::Start() { qv::MakeLauncherWindows(launch_, connecting_, notice_); }

void LauncherTest::Stop() { qv::EndLauncherWindows(launch_, connecting_, notice_); }

std::vector<std::string> LauncherTest::Calls() const {
  std::vector<std::string> lines;
  std::ifstream in(dir_ / "calls.log", std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LauncherTest::TakeCalls() {
  auto lines = Calls();
  std::filesystem::remove(dir_ / "calls.log");
  return lines;
}

std::vector<std::string> LauncherTest::CallsOf(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& line : Calls())
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  return out;
}

void* LauncherTest::ModuleSymbol(const std::string& file, const char* name) const {
  void* handle = dlopen((dir_ / file).c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
  if (!handle) return nullptr;
  void* symbol = dlsym(handle, name);
  dlclose(handle);  // only drops the reference taken here
  return symbol;
}

int32_t LauncherTest::PluginCallParam(const std::string& file, int32_t kind, int32_t value) const {
  auto fn = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(ModuleSymbol(file, "TestCallParam"));
  return fn ? fn(kind, value) : -100;
}

int32_t LauncherTest::PluginCallStr(const std::string& file, int32_t kind, const std::string& text) const {
  auto fn = reinterpret_cast<int32_t (*)(int32_t, const char*)>(ModuleSymbol(file, "TestCallStr"));
  return fn ? fn(kind, text.c_str()) : -100;
}

std::vector<std::string> LauncherTest::ErrorLogLines() const {
  std::vector<std::string> lines;
  std::string text = ErrorLogText();
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace qvtest
