// Mail windows come and go while the focus moves between them and the list:
// nothing a window connected to the application may reach it once it is
// being destroyed. Meant for the sanitizer runs, which see a call into freed
// actions; QV_STRESS_ROUNDS raises the number of rounds.
#include "MailListFixture.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QLineEdit>
#include <QTreeView>
#include <set>

#include "QtPump.h"

using namespace mailtest;

namespace {

int Rounds(int normal) {
  const int asked = qEnvironmentVariableIntValue("QV_STRESS_ROUNDS");
  return asked > 0 ? asked : normal;
}

// The visible top-level window of that name opened last, or none.
QWidget* OpenWindow(const char* name, const QWidget* besides = nullptr) {
  QWidget* found = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name && w->isVisible() && w != besides) found = w;
  return found;
}

}  // namespace

// A direct mail from a handset, stored with the blank line after the caller's
// From line, and one stored before without it: both open with their text.
TEST_F(MailListTest, ADirectMailFromAHandsetOpensWithItsTextInTheViewer) {
  const std::string text = J("七時に駅で待っています。\r\n遅れたら電話します。\r\n");
  AddMail("受信簿", "From: 09012345678\r\n\r\n" + text, {.kind = 1, .from = "09012345678", .subject = "new"});
  AddMail("受信簿", "From: 08011112222\r\n" + text, {.kind = 1, .from = "08011112222", .subject = "old"});
  Load();
  for (const char* subject : {"new", "old"}) {
    SCOPED_TRACE(subject);
    SelectSubjects({subject});
    Trigger("actMailOpen");
    QWidget* viewer = OpenWindow("frmMailReceive");
    ASSERT_NE(viewer, nullptr);
    QWidget* editor = viewer->findChild<QWidget*>("KMailEdit1");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->property("Text").toString().toStdString(), "七時に駅で待っています。\n遅れたら電話します。");
    const std::string from = std::string(subject) == "new" ? "09012345678" : "08011112222";
    EXPECT_EQ(viewer->findChild<QLineEdit*>("edtFrom")->text().toStdString(), from);
    const QImage shot = viewer->grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString(
        qvtest::ArtifactPath(std::string("direct-mail-viewer-") + subject + ".png").string())));
    // The text is drawn: anti-aliased glyphs bring many shades.
    const QImage body = editor->grab().toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < body.height(); y += 2)
      for (int x = 0; x < body.width(); x += 2) colours.insert(body.pixel(x, y));
    EXPECT_GT(colours.size(), 8u) << "glyphs are drawn";
    viewer->close();
  }
}

TEST_F(MailListTest, ViewersAndComposeWindowsComeAndGoWhileTheFocusMoves) {
  AddMail("受信簿", "From: a@example.jp\r\nSubject: one\r\n\r\nfirst\r\n", {.subject = "one"});
  AddMail("受信簿", "From: b@example.jp\r\nSubject: two\r\n\r\nsecond\r\n", {.subject = "two"});
  Load();
  int focusChanges = 0;
  QObject counter;
  QObject::connect(qApp, &QApplication::focusChanged, &counter, [&] { ++focusChanges; });
  auto clickRow = [&](int row) {
    QTreeView* list = List();
    const QRect rect = list->visualRect(list->model()->index(row, 6));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  };
  // Opens a window from the list, gives it the focus, closes it with its own
  // 閉じる and clicks a row before the window is gone.
  auto round = [&](const char* action, const char* name, int row) {
    clickRow(row);
    Trigger(action);
    QPointer<QWidget> window = OpenWindow(name);
    ASSERT_NE(window, nullptr) << action;
    window->activateWindow();
    QApplication::processEvents();
    window->findChild<QAction*>("actClose")->trigger();
    clickRow(1 - row);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qvtest::PumpUntil([&] { return window.isNull(); }, 5000);
    ASSERT_TRUE(window.isNull()) << name << " stays";
  };
  const int rounds = Rounds(20);
  for (int i = 0; i < rounds && !HasFatalFailure(); ++i) {
    round("actMailOpen", "frmMailReceive", i % 2);
    round("actRes", "frmMailSend", (i + 1) % 2);
    round("actEMail", "frmMailSend", i % 2);
  }
  EXPECT_GT(focusChanges, rounds * 3) << "the focus moved with every window";
  EXPECT_EQ(OpenWindow("frmMailReceive"), nullptr);
  EXPECT_EQ(OpenWindow("frmMailSend"), nullptr);

  // The program ends with a viewer and a compose window open, one of them or
  // the list holding the focus: the plug-in frees them as it goes.
  for (const char* focused : {"frmMailReceive", "frmMailSend", "frmMailList"}) {
    if (!Window()) Load();
    clickRow(0);
    Trigger("actMailOpen");
    Trigger("actEMail");
    QWidget* window = OpenWindow(focused);
    if (window == Window()) clickRow(1);
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    qvtest::PumpUntil([&] { return QApplication::focusWidget() && QApplication::focusWidget()->window() == window; });
    ASSERT_TRUE(QApplication::focusWidget() && QApplication::focusWidget()->window() == window);
    Unload();
    EXPECT_EQ(OpenWindow("frmMailReceive"), nullptr);
    EXPECT_EQ(OpenWindow("frmMailSend"), nullptr);
  }
}
