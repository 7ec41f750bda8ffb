// Start-up, the main window's layout and behaviour, the splash and about box.
#include "LauncherFixture.h"
#include "platform/Cp932.h"
#include "QtPump.h"
#include "core/ui/QtText.h"
#include "ThemeFiles.h"
#include "ThemeUser.h"
#include "core/ui/Theme.h"
#include "launcher/QvDLLForm.h"
#include "platform/IniFile.h"
#include "launcher/QvOptionFRM.h"
#include "launcher/TaskTray.h"
#include "launcher/splash.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QDeadlineTimer>
#include <fstream>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>

using namespace qvtest;

namespace {

// What the animation's timer delivers when its interval has passed.
void Tick(TAnimationImage& image) {
  ASSERT_TRUE(image.Timer().isActive()) << "no tick is due";
  QTimerEvent event(image.Timer().timerId());
  QApplication::sendEvent(const_cast<QTimer*>(&image.Timer()), &event);
}

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// Ctrl+Tab as the keyboard delivers it: to the window's focus widget.
void CtrlTab(QWidget* window) {
  QWidget* target = window->focusWidget() ? window->focusWidget() : window;
  QTest::keyClick(target, Qt::Key_Tab, Qt::ControlModifier);
}

}  // namespace

TEST_F(LauncherTest, StartUpEndsWithTheExactMessageWhenSomethingIsMissing) {
  struct Case {
    std::map<std::string, std::string> ini;
    const char* message;
    bool serialLoaded;
  } cases[] = {
      {{{"File|MessageFile", "Nothing.txt"}}, "メッセージファイルの読み込みに失敗しました", false},
      {{{"File|MessageFile", ""}}, "メッセージファイルの読み込みに失敗しました", false},
      {{{"File|DllFile", ""}}, "DLLの読み込みに失敗しました", false},
      {{{"File|DllFile", "NoSuchModule.so"}}, "DLLの読み込みに失敗しました", false},
      {{{"File|DllFile", "TestSerialMissing.so"}}, "DLLの読み込みに失敗しました", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    auto ini = c.ini;
    ini["Plugins|1"] = "TestMail.qpl";
    WriteIni(ini);
    TakeCalls();
    boxes_.clear();
    std::vector<std::string> callsAtBox;
    onBox_ = [&] { callsAtBox = Calls(); };
    Start();
    onBox_ = nullptr;
    EXPECT_TRUE(launch_->Terminated());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].second, J(c.message));
    if (c.serialLoaded) {
      EXPECT_EQ(callsAtBox, (std::vector<std::string>{"serial unloaded"})) << "unloaded before the message";
    } else {
      EXPECT_TRUE(callsAtBox.empty());
    }
    EXPECT_TRUE(launch_->Entries().empty()) << "no plug-in was loaded";
    EXPECT_FALSE(launch_->tmrStart->isActive());
    Stop();
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "MailLog")) << "the folders come first";
  EXPECT_EQ(std::filesystem::status(dir_ / "MailLog").permissions(), std::filesystem::perms::owner_all)
      << "mail is the user's own";
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Theme"));
}

TEST_F(LauncherTest, ABrokenSettingsOrMessageFileEndsTheStartNamingWhatToMend) {
  const std::string settings = "設定ファイルの読み込みに失敗しました\r\n" + (dir_ / "Quorvel.ini").string();
  const std::string messages = "メッセージファイルの読み込みに失敗しました";
  const std::string binary("\x7F" "ELF\x02\x01\x01\0\0\0\x89\xFF\r\n\0=\x81", 18);
  const std::string kNoFile = "(none)";
  struct Case {
    const char* what;
    std::optional<std::string> ini;      // nothing: the fixture's settings file
    std::optional<std::string> message;  // nothing: the fixture's message file
    std::string box;                     // empty: the start goes on
  } cases[] = {
      {"no settings file", kNoFile, std::nullopt, settings},
      {"empty settings file", "", std::nullopt, settings},
      {"binary settings file", binary, std::nullopt, settings},
      {"settings without sections", "MessageFile=Message.txt\r\nDllFile=TestSerial.so\r\n", std::nullopt, settings},
      {"binary message file", std::nullopt, binary, messages},
      {"message file without ids", std::nullopt, "hello\r\nX=1\r\nE123=short\r\n", messages},
      {"message file cut short", std::nullopt, "I00101=ok\r\nW000", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteIni();
    if (c.ini == kNoFile)
      std::filesystem::remove(dir_ / "Quorvel.ini");
    else if (c.ini)
      WriteFile(dir_ / "Quorvel.ini", *c.ini);
    if (c.message) WriteFile(dir_ / "Message.txt", *c.message);
    boxes_.clear();
    Start();
    EXPECT_EQ(launch_->Terminated(), !c.box.empty());
    if (c.box.empty()) {
      EXPECT_TRUE(boxes_.empty());
    } else {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0].second, qv::cp932::FromUtf8(c.box));
    }
    Stop();
  }
}

TEST_F(LauncherTest, StartUpBindsEverySerialFunctionAndInstallsTheTraceCallback) {
  Start();
  ASSERT_FALSE(launch_->Terminated());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(Calls(), (std::vector<std::string>{"serial SetCallbackFunc"}));
  const qv::SerialEntries& s = launch_->Serial();
  const void* entries[] = {
      reinterpret_cast<const void*>(s.kwxInitial), reinterpret_cast<const void*>(s.kwxTerminate),
      reinterpret_cast<const void*>(s.kwxConnectEMail), reinterpret_cast<const void*>(s.kwxAsyncSendEMail),
      reinterpret_cast<const void*>(s.kwxAsyncGetEMailList), reinterpret_cast<const void*>(s.kwxAsyncGetEMail),
      reinterpret_cast<const void*>(s.kwxPurgeEMail), reinterpret_cast<const void*>(s.kwxExitEMail),
      reinterpret_cast<const void*>(s.kwxAsyncGetBuffer), reinterpret_cast<const void*>(s.kwxWaitForRing),
      reinterpret_cast<const void*>(s.kwxConnectSMail), reinterpret_cast<const void*>(s.kwxDisconnect),
      reinterpret_cast<const void*>(s.kwxResumeTxRx), reinterpret_cast<const void*>(s.kwxReadySMail),
      reinterpret_cast<const void*>(s.kwxGetState), reinterpret_cast<const void*>(s.kwxSetParam),
      reinterpret_cast<const void*>(s.kwxGetParam), reinterpret_cast<const void*>(s.kwxEnterInfoMode),
      reinterpret_cast<const void*>(s.kwxGetInfo), reinterpret_cast<const void*>(s.kwxSetInfo),
      reinterpret_cast<const void*>(s.kwxBareInfo), reinterpret_cast<const void*>(s.kwxDeleteInfo),
      reinterpret_cast<const void*>(s.kwxExitInfoMode), reinterpret_cast<const void*>(s.kwxGetTelNumber)};
  for (const void* entry : entries) EXPECT_NE(entry, nullptr);
  EXPECT_EQ(reinterpret_cast<const void*>(s.kwxDisconnect), ModuleSymbol("TestSerial.so", "kwxDisconnect"));
  Stop();
  EXPECT_EQ(Calls().back(), "serial unloaded");
}

TEST_F(LauncherTest, TheMainWindowHasItsSizesAndJapaneseCaptionsRender) {
  WriteIni({{"Plugins|1", "TestMail.qpl"}, {"Plugins|2", "TestAddress.qpl"}, {"Plugins|3", "TestBookMark.qpl"}});
  Start();
  launch_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(launch_.get()));
  EXPECT_EQ(launch_->windowTitle().toStdString(), "VeoQuorvel");
  EXPECT_EQ(launch_->width(), 211);
  EXPECT_EQ(launch_->height(), 448);
  EXPECT_EQ(launch_->minimumWidth(), 211);
  EXPECT_EQ(launch_->pnlInfo->height(), 25);
  EXPECT_EQ(launch_->pnlInfo->GetCaption().toStdString(), "ＶｅｏＱｕｏｒｖｅｌ");
  EXPECT_EQ(launch_->pnlTopBanner->height(), 58);
  EXPECT_EQ(launch_->pnlLogo->width(), 65);
  EXPECT_EQ(launch_->pnlBanner->width(), 124);
  EXPECT_EQ(launch_->pnlBanner->geometry().right(), launch_->pnlTopBanner->width() - 1) << "right-aligned";
  EXPECT_EQ(launch_->pnlAd->size(), QSize(120, 50));
  EXPECT_EQ(launch_->aniBanner->size(), QSize(120, 50));
  EXPECT_EQ(launch_->pnlRing->size(), QSize(61, 21));
  EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), "待受停止");
  EXPECT_EQ(launch_->pnlRing->GetColor(), clRed);
  EXPECT_EQ(launch_->btnRing->GetCaption().toStdString(), "待受開始");
  EXPECT_EQ(launch_->btnRing->GetAction(), launch_->actWaitRing);
  EXPECT_TRUE(launch_->aniBanner->GetSkipStartPos());
  EXPECT_EQ(launch_->palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF)) << "$FF8080";
  EXPECT_EQ(launch_->palette().color(QPalette::WindowText), QColor(Qt::white));
  QStringList menus;
  for (QAction* a : launch_->menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus.join('|').toStdString(), "ファイル(&F)|ツール(&T)");
  ASSERT_EQ(launch_->lsvMainMenu->count(), 4);
  for (int i = 0; i < 4; ++i) {
    QListWidgetItem* item = launch_->lsvMainMenu->item(i);
    EXPECT_TRUE(RendersWithoutBoxes(item->text(), launch_->lsvMainMenu->font())) << item->text().toStdString();
    EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);
  }
  EXPECT_TRUE(RendersWithoutBoxes(launch_->pnlRing->GetCaption(), launch_->pnlRing->font()));
  EXPECT_TRUE(RendersWithoutBoxes(launch_->pnlInfo->GetCaption(), launch_->pnlInfo->font()));
  EXPECT_TRUE(RendersWithoutBoxes(launch_->btnRing->GetCaption(), launch_->btnRing->font()));
  EXPECT_FALSE(launch_->lsvMainMenu->item(3)->icon().isNull()) << "the settings entry has its icon";
  QImage shot = launch_->grab().toImage();
  EXPECT_EQ(shot.width(), 211);
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtifactPath("launcher-main-window.png").string())));
}

// A theme not in use deleted, then the next row (the theme in use) deleted
// as well: our default theme becomes the one in use, in the settings, in the
// launcher's banner and in its row of the list.
TEST_F(LauncherTest, DeletingTheThemeInUseMakesTheDefaultThemeTheOneInUse) {
  for (const char* file : {"QvBanner.qpl", "image.dll", "Theme/VeoQuorvel.qvt"}) {
    std::filesystem::create_directories((dir_ / file).parent_path());
    std::filesystem::copy_file(AppDir() / file, dir_ / file);
  }
  for (const auto& [file, frames] : {std::pair{"a.qvt", 2}, std::pair{"b.qvt", 3}}) {
    qv::TBannerData theme{std::filesystem::path(file).stem().string(), "0.5", "", true, themetest::Strip(frames)};
    ASSERT_TRUE(qv::SaveBannerIndex(dir_ / "Theme" / file, theme));
  }
  WriteIni({{"Plugins|1", "QvBanner.qpl"}, {"Plugins|2", "TestMail.qpl"}, {"Theme|File", "b.qvt"},
            {"ThemeList|1", "VeoQuorvel.qvt"}, {"ThemeList|2", "a.qvt"}, {"ThemeList|3", "b.qvt"}});
  Start();
  TAnimationImage* banner = launch_->aniBanner;
  ASSERT_EQ(banner->FrameCount(), 3) << "b is shown";
  qv::TDllForm* themes = nullptr;
  for (const auto& e : launch_->Entries())
    if (e.caption == J("テーマ")) themes = e.plugin;
  ASSERT_NE(themes, nullptr);
  ASSERT_TRUE(themes->ShowPluginForm());
  QWidget* list = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmBanner" && w->isVisible()) list = w;
  ASSERT_NE(list, nullptr);
  auto* rows = list->findChild<QListWidget*>("lstBanner");
  auto* del = list->findChild<QPushButton*>("btnDel");
  ASSERT_EQ(rows->count(), 3);
  // A spot of a row's background that no text or picture covers.
  auto background = [&](int row) {
    rows->clearSelection();
    const QRect r = rows->visualItemRect(rows->item(row));
    return rows->viewport()->grab().toImage().pixel(r.right() - 3, r.bottom() - 3);
  };
  const QRgb notInUse = background(0);
  ASSERT_NE(background(2), notInUse) << "the row in use is marked";

  rows->setCurrentRow(1);
  QTest::mouseClick(del, Qt::LeftButton);
  ASSERT_EQ(rows->count(), 2);
  ASSERT_EQ(rows->currentRow(), 1) << "the theme in use is selected next";
  ASSERT_TRUE(rows->item(1)->isSelected());
  QTest::mouseClick(del, Qt::LeftButton);
  ASSERT_EQ(rows->count(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Theme" / "b.qvt"));

  EXPECT_EQ(qv::IniFile(dir_ / "Quorvel.ini").ReadString("Theme", "File", ""), "VeoQuorvel.qvt");
  EXPECT_EQ(banner->FrameCount(), 4) << "the launcher shows the default theme";
  EXPECT_EQ(banner->toolTip(), QStringLiteral("VeoQuorvel - PHSメール"));
  EXPECT_NE(background(0), notInUse) << "its row says it is in use";
  ASSERT_TRUE(list->grab().save(QString::fromStdString(ArtifactPath("theme-list-default-in-use.png").string())));
}

TEST_F(LauncherTest, TheBannerPlaysTheCurrentThemeWithoutItsRestFrameAndTheThemeListChangesIt) {
  for (const char* file : {"QvBanner.qpl", "image.dll", "Theme/VeoQuorvel.qvt"}) {
    std::filesystem::create_directories((dir_ / file).parent_path());
    std::filesystem::copy_file(AppDir() / file, dir_ / file);
  }
  WriteIni({{"Plugins|1", "QvBanner.qpl"}, {"Plugins|2", "TestMail.qpl"}, {"Theme|File", "VeoQuorvel.qvt"},
            {"ThemeList|1", "VeoQuorvel.qvt"}});
  Start();
  TAnimationImage* banner = launch_->aniBanner;
  auto shows = [&](const QImage& strip, int frame) {
    return Rgb(banner->grab().toImage()) == Rgb(strip.copy(0, 50 * frame, 120, 50));
  };
  // Our default theme: the banner strip, its rest frame and three to play.
  const QImage strip(QString::fromStdString((dir_ / "banner.png").string()));
  ASSERT_EQ(strip.size(), QSize(120, 200));
  EXPECT_EQ(banner->FrameCount(), 4);
  EXPECT_EQ(banner->GetSpeed(), 500);
  EXPECT_EQ(banner->size(), QSize(120, 50));
  EXPECT_EQ(banner->toolTip(), QStringLiteral("VeoQuorvel - PHSメール"));
  EXPECT_TRUE(shows(strip, 0)) << "at rest";
  EXPECT_FALSE(banner->Timer().isActive());
  launch_->StartBannerAnimation();
  std::vector<int> frames{banner->ShownFrame()};
  for (int i = 0; i < 5; ++i) {
    Tick(*banner);
    frames.push_back(banner->ShownFrame());
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 1, 2, 3}));
  EXPECT_TRUE(shows(strip, 3));
  launch_->StopBannerAnimation();
  EXPECT_FALSE(banner->Timer().isActive());
  EXPECT_TRUE(shows(strip, 0)) << "back at rest";

  // A theme made in the theme list from bitmap and JPEG files, then chosen.
  const auto pictures = tmp_.path() / "pictures";
  WriteFile(pictures / "a.bmp", themetest::BitmapFile(themetest::Gradient(120, 50)));
  WriteFile(pictures / "b.jpg", themetest::JpegFile(themetest::Strip(1)));
  WriteFile(pictures / "c.BMP", themetest::BitmapFile(themetest::Strip(3).copy(0, 100, 90, 50)));
  themetest::ModalUser user;
  user.OnEditor([&](QDialog& editor) {
    for (const char* picture : {"a.bmp", "b.jpg", "c.BMP"}) {
      user.NextFile(pictures / picture);
      themetest::EditorAction(editor, "actAdd")->trigger();
    }
    themetest::SetEditorText(editor, "edtName", QStringLiteral("夜空"));
    themetest::SetEditorText(editor, "edtComment", QStringLiteral("おやすみ"));
    themetest::ChooseInterval(editor, "0.1");
    themetest::EditorAction(editor, "actOK")->trigger();
  });
  qv::TDllForm* themes = nullptr;
  for (const auto& e : launch_->Entries())
    if (e.caption == J("テーマ")) themes = e.plugin;
  ASSERT_NE(themes, nullptr) << "the theme plug-in is listed";
  ASSERT_TRUE(themes->ShowPluginForm());
  QWidget* list = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmBanner" && w->isVisible()) list = w;
  ASSERT_NE(list, nullptr);
  list->findChild<QAction*>("actAdd")->trigger();
  EXPECT_FALSE(user.StepsLeft());
  auto* choose = list->findChild<QPushButton*>("btnSelectBanner");
  ASSERT_NE(choose, nullptr);
  QTest::mouseClick(choose, Qt::LeftButton);
  EXPECT_EQ(qv::IniFile(dir_ / "Quorvel.ini").ReadString("Theme", "File", ""), J("夜空.qvt"));
  auto* rows = list->findChild<QListWidget*>("lstBanner");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->count(), 2) << "ours and the new one";
  EXPECT_EQ(rows->currentRow(), 1);
  ASSERT_TRUE(list->grab().save(QString::fromStdString(ArtifactPath("theme-list-in-launcher.png").string())));
  qv::TBannerData made;
  ASSERT_TRUE(qv::LoadBannerIndex(dir_ / "Theme" / "夜空.qvt", made));
  auto showsMade = [&] {
    EXPECT_EQ(banner->FrameCount(), 3);
    EXPECT_EQ(banner->GetSpeed(), 100);
    EXPECT_EQ(banner->toolTip(), QStringLiteral("おやすみ"));
    EXPECT_EQ(banner->GetPicture(), made.Bitmap);
    EXPECT_EQ(banner->size(), QSize(120, 50));
    EXPECT_TRUE(shows(made.Bitmap, 0)) << "its first frame at rest";
  };
  showsMade();
  EXPECT_EQ(Rgb(made.Bitmap.copy(0, 0, 120, 50)), themetest::Gradient(120, 50));
  launch_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(launch_.get()));
  const QImage shot = launch_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtifactPath("launcher-with-theme.png").string())));
  const QPoint at = banner->mapTo(launch_.get(), QPoint(0, 0));
  EXPECT_EQ(Rgb(shot.copy(at.x(), at.y(), 120, 50)), Rgb(made.Bitmap.copy(0, 0, 120, 50)));

  // A current theme that does not load leaves the banner as it was.
  WriteFile(dir_ / "Theme" / "broken.qvt", themetest::Record("banner.idx", "1,1,,broken\r\n"));
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Theme", "File", "broken.qvt");
  EXPECT_EQ(PluginCallParam("TestMail.qpl", 4, 1), 1);
  showsMade();
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Theme", "File", J("夜空.qvt"));

  // The next start shows the chosen theme again.
  Stop();
  Start();
  banner = launch_->aniBanner;
  showsMade();
}

TEST_F(LauncherTest, TheRingWaitButtonTriggersItsActionOnceAndTheIndicatorShowsEachState) {
  Start();
  launch_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(launch_.get()));
  int triggered = 0;
  QObject::connect(launch_->actWaitRing, &QAction::triggered, [&] { ++triggered; });
  TMultiButton* button = launch_->btnRing;
  EXPECT_TRUE(button->isEnabled());
  launch_->actWaitRing->setEnabled(false);
  EXPECT_FALSE(button->isEnabled()) << "disabled with its action";
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(triggered, 0);
  launch_->actWaitRing->setEnabled(true);
  ASSERT_TRUE(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(triggered, 1) << "one click, one trigger";
  EXPECT_FALSE(button->GetDown()) << "a push button, not a toggle";

  using qv::RingWaitState;
  struct Case {
    RingWaitState state;
    TColor colour;
    const char* caption;
    TColor text;
    const char* button;
  } cases[] = {
      {RingWaitState::Waiting, clGreen, "待受中", clWhite, "待受停止"},
      {RingWaitState::Starting, clYellow, "", clBlack, "待受停止"},
      {RingWaitState::Stopping, clYellow, "", clBlack, "待受停止"},
      {RingWaitState::Stopped, clRed, "待受停止", clWhite, "待受開始"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.state));
    launch_->ShowRingWaitState(c.state);
    EXPECT_EQ(launch_->RingWait(), c.state);
    EXPECT_EQ(launch_->pnlRing->GetColor(), c.colour);
    EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), c.caption);
    EXPECT_EQ(launch_->pnlRing->GetFont().Color, c.text);
    EXPECT_EQ(Rgb(launch_->pnlRing->grab().toImage()).pixelColor(3, 3), ToQColor(c.colour)) << "painted in it";
    EXPECT_EQ(button->GetCaption().toStdString(), c.button);
    EXPECT_EQ(launch_->actWaitRing->text().toStdString(), c.button);
  }
}

TEST_F(LauncherTest, TheSettingsColoursReachEveryWindowAndItsControls) {
  WriteIni({{"Environment|BackColor", "00408000"}, {"Environment|FontColor", "0000FFFF"}});
  Start();
  const TColor back = 0x408000, text = 0x00FFFF;
  auto expectPanel = [&](const char* name, TAttachPanel* panel) {
    EXPECT_EQ(panel->GetColor(), back) << name;
    EXPECT_EQ(panel->GetAttachColor(), back) << name;
    EXPECT_EQ(panel->GetFont().Color, text) << name;
    // The corner outside the rounded frame shows what the panel sits on.
    EXPECT_EQ(Rgb(panel->grab().toImage()).pixelColor(0, 0), ToQColor(back)) << name;
  };
  auto expectButton = [&](const char* name, TMultiButton* button) {
    EXPECT_EQ(button->GetColor(), back) << name;
    EXPECT_EQ(button->GetFaceColor(), back) << name << ": the face follows";
    EXPECT_EQ(button->GetFont().Color, text) << name;
  };
  EXPECT_EQ(launch_->palette().color(QPalette::Window), ToQColor(back));
  EXPECT_EQ(launch_->palette().color(QPalette::WindowText), ToQColor(text));
  expectPanel("pnlInfo", launch_->pnlInfo);
  expectPanel("pnlBanner", launch_->pnlBanner);
  EXPECT_EQ(launch_->pnlLogo->GetColor(), back);
  expectButton("btnRing", launch_->btnRing);
  EXPECT_EQ(launch_->pnlRing->GetColor(), clRed) << "the indicator keeps the colour of its state";

  launch_->ShowNotice("x", true);
  expectPanel("pnlMsg", notice_->pnlMsg);
  expectButton("notice btnOK", notice_->btnOK);
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting& d, qv::SessionMode) {
    expectPanel("pnlConnect", d.pnlConnect);
    expectButton("btnAbort", d.btnAbort);
    return qv::SessionResult::Done;
  });
  EXPECT_TRUE(launch_->RunInfoRead(1));
}

TEST_F(LauncherTest, TheStartTimerOpensTheSettingsDialogOnlyWithoutAPort) {
  for (const char* port : {"", "COM3"}) {
    WriteIni({{"Port|SerialPort", port}});
    Start();
    launch_->show();
    QString title;
    // Answer the dialog whenever it comes up, however busy the machine is.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (auto* w = QApplication::activeModalWidget()) {
        title = w->windowTitle();
        static_cast<qv::TfrmOption*>(w)->btnCancel->click();
      }
    });
    answer.start(10);
    QDeadlineTimer deadline(10000);
    while ((launch_->tmrStart->isActive() || (!port[0] && title.isEmpty())) && !deadline.hasExpired())
      QTest::qWait(10);
    ASSERT_TRUE(DrainPosted());  // whatever the timer's handler posted, before "no dialog" is believed
    answer.stop();
    EXPECT_EQ(title.toStdString(), port[0] ? "" : "VeoQuorvel - 環境設定") << port;
    EXPECT_FALSE(launch_->tmrStart->isActive());
    Stop();
  }
}

TEST_F(LauncherTest, EntriesOpenByDoubleClickEnterMenuAndAction) {
  WriteIni({{"Plugins|1", "TestMail.qpl"}, {"Plugins|2", "TestAddress.qpl"}});
  Start();
  launch_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(launch_.get()));
  TakeCalls();
  QListWidget* list = launch_->lsvMainMenu;
  EXPECT_FALSE(launch_->actOpen->isEnabled());
  list->setCurrentRow(1);
  EXPECT_TRUE(launch_->actOpen->isEnabled());
  launch_->SetStatus("busy");
  QTest::keyClick(list->viewport()->parentWidget(), Qt::Key_Return);
  EXPECT_EQ(qv::ToQString(launch_->StatusText()).toStdString(), "ＶｅｏＱｕｏｒｖｅｌ") << "opening restores the status line";
  list->setCurrentRow(0);
  const QRect rect = list->visualItemRect(list->item(0));
  ASSERT_FALSE(rect.isEmpty());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_EQ(CallsOf("Test").size(), 2u);
  EXPECT_TRUE(launch_->actOpen->isEnabled());
  launch_->actOpen->trigger();
  EXPECT_EQ(CallsOf("Test"), (std::vector<std::string>{"TestAddress ShowForm", "TestMail ShowForm", "TestMail ShowForm"}));
  launch_->OpenItem(J("無い項目"));
  EXPECT_TRUE(CallsOf("Test").size() == 3);
  QString title;
  QTimer::singleShot(0, [&] {
    if (auto* w = QApplication::activeModalWidget()) {
      title = w->windowTitle();
      w->close();
    }
  });
  launch_->OpenItem(J("設定"));
  EXPECT_EQ(title.toStdString(), "VeoQuorvel - 環境設定");
}

TEST_F(LauncherTest, TheTrayIconPopsTheMenuUpUnlessAWindowIsModal) {
  Start();
  launch_->show();
  // As the notification area reports the clicks on the icon of id 1.
  qv::TTaskTray::Notify(1, QSystemTrayIcon::Trigger);
  EXPECT_FALSE(launch_->popMain->isVisible());
  qv::TTaskTray::Notify(1, QSystemTrayIcon::Context);
  EXPECT_TRUE(launch_->popMain->isVisible());
  launch_->popMain->hide();
  bool shownWhileModal = true;
  QTimer::singleShot(0, [&] {
    qv::TTaskTray::Notify(1, QSystemTrayIcon::Context);
    shownWhileModal = launch_->popMain->isVisible();
    QApplication::activeModalWidget()->close();
  });
  launch_->OptionsDialog();
  EXPECT_FALSE(shownWhileModal);
}

TEST_F(LauncherTest, CtrlTabBringsTheLeastRecentlyActiveVisibleWindowForward) {
  Start();
  launch_->show();
  QWidget second, third, hidden;
  second.setWindowTitle("second");
  third.setWindowTitle("third");
  second.show();
  third.show();
  hidden.setWindowTitle("hidden");
  for (QWidget* w : {static_cast<QWidget*>(launch_.get()), &second, &third}) {
    w->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w)) << w->windowTitle().toStdString();
  }
  // Most recently active first: third, second, the launcher.
  CtrlTab(&third);
  ASSERT_TRUE(QTest::qWaitForWindowActive(launch_.get()));
  CtrlTab(launch_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
  CtrlTab(&second);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&third));

  // While the session dialog is up nothing happens.
  QWidget* activeDuring = nullptr;
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting& d, qv::SessionMode) {
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
    CtrlTab(&d);
    EXPECT_TRUE(DrainPosted());
    activeDuring = QApplication::activeWindow();
    return qv::SessionResult::Done;
  });
  launch_->RunInfoRead(1);
  EXPECT_EQ(activeDuring, connecting_.get());
}

TEST_F(LauncherTest, TheAboutBoxListsTheModuleAndEveryPluginButTheTheme) {
  WriteIni({{"Plugins|1", "TestMail.qpl"}, {"Plugins|2", "TestTheme.qpl"}, {"Plugins|3", "TestAddress.qpl"}});
  Start();
  QString text;
  bool closedByClick = false;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<qv::TSplashWindow*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    text = about->memVersion->toPlainText();
    QTest::mouseClick(about->lblVersion, Qt::LeftButton);
    closedByClick = !about->isVisible();
  });
  QTest::mouseClick(launch_->ImgLogo, Qt::LeftButton);
  EXPECT_TRUE(closedByClick);
  EXPECT_EQ(text.toStdString(), "通信モジュール V7.6.5.4\nメール V3.1.0.0\n電話帳 V3.2.0.0");
}

TEST_F(LauncherTest, TheSplashShowsTheProgramVersionAndLeavesWhenAnotherWindowIsActivated) {
  Start();
  QPointer<qv::TSplashWindow> splash = qv::TSplashWindow::ShowSplash();
  ASSERT_TRUE(splash);
  EXPECT_EQ(splash->lblVersion->text().toStdString(), "VeoQuorvel V2.0") << "the test program has no version block";
  EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
  ASSERT_TRUE(splash->grab().save(QString::fromStdString(ArtifactPath("launcher-splash.png").string())));
  QTest::mouseClick(splash->lblVersion, Qt::LeftButton);
  EXPECT_TRUE(splash->isVisible()) << "a click closes only the about box";
  launch_->show();
  launch_->activateWindow();
  EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 2000));
}

TEST_F(LauncherTest, TheSplashAndTheAboutBoxShowTheVersionsOfTheBuiltModules) {
  for (const char* file : {"Quorvel", "Portvine.so", "QvMail.qpl", "Qvpurlette.qpl", "TCV.so", "image.dll", "Pictext.txt"})
    if (std::filesystem::exists(AppDir() / file))
      std::filesystem::copy_file(AppDir() / file, dir_ / file, std::filesystem::copy_options::overwrite_existing);
  WriteIni({{"File|DllFile", "Portvine.so"},
            {"File|MidiDllFile", "TCV.so"},
            {"Plugins|1", "QvMail.qpl"},
            {"Plugins|2", "TestTheme.qpl"},
            {"Plugins|3", "Qvpurlette.qpl"}});
  Start();
  ASSERT_FALSE(launch_->Terminated());
  const std::string v = QV_VERSION;
  QPointer<qv::TSplashWindow> splash = qv::TSplashWindow::ShowSplash();
  ASSERT_TRUE(splash);
  EXPECT_EQ(splash->lblVersion->text().toStdString(), "VeoQuorvel V" + v) << "the program's own block";
  ASSERT_TRUE(splash->grab().save(QString::fromStdString(ArtifactPath("launcher-splash-built.png").string())));
  splash->close();
  QString text, title;
  QImage shot;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<qv::TSplashWindow*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    text = about->memVersion->toPlainText();
    title = about->lblVersion->text();
    shot = about->grab().toImage();
    about->done(1);
  });
  launch_->AboutBox();
  EXPECT_EQ(title.toStdString(), "VeoQuorvel V" + v);
  EXPECT_EQ(text.toStdString(), "通信モジュール V" + v + "\nメール V" + v + "\npurletteメーカー V" + v)
      << "no line for the theme plug-in";
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtifactPath("launcher-about-box.png").string())));
}

// Every status the message file has is drawn on the bar's one line: a long
// one smaller, and the bar's tip holds it whole.
TEST_F(LauncherTest, EveryStatusTextStaysOnTheStatusBarsOneLine) {
  Start();
  launch_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(launch_.get()));
  std::ifstream file(AppDir() / "Message.txt", std::ios::binary);
  std::vector<std::string> texts;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 7 && line[0] == 'I' && line[6] == '=') texts.push_back(line.substr(7));
  }
  ASSERT_GT(texts.size(), 20u);
  TAttachPanel* bar = launch_->pnlInfo;
  const QFontMetrics full(bar->font());
  const int fullPixels = FontPixelHeight(bar->font());
  int shrunk = 0;
  for (const std::string& text : texts) {
    SCOPED_TRACE(qv::ToQString(text).toStdString());
    launch_->SetStatus(text);
    EXPECT_EQ(launch_->StatusText(), text);
    const QImage shot = bar->grab().toImage();
    // The light letters lie on the bar within one line's height.
    int top = shot.height(), bottom = -1;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = bar->Inset() + 1; x < shot.width() - bar->Inset() - 1; ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (c.red() > 200 && c.green() > 200 && c.blue() > 200) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      }
    ASSERT_GE(bottom, 0) << "the text shows";
    EXPECT_LE(bottom - top + 1, full.height()) << "one line";
    EXPECT_GT(top, 0);
    EXPECT_LT(bottom, shot.height() - 1);
    if (bar->GetCaption() != qv::ToQString(text) || FontPixelHeight(bar->GetFont().Font) < fullPixels)
      ++shrunk;
    if (bar->GetCaption() != qv::ToQString(text)) {
      EXPECT_EQ(bar->toolTip(), qv::ToQString(text));
    }
  }
  EXPECT_GT(shrunk, 0) << "some texts are wider than the bar";
  launch_->SetStatus(texts.front());
  launch_->SetStatus("");
  EXPECT_EQ(bar->GetCaption().toStdString(), "ＶｅｏＱｕｏｒｖｅｌ");
  EXPECT_EQ(FontPixelHeight(bar->GetFont().Font), fullPixels) << "the idle caption at full size";
}
