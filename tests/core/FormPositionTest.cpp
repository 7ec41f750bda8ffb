#include "core/ui/FormPosition.h"

#include "platform/Registry.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStandardItemModel>
#include <QTreeView>
#include <QWidget>
#include <gtest/gtest.h>

using namespace qv;

namespace {
const QRect kWork(0, 0, 1000, 700);
const QRect kDesign(10, 20, 300, 200);

PlacementInput Input(std::string stored, int mode = kPlaceDesign, int percent = 0) {
  PlacementInput in;
  in.stored = std::move(stored);
  in.design = kDesign;
  in.work = kWork;
  in.mode = mode;
  in.percent = percent;
  in.cursor = QPoint(500, 400);
  return in;
}
}  // namespace

TEST(FormPlacement, StoredPlacesAndModes) {
  struct Case {
    const char* name;
    PlacementInput in;
    QRect expected;
  } cases[] = {
      {"valid stored place wins over mode", Input("0064003201000080", kPlaceCentre, 90), QRect(100, 50, 256, 128)},
      {"width 47 is invalid", Input("00000000002F0100", kPlaceCentre), QRect(350, 250, 300, 200)},
      {"not hex is invalid", Input("00G0003201000080", kPlaceTopLeft), QRect(0, 0, 300, 200)},
      {"short value is invalid", Input("0064", kPlaceTopRight), QRect(700, 0, 300, 200)},
      {"nothing stored, design mode", Input(""), kDesign},
      {"centre with percent", Input("", kPlaceCentre, 90), QRect(50, 35, 900, 630)},
      {"cursor centre", Input("", kPlaceCursorCentre), QRect(350, 300, 300, 200)},
      {"cursor, clamped at the bottom", Input("", kPlaceCursor), QRect(500, 400, 300, 200)},
      {"bottom-left", Input("", kPlaceBottomLeft), QRect(0, 500, 300, 200)},
      {"bottom-right", Input("", kPlaceBottomRight), QRect(700, 500, 300, 200)},
      {"unknown mode keeps the centre", Input("", 42), QRect(350, 250, 300, 200)},
      {"stored place off the right edge is clamped", Input("03840258012C00C8"), QRect(700, 500, 300, 200)},
      {"larger than the work area sticks to the left/top", Input("0010001007D007D0"), QRect(0, 0, 2000, 2000)},
  };
  for (const auto& c : cases) EXPECT_EQ(ComputeFormPlacement(c.in), c.expected) << c.name;

  PlacementInput fixed = Input("0064003201000080");
  fixed.resizable = false;  // keeps its design size, takes the stored position
  EXPECT_EQ(ComputeFormPlacement(fixed), QRect(100, 50, 300, 200));

  PlacementInput owned = Input("", kPlaceOwnerCentre);
  owned.owner = QRect(100, 100, 400, 300);
  EXPECT_EQ(ComputeFormPlacement(owned), QRect(150, 150, 300, 200));
  owned.owner.reset();
  EXPECT_EQ(ComputeFormPlacement(owned), QRect(350, 250, 300, 200));

  PlacementInput offset = Input("", kPlaceBottomRight);
  offset.work = QRect(100, 50, 1000, 700);  // a work area that does not start at 0
  EXPECT_EQ(ComputeFormPlacement(offset), QRect(800, 550, 300, 200));
}

// A window sized by its content keeps the stored place's corner of its mode.
TEST(FormPlacement, AStoredPlaceKeepsTheCornerOfItsMode) {
  struct Case {
    const char* name;
    int mode;
    std::string stored;
    QRect expected;  // for a fixed 300 x 200 window
  } cases[] = {
      {"bottom-right from a wider place", kPlaceBottomRight, "01F4012C01F40190", QRect(700, 500, 300, 200)},
      {"bottom-right from a narrower place", kPlaceBottomRight, "0064006400640064", QRect(0, 0, 300, 200)},
      {"bottom-right, moved away from the corner", kPlaceBottomRight, "00C800C801F40190", QRect(400, 400, 300, 200)},
      {"top-right", kPlaceTopRight, "0064006401F40190", QRect(300, 100, 300, 200)},
      {"bottom-left", kPlaceBottomLeft, "0064006401F40190", QRect(100, 300, 300, 200)},
      {"top-left keeps the place", kPlaceTopLeft, "0064006401F40190", QRect(100, 100, 300, 200)},
      {"a stored size below 48 is invalid: the mode", kPlaceBottomRight, "0064006400200190", QRect(700, 500, 300, 200)},
      {"nothing stored: the mode", kPlaceBottomRight, "", QRect(700, 500, 300, 200)},
  };
  for (const auto& c : cases) {
    PlacementInput in = Input(c.stored, c.mode);
    in.resizable = false;
    in.keepCorner = true;
    EXPECT_EQ(ComputeFormPlacement(in), c.expected) << c.name;
  }
}

TEST(FormPlacement, FormatIsSixteenHexDigits) {
  EXPECT_EQ(FormatFormPosition(QRect(100, 50, 256, 128)), "0064003201000080");
}

TEST(FormPlacement, SaveAndLoadThroughTheRegistry) {
  QWidget main;
  QPalette pal = main.palette();
  pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0xFF));
  pal.setColor(QPalette::WindowText, Qt::white);
  main.setPalette(pal);
  SetMainForm(&main);
  EXPECT_EQ(MainForm(), &main);

  // The client area is stored and restored.
  QWidget form;
  form.setGeometry(40, 30, 200, 150);
  SaveFormPosition(&form, "MailList");
  EXPECT_FALSE(Registry().Read("FormPosition", "MailList")) << "a window never shown has no place to keep";
  form.show();
  SaveFormPosition(&form, "MailList");
  EXPECT_EQ(Registry().ReadString("FormPosition", "MailList", ""), FormatFormPosition(form.geometry()));

  QWidget again;
  again.resize(120, 90);
  LoadFormPosition(&again, kPlaceCentre, 0, "MailList");
  EXPECT_EQ(again.geometry(), form.geometry());
  form.hide();
  form.setGeometry(50, 60, 300, 250);
  SaveFormPosition(&form, "MailList");
  EXPECT_EQ(Registry().ReadString("FormPosition", "MailList", ""), FormatFormPosition(again.geometry()))
      << "a hidden window keeps its stored place";
  form.show();
  EXPECT_EQ(again.palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF));
  EXPECT_EQ(again.palette().color(QPalette::WindowText), QColor(Qt::white));

  form.resize(40, 150);  // too small to keep: the stored value goes
  SaveFormPosition(&form, "MailList");
  EXPECT_FALSE(Registry().Read("FormPosition", "MailList"));
  SaveFormPosition(&form, "");
  SetMainForm(nullptr);
}

TEST(ListViewValue, ParseAndFormat) {
  struct Case {
    const char* name;
    std::string value;
    int columns, defaultSort;
    std::vector<int> widths;
    int tag;
  } cases[] = {
      {"ascending column 2", "0064003200C8" "0002", 3, 1, {100, 50, 200}, 2},
      {"descending column 3", "006400320010" "0103", 3, 1, {100, 50, 16}, -3},
      {"small widths become 8, FFFF is -1", "0003FFFFFFFE" "0001", 3, 0, {8, -1, -2}, 1},
      {"stops at the first width below -2", "0064FFFD0010" "0001", 3, 0, {100}, 1},
      {"unparsable width stops", "0064zzzz0010" "0001", 3, 0, {100}, 1},
      {"five columns saved, six now", "00640064006400640064" "0001", 6, 2, {}, 2},
      {"empty value", "", 2, -1, {}, -1},
      {"unparsable sort column takes the default", "00100010" "00zz", 2, 2, {16, 16}, 2},
      {"unparsable direction counts as ascending", "00100010" "zz02", 2, 1, {16, 16}, 2},
      {"sort column beyond the columns", "00100010" "0009", 2, 1, {16, 16}, 0},
      {"default beyond the columns", "", 2, 5, {}, 0},
  };
  for (const auto& c : cases) {
    auto got = ParseListViewValue(c.value, c.columns, c.defaultSort);
    EXPECT_EQ(got.widths, c.widths) << c.name;
    EXPECT_EQ(got.tag, c.tag) << c.name;
  }
  EXPECT_EQ(FormatListViewValue({100, -1}, 2), "0064FFFF0002");
  EXPECT_EQ(FormatListViewValue({100, -2}, -2), "0064FFFE0102");
  EXPECT_EQ(FormatListViewValue({8}, 0), "00080100");
}

TEST(ListView, ClickSortsAscendingThenDescendingAndSavesTheState) {
  QStandardItemModel model(0, 3);
  const char* rows[][3] = {{"b", "10", "x"}, {"a", "9", "z"}, {"c", "100", "y"}, {"d", "abc", "w"}};
  for (auto& r : rows) {
    QList<QStandardItem*> items;
    for (auto* t : r) items << new QStandardItem(QString::fromUtf8(t));
    model.appendRow(items);
  }
  model.setHeaderData(1, Qt::Horizontal, 1, kColumnTagRole);  // numeric column
  QTreeView view;
  ListViewSortModel proxy(&view);
  proxy.setSourceModel(&model);
  view.setModel(&proxy);
  auto column = [&](int col) {
    QStringList out;
    for (int r = 0; r < proxy.rowCount(); ++r) out << proxy.index(r, col).data().toString();
    return out.join(",");
  };
  ListViewColumnClick(&view, 1);
  EXPECT_EQ(ListViewTag(&view), 2);
  EXPECT_EQ(column(1), "abc,9,10,100");  // unparsable counts as 0
  ListViewColumnClick(&view, 1);
  EXPECT_EQ(ListViewTag(&view), -2);
  EXPECT_EQ(column(1), "100,10,9,abc");
  ListViewColumnClick(&view, 0);
  EXPECT_EQ(ListViewTag(&view), 1);
  EXPECT_EQ(column(0), "a,b,c,d");

  view.header()->setMinimumSectionSize(1);
  view.header()->resizeSection(0, 120);
  view.header()->resizeSection(1, 60);
  view.header()->resizeSection(2, 3);
  ListViewColumnClick(&view, 2);
  ListViewColumnClick(&view, 2);
  SaveListViewColumns(&view, "Mail");
  EXPECT_FALSE(Registry().Read("ListViewSize", "Mail")) << "a list never shown keeps what is stored";
  view.header()->setStretchLastSection(false);
  view.show();
  SaveListViewColumns(&view, "Mail");
  EXPECT_EQ(Registry().ReadString("ListViewSize", "Mail", ""), "0078003C00030103");

  QTreeView other;
  ListViewSortModel otherProxy(&other);
  otherProxy.setSourceModel(&model);
  other.setModel(&otherProxy);
  other.header()->setMinimumSectionSize(1);
  LoadListViewColumns(&other, "Mail", 1);
  EXPECT_EQ(ListViewTag(&other), -3);
  EXPECT_EQ(other.header()->sectionSize(0), 120);
  EXPECT_EQ(other.header()->sectionSize(2), 8);
  EXPECT_EQ(otherProxy.index(0, 2).data().toString(), "z");
}

TEST(ListView, RowsAddedOrChangedInASortedListTakeTheirPlaces) {
  QStandardItemModel model(0, 1);
  for (const char* t : {"m", "c", "x"}) model.appendRow(new QStandardItem(QString::fromUtf8(t)));
  QTreeView view;
  ListViewSortModel proxy(&view);
  proxy.setSourceModel(&model);
  view.setModel(&proxy);
  ListViewColumnClick(&view, 0);
  auto column = [&] {
    QStringList out;
    for (int r = 0; r < proxy.rowCount(); ++r) out << proxy.index(r, 0).data().toString();
    return out.join(",");
  };
  ASSERT_EQ(column(), "c,m,x");
  // The sorted keys of the rows before must not be used for the new ones.
  for (const char* t : {"a", "q", "z", "b"}) model.appendRow(new QStandardItem(QString::fromUtf8(t)));
  EXPECT_EQ(column(), "a,b,c,m,q,x,z");
  model.item(0)->setText(QStringLiteral("y"));  // "m" becomes "y"
  EXPECT_EQ(column(), "a,b,c,q,x,y,z");
  model.removeRows(1, 2);  // "c" and "x"
  EXPECT_EQ(column(), "a,b,q,y,z");
}
