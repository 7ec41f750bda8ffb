// The settings dialog with sessions around it: the port search with the real
// Portvine.so in front of simulated handsets in a port folder of their own
// (and as USB serial adapters), ring-wait paused around the search and
// around OK, the first run end to end, and the two defaults of AutoDelete.
#include "SessionFixture.h"
#include "controls/BRVPanelEX.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "launcher/QvOptionFRM.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QPushButton>
#include <cstdlib>

using namespace qvtest;
using handsetsim::SimConfig;
using handsetsim::Simulator;
using qv::RingWaitState;
using qv::TfrmOption;

namespace {

const std::string kInbox = J("受信簿");

class PortSearchTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    std::filesystem::copy_file(AppDir() / "Portvine.so", dir_ / "Portvine.so",
                               std::filesystem::copy_options::overwrite_existing);
    ::unsetenv("QUORVEL_PORTS");
    // Only the ports each test sets up, not the scripted module's stand-in.
    std::filesystem::remove_all(Ports());
    std::filesystem::create_directories(Ports());
    WriteSessionIni({{"File|DllFile", "Portvine.so"}});
    const char* byId = std::getenv("QUORVEL_SERIAL_BY_ID");
    byIdBefore_ = byId ? byId : "";
  }
  void TearDown() override {
    SessionTest::TearDown();
    for (auto& sim : sims_) sim->Stop();
    ::setenv("QUORVEL_SERIAL_BY_ID", byIdBefore_.c_str(), 1);
  }
  std::filesystem::path Ports() const { return dir_ / "ports"; }
  // A simulated handset listening at the path (a port folder entry or a by-id name).
  Simulator& HandsetAt(const std::filesystem::path& path, SimConfig config = {}) {
    sims_.push_back(std::make_unique<Simulator>(std::move(config)));
    std::string error;
    EXPECT_TRUE(sims_.back()->Start(path, &error)) << error;
    return *sims_.back();
  }
  // A port folder entry that leads nowhere: nothing is on that port.
  void NothingAt(int n) {
    std::filesystem::create_symlink(dir_ / "nothing-here", Ports() / ("COM" + std::to_string(n)));
  }
  // The launcher with the real module, its waits made short.
  void StartModule() {
    StartSession();
    auto rate = reinterpret_cast<void (*)(int32_t)>(ModuleSymbol("Portvine.so", "PortvineTestSetClockRate"));
    ASSERT_NE(rate, nullptr);
    rate(20);
  }
  // Opens the settings dialog, presses 自動設定 and then does what finish does.
  std::string Search(const std::function<void(TfrmOption*)>& finish) {
    std::string selected;
    ModalAnswerer answer;
    answer.On<TfrmOption>([&](TfrmOption* d) {
      d->btnAutoCom->click();
      selected = d->cboComm->currentText().toStdString();
      finish(d);
    });
    launch_->OptionsDialog();
    EXPECT_EQ(answer.Answered(), 1);
    return selected;
  }
  std::string Setting(const qv::keys::Key& key) { return qv::IniRead(key); }
  std::string LastBox() const { return boxes_.empty() ? std::string() : boxes_.back().second; }

  std::vector<std::unique_ptr<Simulator>> sims_;
  std::string byIdBefore_;
};

const std::string kFound = J("携帯電話が接続されているポートが見つかりました。");
const std::string kNotFound =
    J("携帯電話が接続されているポートが見つかりませんでした。\r\nケーブルの接続と電源を確認してください。");

}  // namespace

TEST_F(PortSearchTest, APoweredOffHandsetAndAnEmptyPortArePassedOverForTheHandsetThatAnswers) {
  for (int n : {1, 2, 4, 5, 6}) NothingAt(n);
  SimConfig off;
  off.powered = false;
  Simulator& dead = HandsetAt(Ports() / "COM3", off);
  Simulator& live = HandsetAt(Ports() / "COM7");
  StartModule();
  const std::string selected = Search([](TfrmOption* d) { d->btnOK->click(); });
  EXPECT_EQ(selected, "COM7");
  EXPECT_EQ(LastBox(), kFound);
  EXPECT_EQ(dead.Record().connections, 1) << "asked, and it did not answer";
  EXPECT_EQ(live.Record().connections, 1);
  EXPECT_FALSE(live.Record().atCommands.empty());
  EXPECT_EQ(Setting(qv::keys::SerialPort), "COM7");
  // Nothing there at all: every port is asked and the user is told.
  live.Stop();
  boxes_.clear();
  EXPECT_EQ(Search([](TfrmOption* d) { d->btnCancel->click(); }), "COM7") << "the selection stays";
  EXPECT_EQ(LastBox(), kNotFound);
  EXPECT_EQ(dead.Record().connections, 2);
}

TEST_F(PortSearchTest, RingWaitOnTheHandsetsPortPausesForTheSearchAndWaitsAgainAfterwards) {
  for (int n : {1, 2, 3, 4}) NothingAt(n);
  Simulator& handset = HandsetAt(Ports() / "COM5");
  WriteSessionIni({{"Port|SerialPort", "COM5"}});
  StartModule();
  launch_->ToggleRingWait();
  PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });
  ASSERT_EQ(launch_->RingWait(), RingWaitState::Waiting);
  std::set<RingWaitState> during;
  const std::string selected = Search([&](TfrmOption* d) {
    during.insert(launch_->RingWait());
    d->btnCancel->click();
  });
  EXPECT_EQ(selected, "COM5") << "found where ring-wait held the port";
  EXPECT_EQ(LastBox(), kFound);
  EXPECT_EQ(handset.Record().refused, 0);
  PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
  EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), "待受中");
  EXPECT_GE(handset.Record().connections, 3) << "ring-wait, the search, ring-wait again";
}

TEST_F(PortSearchTest, AUsbAdapterThatAnswersGetsTheFirstFreeComNumber) {
  if (std::filesystem::exists("/dev/ttyS32")) GTEST_SKIP() << "this machine has a serial device behind COM33";
  // COM1-COM32 hold entries (as a machine's serial devices would), so COM33
  // is the first number free.
  for (int n = 1; n <= 32; ++n) NothingAt(n);
  const std::filesystem::path byId = tmp_.path() / "by-id";
  std::filesystem::create_directories(byId);
  ::setenv("QUORVEL_SERIAL_BY_ID", byId.c_str(), 1);
  const auto absent = byId / "usb-Absent_Adapter-if00-port0";
  const auto adapter = byId / "usb-Quorvel_Handset_0001-if00-port0";
  std::filesystem::create_symlink(tmp_.path() / "unplugged", absent);
  Simulator& handset = HandsetAt(adapter);
  StartModule();
  EXPECT_EQ(Search([](TfrmOption* d) { d->btnOK->click(); }), "COM33");
  EXPECT_EQ(LastBox(), kFound);
  EXPECT_EQ(handset.Record().connections, 1);
  ASSERT_TRUE(std::filesystem::is_symlink(Ports() / "COM33"));
  EXPECT_EQ(std::filesystem::read_symlink(Ports() / "COM33"), adapter) << "the adapter's stable name";
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Ports() / "COM34")))
      << "the adapter that did not answer got no entry";
  EXPECT_EQ(Setting(qv::keys::SerialPort), "COM33");
  // Searched again, it is found at its entry and not linked twice.
  EXPECT_EQ(Search([](TfrmOption* d) { d->btnCancel->click(); }), "COM33");
  EXPECT_EQ(handset.Record().connections, 2);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Ports() / "COM34")));
}

TEST_F(PortSearchTest, TheFirstRunFindsTheHandsetStoresItsPortAndReceivesMail) {
  NothingAt(1);
  Simulator& handset = HandsetAt(Ports() / "COM2", handsetsim::MakeMailbox(2, 300));
  qv::IniFile(dir_ / "Quorvel.ini").DeleteKey("Port", "SerialPort");
  StartModule();
  launch_->show();
  int shown = 0;
  {
    ModalAnswerer answer;
    answer.On<TfrmOption>([&](TfrmOption* d) {
      ++shown;
      EXPECT_EQ(d->cboComm->currentIndex(), -1) << "no port yet";
      EXPECT_FALSE(d->btnOK->isEnabled());
      d->btnAutoCom->click();
      EXPECT_EQ(d->cboComm->currentText().toStdString(), "COM2");
      d->btnOK->click();
    });
    PumpUntil([&] { return shown == 1 && !QApplication::activeModalWidget(); });
  }
  ASSERT_EQ(shown, 1) << "the launcher opened the dialog by itself";
  EXPECT_EQ(LastBox(), kFound);
  EXPECT_EQ(Setting(qv::keys::SerialPort), "COM2");
  EXPECT_EQ(Setting(qv::keys::AutoDeleteReceive), "1") << "the dialog stored the option it offered";
  EXPECT_EQ(PluginCallParam("TestMail.qpl", 1, 3), 1);
  EXPECT_EQ(Rows(kInbox).size(), 2u);
  EXPECT_EQ(handset.Record().purged, (std::vector<std::string>{"ID1", "ID2"}));
}

TEST_F(PortSearchTest, WithoutAutoDeleteTheBoxIsOnWhileAReceiveBeforeOKLeavesTheMailAtTheCentre) {
  for (int n : {1, 2, 3, 4}) NothingAt(n);
  Simulator& handset = HandsetAt(Ports() / "COM5", handsetsim::MakeMailbox(2, 300));
  WriteSessionIni({{"Port|SerialPort", "COM5"}});
  StartModule();
  const std::string before = ReadFile(dir_ / "Quorvel.ini");
  ASSERT_EQ(before.find("AutoDelete"), std::string::npos);
  ModalAnswerer answer;
  answer.On<qv::TfrmConnecting>([](qv::TfrmConnecting*) {});  // the session runs by itself
  int32_t received = -1;
  answer.On<TfrmOption>([&](TfrmOption* d) {
    EXPECT_TRUE(d->chkAutoDelete->isChecked());
    received = PluginCallParam("TestMail.qpl", 1, 3);
    d->btnCancel->click();
  });
  launch_->OptionsDialog();
  EXPECT_EQ(received, 1);
  EXPECT_EQ(Rows(kInbox).size(), 2u);
  EXPECT_TRUE(handset.Record().purged.empty());
  EXPECT_EQ(handset.Mailbox().size(), 2u);
  EXPECT_EQ(ReadFile(dir_ / "Quorvel.ini"), before);
}

namespace {

// Against the scriptable module, where every call is seen in order.
class OptionRingWaitTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    StartSession();
    for (int i = 0; i < 4; ++i) QueueReply("kwxWaitForRing", {{1, 9}});
    launch_->ToggleRingWait();
    PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });
    ASSERT_EQ(launch_->RingWait(), RingWaitState::Waiting);
    TakeCalls();
  }
  ModalAnswerer answer_;
};

}  // namespace

TEST_F(OptionRingWaitTest, OKStopsRingWaitStoresTheSettingsAndStartsItAgainWithThem) {
  answer_.On<TfrmOption>([&](TfrmOption* d) {
    d->cboComm->setCurrentIndex(7);
    d->btnOK->click();
  });
  launch_->OptionsDialog();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"serial kwxDisconnect 99999", "serial kwxInitial", "serial kwxWaitForRing"}));
  EXPECT_EQ(std::string(LastParam().SerialPort), "\\\\.\\COM8") << "started again with the stored port";
  PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
}

TEST_F(OptionRingWaitTest, TheSearchAsksWithRingWaitStoppedAndAFailedOKStartsItAgainUnchanged) {
  SetParam(-1, "07012345678");
  namespace fs = std::filesystem;
  answer_.On<TfrmOption>([&](TfrmOption* d) {
    d->btnAutoCom->click();
    EXPECT_EQ(Calls(), (std::vector<std::string>{"serial kwxDisconnect 99999", "serial kwxGetTelNumber \\\\.\\COM1 115200",
                                                 "serial kwxInitial", "serial kwxWaitForRing"}));
    TakeCalls();
    fs::permissions(dir_ / "Quorvel.ini", fs::perms::owner_read);
    d->cboComm->setCurrentIndex(7);
    d->btnOK->click();
    EXPECT_TRUE(d->isVisible()) << "the settings were not stored";
    d->btnCancel->click();
  });
  launch_->OptionsDialog();
  EXPECT_EQ(Calls(), (std::vector<std::string>{"serial kwxDisconnect 99999", "serial kwxInitial", "serial kwxWaitForRing"}));
  EXPECT_EQ(std::string(LastParam().SerialPort), "\\\\.\\COM5") << "the old settings";
  fs::permissions(dir_ / "Quorvel.ini", fs::perms::owner_write, fs::perm_options::add);
}
