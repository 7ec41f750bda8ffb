// The ringtone maker inside the launcher: the shipped plug-in list, the
// warnings it asks the launcher to show, and a launcher process that ends
// when the converter cannot be bound.
#include "PurletteFixture.h"

#include "LauncherProcess.h"

#include "core/ui/MessageBox.h"
#include "launcher/QvConnectFRM.h"
#include "launcher/QvLaunchFRM.h"
#include "launcher/QvReceiveMsgFRM.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QApplication>

using namespace purlettetest;

namespace {

std::filesystem::path SourceIni() { return std::filesystem::path(std::getenv("QV_SOURCE_DIR")) / "data/app/Quorvel.ini"; }

void CopyFrom(const std::filesystem::path& from, const std::filesystem::path& dir, const char* file) {
  std::filesystem::copy_file(from / file, dir / file, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace

TEST_F(PurletteTest, TheShippedPluginListLoadsTheRingtoneMakerAndSkipsPluginsNotBuilt) {
  CopyFrom(qvtest::AppDir(), dir_, "QvMail.qpl");
  CopyFrom(QV_LAUNCHER_TEST_MODULES, dir_, "TestSerial.so");
  CopyFrom(qvtest::AppDir(), dir_, "Message.txt");
  qv::IniFile shipped(SourceIni());
  qv::IniFile ini(dir_ / "Quorvel.ini");
  std::vector<std::string> listed;
  for (int key = 1; key <= 6; ++key) {
    const std::string name = shipped.ReadString("Plugins", std::to_string(key), "");
    if (name.empty()) break;
    listed.push_back(name);
    ini.WriteString("Plugins", std::to_string(key), name);
  }
  ASSERT_GE(listed.size(), 4u);
  EXPECT_EQ(listed[3], "Qvpurlette.qpl");
  EXPECT_EQ(shipped.ReadString("File", "MidiDllFile", ""), "TCV.so");
  ini.WriteString("File", "DllFile", "TestSerial.so");
  ini.WriteString("File", "MessageFile", "Message.txt");
  ini.WriteString("Port", "SerialPort", "COM1");
  std::vector<std::string> boxes;
  qv::SetMessageBoxHandler([&](qv::BoxKind, const std::string& text) { boxes.push_back(qv::cp932::ToUtf8(text)); });
  {
    auto launch = std::make_unique<qv::TfrmLaunch>();
    auto connecting = std::make_unique<qv::TfrmConnecting>();
    auto notice = std::make_unique<qv::TfrmReceiveMsg>();
    ASSERT_FALSE(launch->Terminated());
    std::vector<std::string> captions;
    for (const auto& e : launch->Entries()) captions.push_back(qv::cp932::ToUtf8(e.caption));
    EXPECT_EQ(captions, (std::vector<std::string>{"メール", "purletteメーカー", "設定"}));
    ASSERT_TRUE(launch->Entries()[1].plugin->ShowPluginForm());
    window_ = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "frmPurlette" && w->isVisible()) window_ = w;
    ASSERT_NE(window_, nullptr);
    // The launcher shows the plug-in's warnings from its message file.
    Open(WriteMidi("format1.mid", SmfBuilder(96, 1, 1).End().File()));
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "このファイルは対応しているMIDIファイルではありません。\r\nフォーマット0のSMFを選んでください。"});
    window_ = nullptr;
  }
  qv::SetMessageBoxHandler({});
}

TEST_F(PurletteTest, ALauncherWhoseConverterCannotBeBoundShowsWhyAndEnds) {
  for (const char* file : {"Quorvel", "libqvplatform.so", "Portvine.so", "Message.txt"}) CopyFrom(qvtest::AppDir(), dir_, file);
  CopyFrom(QV_PURLETTE_TEST_MODULES, dir_, "TcvNoTestPoly.so");
  qv::IniFile ini(dir_ / "Quorvel.ini");
  ini.WriteString("File", "DllFile", "Portvine.so");
  ini.WriteString("File", "MessageFile", "Message.txt");
  ini.WriteString("Port", "SerialPort", "COM9");
  ini.WriteString("Plugins", "1", "Qvpurlette.qpl");
  struct Case {
    const char* name;
    const char* module;
  } cases[] = {{"no module named", ""}, {"a module that is missing", "NoSuchTcv.so"},
               {"a module without tcvTestPoly", "TcvNoTestPoly.so"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ini.WriteString("File", "MidiDllFile", c.module);
    const qvtest::LauncherRun run =
        qvtest::RunLauncher(dir_ / "Quorvel", QV_BOX_LOG_MODULE, {{"TMPDIR", TempFolder().string()}});
    EXPECT_TRUE(run.ended) << "the launcher kept running";
    EXPECT_TRUE(run.normalExit);
    EXPECT_EQ(run.boxes, "MIDIDLLの読み込みに失敗しました\n");
    EXPECT_TRUE(std::filesystem::is_empty(TempFolder())) << "the preview file went with the window";
  }
}
