// The pictograms as the running app shows them: the built QvMail.qpl, loaded
// through the launcher's plug-in holder beside the shipped table and
// pictures, turns a typed pictogram code into its picture, and its picker
// offers the same pictures; its compose window's 電話帳 button opens the
// recipient picker over the phone-book file.
#include "MailListFixture.h"

#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include "PhoneBookFiles.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeView>
#include <QTest>

using namespace mailtest;

namespace {

int Near(const QImage& image, const QColor& colour) {
  int n = 0;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const QColor c = rgb.pixelColor(x, y);
      n += std::abs(c.red() - colour.red()) < 12 && std::abs(c.green() - colour.green()) < 12 &&
           std::abs(c.blue() - colour.blue()) < 12;
    }
  return n;
}

class PickersModuleTest : public MailListTest {};

// The compose window the module opened, or none.
QWidget* ShownCompose() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmMailSend" && w->isVisible()) return w;
  return nullptr;
}

}  // namespace

TEST_F(PickersModuleTest, TheAppShowsTypedPictogramCodesWithTheShippedPictures) {
  std::filesystem::copy_file(qvtest::AppDir() / "Pictext.txt", dir_ / "Pictext.txt");
  Load();
  Trigger("actEMail");
  QWidget* compose = ShownCompose();
  ASSERT_TRUE(compose);
  QWidget* editor = compose->findChild<QWidget*>("KMailEdit1");
  ASSERT_TRUE(editor);
  editor->resize(300, 120);
  const QColor heart(230, 30, 40);
  EXPECT_EQ(Near(editor->grab().toImage(), heart), 0);
  // HEART is F040 in the shipped table: typed as its Private Use character.
  const QString code = QString::fromUtf8(qv::cp932::ToUtf8("\xF0\x40"));
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, code);
  QApplication::sendEvent(editor, &press);
  editor->clearFocus();
  EXPECT_GT(Near(editor->grab().toImage(), heart), 40);

  // The picker shows the same pictures.
  QAction* pictext = compose->findChild<QAction*>("actPictext");
  ASSERT_TRUE(pictext && pictext->isEnabled());
  pictext->trigger();
  QWidget* picker = compose->findChild<QWidget*>("frmPicSelector");
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker->windowTitle().toStdString(), "絵文字選択");
  EXPECT_GT(Near(picker->grab().toImage(), heart), 40);
  ASSERT_TRUE(picker->grab().save(QString::fromStdString(qvtest::ArtifactPath("app-pictogram-picker.png").string())));
  // A line of pictograms as the compose window shows it.
  for (const char* code : {"\xF0\x41", "\xF0\x44", "\xF0\x48", "\xF0\x5E", "\xF0\x80", "\xF0\x9F"}) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8(qv::cp932::ToUtf8(code)));
    QApplication::sendEvent(editor, &key);
  }
  compose->resize(560, 420);
  ASSERT_TRUE(compose->grab().save(QString::fromStdString(qvtest::ArtifactPath("app-compose-pictograms.png").string())));
  BoxAnswers answers({QMessageBox::No});  // the unsaved mail is let go
  compose->close();
  EXPECT_EQ(answers.Texts().size(), 1u);
}

TEST_F(PickersModuleTest, TheComposeWindowsPhoneBookButtonPicksRecipientsFromThePhoneBookFile) {
  ASSERT_TRUE(qvtest::WritePhoneBook(dir_ / "book.qad", {{J("ﾔﾏﾀﾞ"), J("山田"), {"090-1"}, {"a@b.jp", "a2@b.jp"}},
                                                         {J("ｱｵｷ"), J("青木"), {}, {"aoki@x.jp"}}}));
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "AddressFile", "book.qad");
  Load();
  Trigger("actEMail");
  QWidget* compose = ShownCompose();
  ASSERT_TRUE(compose);
  auto* to = compose->findChild<QLineEdit*>("edtTo");
  auto* button = compose->findChild<QAction*>("actMailAddress");
  ASSERT_TRUE(to && button && button->isEnabled());
  to->setText(QString::fromUtf8("2003/01/15/0905<c@d.jp>(田中)"));
  bool shown = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* picker = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!picker || picker->objectName() != "frmMailAddress") return;
    poll.stop();
    shown = true;
    EXPECT_EQ(picker->windowTitle(), QString::fromUtf8("VeoQuorvel - 電話帳"));
    auto* list = picker->findChild<QTreeView*>("lsvAddress");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->model()->rowCount(), 3);
    list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    picker->findChild<QAction*>("actTo")->trigger();
    picker->findChild<QAction*>("actOK")->trigger();
  });
  poll.start(0);
  button->trigger();
  EXPECT_TRUE(shown);
  EXPECT_EQ(to->text(), QString::fromUtf8("2003/01/15/0905<c@d.jp>(田中),aoki@x.jp(青木)"));
  BoxAnswers answers({QMessageBox::No});  // the unsaved mail is let go
  compose->close();
}
