// The chosen colours as a window shows them: its surfaces, captions and
// menus in them, disabled captions dimmer, lists and fields in the system's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ColorContrast.h"
#include "controls/Graphics.h"
#include "core/ui/FormColors.h"
#include "core/ui/FormPosition.h"

using namespace qv;

namespace {

TColor Of(const QColor& c) { return ColorFromQColor(c); }

// Pixels of the image within a few steps of the colour.
int Near(const QImage& image, const QColor& colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) + std::abs(c.blue() - colour.blue()) < 24)
        ++n;
    }
  return n;
}

struct Scheme {
  const char* name;
  QColor back, text;
};
const Scheme kSchemes[] = {{"dark", QColor(0, 100, 0), QColor(255, 255, 255)},
                           {"light", QColor(255, 255, 224), QColor(0, 0, 128)}};

TEST(FormColors, SurfacesCaptionsAndMenusTakeTheChosenColoursListsAndFieldsKeepTheSystems) {
  const QPalette system = QApplication::palette();
  for (const Scheme& s : kSchemes) {
    SCOPED_TRACE(s.name);
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* bar = new QMenuBar(&form);
    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(QStringLiteral("終了"));
    layout->setMenuBar(bar);
    auto* label = new QLabel(QStringLiteral("ラベル"), &form);
    auto* on = new QPushButton(QStringLiteral("送受信"), &form);
    auto* off = new QPushButton(QStringLiteral("開封"), &form);
    off->setEnabled(false);
    auto* field = new QLineEdit(QStringLiteral("入力"), &form);
    for (QWidget* w : std::initializer_list<QWidget*>{label, on, off, field}) layout->addWidget(w);
    SetFormColors(&form, s.back, s.text);
    form.resize(240, 200);
    // Strokes broad enough to reach the colour whole.
    QFont bold = form.font();
    bold.setPixelSize(20);
    bold.setBold(true);
    form.setFont(bold);
    form.show();
    QApplication::processEvents();

    const QPalette& p = form.palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      EXPECT_EQ(p.color(g, QPalette::Window), s.back) << g;
      EXPECT_EQ(p.color(g, QPalette::Button), s.back) << g;
      EXPECT_EQ(p.color(g, QPalette::Base), system.color(g, QPalette::Base)) << "fields keep the system's";
      EXPECT_EQ(p.color(g, QPalette::Text), system.color(g, QPalette::Text)) << "fields keep the system's";
    }
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
      for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::ButtonText}) EXPECT_EQ(p.color(g, r), s.text);
    const double enabled = ContrastRatio(Of(s.text), Of(s.back));
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::ButtonText}) {
      const double disabled = ContrastRatio(Of(p.color(QPalette::Disabled, r)), Of(s.back));
      EXPECT_LT(disabled, enabled * 0.8);
      EXPECT_GT(disabled, 1.2);
    }
    EXPECT_EQ(file->palette().color(QPalette::Active, QPalette::Base), s.back) << "the menu";
    EXPECT_EQ(file->palette().color(QPalette::Active, QPalette::Text), s.text) << "the menu";
    EXPECT_LT(ContrastRatio(Of(file->palette().color(QPalette::Disabled, QPalette::Text)), Of(s.back)), enabled * 0.8)
        << "the menu's disabled items";

    // As drawn: the menu bar's and the buttons' captions in the text colour,
    // the disabled one not.
    EXPECT_GT(Near(bar->grab().toImage(), s.text), 5) << "menu bar caption";
    EXPECT_GT(Near(label->grab().toImage(), s.text), 5) << "label";
    EXPECT_GT(Near(on->grab().toImage(), s.text), 5) << "enabled button";
    EXPECT_EQ(Near(off->grab().toImage(), s.text), 0) << "disabled button";
    EXPECT_GT(Near(off->grab().toImage(), p.color(QPalette::Disabled, QPalette::ButtonText)), 5) << "disabled button";
  }
}

TEST(FormColors, TheMenuOfTheItemsAMenuBarHasNoRoomForTakesItsColoursToo) {
  QWidget form;
  auto* layout = new QVBoxLayout(&form);
  auto* bar = new QMenuBar(&form);
  layout->setMenuBar(bar);
  std::vector<QMenu*> own;
  for (const char* title : {"ファイル(&F)", "編集(&E)", "メール(&M)", "フォルダ(&O)", "ツール(&T)"})
    own.push_back(bar->addMenu(QString::fromUtf8(title)));
  SetFormColors(&form, QColor(0, 100, 0), QColor(255, 255, 255));
  form.resize(80, 60);
  form.show();
  QApplication::processEvents();
  QMenu* extension = nullptr;
  for (QMenu* m : bar->findChildren<QMenu*>())
    if (std::find(own.begin(), own.end(), m) == own.end()) extension = m;
  ASSERT_NE(extension, nullptr) << "the bar made a menu for what does not fit";
  EXPECT_EQ(extension->palette().color(QPalette::Active, QPalette::Base), QColor(0, 100, 0));
  EXPECT_EQ(extension->palette().color(QPalette::Active, QPalette::Text), QColor(255, 255, 255));
}

TEST(FormColors, AWindowTakesTheMainWindowsColours) {
  QWidget main;
  QWidget form;
  const QColor before = form.palette().color(QPalette::Window);
  TakeMainFormColors(&form);
  EXPECT_EQ(form.palette().color(QPalette::Window), before) << "no main window: nothing";
  SetFormColors(&main, QColor(10, 20, 30), QColor(200, 210, 220));
  SetMainForm(&main);
  TakeMainFormColors(&form);
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(10, 20, 30));
  EXPECT_EQ(form.palette().color(QPalette::ButtonText), QColor(200, 210, 220));
  SetMainForm(nullptr);
}

}  // namespace
