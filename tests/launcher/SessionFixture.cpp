#include "SessionFixture.h"

#include "MailFolders.h"

#include "core/data/HandsetExchange.h"
#include "core/ui/QtText.h"
#include "core/ui/QvWait30FRM.h"
#include "core/data/TextFunctions.h"
#include "core/data/Settings.h"
#include "launcher/QvSelectFRM.h"
#include "platform/Cp932.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace qvtest {

void SessionTest::SetUp() {
  LauncherTest::SetUp();
  // The real message texts, so that notices read as the user sees them.
  std::filesystem::copy_file(AppDir() / "Message.txt", dir_ / "Message.txt",
                             std::filesystem::copy_options::overwrite_existing);
  for (const char* file : {"image.dll", "pipo.wav", "ring.wav"})
    if (std::filesystem::exists(AppDir() / file)) std::filesystem::copy_file(AppDir() / file, dir_ / file);
  ASSERT_TRUE(port_.Open());
  std::filesystem::create_directories(dir_ / "ports");
  std::filesystem::create_symlink(port_.slave, dir_ / "ports" / "COM5");
  WriteSessionIni();
  qv::TfrmLaunch::SetSoundPlayer([this](const std::filesystem::path& file) { sounds_.push_back(file.filename().string()); });
  driver_.setInterval(10);
  QObject::connect(&driver_, &QTimer::timeout, [this] { Tick(); });
  rounds_.setInterval(0);
  QObject::connect(&rounds_, &QTimer::timeout, [this] {
    for (auto& look : looks_) look();
  });
}

void SessionTest::EveryRound(std::function<void()> look) {
  looks_.push_back(std::move(look));
  rounds_.start();
}

void SessionTest::TearDown() {
  driver_.stop();
  rounds_.stop();
  LauncherTest::TearDown();
  if (sim_) sim_->Stop();
  qv::SetPauseRate(1);
  qv::TfrmWait30::SetTickInterval(1000);
}

void SessionTest::WriteSessionIni(const std::map<std::string, std::string>& entries) {
  std::map<std::string, std::string> all = {{"Plugins|1", "TestMail.qpl"},
                                            {"Port|SerialPort", "COM5"},
                                            {"PhoneNo|DefaultEMailPhoneNo", "0570001234"},
                                            {"PhoneNo|DefaultEMailAutoPhoneNo", "0570005555"},
                                            {"PhoneNo|DefaultOnlineSignUpPhoneNo", "0570009999"},
                                            {"File|PBSoundFile", "pipo.wav"},
                                            {"File|RingSoundFile", "ring.wav"},
                                            {"Environment|Vibration", "0"}};
  // What a test set stays set: later writes add to it.
  for (const auto& [key, value] : entries) base_[key] = value;
  for (const auto& [key, value] : base_) all[key] = value;
  WriteIni(all);
}

void SessionTest::StartSession() {
  qv::SetPauseRate(50);
  qv::TfrmWait30::SetTickInterval(5);
  Start();
  CaptureNotice();
  notice_->tmrWait->setInterval(5);
  driver_.start();
}

void SessionTest::QueueMail(int kind, const std::string& text) {
  qv::MailIndexRow row;
  const std::string to = qv::GetHeaderValue(text, "To");
  const std::string subject = qv::GetHeaderValue(text, "Subject");
  qv::BuildIndexRow(row, kind, 0, 1, 0, 1, 1, 0, kind == 3 ? "me@example.jp" : "07012345678", to, subject, "", "");
  std::string id;
  std::filesystem::create_directories(MailDir());
  ASSERT_TRUE(qv::AddMessageToFolder(qv::FixedFolderName(qv::FixedFolder::Queued), text, row, id));
}

std::vector<qv::TCSVRow> SessionTest::Rows(const std::string& folder) const { return IndexRows(MailDir(), folder); }

std::string SessionTest::StoreBytes(const std::string& folder) const { return qvtest::StoreBytes(MailDir(), folder); }

void SessionTest::OnDialog(std::function<void(QWidget*, int)> handler) { dialogHandler_ = std::move(handler); }

void SessionTest::CaptureNotice() {
  if (!notice_ || watched_ == notice_.get()) return;
  // Every notice as it is set: two in one turn of the loop would leave only
  // the second for a look at the window.
  watched_ = notice_.get();
  QObject::connect(watched_, &qv::TfrmReceiveMsg::MessageSet, watched_, [this](const QString& text) {
    if (text == lastNotice_) return;
    lastNotice_ = text;
    notices_.push_back(text.trimmed().toStdString());
  });
}

std::vector<std::string> SessionTest::NoticeTexts() {
  CaptureNotice();
  return notices_;
}

void SessionTest::CloseNoticeWindow() {
  if (notice_) notice_->hide();
  lastNotice_.clear();
}

void SessionTest::Tick() {
  CaptureNotice();
  for (auto& tick : ticks_) tick();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    const bool dialog = qobject_cast<qv::TfrmSelect*>(w) || qobject_cast<qv::TfrmWait30*>(w);
    if (!dialog || !dialogHandler_) continue;
    // Once per showing: the mark goes when the dialog hides.
    const bool marked = w->property("qvtestAnswered").toBool();
    if (!w->isVisible()) {
      if (marked) w->setProperty("qvtestAnswered", false);
      continue;
    }
    if (marked) continue;
    w->setProperty("qvtestAnswered", true);
    const int before = answered_++;
    QPointer<QWidget> guard(w);
    // Answered from the event loop, as a user's click would come.
    QTimer::singleShot(0, w, [this, guard, before] {
      if (guard) dialogHandler_(guard, before);
    });
  }
}

void SessionTest::QueueReply(const std::string& function, const std::vector<Ev>& events,
                             const std::vector<std::string>& pieces) {
  using Fn = void (*)(const char*, const int32_t*, int32_t, const char* const*, const int32_t*, int32_t);
  auto fn = reinterpret_cast<Fn>(ModuleSymbol("TestSerial.so", "TestQueueReply"));
  ASSERT_NE(fn, nullptr);
  std::vector<int32_t> pairs;
  for (const auto& [k, c] : events) pairs.insert(pairs.end(), {k, c});
  std::vector<const char*> data;
  std::vector<int32_t> sizes;
  for (const auto& p : pieces) {
    data.push_back(p.data());
    sizes.push_back(static_cast<int32_t>(p.size()));
  }
  fn(function.c_str(), pairs.data(), static_cast<int32_t>(events.size()), data.data(), sizes.data(),
     static_cast<int32_t>(pieces.size()));
}

void SessionTest::SetResult(const std::string& function, int32_t result) {
  auto fn = reinterpret_cast<void (*)(const char*, int32_t)>(ModuleSymbol("TestSerial.so", "TestSetResult"));
  ASSERT_NE(fn, nullptr);
  fn(function.c_str(), result);
}

void SessionTest::SetParam(int32_t id, const std::string& text) {
  auto fn = reinterpret_cast<void (*)(int32_t, const char*, int32_t)>(ModuleSymbol("TestSerial.so", "TestSetParam"));
  ASSERT_NE(fn, nullptr);
  fn(id, text.data(), static_cast<int32_t>(text.size()));
}

KwxInitialParam SessionTest::LastParam() {
  KwxInitialParam param{};
  auto fn = reinterpret_cast<void (*)(KwxInitialParam*)>(ModuleSymbol("TestSerial.so", "TestLastParam"));
  if (fn) fn(&param);
  return param;
}

void SessionTest::Post(const std::vector<Ev>& events) {
  for (const auto& [k, c] : events) qv::PostMessage(launch_->Handle(), kwx::WM_KWX_NOTIFY, k, c);
}

void SessionTest::UseRealModule(handsetsim::SimConfig config) {
  std::filesystem::copy_file(AppDir() / "Portvine.so", dir_ / "Portvine.so",
                             std::filesystem::copy_options::overwrite_existing);
  ::unsetenv("QUORVEL_PORTS");
  std::filesystem::create_directories(dir_ / "ports");
  std::filesystem::remove(dir_ / "ports" / "COM5");
  sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
  // QV_SIM_LOG=1 prints the simulated handset's dialogue, test by test, so
  // that runs of two builds can be compared.
  if (std::getenv("QV_SIM_LOG")) {
    std::fprintf(stderr, "sim: == %s\n", ::testing::UnitTest::GetInstance()->current_test_info()->name());
    sim_->SetLog([](const std::string& line) { std::fprintf(stderr, "sim: %s\n", line.c_str()); });
  }
  std::string error;
  ASSERT_TRUE(sim_->Start(dir_ / "ports" / "COM5", &error)) << error;
  base_["File|DllFile"] = "Portvine.so";
  WriteSessionIni();
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}

std::string ListLine(int number, const std::string& id, const std::string& sender, const std::string& subject,
                     const std::string& date, int size, const std::string& extra) {
  return std::to_string(number) + "\t" + id + "\t" + sender + "\t" + subject + "\t" + date + "\t" +
         std::to_string(size) + "\t" + extra;
}

std::string ListPage(const std::vector<std::string>& lines, const std::string& last) {
  std::string page = "TOTAL\t" + std::to_string(lines.size()) + "\r\n";
  for (const auto& line : lines) page += line + "\r\n";
  return page + last + "\r\n";
}

}  // namespace qvtest
