// The settings dialog through the launcher: what each control shows of the
// settings file and the bytes OK writes back, Cancel, the colours, the port
// search against the scriptable module, and a settings file that cannot be
// written.
#include "LauncherFixture.h"
#include "controls/ColorContrast.h"
#include "controls/Graphics.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "launcher/QvOptionFRM.h"
#include "launcher/TaskTray.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace qvtest;
using qv::TfrmOption;

namespace {

using Values = std::map<std::string, std::string>;  // "Section|Key" = value

struct KeyValue {
  const char* section;
  const char* key;
  const char* value;
};

// The keys the dialog writes, in its order, with what it writes for a file
// that holds only the start-up keys, a port and the three default numbers.
const KeyValue kWritten[] = {
    {"Port", "SerialPort", "COM12"},
    {"Port", "Baudrate", "115200"},
    {"PhoneNo", "OnlineSignUpPhoneNo", "0570009999"},
    {"PhoneNo", "EMailPhoneNo", "0570001234"},
    {"PhoneNo", "EMailAutoPhoneNo", "0570005555"},
    {"Bunkei", "Flag", "0"},
    {"Mail", "Address", ""},
    {"Mail", "ReplyTo", ""},
    {"Mail", "BCCAddSelf", "0"},
    {"Mail", "RingReject", "1"},
    {"Mail", "QuoteMark", "0"},
    {"Mail", "AutoDelete", "1"},
    {"Mail", "DialWithNum", "1"},
    {"Mail", "Excerpt", "0"},
    {"Mail", "AutoDustClear", "0"},
    {"Mail", "AutoReceive", "0"},
    {"Environment", "FontSize", "12"},
    {"Environment", "BackColor", "00FF8080"},
    {"Environment", "FontColor", "00FFFFFF"},
    {"Environment", "ShowMessage", "1"},
    {"Environment", "PlaySound", "1"},
    {"Environment", "Vibration", "1"},
    {"Environment", "DuplicationFlagStartOdd", "1"},
};

const char kStart[] = "[File]\r\nDllFile=TestSerial.so\r\nMessageFile=Message.txt\r\n";
const char kDefaults[] =
    "DefaultOnlineSignUpPhoneNo=0570009999\r\nDefaultEMailPhoneNo=0570001234\r\nDefaultEMailAutoPhoneNo=0570005555\r\n";

// A whole settings file with every key of the dialog, each as kWritten says
// unless values has it.
std::string IniText(const Values& values) {
  std::string text = kStart, section;
  for (const KeyValue& kv : kWritten) {
    if (kv.section != section) {
      section = kv.section;
      text += "\r\n[" + section + "]\r\n";
      if (section == "PhoneNo") text += kDefaults;
    }
    auto it = values.find(section + "|" + kv.key);
    text += std::string(kv.key) + "=" + (it != values.end() ? it->second : std::string(kv.value)) + "\r\n";
  }
  return text;
}

Values Merged(Values a, const Values& b) {
  for (const auto& [k, v] : b) a[k] = v;
  return a;
}

void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

class OptionDialogTest : public LauncherTest {
 protected:
  std::filesystem::path Ini() const { return dir_ / "Quorvel.ini"; }
  // Opens the dialog from the launcher, does what act does and waits for it to close.
  void RunDialog(const std::function<void(TfrmOption*)>& act) {
    answer_.On<TfrmOption>(act);
    launch_->OptionsDialog();
  }
  ModalAnswerer answer_;
};

}  // namespace

TEST_F(OptionDialogTest, OKOnAFileWithOnlyAPortWritesEveryKeyInItsStoredForm) {
  WriteFile(Ini(), std::string(kStart) + "\r\n[Port]\r\nSerialPort=\\\\.\\COM12\r\n\r\n[PhoneNo]\r\n" + kDefaults);
  Start();
  ASSERT_FALSE(launch_->Terminated());
  RunDialog([&](TfrmOption* d) {
    EXPECT_EQ(d->windowTitle().toStdString(), "VeoQuorvel - 環境設定");
    EXPECT_EQ(d->pagOption->currentIndex(), 0);
    EXPECT_EQ(d->pagOption->tabText(0).toStdString(), "シリアル設定");
    EXPECT_EQ(d->cboComm->count(), 256);
    EXPECT_EQ(d->cboComm->itemText(255).toStdString(), "COM256");
    EXPECT_EQ(d->cboComm->currentText().toStdString(), "COM12") << "a device name in its short form";
    EXPECT_EQ(d->cboSpeed->currentText().toStdString(), "115200") << "no Baudrate is 0, shown as 115200";
    EXPECT_TRUE(d->chkAutoDelete->isChecked()) << "offered on while the key is absent";
    EXPECT_FALSE(d->chkDialWithNum->isChecked());
    EXPECT_EQ(d->edtEMailPhoneNo->text().toStdString(), "0570001234") << "the default number";
    d->btnOK->click();
  });
  EXPECT_EQ(ReadFile(Ini()), IniText({}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(OptionDialogTest, EachControlShowsItsKeyAndOKWritesItBack) {
  struct Case {
    const char* what;
    Values before;                                // in the file (beside the rest of kWritten)
    std::function<void(TfrmOption*)> shows;       // what the dialog shows of it
    std::function<void(TfrmOption*)> change;      // what the user does
    Values after;                                 // what OK writes (beside the rest of before)
  };
  auto checkBox = [](const char* what, const char* key, QCheckBox* TfrmOption::*box) {
    return Case{what,
                Values{{std::string(key), "0"}},
                [box](TfrmOption* d) { EXPECT_FALSE((d->*box)->isChecked()); },
                [box](TfrmOption* d) { (d->*box)->click(); },
                Values{{std::string(key), "1"}}};
  };
  const std::string nec = "\xED\x40\x82\xA0 <a@b.jp>";  // an NEC code that Unicode folds to FA5C
  const Case cases[] = {
      {"lower-case port name",
       {{"Port|SerialPort", "com3"}},
       [](TfrmOption* d) { EXPECT_EQ(d->cboComm->currentText().toStdString(), "COM3"); },
       {},
       {{"Port|SerialPort", "COM3"}}},
      {"a port with leading zeros, which name the same port",
       {{"Port|SerialPort", "\\\\.\\COM0007"}},
       [](TfrmOption* d) { EXPECT_EQ(d->cboComm->currentText().toStdString(), "COM7"); },
       {},
       {{"Port|SerialPort", "COM7"}}},
      {"a port picked",
       {},
       {},
       [](TfrmOption* d) { d->cboComm->setCurrentIndex(199); },
       {{"Port|SerialPort", "COM200"}}},
      {"Baudrate 0",
       {{"Port|Baudrate", "0"}},
       [](TfrmOption* d) { EXPECT_EQ(d->cboSpeed->currentText().toStdString(), "115200"); },
       {},
       {{"Port|Baudrate", "115200"}}},
      {"a speed picked",
       {{"Port|Baudrate", "19200"}},
       [](TfrmOption* d) { EXPECT_EQ(d->cboSpeed->currentText().toStdString(), "19200"); },
       [](TfrmOption* d) { d->cboSpeed->setCurrentIndex(1); },
       {{"Port|Baudrate", "9600"}}},
      {"centre numbers typed",
       {{"PhoneNo|OnlineSignUpPhoneNo", "1"}, {"PhoneNo|EMailPhoneNo", "2"}, {"PhoneNo|EMailAutoPhoneNo", "3"}},
       [](TfrmOption* d) {
         EXPECT_EQ(d->edtOnlineSignUpPhoneNo->text().toStdString(), "1");
         EXPECT_EQ(d->edtEMailPhoneNo->text().toStdString(), "2");
         EXPECT_EQ(d->edtEMailAutoPhoneNo->text().toStdString(), "3");
       },
       [](TfrmOption* d) {
         Type(d->edtOnlineSignUpPhoneNo, "0120##1");
         Type(d->edtEMailPhoneNo, "0570-00-1111");
         Type(d->edtEMailAutoPhoneNo, "0570005556");
       },
       {{"PhoneNo|OnlineSignUpPhoneNo", "0120##1"},
        {"PhoneNo|EMailPhoneNo", "0570-00-1111"},
        {"PhoneNo|EMailAutoPhoneNo", "0570005556"}}},
      {"emptied centre numbers: the sign-up and e-mail ones get their defaults",
       {{"PhoneNo|OnlineSignUpPhoneNo", "1"}, {"PhoneNo|EMailPhoneNo", "2"}, {"PhoneNo|EMailAutoPhoneNo", "3"}},
       {},
       [](TfrmOption* d) {
         for (QLineEdit* e : {d->edtOnlineSignUpPhoneNo, d->edtEMailPhoneNo, d->edtEMailAutoPhoneNo}) e->clear();
       },
       {{"PhoneNo|OnlineSignUpPhoneNo", "0570009999"},
        {"PhoneNo|EMailPhoneNo", "0570001234"},
        {"PhoneNo|EMailAutoPhoneNo", ""}}},
      {"初期電話番号に戻す",
       {{"PhoneNo|OnlineSignUpPhoneNo", "1"}, {"PhoneNo|EMailPhoneNo", "2"}, {"PhoneNo|EMailAutoPhoneNo", "3"}},
       {},
       [](TfrmOption* d) {
         d->btnDef->click();
         EXPECT_EQ(d->edtEMailAutoPhoneNo->text().toStdString(), "0570005555");
       },
       {{"PhoneNo|OnlineSignUpPhoneNo", "0570009999"},
        {"PhoneNo|EMailPhoneNo", "0570001234"},
        {"PhoneNo|EMailAutoPhoneNo", "0570005555"}}},
      checkBox("分計", "Bunkei|Flag", &TfrmOption::chkBunkei),
      {"an address typed in Japanese",
       {{"Mail|Address", "old@example.jp"}},
       [](TfrmOption* d) { EXPECT_EQ(d->edtEMailAddress->text().toStdString(), "old@example.jp"); },
       [](TfrmOption* d) { d->edtEMailAddress->setText(QStringLiteral("山田 <yamada@example.jp>")); },
       {{"Mail|Address", J("山田 <yamada@example.jp>")}}},
      {"stored bytes left alone stay as they are", {{"Mail|Address", nec}}, {}, {}, {{"Mail|Address", nec}}},
      {"two Reply-To addresses keep the first",
       {},
       {},
       [](TfrmOption* d) { d->edtReplyTo->setText("Taro <taro@example.jp>, hanako@example.jp"); },
       {{"Mail|ReplyTo", "taro@example.jp"}}},
      {"one Reply-To address stays as typed",
       {},
       {},
       [](TfrmOption* d) { d->edtReplyTo->setText("Taro <taro@example.jp>"); },
       {{"Mail|ReplyTo", "Taro <taro@example.jp>"}}},
      checkBox("返信メールの同報者に本人を含める", "Mail|BCCAddSelf", &TfrmOption::chkBCCAddSelf),
      checkBox("発番号非通知拒否", "Mail|RingReject", &TfrmOption::chkRingReject),
      checkBox("引用符の付加", "Mail|QuoteMark", &TfrmOption::chkQuoteMark),
      checkBox("センターからメールを削除", "Mail|AutoDelete", &TfrmOption::chkAutoDelete),
      checkBox("返信時に本文を引用", "Mail|Excerpt", &TfrmOption::chkExcerpt),
      checkBox("ゴミ箱を空にする", "Mail|AutoDustClear", &TfrmOption::chkAutoDustClear),
      checkBox("メッセージ表示", "Environment|ShowMessage", &TfrmOption::chkMessage),
      checkBox("サウンド", "Environment|PlaySound", &TfrmOption::chkSound),
      checkBox("バイブ", "Environment|Vibration", &TfrmOption::chkVibration),
      {"発番号非通知 is the inverse of DialWithNum",
       {{"Mail|DialWithNum", "1"}},
       [](TfrmOption* d) { EXPECT_FALSE(d->chkDialWithNum->isChecked()); },
       [](TfrmOption* d) { d->chkDialWithNum->click(); },
       {{"Mail|DialWithNum", "0"}}},
      {"DialWithNum 0 shows checked",
       {{"Mail|DialWithNum", "0"}},
       [](TfrmOption* d) { EXPECT_TRUE(d->chkDialWithNum->isChecked()); },
       {},
       {}},
      {"the hidden boxes are read and written",
       {{"Mail|AutoReceive", "1"}, {"Environment|DuplicationFlagStartOdd", "0"}},
       [](TfrmOption* d) {
         EXPECT_TRUE(d->chkAutoReceive->isHidden());
         EXPECT_TRUE(d->chkDuplicationFlagStartOdd->isHidden());
         EXPECT_TRUE(d->chkAutoReceive->isChecked());
         EXPECT_FALSE(d->chkDuplicationFlagStartOdd->isChecked());
       },
       {},
       {}},
      {"a font size picked",
       {{"Environment|FontSize", "14"}},
       [](TfrmOption* d) { EXPECT_EQ(d->cboFont->currentText().toStdString(), "14"); },
       [](TfrmOption* d) { d->cboFont->setCurrentIndex(0); },
       {{"Environment|FontSize", "9"}}},
      {"the colours come from the main window",
       {{"Environment|BackColor", "00408000"}, {"Environment|FontColor", "0000FFFF"}},
       [](TfrmOption* d) {
         EXPECT_EQ(d->BackColor(), TColor(0x408000));
         EXPECT_EQ(d->FontColor(), TColor(0x00FFFF));
       },
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(Ini(), IniText(c.before));
    Start();
    RunDialog([&](TfrmOption* d) {
      if (c.shows) c.shows(d);
      if (c.change) c.change(d);
      d->btnOK->click();
      EXPECT_FALSE(d->isVisible());
      if (d->isVisible()) d->btnCancel->click();  // a refused OK fails here, not by a time-out
    });
    Stop();
    EXPECT_EQ(ReadFile(Ini()), IniText(Merged(c.before, c.after)));
  }
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(OptionDialogTest, TheColourButtonsStartAtTheSampleAndOKRecoloursTheOpenWindows) {
  // The mail plug-in as built, with its list window open.
  for (const char* file : {"QvMail.qpl", "image.dll", "Pictext.txt"})
    if (std::filesystem::exists(AppDir() / file)) std::filesystem::copy_file(AppDir() / file, dir_ / file);
  std::string ini = IniText({});
  ini.insert(ini.find("\r\n[Port]"), "\r\n[Plugins]\r\n1=QvMail.qpl\r\n");
  WriteFile(Ini(), ini);
  Start();
  ASSERT_EQ(launch_->Entries().size(), 2u);
  ASSERT_TRUE(launch_->Entries()[0].plugin->ShowPluginForm());
  QWidget* mailList = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmMailList") mailList = w;
  ASSERT_NE(mailList, nullptr);
  ASSERT_TRUE(mailList->isVisible());
  EXPECT_EQ(mailList->palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF)) << "placed with the old colours";
  launch_->ShowNotice("x", true);
  const QColor back(0x10, 0x60, 0x20), text(0xFF, 0xFF, 0x00);
  std::vector<QColor> starts;
  answer_.On<QColorDialog>([&](QColorDialog* c) {
    starts.push_back(c->currentColor());
    c->setCurrentColor(starts.size() == 1 ? back : text);
    c->accept();
  });
  RunDialog([&](TfrmOption* d) {
    d->btnBackColor->click();
    EXPECT_EQ(d->pnlColor->GetColor(), ColorFromQColor(back)) << "the sample shows the choice";
    d->btnFontColor->click();
    EXPECT_EQ(d->pnlColor->GetFont().Color, ColorFromQColor(text));
    // A cancelled choice changes nothing.
    answer_.On<QColorDialog>([](QColorDialog* c) { c->reject(); });
    d->btnFontColor->click();
    EXPECT_EQ(d->pnlColor->GetFont().Color, ColorFromQColor(text));
    d->btnOK->click();
  });
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0], QColor(0x80, 0x80, 0xFF)) << "the background's $FF8080";
  EXPECT_EQ(starts[1], QColor(Qt::white));
  EXPECT_NE(ReadFile(Ini()).find("BackColor=00206010\r\nFontColor=0000FFFF\r\n"), std::string::npos);
  for (QWidget* w : {static_cast<QWidget*>(launch_.get()), static_cast<QWidget*>(connecting_.get()),
                     static_cast<QWidget*>(notice_.get()), mailList}) {
    EXPECT_EQ(w->palette().color(QPalette::Window), back) << w->objectName().toStdString();
    EXPECT_EQ(w->palette().color(QPalette::WindowText), text) << w->objectName().toStdString();
  }
  EXPECT_EQ(launch_->pnlInfo->GetFont().Color, ColorFromQColor(text)) << "the launcher's controls follow";
  // The plug-in's menus, tool buttons and headers as well, disabled captions dimmer.
  auto* bar = mailList->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->palette().color(QPalette::Active, QPalette::ButtonText), text);
  EXPECT_EQ(mailList->palette().color(QPalette::Active, QPalette::Button), back);
  const double enabled = ContrastRatio(ColorFromQColor(text), ColorFromQColor(back));
  EXPECT_LT(ContrastRatio(ColorFromQColor(mailList->palette().color(QPalette::Disabled, QPalette::ButtonText)),
                          ColorFromQColor(back)),
            enabled * 0.8);
  for (QMenu* menu : mailList->findChildren<QMenu*>()) {
    EXPECT_EQ(menu->palette().color(QPalette::Active, QPalette::Text), text) << menu->title().toStdString();
    EXPECT_EQ(menu->palette().color(QPalette::Active, QPalette::Base), back) << menu->title().toStdString();
  }
  EXPECT_TRUE(mailList->grab().save(QString::fromStdString(ArtifactPath("settings-recoloured-mail-list.png").string())));
  EXPECT_TRUE(launch_->grab().save(QString::fromStdString(ArtifactPath("settings-recoloured-launcher.png").string())));
  EXPECT_EQ(launch_->btnRing->GetColor(), ColorFromQColor(back));
}

TEST_F(OptionDialogTest, CancelWritesNothing) {
  const std::string before = IniText({{"Mail|ReplyTo", "a@b.jp, c@d.jp"}, {"PhoneNo|EMailPhoneNo", ""}});
  WriteFile(Ini(), before);
  Start();
  answer_.On<QColorDialog>([](QColorDialog* c) {
    c->setCurrentColor(Qt::black);
    c->accept();
  });
  RunDialog([&](TfrmOption* d) {
    d->cboComm->setCurrentIndex(0);
    d->chkAutoDelete->click();
    d->btnDef->click();
    Type(d->edtEMailAddress, "x@y.jp");
    d->btnBackColor->click();
    d->btnCancel->click();
  });
  EXPECT_EQ(ReadFile(Ini()), before);
  EXPECT_EQ(launch_->palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF)) << "no recolouring";
  // Escape and the window's border button are a cancel too.
  int result = -1;
  answer_.On<TfrmOption>([&](TfrmOption* d) {
    QObject::connect(d, &QDialog::finished, [&](int r) { result = r; });
    d->cboComm->setCurrentIndex(1);
    QTest::keyClick(d, Qt::Key_Escape);
  });
  launch_->OptionsDialog();
  EXPECT_EQ(result, 2);
  RunDialog([&](TfrmOption* d) {
    QObject::connect(d, &QDialog::finished, [&](int r) { result = r; });
    d->cboComm->setCurrentIndex(1);
    d->close();
  });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(ReadFile(Ini()), before);
}

TEST_F(OptionDialogTest, OKWaitsForAPortASpeedAndAFontSize) {
  struct Case {
    Values before;
    const char* missing;
  } cases[] = {{Values{{"Port|SerialPort", "LPT1"}}, "port"},
               {Values{{"Port|SerialPort", ""}}, "port"},
               {Values{{"Port|Baudrate", "4800"}}, "speed"},
               {Values{{"Environment|FontSize", "10"}}, "font"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing);
    const std::string before = IniText(c.before);
    WriteFile(Ini(), before);
    Start();
    launch_->tmrStart->stop();  // without a port it would open the dialog itself
    RunDialog([&](TfrmOption* d) {
      EXPECT_FALSE(d->actOK->isEnabled());
      EXPECT_FALSE(d->btnOK->isEnabled());
      d->actOK->trigger();
      EXPECT_TRUE(d->isVisible()) << "OK does nothing yet";
      EXPECT_EQ(ReadFile(Ini()), before);
      for (QComboBox* box : {d->cboComm, d->cboSpeed, d->cboFont})
        if (box->currentIndex() < 0) box->setCurrentIndex(0);
      EXPECT_TRUE(d->btnOK->isEnabled());
      d->btnOK->click();
    });
    Stop();
    EXPECT_NE(ReadFile(Ini()), before);
  }
}

TEST_F(OptionDialogTest, TheNumberBoxesTakeNoInputMethod) {
  WriteFile(Ini(), IniText({}));
  Start();
  RunDialog([&](TfrmOption* d) {
    d->pagOption->setCurrentIndex(1);
    auto inputMethod = [](QLineEdit* edit) {
      edit->setFocus();
      QInputMethodQueryEvent query(Qt::ImEnabled);
      QApplication::sendEvent(edit, &query);
      return query.value(Qt::ImEnabled).toBool();
    };
    for (QLineEdit* e : {d->edtOnlineSignUpPhoneNo, d->edtEMailPhoneNo, d->edtEMailAutoPhoneNo}) {
      EXPECT_FALSE(inputMethod(e)) << e->objectName().toStdString();
      EXPECT_TRUE(e->inputMethodHints() & Qt::ImhPreferNumbers);
      // A composition that comes anyway leaves the box as it was.
      QInputMethodEvent compose(QString(), {});
      compose.setCommitString(QStringLiteral("０１２"));
      QApplication::sendEvent(e, &compose);
      EXPECT_FALSE(e->text().contains(QStringLiteral("０"))) << e->objectName().toStdString();
    }
    d->pagOption->setCurrentIndex(2);
    EXPECT_TRUE(inputMethod(d->edtEMailAddress)) << "addresses may hold names in kanji";
    // Lengths count Shift-JIS bytes: 32 for numbers, 300 for addresses.
    Type(d->edtEMailPhoneNo, QString(40, '1'));
    EXPECT_EQ(d->edtEMailPhoneNo->text().size(), 32);
    d->edtReplyTo->setFocus();
    for (int i = 0; i < 160; ++i) {
      QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x3042)));
      QApplication::sendEvent(d->edtReplyTo, &key);
    }
    EXPECT_EQ(qv::FromQString(d->edtReplyTo->text()).size(), 300u) << "150 double-byte characters";
    d->btnCancel->click();
  });
}

TEST_F(OptionDialogTest, AReadOnlySettingsFileIsToldAndTheDialogStaysOpen) {
  const std::string before = IniText({});
  WriteFile(Ini(), before);
  Start();
  namespace fs = std::filesystem;
  fs::permissions(Ini(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  bool openAfterFailure = false;
  RunDialog([&](TfrmOption* d) {
    d->cboComm->setCurrentIndex(6);
    d->btnOK->click();
    openAfterFailure = d->isVisible();
    EXPECT_EQ(ReadFile(Ini()), before);
    fs::permissions(Ini(), fs::perms::owner_write, fs::perm_options::add);
    d->btnOK->click();  // the user made it writable and tries again
  });
  EXPECT_TRUE(openAfterFailure);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].first, qv::BoxKind::Error);
  EXPECT_NE(boxes_[0].second.find(J("設定を保存できませんでした")), std::string::npos);
  EXPECT_EQ(ReadFile(Ini()), IniText({{"Port|SerialPort", "COM7"}}));
}

TEST_F(OptionDialogTest, AProcessKilledWhileOKWritesLeavesTheOldOrTheNewSettingsWhole) {
  WriteFile(Ini(), IniText({}));
  Start();
  // Two sets of settings, as OK hands them over.
  std::vector<qv::IniEntry> oldSet, newSet;
  RunDialog([&](TfrmOption* d) {
    oldSet = d->SettingsEntries();
    d->cboComm->setCurrentIndex(99);
    d->cboSpeed->setCurrentIndex(0);
    for (QCheckBox* box : d->findChildren<QCheckBox*>()) box->toggle();
    Type(d->edtEMailAddress, "someone@example.jp");
    Type(d->edtEMailPhoneNo, "0120000000");
    newSet = d->SettingsEntries();
    d->btnCancel->click();
  });
  Stop();
  ASSERT_TRUE(qv::IniWriteStrings(newSet));
  const std::string newText = ReadFile(Ini());
  const std::string oldText = IniText({});
  WriteFile(Ini(), oldText);
  ASSERT_NE(oldText, newText);
  const char* env = std::getenv("QV_KILL_ROUNDS");
  const int rounds = env ? std::atoi(env) : 25;
  for (int round = 0; round < rounds; ++round) {
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Writes the two sets in turn until it is killed.
      bool told = false;
      for (;;) {
        qv::IniWriteStrings(newSet);
        if (!told) told = ::write(started[1], "1", 1) == 1;
        qv::IniWriteStrings(oldSet);
      }
    }
    ::close(started[1]);
    char byte = 0;
    ASSERT_EQ(::read(started[0], &byte, 1), 1) << "the writer has begun";
    ::close(started[0]);
    // Killed at a moment of its loop that nobody chooses.
    ::usleep(QRandomGenerator::global()->bounded(3000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string text = ReadFile(Ini());
    EXPECT_TRUE(text == oldText || text == newText) << "round " << round << ":\n" << text;
  }
}

TEST_F(OptionDialogTest, ThePortSearchAsksEveryPortInTurnAndReportsWhatItFound) {
  auto setNumber = [this](const std::string& number) {
    auto fn = reinterpret_cast<void (*)(int32_t, const char*, int32_t)>(ModuleSymbol("TestSerial.so", "TestSetParam"));
    ASSERT_NE(fn, nullptr);
    fn(-1, number.data(), static_cast<int32_t>(number.size()));
  };
  struct Case {
    const char* number;
    size_t asked;
    const char* selected;
    const char* message;
  } cases[] = {{"", 256, "COM12", "携帯電話が見つかりません"},
               {"   ", 256, "COM12", "携帯電話が見つかりません"},
               {"07012345678", 1, "COM1", "ポートが見つかりました"}};
  WriteFile(Ini(), IniText({}));
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    setNumber(c.number);
    TakeCalls();
    boxes_.clear();
    // A timer that runs whenever the search lets events through.
    size_t askedAtFirstTick = 0;
    Qt::CursorShape cursorDuring = Qt::ArrowCursor;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (askedAtFirstTick) return;
      askedAtFirstTick = CallsOf("serial kwxGetTelNumber").size();
      if (const QCursor* cursor = QApplication::overrideCursor()) cursorDuring = cursor->shape();
    });
    RunDialog([&](TfrmOption* d) {
      d->cboSpeed->setCurrentIndex(1);
      ticker.start();
      d->btnAutoCom->click();
      ticker.stop();
      EXPECT_EQ(d->cboComm->currentText().toStdString(), c.selected);
      EXPECT_EQ(QApplication::overrideCursor(), nullptr);
      d->btnCancel->click();
    });
    const auto asked = CallsOf("serial kwxGetTelNumber");
    ASSERT_EQ(asked.size(), c.asked);
    for (size_t i = 0; i < asked.size(); ++i)
      EXPECT_EQ(asked[i], "serial kwxGetTelNumber \\\\.\\COM" + std::to_string(i + 1) + " 9600");
    if (c.asked > 1) {
      EXPECT_GE(askedAtFirstTick, 1u);
      EXPECT_LT(askedAtFirstTick, c.asked) << "events are handled between the ports";
      EXPECT_EQ(cursorDuring, Qt::WaitCursor);
    }
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].second, J(c.message));
  }
}

TEST_F(OptionDialogTest, ScreenshotsOfEachPage) {
  WriteFile(Ini(), IniText({{"Mail|Address", "taro@example.jp"}, {"Environment|BackColor", "00A05020"}}));
  Start();
  RunDialog([&](TfrmOption* d) {
    for (int page = 0; page < d->pagOption->count(); ++page) {
      d->pagOption->setCurrentIndex(page);
      QApplication::processEvents();
      const QImage shot = d->grab().toImage();
      EXPECT_TRUE(shot.save(QString::fromStdString(ArtifactPath("settings-page-" + std::to_string(page + 1) + ".png").string())));
      EXPECT_TRUE(RendersWithoutBoxes(d->pagOption->tabText(page), d->pagOption->font()));
      for (QWidget* w : d->pagOption->widget(page)->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        EXPECT_TRUE(d->rect().contains(QRect(w->mapTo(d, QPoint(0, 0)), w->size()))) << w->objectName().toStdString();
      }
      if (page == 3) {
        // The sample shows the background colour beside its caption.
        const QPoint corner = d->pnlColor->mapTo(d, QPoint(4, 4));
        EXPECT_EQ(shot.pixelColor(corner), QColor(0x20, 0x50, 0xA0));
      }
    }
    for (QCheckBox* box : d->findChildren<QCheckBox*>()) {
      if (!box->isHidden()) {
        EXPECT_TRUE(RendersWithoutBoxes(box->text(), box->font())) << box->text().toStdString();
      }
    }
    d->btnCancel->click();
  });
}
