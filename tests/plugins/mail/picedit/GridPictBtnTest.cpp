// The grid picture button and the file drop component.
#include "plugins/mail/picedit/EXPFileDrop.h"
#include "plugins/mail/picedit/GridPictBtn.h"

#include "controls/BRVGraphicsEX.h"
#include "controls/Graphics.h"

#include "PanelTestSupport.h"
#include "PicEditTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFontDatabase>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <memory>
#include <tuple>
#include <vector>

using namespace qv;
using namespace bitmaptest;
using G = TGridPictBtn;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

struct Drawn {
  int x, y, num;
  G::TDCState state;
  QString text;
  TColor color;
};

// Records what each cell would show, by painting the control once.
std::vector<Drawn> Paint(G& grid) {
  std::vector<Drawn> drawn;
  grid.SetOnDrawCell([&drawn](G*, int x, int y, int num, G::TDCState state, QString& text, TColor& color) {
    drawn.push_back({x, y, num, state, text, color});
  });
  grid.grab();
  grid.SetOnDrawCell({});
  return drawn;
}

const Drawn* Cell(const std::vector<Drawn>& drawn, int x, int y) {
  for (const Drawn& d : drawn)
    if (d.x == x && d.y == y) return &d;
  return nullptr;
}

TColor At(const QImage& shot, int x, int y) { return ColorFromQColor(shot.pixelColor(x, y)); }

TEST(GridPictBtn, Defaults) {
  G grid;
  EXPECT_EQ(grid.GetCols(), 1);
  EXPECT_EQ(grid.GetRows(), 1);
  EXPECT_EQ(grid.GetFlashColor(), clWhite);
  EXPECT_EQ(grid.GetOverColor(), TColor(0x00FFFF));
  EXPECT_EQ(grid.GetFocusColor(), clRed);
  EXPECT_FALSE(grid.GetFlat());
  EXPECT_EQ(grid.GetDrawTextFormat(), G::TDraeTextFormat(G::dtCENTER | G::dtSINGLELINE | G::dtVCENTER));
  EXPECT_TRUE(grid.GetItemVisible());
  EXPECT_FALSE(grid.GetDrawText3D());
  EXPECT_TRUE(grid.GetFocusedVisibletext());
  EXPECT_FALSE(grid.GetAutoSize());
  EXPECT_EQ(grid.focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  grid.SetCols(0);
  grid.SetRows(-3);
  EXPECT_EQ(grid.GetCols(), 1);
  EXPECT_EQ(grid.GetRows(), 1);
  EXPECT_EQ(G::TextFlags(grid.GetDrawTextFormat()), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine |
                                                       Qt::TextShowMnemonic);
}

TEST(GridPictBtn, TwoColumnsOfThreeShowPagesOneToThreeOnTheLeftAndAClickGivesItsCell) {
  QWidget window;
  auto* grid = new G(&window);
  grid->resize(192, 130);
  grid->SetCols(2);
  grid->SetRows(3);
  grid->SetItems({U(" １"), U(" ４"), U(" ２"), U(" ５"), U(" ３"), U(" ６")});
  window.show();
  const std::vector<Drawn> drawn = Paint(*grid);
  ASSERT_EQ(drawn.size(), 6u);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(Cell(drawn, 0, row)->text, QStringLiteral(" ") + QChar(0xFF11 + row));
    EXPECT_EQ(Cell(drawn, 1, row)->text, QStringLiteral(" ") + QChar(0xFF14 + row));
  }
  QSignalSpy clicks(grid, &G::OnCellClick);
  const QRect rightMiddle = grid->CellRect(1, 1);
  EXPECT_EQ(rightMiddle, QRect(96, 43, 96, 43));
  Click(grid, rightMiddle.center());
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks[0], (QList<QVariant>{1, 1, 3}));
  EXPECT_EQ(grid->CellIndexA(), 1);
  EXPECT_EQ(grid->CellIndexB(), 1);
}

TEST(GridPictBtn, FewerItemsThanCellsLeaveTheOtherCellsWithoutCaption) {
  G grid;
  grid.resize(40, 40);
  grid.SetCols(2);
  grid.SetRows(2);
  grid.SetItems({QStringLiteral("a"), QStringLiteral("b")});
  const std::vector<Drawn> drawn = Paint(grid);
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(Cell(drawn, 1, 0)->text, QStringLiteral("b"));
  EXPECT_EQ(Cell(drawn, 0, 1)->text, QString());
  EXPECT_EQ(Cell(drawn, 1, 1)->text, QString());
  EXPECT_EQ(grid.CellText(5, 9), QString());
}

TEST(GridPictBtn, CellsAndPiecesAreTruncatedFractions) {
  G grid;
  grid.resize(100, 50);
  grid.SetCols(3);
  grid.SetRows(2);
  grid.SetPicture(picedittest::Filled(10, 7, qRgb(0, 0, 0)));
  const std::tuple<int, int, QRect, QRect> cases[] = {
      {0, 0, QRect(0, 0, 33, 25), QRect(0, 0, 3, 3)},
      {1, 0, QRect(33, 0, 33, 25), QRect(3, 0, 3, 3)},
      {2, 1, QRect(66, 25, 34, 25), QRect(6, 3, 4, 4)},
  };
  for (const auto& [c, r, cell, piece] : cases) {
    EXPECT_EQ(grid.CellRect(c, r), cell) << c << "," << r;
    EXPECT_EQ(grid.PictureRect(c, r), piece) << c << "," << r;
  }
  EXPECT_EQ(grid.CellAt({99, 49}), QPoint(2, 1));
  EXPECT_EQ(grid.CellAt({100, 10}), QPoint(-1, -1));
  grid.SetAutoSize(true);
  EXPECT_EQ(grid.size(), QSize(10, 7));
  grid.SetCellIndexA(7);
  grid.SetCellIndexB(-2);
  EXPECT_EQ(grid.CellIndexA(), 2);
  EXPECT_EQ(grid.CellIndexB(), 0);
}

TEST(GridPictBtn, APressedPieceSinksOnePixelAndEachCellHasItsFrame) {
  QWidget window;
  auto* grid = new G(&window);
  // One black pixel in the top-left corner of a white picture, ten times its size.
  QImage picture = picedittest::Filled(4, 4, qRgb(255, 255, 255));
  picture.setPixel(0, 0, qRgb(0, 0, 0));
  grid->SetPicture(picture);
  grid->resize(40, 40);
  grid->SetItemVisible(false);
  grid->SetFocusedVisibletext(false);
  window.show();
  QImage shot = grid->grab().toImage();
  EXPECT_EQ(At(shot, 9, 5), clBlack);
  EXPECT_EQ(At(shot, 10, 5), clWhite);
  // The current cell's raised frame: highlight above, the focus colour below.
  EXPECT_EQ(At(shot, 20, 39), clRed);
  EXPECT_EQ(At(shot, 39, 20), clRed);

  SendMouse(grid, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton, Qt::LeftButton);
  shot = grid->grab().toImage();
  EXPECT_EQ(At(shot, 10, 5), clBlack);
  EXPECT_EQ(At(shot, 10, 10), clBlack);
  EXPECT_EQ(At(shot, 11, 5), clWhite);
  // Sunken: the pen above and left.
  EXPECT_EQ(At(shot, 20, 0), clRed);
  EXPECT_EQ(At(shot, 0, 20), clRed);
  SendMouse(grid, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton, Qt::NoButton);
}

TEST(GridPictBtn, FlatFramesOnlyTheCellsThatStandOut) {
  G grid;
  grid.resize(40, 20);
  grid.SetCols(2);
  grid.SetPicture(picedittest::Filled(2, 1, qRgb(0, 0, 255)));
  grid.SetItemVisible(false);
  grid.SetFocusedVisibletext(false);
  grid.SetFlat(true);
  QImage shot = grid.grab().toImage();
  // The current cell (0, 0) keeps its frame; the other shows its piece to the edge.
  EXPECT_EQ(At(shot, 10, 19), clRed);
  EXPECT_EQ(At(shot, 30, 19), clBlue);
  EXPECT_EQ(At(shot, 39, 10), clBlue);
  grid.SetFlat(false);
  shot = grid.grab().toImage();
  EXPECT_EQ(At(shot, 30, 19), TColor(0x808080));
  EXPECT_EQ(At(shot, 39, 10), TColor(0x808080));
}

TEST(GridPictBtn, TheTextColourFollowsTheMouse) {
  QWidget window;
  auto* grid = new G(&window);
  grid->resize(40, 20);
  grid->SetCols(2);
  grid->SetItems({QStringLiteral("a"), QStringLiteral("b")});
  TFont font = grid->GetFont();
  font.Color = clGreen;
  grid->SetFont(font);
  window.show();
  SendMouse(grid, QEvent::MouseMove, {30, 10}, Qt::NoButton, Qt::NoButton);
  std::vector<Drawn> drawn = Paint(*grid);
  EXPECT_EQ(Cell(drawn, 0, 0)->color, clGreen);
  EXPECT_EQ(Cell(drawn, 0, 0)->state, G::dcsNormal);
  EXPECT_EQ(Cell(drawn, 1, 0)->color, TColor(0x00FFFF));
  EXPECT_EQ(Cell(drawn, 1, 0)->state, G::dcsOver);
  SendMouse(grid, QEvent::MouseButtonPress, {30, 10}, Qt::LeftButton, Qt::LeftButton);
  drawn = Paint(*grid);
  EXPECT_EQ(Cell(drawn, 1, 0)->color, clWhite);
  EXPECT_EQ(Cell(drawn, 1, 0)->state, G::dcsDown);
  SendMouse(grid, QEvent::MouseButtonRelease, {30, 10}, Qt::LeftButton, Qt::NoButton);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(grid, &leave);
  EXPECT_EQ(grid->OverCell(), QPoint(-1, -1));

  // The handler may change the text and its colour.
  grid->SetOnDrawCell([](G*, int, int, int num, G::TDCState, QString& text, TColor& color) {
    if (num == 0) {
      text = QStringLiteral("█");
      color = clRed;
    }
  });
  const QImage shot = grid->grab().toImage();
  int red = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) red += At(shot, x, y) == clRed;
  EXPECT_GT(red, 10);
}

TEST(GridPictBtn, TextIn3DAddsALightAndADarkCopy) {
  G grid;
  grid.resize(60, 30);
  grid.SetItems({QStringLiteral("██")});
  TFont font = grid.GetFont();
  font.Color = clBlue;
  font.Font.setStyleStrategy(QFont::NoAntialias);
  grid.SetFont(font);
  const TColor light = BlendColor(clBlue, clWhite, 128);
  auto count = [&](TColor colour) {
    const QImage shot = grid.grab().toImage();
    int n = 0;
    for (int y = 2; y < 28; ++y)
      for (int x = 2; x < 58; ++x) n += At(shot, x, y) == colour;
    return n;
  };
  EXPECT_EQ(count(light), 0);
  grid.SetDrawText3D(true);
  EXPECT_GT(count(light), 0);
  EXPECT_GT(count(clBlack), 0);
  EXPECT_GT(count(clBlue), 0);
}

TEST(GridPictBtn, AReleaseOverTheSameCellClicksAndADoubleClickIsToldApart) {
  QWidget window;
  auto* grid = new G(&window);
  grid->resize(40, 20);
  grid->SetCols(2);
  window.show();
  QSignalSpy clicks(grid, &G::OnCellClick);
  QSignalSpy doubles(grid, &G::OnCellDblClick);
  Drag(grid, {{5, 5}, {30, 5}});
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_EQ(grid->CellIndexA(), 0);
  Click(grid, {30, 5});
  SendMouse(grid, QEvent::MouseButtonDblClick, {30, 5}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid, QEvent::MouseButtonRelease, {30, 5}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(clicks.count(), 1);
  ASSERT_EQ(doubles.count(), 1);
  EXPECT_EQ(doubles[0], (QList<QVariant>{1, 0, 1}));
}

TEST(GridPictBtn, CaptionsShowWithFocusWhenOnlyFocusedTextIsOn) {
  QWidget window;
  auto* grid = new G(&window);
  auto* other = new QWidget(&window);
  other->setFocusPolicy(Qt::StrongFocus);
  other->move(50, 0);
  grid->resize(40, 20);
  grid->SetItems({QStringLiteral("a")});
  grid->SetItemVisible(false);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  other->setFocus();
  EXPECT_TRUE(Paint(*grid).empty());
  grid->setFocus();
  ASSERT_TRUE(grid->hasFocus());
  EXPECT_EQ(Paint(*grid).size(), 1u);
  grid->SetFocusedVisibletext(false);
  EXPECT_TRUE(Paint(*grid).empty());
}

// ---- text-drawing flags -------------------------------------------------------

TEST(GridPictBtn, EveryTextFlagIsLaidOutAsTheSystemDrawsIt) {
  QFont font = QApplication::font();
  font.setPixelSize(12);
  const QFontMetrics fm(font);
  const QChar ellipsis(0x2026);
  using F = G::TDraeTextFormat;
  const F single = F(G::dtLEFT | G::dtSINGLELINE | G::dtTOP);
  const QRect cell(0, 0, 60, 40);

  // The end of a line too long for the cell gives way to an ellipsis.
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  G::TextLayout end = G::LayoutText(font, cell, single | G::dtEND_ELLIPSIS, letters);
  ASSERT_EQ(end.lines.size(), 1);
  EXPECT_TRUE(end.lines[0].endsWith(ellipsis)) << end.lines[0].toStdString();
  EXPECT_TRUE(end.lines[0].startsWith(QStringLiteral("AB")));
  EXPECT_LE(fm.horizontalAdvance(end.lines[0]), cell.width());
  EXPECT_EQ(G::LayoutText(font, cell, single, letters).lines, QStringList{letters});
  EXPECT_EQ(G::LayoutText(font, cell, single | G::dtEND_ELLIPSIS, QStringLiteral("AB")).lines,
            QStringList{QStringLiteral("AB")});

  // A path keeps its file name and gives way in the middle.
  const QString path = QStringLiteral("C:\\Photos\\2024\\holiday.jpg");
  const QString name = QStringLiteral("\\holiday.jpg");
  const QRect narrow(0, 0, fm.horizontalAdvance(QStringLiteral("C:\\P")) + fm.horizontalAdvance(ellipsis) +
                               fm.horizontalAdvance(name) + 1,
                     20);
  const G::TextLayout cut = G::LayoutText(font, narrow, single | G::dtPATH_ELLIPSIS, path);
  ASSERT_EQ(cut.lines.size(), 1);
  EXPECT_TRUE(cut.lines[0].endsWith(name)) << cut.lines[0].toStdString();
  EXPECT_TRUE(cut.lines[0].startsWith(QStringLiteral("C:"))) << cut.lines[0].toStdString();
  EXPECT_TRUE(cut.lines[0].contains(ellipsis)) << cut.lines[0].toStdString();
  EXPECT_LE(fm.horizontalAdvance(cut.lines[0]), narrow.width());

  // An edit control shows whole lines only.
  const QString words = QStringLiteral("one two three four five six seven eight");
  const QRect box(0, 0, 50, fm.height() * 5 / 2);
  const F wrapped = F(G::dtLEFT | G::dtTOP | G::dtWORDBREAK);
  const G::TextLayout all = G::LayoutText(font, box, wrapped, words);
  ASSERT_GT(all.lines.size(), 2);
  EXPECT_EQ(G::LayoutText(font, box, wrapped | G::dtEDITCONTROL, words).lines, all.lines.mid(0, 2));

  // The font's external leading is in the line height only when asked.
  EXPECT_EQ(all.lineHeight, fm.height());
  QFont leaded;
  for (const QString& family : QFontDatabase::families()) {
    QFont candidate(family);
    candidate.setPixelSize(12);
    if (QFontMetrics(candidate).leading() > 0) {
      leaded = candidate;
      break;
    }
  }
  if (QFontMetrics(leaded).leading() > 0) {
    const QFontMetrics lm(leaded);
    const F centred = F(G::dtLEFT | G::dtSINGLELINE | G::dtVCENTER);
    EXPECT_EQ(G::LayoutText(leaded, cell, centred | G::dtEXTERNALLEADING, letters).lineHeight,
              lm.height() + lm.leading());
    EXPECT_EQ(G::LayoutText(leaded, cell, centred | G::dtEXTERNALLEADING, letters).top,
              (cell.height() - lm.height() - lm.leading()) / 2);
    EXPECT_EQ(G::LayoutText(leaded, cell, centred, letters).lineHeight, lm.height());
  }

  // Calculating the rectangle draws nothing; right to left reads so and keeps its alignment.
  EXPECT_TRUE(G::LayoutText(font, cell, single | G::dtCALCRECT, letters).lines.isEmpty());
  EXPECT_EQ(G::TextFlags(single | G::dtRTLREADING) & (Qt::TextForceRightToLeft | Qt::AlignAbsolute | Qt::AlignLeft),
            Qt::TextForceRightToLeft | Qt::AlignAbsolute | Qt::AlignLeft);
}

TEST(GridPictBtn, TheCaptionsAreDrawnByEveryTextFlag) {
  // Each grid's one caption drawn, beside what it must look like.
  auto shot = [](const QString& caption, G::TDraeTextFormat format, bool visible = true) {
    G grid;
    grid.resize(50, 24);
    grid.SetItems({caption});
    grid.SetItemVisible(visible);
    grid.SetDrawTextFormat(format);
    return grid.grab().toImage();
  };
  using F = G::TDraeTextFormat;
  const F plain = F(G::dtLEFT | G::dtSINGLELINE | G::dtVCENTER);
  const QString long_ = QStringLiteral("ABCDEFGHIJKLMNOP");
  G probe;
  const QString elided = QFontMetrics(probe.font()).elidedText(long_, Qt::ElideRight, 50);
  EXPECT_EQ(shot(long_, plain | G::dtEND_ELLIPSIS), shot(elided, plain));
  EXPECT_NE(shot(long_, plain | G::dtEND_ELLIPSIS), shot(long_, plain));
  EXPECT_EQ(shot(long_, plain | G::dtCALCRECT), shot(long_, plain, false));
  EXPECT_NE(shot(QStringLiteral("ab!"), plain | G::dtRTLREADING), shot(QStringLiteral("ab!"), plain));
  // For review: the six pages' captions cut with an ellipsis at their end.
  G pages;
  pages.resize(192, 130);
  pages.SetCols(2);
  pages.SetRows(3);
  pages.SetDrawTextFormat(F(G::dtLEFT | G::dtTOP | G::dtSINGLELINE | G::dtEND_ELLIPSIS));
  pages.SetItems({QStringLiteral("1 PLAIN page, long"), QStringLiteral("4 SLIDE page, long"), QStringLiteral("2 VOID"),
                  QStringLiteral("5 PLAIN"), QStringLiteral("3 SLIDE page, long"), QStringLiteral("6")});
  ASSERT_TRUE(pages.grab().toImage().save(QString::fromStdString(qvtest::ArtifactPath("grid-captions-ellipsis.png").string())));
}

// ---- file drops --------------------------------------------------------------

struct DropRecord {
  int num;
  std::vector<std::filesystem::path> files;
  QPoint at;
};

class FileDropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(300, 200);
    child_ = new QWidget(&window_);
    child_->setGeometry(10, 10, 100, 100);
    window_.show();
  }
  void Watch(TEXPFileDrop& drop) {
    QObject::connect(&drop, &TEXPFileDrop::OnFileDrop,
                     [this](int num, const std::vector<std::filesystem::path>& files, int x, int y) {
                       drops_.push_back({num, files, QPoint(x, y)});
                     });
  }
  // Drags the URLs onto the widget and drops them; whether the drag was accepted.
  bool DropOn(QWidget* target, const QList<QUrl>& urls, QPoint at) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return true;
  }

  QWidget window_;
  QWidget* child_ = nullptr;
  std::vector<DropRecord> drops_;
};

TEST_F(FileDropTest, ThreeFilesGiveOneCallWithTheirFullPaths) {
  TEXPFileDrop drop(&window_);
  Watch(drop);
  EXPECT_TRUE(drop.GetAccept());
  EXPECT_EQ(drop.Target(), &window_);
  EXPECT_TRUE(window_.acceptDrops());
  // One name far longer than the 254 characters a name once had to fit in.
  const std::string deep = "/tmp/" + std::string(300, 'd') + "/picture.bmp";
  const QList<QUrl> urls = {QUrl::fromLocalFile(QStringLiteral("/tmp/a.bmp")),
                            QUrl::fromLocalFile(QString::fromStdString(deep)),
                            QUrl(QStringLiteral("https://example.com/c.jpg")),
                            QUrl::fromLocalFile(QString::fromUtf8("/tmp/写真 3.jpg"))};
  ASSERT_TRUE(DropOn(&window_, urls, {150, 120}));
  ASSERT_EQ(drops_.size(), 1u);
  EXPECT_EQ(drops_[0].num, 3);
  EXPECT_EQ(drops_[0].files,
            (std::vector<std::filesystem::path>{"/tmp/a.bmp", deep, std::string("/tmp/写真 3.jpg")}));
  EXPECT_EQ(drops_[0].at, QPoint(150, 120));
}

TEST_F(FileDropTest, WithoutAcceptNothingIsTakenAndOnlyLocalFilesCount) {
  TEXPFileDrop drop(&window_);
  Watch(drop);
  EXPECT_FALSE(DropOn(&window_, {QUrl(QStringLiteral("https://example.com/c.jpg"))}, {5, 5}));
  drop.SetAccept(false);
  EXPECT_FALSE(window_.acceptDrops());
  EXPECT_FALSE(DropOn(&window_, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.bmp"))}, {5, 5}));
  drop.SetAccept(true);
  EXPECT_TRUE(DropOn(&window_, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.bmp"))}, {5, 5}));
  EXPECT_EQ(drops_.size(), 1u);
}

TEST_F(FileDropTest, AControlTakesTheHookAndItsEndStopsTheDrops) {
  TEXPFileDrop drop(&window_);
  Watch(drop);
  drop.SetControl(child_);
  EXPECT_EQ(drop.Target(), child_);
  EXPECT_FALSE(window_.acceptDrops());
  EXPECT_FALSE(DropOn(&window_, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.bmp"))}, {5, 5}));
  ASSERT_TRUE(DropOn(child_, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.bmp"))}, {7, 8}));
  ASSERT_EQ(drops_.size(), 1u);
  EXPECT_EQ(drops_[0].at, QPoint(7, 8));
  delete child_;
  EXPECT_EQ(drop.GetControl(), nullptr);
  EXPECT_FALSE(drop.GetAccept());
  drop.SetControl(nullptr);
  EXPECT_EQ(drop.Target(), &window_);
  EXPECT_FALSE(DropOn(&window_, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.bmp"))}, {5, 5}));
}

}  // namespace
