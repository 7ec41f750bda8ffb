#include "SignupFixture.h"

#include "QtPump.h"

#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>

namespace signuptest {
std::string PictogramCode(int index) {
  // The shipped table: one NAME=code line per image of "PICTEXT".
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> all;
    const std::string text = qvtest::ReadFile(qvtest::AppDir() / "Pictext.txt");
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      all.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return all;
  }();
  const std::string& line = lines.at(static_cast<size_t>(index));
  return line.substr(line.find('=') + 1);
}

std::string Page(const std::vector<std::string>& headers, const std::vector<std::string>& body) {
  std::string page;
  for (const auto& h : headers) page += h + "\r\n";
  page += "\r\n";
  for (const auto& line : body) page += line + "\r\n";
  return page;
}

std::string PlainPage(const std::vector<std::string>& body) { return Page({"Content-Type: Text/Plain"}, body); }

std::string DecoratedPage(const std::vector<std::string>& body, const std::vector<std::string>& headers) {
  std::vector<std::string> all = {"Content-Type: Text/X-KMAILDX"};
  all.insert(all.end(), headers.begin(), headers.end());
  return Page(all, body);
}

std::string Request(const std::string& body, const std::string& to) {
  return "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\nTo: " + to +
         "\r\nSubject: DATA\r\nContent-Type: Text/Plain\r\n\r\n" + body;
}

void SignupTest::SetUp() {
  dir_ = tmp_.path() / "app";
  launcherDir_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
  for (const char* file : {"KWX.so", "image.dll", "Message.txt", "Pictext.txt"})
    std::filesystem::copy_file(qvtest::AppDir() / file, dir_ / file);
  std::filesystem::create_directories(dir_ / "Theme");
  std::filesystem::copy_file(qvtest::AppDir() / "Theme" / "VeoQuorvel.qvt", dir_ / "Theme" / "VeoQuorvel.qvt");
  std::filesystem::create_directories(tmp_.path() / "ports");
  ::setenv("QUORVEL_PORTS", (tmp_.path() / "ports").c_str(), 1);
  Ini("File|OnlineSignUpDllFile", "KWX.so");
  Ini("File|MessageFile", "Message.txt");
  Ini("File|PicTextFile", "Pictext.txt");
  Ini("File|ErrorLogFile", "Error.log");
  Ini("File|ImageDllFile", "image.dll");
  Ini("Theme|File", "VeoQuorvel.qvt");
  Ini("Port|SerialPort", "COM" + std::to_string(kPort));
  Ini("PhoneNo|DefaultOnlineSignUpPhoneNo", "0570009999");
  answer_.setInterval(5);
  QObject::connect(&answer_, &QTimer::timeout, [this] { AnswerModal(); });
  answer_.start();
}

void SignupTest::TearDown() {
  answer_.stop();
  if (sim_) sim_->Stop();
  launcherDir_.reset();
}

void SignupTest::Ini(const std::string& sectionKey, const std::string& value) {
  const auto bar = sectionKey.find('|');
  qv::IniFile(dir_ / "Quorvel.ini").WriteString(sectionKey.substr(0, bar), sectionKey.substr(bar + 1), value);
}

void SignupTest::RemoveIni(const std::string& sectionKey) {
  const auto bar = sectionKey.find('|');
  qv::IniFile(dir_ / "Quorvel.ini").DeleteKey(sectionKey.substr(0, bar), sectionKey.substr(bar + 1));
}

void SignupTest::StartSim(handsetsim::SimConfig config, int clockRate) {
  sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
  if (std::getenv("QV_SIM_LOG"))
    sim_->SetLog([](const std::string& line) { std::fprintf(stderr, "sim: %s\n", line.c_str()); });
  std::string error;
  ASSERT_TRUE(sim_->Start(tmp_.path() / "ports" / ("COM" + std::to_string(kPort)), &error)) << error;
  SetClockRate(clockRate);
}

void SignupTest::SetClockRate(int rate) {
  // The module the terminal loads, by the same path: the same copy.
  if (!kwx_.IsLoaded()) {
    ASSERT_TRUE(kwx_.Load((dir_ / "KWX.so").string())) << kwx_.Error();
  }
  auto setRate = kwx_.Function<void (*)(int32_t)>("KwxTestSetClockRate");
  ASSERT_NE(setRate, nullptr);
  setRate(rate);
}

bool SignupTest::PumpUntil(const std::function<bool()>& pred, int ms) {
  qvtest::PumpUntil(pred, ms);
  return pred();
}

std::vector<std::string> SignupTest::ErrorLog() const {
  std::vector<std::string> lines;
  const std::string text = qvtest::ReadFile(dir_ / "Error.log");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(qv::cp932::ToUtf8(text.substr(start, end - start)));
    start = end + 2;
  }
  return lines;
}

void SignupTest::AnswerModal() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible() || modal->property("qvtestAnswered").toBool()) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    box->setProperty("qvtestAnswered", true);
    boxes_.push_back(box->text().toStdString());
    if (!box->buttons().isEmpty()) box->buttons().front()->click();
    return;
  }
  if (modal->objectName() == "frmWait30" && onContinue_) {
    modal->setProperty("qvtestAnswered", true);
    onContinue_(qobject_cast<QDialog*>(modal));
  }
}

QAction* ActionOf(QWidget* window, const char* name) { return window->findChild<QAction*>(name); }
QListWidget* PageListOf(QWidget* window) { return window->findChild<QListWidget*>("lstMain"); }
QPlainTextEdit* InputOf(QWidget* window) { return window->findChild<QPlainTextEdit*>("memInput"); }

std::vector<std::string> ShownLines(QWidget* window) {
  std::vector<std::string> lines;
  QListWidget* list = PageListOf(window);
  for (int row = 0; row < list->count(); ++row) {
    const QByteArray b = list->item(row)->data(Qt::UserRole).toByteArray();
    lines.emplace_back(b.constData(), static_cast<size_t>(b.size()));
  }
  return lines;
}

void ClickLine(QWidget* window, int row) {
  QListWidget* list = PageListOf(window);
  list->scrollToItem(list->item(row));
  const QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void Type(QWidget* window, const QString& text) {
  QPlainTextEdit* input = InputOf(window);
  input->setFocus();
  input->insertPlainText(text);
}

}  // namespace signuptest
