// Every window of the launcher and of its plug-ins, opened from the app
// folder as a user opens them, under a light and a dark choice of
// [Environment] colours: menus, captions, labels and list headers in the
// chosen text colour on the chosen background, and what is disabled dimmer
// than what is enabled. A picture of each window is left in the artifact
// folder as scheme-<light|dark>-<window>.png.
#include "AppFolderFixture.h"
#include "MailFolders.h"
#include "QtPump.h"
#include "controls/ColorContrast.h"
#include "controls/Graphics.h"
#include "controls/MultiButton.h"
#include "launcher/QvSelectFRM.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace qvtest {
namespace {

struct Scheme {
  const char* name;
  TColor back;
  TColor text;
};
// Navy rather than black on the light one: black is the system's own text
// colour and would hide a caption that never took the chosen one.
const Scheme kSchemes[] = {{"light", RGB(255, 255, 224), RGB(0, 0, 128)},
                           {"dark", RGB(0, 100, 0), RGB(255, 255, 255)}};

void PrintTo(const Scheme& s, std::ostream* os) { *os << s.name; }

std::string Hex(TColor c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

TColor Of(const QColor& c) { return ColorFromQColor(c); }

// Answers the modal windows by object name, from the event loop: each one
// that becomes the active modal window goes to the first handler waiting for
// its name (a handler may open further modal windows, answered in turn). A
// modal window nobody waits for fails the test and is closed.
class ModalWindows {
 public:
  ModalWindows() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start();
  }
  void On(const QString& name, std::function<void(QWidget*)> handler) { waiting_.push_back({name, std::move(handler)}); }
  // Handlers still waiting for their window.
  std::vector<std::string> Waiting() const {
    std::vector<std::string> names;
    for (const auto& w : waiting_) names.push_back(w.name.toStdString());
    return names;
  }

 private:
  struct Wait {
    QString name;
    std::function<void(QWidget*)> handler;
  };
  void Tick() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible() || w->property("qvSchemeAnswered").toBool()) return;
    w->setProperty("qvSchemeAnswered", true);
    QPointer<QWidget> guard(w);
    QTimer::singleShot(0, w, [this, guard] {
      if (!guard) return;
      for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (it->name != guard->objectName() && it->name != guard->metaObject()->className()) continue;
        auto handler = std::move(it->handler);
        waiting_.erase(it);
        handler(guard);
        return;
      }
      ADD_FAILURE() << "no answer for the modal window " << guard->objectName().toStdString() << " ("
                    << guard->metaObject()->className() << ")";
      guard->close();
    });
  }
  QTimer timer_;
  std::vector<Wait> waiting_;
};

class SchemeGalleryTest : public AppFolderTest, public ::testing::WithParamInterface<Scheme> {
 protected:
  void StartWithScheme() {
    qv::IniFile ini(dir_ / "Quorvel.ini");
    ini.WriteString("Environment", "BackColor", "00" + HexValue(GetParam().back));
    ini.WriteString("Environment", "FontColor", "00" + HexValue(GetParam().text));
    // A mail to open; the centre has the run command's mails for the selective receive.
    std::filesystem::create_directories(dir_ / "MailLog");
    // The app folder's own theme, to be listed.
    std::filesystem::copy(AppDir() / "Theme", dir_ / "Theme", std::filesystem::copy_options::recursive);
    ASSERT_FALSE(AppendMail(Sjis("受信簿"),
                            "From: taro@example.jp\r\nSubject: hello\r\nContent-Type: Text/Plain\r\n\r\nhello\r\n",
                            MailRow())
                     .empty());
    StartHandset();
    StartLauncher();
  }

  static std::string HexValue(TColor c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", c & 0xFFFFFF);
    return buf;
  }
  static qv::MailIndexRow MailRow() {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, 3, 0, 1, 0, 0, 0, 0, "taro@example.jp", "me@example.jp", "hello", "2024/01/02 03:04:05",
                      "");
    return row;
  }

  TColor Back() const { return GetParam().back; }
  TColor Text() const { return GetParam().text; }
  double Contrast() const { return ContrastRatio(Text(), Back()); }

  // Saves the window's picture and checks the colours of what it shows.
  QImage Shoot(QWidget* window, const std::string& name) {
    EXPECT_NE(window, nullptr) << name;
    if (!window) return {};
    QApplication::processEvents();
    const QImage shot = window->grab().toImage();
    const std::string file = "scheme-" + std::string(GetParam().name) + "-" + name + ".png";
    EXPECT_TRUE(shot.save(QString::fromStdString(ArtifactPath(file).string()))) << file;
    shot_.push_back(name);
    CheckColours(window, name);
    return shot;
  }

  // A widget's own text, for the failure messages.
  static std::string Describe(const QWidget* w) {
    QString text;
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) text = g->title();
    if (text.isEmpty()) text = w->property("Caption").toString();
    return std::string(w->metaObject()->className()) + " " + w->objectName().toStdString() + " \"" +
           text.left(20).toStdString() + "\"";
  }

  // A caption drawn with role on the background role: the chosen text on
  // the chosen background while enabled, dimmer than that but still there
  // while disabled.
  void CheckRoles(const std::string& where, const QWidget* w, QPalette::ColorRole text, QPalette::ColorRole back) {
    const QPalette& p = w->palette();
    EXPECT_EQ(Hex(Of(p.color(QPalette::Active, back))), Hex(Back())) << where << ": background of " << Describe(w);
    EXPECT_EQ(Hex(Of(p.color(QPalette::Active, text))), Hex(Text())) << where << ": text of " << Describe(w);
    const double disabled = ContrastRatio(Of(p.color(QPalette::Disabled, text)), Of(p.color(QPalette::Disabled, back)));
    EXPECT_LT(disabled, Contrast() * 0.8) << where << ": disabled text of " << Describe(w) << " reads as enabled";
    EXPECT_GT(disabled, 1.3) << where << ": disabled text of " << Describe(w) << " is gone";
  }

  // Widgets whose colours are their own by design, with the reason.
  static bool OwnColours(const std::string& window, const QWidget* w) {
    const QString name = w->objectName();
    // The about box keeps the splash window's red face and white panel.
    if (window == "about") return true;
    // The settings dialog's sample shows the colours being chosen.
    if (name == "pnlColor") return true;
    // The ring-wait indicator is coloured by its state.
    if (name == "pnlRing") return true;
    // The compose window's badges of the mail kind keep their own colours.
    if (name == "imgEMail" || name == "imgDMail") return true;
    return false;
  }

  void CheckColours(QWidget* window, const std::string& name) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (w->isWindow() || !w->isVisibleTo(window) || OwnColours(name, w)) continue;
      for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (OwnColours(name, p)) goto next;
      if (w->inherits("TMultiButtonBase") || w->inherits("TCustomPanel")) {
        if (w->property("Caption").toString().isEmpty()) continue;
        if (w->inherits("TMultiButtonBase") && !w->property("CaptionVisible").toBool()) continue;
        const TFont font = w->property("Font").value<TFont>();
        EXPECT_EQ(Hex(ColorToRGB(font.Color)), Hex(Text())) << name << ": caption of " << Describe(w);
        continue;
      }
      if (auto* bar = qobject_cast<QMenuBar*>(w)) {
        CheckRoles(name, bar, QPalette::ButtonText, QPalette::Window);
        for (QAction* a : bar->actions())
          if (a->menu()) CheckMenu(name, a->menu());
        continue;
      }
      if (auto* header = qobject_cast<QHeaderView*>(w)) {
        if (!header->isHidden()) CheckRoles(name, header, QPalette::ButtonText, QPalette::Button);
        continue;
      }
      if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (!combo->isEditable()) CheckRoles(name, combo, QPalette::ButtonText, QPalette::Button);
        continue;
      }
      if (qobject_cast<QToolButton*>(w) || qobject_cast<QPushButton*>(w)) {
        if (!static_cast<QAbstractButton*>(w)->text().isEmpty())
          CheckRoles(name, w, QPalette::ButtonText, QPalette::Button);
        continue;
      }
      if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QGroupBox*>(w) ||
          qobject_cast<QTabBar*>(w)) {
        CheckRoles(name, w, QPalette::WindowText, QPalette::Window);
        continue;
      }
      if (auto* label = qobject_cast<QLabel*>(w)) {
        if (!label->text().isEmpty()) CheckRoles(name, label, QPalette::WindowText, QPalette::Window);
        continue;
      }
    next:;
    }
    for (QMenu* menu : window->findChildren<QMenu*>()) CheckMenu(name, menu);
  }

  void CheckMenu(const std::string& window, const QMenu* menu) {
    if (!checkedMenus_.insert(menu).second) return;
    const QPalette p = QApplication::palette(menu).resolve(menu->palette());
    const std::string where = window + ": menu " + menu->objectName().toStdString() + " \"" +
                              menu->title().toStdString() + "\" of " +
                              (menu->parent() ? menu->parent()->metaObject()->className() : "none");
    EXPECT_EQ(Hex(Of(menu->palette().color(QPalette::Active, QPalette::Text))), Hex(Text())) << where;
    EXPECT_EQ(Hex(Of(menu->palette().color(QPalette::Active, QPalette::Base))), Hex(Back())) << where;
    const double disabled = ContrastRatio(Of(menu->palette().color(QPalette::Disabled, QPalette::Text)),
                                          Of(menu->palette().color(QPalette::Disabled, QPalette::Base)));
    EXPECT_LT(disabled, Contrast() * 0.8) << where << ": disabled items";
    (void)p;
  }

  // Opens a modal window, saves its picture and closes it again.
  void ShootModal(const char* window, const std::string& name, const std::function<void()>& open) {
    modal_.On(window, [this, name](QWidget* w) {
      Shoot(w, name);
      w->close();
    });
    open();
  }
  void ShootModal(const char* window, const std::string& name, QAction* open) {
    ShootModal(window, name, [open] { open->trigger(); });
  }

  static QAction* ActionOf(QWidget* window, const char* name) {
    QAction* a = window ? window->findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  static QPushButton* ButtonOf(QWidget* window, const QString& text) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
      if (b->text() == text) return b;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
  }
  QWidget* OpenEntry(const char* caption, const char* window) {
    launch_->OpenItem(Sjis(caption));
    QWidget* w = Shown(window);
    EXPECT_NE(w, nullptr) << caption;
    if (w) PumpUntil([w] { return w->windowHandle() && w->windowHandle()->isExposed(); }, 5000);
    return w;
  }
  static void SelectRow(QAbstractItemView* view, int row) {
    QApplication::setActiveWindow(view->window());
    view->setFocus();
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->setCurrentIndex(view->model()->index(row, 0));
    QApplication::processEvents();
  }

  ModalWindows modal_;
  std::vector<std::string> shot_;
  std::set<const QMenu*> checkedMenus_;
};

TEST_P(SchemeGalleryTest, EveryWindowShowsItsTextInTheChosenColours) {
  StartWithScheme();
  ASSERT_TRUE(launch_);
  Shoot(launch_.get(), "launcher");

  // Launcher windows.
  ShootModal("SplashWindow", "about", [&] { launch_->AboutBox(); });
  modal_.On("frmOption", [&](QWidget* w) {
    auto* pages = w->findChild<QTabWidget*>("pagOption");
    ASSERT_NE(pages, nullptr);
    for (int i = 0; i < pages->count(); ++i) {
      pages->setCurrentIndex(i);
      Shoot(w, "settings-" + std::to_string(i + 1));
    }
    static_cast<QDialog*>(w)->reject();
  });
  launch_->OptionsDialog();
  launch_->ShowNotice(Sjis("メールを受信しました"), true);
  Shoot(notice_.get(), "notice");
  notice_->close();
  WriteFile(dir_ / "Error.log", Sjis("2024/01/02 03:04:05 :  : 通信が中断されました。(00123)\r\n"));
  ShootModal("frmMessage", "error-log", [&] { launch_->ShowErrorLog(); });

  // Mail: the list, a selective receive with its session dialog and list.
  QWidget* list = OpenMailList();
  ASSERT_NE(list, nullptr);
  Shoot(list, "mail-list");
  // Its "メール" menu as it drops down: 開封 and the replies are off while nothing is selected.
  QMenu* mailMenu = nullptr;
  for (QAction* a : list->findChild<QMenuBar*>()->actions())
    if (a->menu() && a->text().startsWith(QStringLiteral("メール"))) mailMenu = a->menu();
  ASSERT_NE(mailMenu, nullptr);
  mailMenu->popup(list->mapToGlobal(QPoint(100, 20)));
  PumpUntil([&] { return mailMenu->isVisible(); }, 5000);
  Shoot(mailMenu, "mail-list-menu");
  mailMenu->hide();
  modal_.On("frmConnecting", [&](QWidget* w) { Shoot(w, "session"); });
  ShootModal("frmSelect", "select-receive", ActionOf(list, "actRcvSelect"));
  PumpUntil([&] { return !connecting_->isVisible(); }, 20000);

  // The viewer of the received mail.
  auto* mails = list->findChild<QTreeView*>("lsvMail");
  ASSERT_NE(mails, nullptr);
  ASSERT_GT(mails->model()->rowCount(), 0);
  SelectRow(mails, 0);
  ActionOf(list, "actMailOpen")->trigger();
  PumpUntil([] { return Shown("frmMailReceive") != nullptr; }, 5000);
  Shoot(Shown("frmMailReceive"), "mail-viewer");
  Shown("frmMailReceive")->close();

  // The compose window and what it opens.
  ActionOf(list, "actEMail")->trigger();
  PumpUntil([] { return Shown("frmMailSend") != nullptr; }, 5000);
  QWidget* compose = Shown("frmMailSend");
  ASSERT_NE(compose, nullptr);
  Shoot(compose, "compose");
  compose->findChild<QLineEdit*>("edtTo")->setText(QStringLiteral("taro@example.jp"));
  modal_.On("frmMailAddress", [&](QWidget* picker) {
    Shoot(picker, "recipient-picker");
    auto* to = picker->findChild<QTreeView*>("lsvToMail");
    ASSERT_NE(to, nullptr);
    ASSERT_GT(to->model()->rowCount(), 0);
    SelectRow(to, 0);
    modal_.On("frmAddressDate", [&](QWidget* w) {
      Shoot(w, "delivery-time");
      w->close();
    });
    ActionOf(picker, "actDate")->trigger();
    picker->close();
  });
  ActionOf(compose, "actMailAddress")->trigger();
  ShootModal("frmFFColor", "colour-picker", ActionOf(compose, "actTextColor"));
  ActionOf(compose, "actPictext")->trigger();
  PumpUntil([] { return Shown("frmPicSelector") != nullptr; }, 5000);
  Shoot(Shown("frmPicSelector"), "pictogram-picker");
  if (QWidget* w = Shown("frmPicSelector")) w->close();
  modal_.On("frmPicEdit", [&](QWidget* editor) {
    Shoot(editor, "picture-editor");
    modal_.On("frmPicResize", [&](QWidget* w) {
      Shoot(w, "resize");
      w->close();
    });
    ButtonOf(editor, QStringLiteral("サイズ変更"))->click();
    modal_.On("frmBitmapEdit", [&](QWidget* w) {
      Shoot(w, "bitmap-editor");
      w->close();
    });
    ButtonOf(editor, QStringLiteral("画像編集"))->click();
    ButtonOf(editor, QStringLiteral("OK"))->click();
  });
  ActionOf(compose, "actPicEdit")->trigger();
  auto* attachments = compose->findChild<QListWidget*>();
  ASSERT_NE(attachments, nullptr);
  ASSERT_GT(attachments->count(), 0) << "the new picture is attached";
  QApplication::setActiveWindow(compose);
  attachments->setFocus();
  attachments->setCurrentRow(0);
  QApplication::processEvents();
  ShootModal("frmImageView", "picture-viewer", ActionOf(compose, "actAttachView"));
  ShootModal("frmMediaMixEdit", "media-mix", ActionOf(compose, "actMediaMix"));

  // Phone book and bookmarks with their entry dialogs.
  QWidget* book = OpenEntry("電話帳", "frmAddress");
  ASSERT_NE(book, nullptr);
  Shoot(book, "phone-book");
  ShootModal("frmAddressEdit", "phone-book-entry", ActionOf(book, "actAdd"));
  QWidget* marks = OpenEntry("ブックマーク", "frmBookMark");
  ASSERT_NE(marks, nullptr);
  Shoot(marks, "bookmarks");
  ShootModal("frmBookMarkEdit", "bookmark-entry", ActionOf(marks, "actAdd"));

  // Ringtones, themes and the sign-up terminal.
  Shoot(OpenEntry("purletteメーカー", "frmPurlette"), "ringtone-maker");
  QWidget* themes = OpenEntry("テーマ", "frmBanner");
  ASSERT_NE(themes, nullptr);
  auto* rows = themes->findChild<QListWidget*>("lstBanner");
  ASSERT_NE(rows, nullptr);
  ASSERT_GT(rows->count(), 0);
  rows->setCurrentRow(0);
  Shoot(themes, "theme-list");
  ShootModal("frmBannerEdit", "theme-editor", ActionOf(themes, "actAdd"));
  ShootModal("frmSignup", "signup", [&] { launch_->OpenItem(Sjis("ｵﾝﾗｲﾝｻｲﾝｱｯﾌﾟ")); });

  // The compose window holds a picture: closing it asks whether to keep it.
  modal_.On("QMessageBox", [](QWidget* box) {
    for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
      if (b->text().startsWith(QStringLiteral("いいえ"))) b->click();
  });
  compose->close();

  EXPECT_TRUE(modal_.Waiting().empty()) << "windows that never opened: " << ::testing::PrintToString(modal_.Waiting());
}

// How far the caption drawn in area of the widget stands out from the area's
// background (its most frequent colour): the contrast of the pixel that
// stands out most.
double CaptionContrast(QWidget* w, const QRect& area) {
  const QImage shot = w->grab().toImage().copy(area);
  QMap<QRgb, int> counts;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) ++counts[shot.pixel(x, y) & 0xFFFFFF];
  QRgb back = 0;
  for (auto it = counts.begin(); it != counts.end(); ++it)
    if (it.value() > counts.value(back, 0)) back = it.key();
  double best = 1;
  for (auto it = counts.begin(); it != counts.end(); ++it)
    best = std::max(best, ContrastRatio(Of(QColor(it.key())), Of(QColor(back))));
  return best;
}

// The band of a button where its caption stands: the last text line (under
// an image) or the middle line.
QRect CaptionBand(QWidget* w, bool underImage) {
  const int line = w->fontMetrics().height();
  const int top = underImage ? w->height() - line - 4 : (w->height() - line) / 2;
  return QRect(5, top, w->width() - 10, line);
}

QToolButton* ToolButtonOf(QWidget* window, const char* action) {
  for (QToolButton* b : window->findChildren<QToolButton*>())
    if (b->defaultAction() && b->defaultAction()->objectName() == QLatin1String(action)) return b;
  ADD_FAILURE() << "no tool button for " << action;
  return nullptr;
}

TEST_P(SchemeGalleryTest, ADisabledCaptionStandsOutLessThanAnEnabledOne) {
  StartWithScheme();
  ASSERT_TRUE(launch_);
  const double chosen = Contrast();
  int compared = 0;
  auto compare = [&](const char* what, QWidget* enabled, QWidget* disabled, bool underImage) {
    SCOPED_TRACE(what);
    ASSERT_NE(enabled, nullptr);
    ASSERT_NE(disabled, nullptr);
    ASSERT_TRUE(enabled->isEnabled());
    ASSERT_FALSE(disabled->isEnabled());
    const double on = CaptionContrast(enabled, CaptionBand(enabled, underImage));
    const double off = CaptionContrast(disabled, CaptionBand(disabled, underImage));
    EXPECT_GT(on, chosen * 0.85) << "the enabled caption in the chosen text colour: " << on << " of " << chosen;
    EXPECT_LT(off, on * 0.75) << "enabled " << on << ", disabled " << off;
    EXPECT_GT(off, 1.2) << "the disabled caption still shows";
    ++compared;
  };
  // Tool buttons of the mail list: nothing is selected, so 開封 is off.
  QWidget* list = OpenMailList();
  ASSERT_NE(list, nullptr);
  compare("mail list tool buttons", ToolButtonOf(list, "actSendRcv"), ToolButtonOf(list, "actMailOpen"), true);
  // The control set's push buttons: the selective receive list with no row
  // chosen offers 終了 but not 受信.
  modal_.On("frmSelect", [&](QWidget* w) {
    auto* select = static_cast<qv::TfrmSelect*>(w);
    compare("selective receive buttons", select->btnCancel, select->btnOK, false);
    select->close();
  });
  qv::TfrmSelect select(launch_.get());
  select.SetLines({"1\t0\ttaro@example.jp\thello\t2024/04/01 09:00\t100"});
  select.exec();
  // The control set's speed buttons: nothing chosen in the theme list, so 削除 is off.
  QWidget* themes = OpenEntry("テーマ", "frmBanner");
  ASSERT_NE(themes, nullptr);
  compare("theme list buttons", themes->findChild<QWidget*>("btnAdd"), themes->findChild<QWidget*>("btnDel"), true);
  EXPECT_EQ(compared, 3);
}

INSTANTIATE_TEST_SUITE_P(Schemes, SchemeGalleryTest, ::testing::ValuesIn(kSchemes),
                         [](const ::testing::TestParamInfo<Scheme>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvtest
