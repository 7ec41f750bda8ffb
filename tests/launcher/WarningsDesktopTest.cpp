// The warnings plug-ins ask the launcher to show, on a real X server with
// openbox where placement and stacking are real: each opens over the window
// the user is in, and the launcher stays behind it.
#include "AppFolderFixture.h"
#include "QtPump.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

using namespace qvtest;

namespace {

// The program's windows from the bottom up, as the window manager stacks them.
std::vector<WId> Stacking() {
  QProcess xprop;
  xprop.start("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
  xprop.waitForFinished(5000);
  const QString out = QString::fromLatin1(xprop.readAllStandardOutput());
  std::vector<WId> ids;
  for (const QString& part : out.section('#', 1).split(',', Qt::SkipEmptyParts)) ids.push_back(part.trimmed().toULong(nullptr, 16));
  return ids;
}

// The top-level widget of a window handle.
QWidget* WidgetOf(QWindow* window) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowHandle() == window) return w;
  return nullptr;
}

// Every message box the program shows, as the user answers it.
class BoxWatch {
 public:
  struct Seen {
    QString text;
    QString owner;      // the window it belongs to
    QRect place;        // where it is
    bool launcherBelowOwner = false;
  };
  // answer: the button to press for a box of that text.
  explicit BoxWatch(std::function<QMessageBox::StandardButton(const QString&)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
    timer_.start(10);
  }
  std::vector<Seen> seen;
  WId launcher = 0;
  std::string shot;  // a picture of the screen with the next box, to this name

 private:
  void Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    // Boxes live on the stack: the next may come at the same address.
    if (!box || box->property("qvAnswered").toBool() || !box->windowHandle() || !box->windowHandle()->isExposed())
      return;
    box->setProperty("qvAnswered", true);
    Seen s;
    s.text = box->text().remove('\r');
    QWidget* owner = WidgetOf(box->windowHandle()->transientParent());
    s.owner = owner ? owner->objectName() : QString();
    s.place = box->frameGeometry();
    if (owner) {
      const auto order = Stacking();
      const auto at = [&](WId id) { return std::find(order.begin(), order.end(), id) - order.begin(); };
      s.launcherBelowOwner = at(launcher) < at(owner->winId());
    }
    seen.push_back(s);
    if (!shot.empty()) box->screen()->grabWindow(0).save(QString::fromStdString(ArtifactPath(shot).string()));
    shot.clear();
    QPointer<QMessageBox> shown = box;
    const QMessageBox::StandardButton button = answer_(s.text);
    QTimer::singleShot(0, [shown, button] {
      if (!shown || !shown->button(button)) return;
      // As the window manager hands the focus back only a moment after the
      // box has gone: meanwhile no window of the program is active.
      QApplication::setActiveWindow(nullptr);
      shown->button(button)->click();
    });
  }
  std::function<QMessageBox::StandardButton(const QString&)> answer_;
  QTimer timer_;
};

}  // namespace

class WarningsDesktopTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    // The launcher's boxes show as they do for a user.
    qv::SetMessageBoxHandler({});
  }
  void Check(const BoxWatch& watch, const char* text, const char* window) {
    QWidget* user = Shown(window);
    ASSERT_NE(user, nullptr) << window;
    for (const auto& s : watch.seen) {
      if (s.text != QString::fromUtf8(text)) continue;
      EXPECT_EQ(s.owner.toStdString(), window) << text;
      EXPECT_TRUE(user->frameGeometry().contains(s.place.center()))
          << text << " at " << s.place.x() << "," << s.place.y() << ", not over " << window;
      EXPECT_TRUE(s.launcherBelowOwner) << text << ": the launcher came forward";
      return;
    }
    std::string all;
    for (const auto& s : watch.seen) all += " [" + s.text.toStdString() + "]";
    ADD_FAILURE() << "no box " << text << "; seen:" << all;
  }
};

// The phone-book entry dialog closed with its changes kept ("はい") while the
// kana name is empty: W03001 over the dialog.
TEST_F(WarningsDesktopTest, AnEmptyKanaNameIsWarnedOverTheEntryDialog) {
  StartLauncher();
  int asked = 0;
  BoxWatch watch([&](const QString& text) {
    if (text != QString::fromUtf8("項目の変更を保存しますか？")) return QMessageBox::Ok;
    return ++asked == 1 ? QMessageBox::Yes : QMessageBox::No;
  });
  watch.launcher = launch_->winId();
  launch_->OpenItem(Sjis("電話帳"));
  QWidget* book = Shown("frmAddress");
  ASSERT_NE(book, nullptr);
  QTimer::singleShot(0, [&] {
    QWidget* entry = nullptr;
    PumpUntil([&] { return (entry = Shown("frmAddressEdit")) && entry->windowHandle()->isExposed(); }, 5000);
    if (!entry) return;
    entry->findChild<QLineEdit*>("edtKanjiName")->setText(QString::fromUtf8("山田"));
    entry->findChild<QPushButton*>("btnClose")->click();  // asks, warns, and stays
    PumpUntil([&] { return watch.seen.size() >= 2; }, 5000);
    Check(watch, "よみがなを入力してください。", "frmAddressEdit");
    entry->findChild<QPushButton*>("btnClose")->click();  // drops the changes
  });
  book->findChild<QAction*>("actAdd")->trigger();
  EXPECT_EQ(asked, 2);
  book->close();
}

// The ringtone maker given a file that is no MIDI file: W04001 over it.
TEST_F(WarningsDesktopTest, AFileThatIsNoMidiFileIsWarnedOverTheRingtoneMaker) {
  StartLauncher();
  const auto file = dir_ / "not-midi.mid";
  WriteFile(file, "this is text, not a Standard MIDI File\r\n");
  BoxWatch watch([](const QString&) { return QMessageBox::Ok; });
  watch.launcher = launch_->winId();
  watch.shot = "launcher-warning-over-ringtone-maker.png";
  launch_->OpenItem(Sjis("purletteメーカー"));
  QWidget* maker = Shown("frmPurlette");
  ASSERT_NE(maker, nullptr);
  PumpUntil([&] { return maker->windowHandle()->isExposed(); }, 5000);
  QTimer::singleShot(0, [&] {
    QFileDialog* dialog = nullptr;
    PumpUntil([&] { return (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) != nullptr; }, 5000);
    if (!dialog) return;
    dialog->selectFile(QString::fromStdString(file.string()));
    // The focus is on its way back to the maker as the dialog goes.
    QApplication::setActiveWindow(nullptr);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  maker->findChild<QAction*>("actOpen")->trigger();
  PumpUntil([&] { return !watch.seen.empty(); }, 5000);
  Check(watch, "このファイルは対応しているMIDIファイルではありません。\nフォーマット0のSMFを選んでください。", "frmPurlette");
  maker->close();
}
