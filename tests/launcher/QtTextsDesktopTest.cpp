// Qt's own texts in the program's windows on a real X server: with Qt's
// translations installed as the program installs them at start, a text
// field's menu, the colour dialog of the settings and the ringtone maker's
// file dialog speak Japanese as the rest of the program does.
#include "AppFolderFixture.h"
#include "QtPump.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace qvtest;

namespace {

QStringList Texts(QWidget* window) {
  QStringList texts{window->windowTitle()};
  for (auto* l : window->findChildren<QLabel*>()) texts << l->text();
  for (auto* b : window->findChildren<QPushButton*>()) texts << b->text();
  return texts;
}

// Runs look on the modal window (or pop-up) of that class once it is up,
// then closes it; false when none came up.
template <typename Window>
void WhenUp(bool popup, std::function<void(Window*)> look) {
  QTimer::singleShot(0, [popup, look] {
    Window* window = nullptr;
    PumpUntil([&] {
      window = qobject_cast<Window*>(popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget());
      return window && window->isVisible();
    }, 5000);
    if (!window) return;
    look(window);
    window->close();
  });
}

}  // namespace

class QtTextsDesktopTest : public AppFolderTest {};

TEST_F(QtTextsDesktopTest, TextFieldMenusAndTheColourAndFileDialogsAreInJapanese) {
  ASSERT_TRUE(qv::InstallQtTranslations()) << "Qt's qtbase_ja (scripts/install-deps installs qt6-translations-l10n)";
  StartLauncher();

  // The settings: a text field's menu and the colour dialog of "背景色".
  QStringList menu, colour;
  QTimer::singleShot(0, [&] {
    QWidget* option = nullptr;
    PumpUntil([&] { return (option = Shown("frmOption")) != nullptr; }, 5000);
    if (!option) return;
    auto* edit = option->findChild<QLineEdit*>("edtEMailAddress");
    auto* pages = option->findChild<QTabWidget*>("pagOption");
    for (int i = 0; i < pages->count(); ++i)
      if (pages->widget(i)->isAncestorOf(edit)) pages->setCurrentIndex(i);
    PumpUntil([&] { return edit->isVisible(); }, 5000);
    bool looked = false;
    WhenUp<QMenu>(true, [&](QMenu* m) {
      for (QAction* a : m->actions())
        if (!a->isSeparator()) menu << a->text().section('\t', 0, 0);
      looked = true;
    });
    // As a right click on it: the field pops its menu up.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(4, 4), edit->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(edit, &click);
    PumpUntil([&] { return looked; }, 5000);
    WhenUp<QColorDialog>(false, [&](QColorDialog* d) {
      colour = Texts(d);
      d->grab().save(QString::fromStdString(ArtifactPath("launcher-colour-dialog.png").string()));
    });
    option->findChild<QPushButton*>("btnBackColor")->click();
    option->close();
  });
  launch_->OptionsDialog();
  for (const char* text : {"元に戻す(&U)", "やり直す(&R)", "切り取り(&T)", "コピー(&C)", "貼り付け(&P)", "削除", "すべてを選択"})
    EXPECT_TRUE(menu.contains(QString::fromUtf8(text))) << text << ": " << menu.join(" | ").toStdString();
  for (const char* text : {"色を選択", "基本カラー(&B)", "スクリーンの色を取得(&P)", "キャンセル"})
    EXPECT_TRUE(colour.contains(QString::fromUtf8(text))) << text << ": " << colour.join(" | ").toStdString();

  // The ringtone maker's "開く".
  launch_->OpenItem(Sjis("purletteメーカー"));
  QWidget* maker = Shown("frmPurlette");
  ASSERT_NE(maker, nullptr);
  QStringList file;
  WhenUp<QFileDialog>(false, [&](QFileDialog* d) {
    file = Texts(d);
    d->grab().save(QString::fromStdString(ArtifactPath("launcher-file-dialog.png").string()));
  });
  maker->findChild<QAction*>("actOpen")->trigger();
  for (const char* text : {"開く", "ファイル名(&N):", "ファイルの種類:", "キャンセル"})
    EXPECT_TRUE(file.contains(QString::fromUtf8(text))) << text << ": " << file.join(" | ").toStdString();
  for (const char* english : {"Open", "Look in:", "File name:", "Cancel"})
    EXPECT_FALSE(file.contains(QString::fromUtf8(english))) << english;
  maker->close();
}
