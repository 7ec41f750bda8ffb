// The picture page editor: modes, page kinds and their header lines, editing
// a page through the bitmap editor, loading and resizing, OK.
#include "plugins/mail/picedit/QvPicEditFRM.h"

#include "core/ui/FormPosition.h"
#include "core/ui/MessageBox.h"
#include "platform/Registry.h"
#include "core/ui/QtText.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "plugins/mail/picedit/GridPictBtn.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/bitmapedit/QvBitmapEditFRM.h"
#include "plugins/mail/picedit/QvPicResizeFRM.h"
#include "plugins/mail/bitmapedit/UserDrawPanel.h"

#include "BitmapEditTestSupport.h"
#include "PanelTestSupport.h"
#include "PicEditTestSupport.h"
#include "JpegPhoto.h"
#include "SpecialFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include <fstream>
#include <memory>

using namespace qv;
using namespace bitmaptest;
using bitmaptest::OnModal;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDiv6 = "X-KmailDX-Info: DIV6";

// A 192 x 130 picture whose every pixel differs from its neighbours.
QImage SixPages() { return Numbered(192, 130); }

std::string Cbmp(const char* pages) { return std::string(kDiv6) + "\r\nX-KmailDX-CBMP: PAGE=6" + pages; }

class PicEditTest : public ::testing::Test {
 protected:
  PicEditTest() : launcher_(dir_.path()) {}
  void SetUp() override {
    SetMessageBoxHandler([this](BoxKind, const std::string& text) { boxes_.push_back(ToQString(text)); });
    DialogHandlers handlers;
    handlers.ask = [this](const std::string& text, bool) {
      questions_.push_back(ToQString(text));
      return answer_;
    };
    handlers.open = [this](const std::string& filter) {
      filters_.push_back(filter);
      return nextOpen_;
    };
    SetDialogHandlers(handlers);
  }
  void TearDown() override {
    SetMessageBoxHandler({});
    SetDialogHandlers({});
  }
  std::unique_ptr<TfrmPicEdit> Open(const QImage& picture, std::string_view headers) {
    auto form = std::make_unique<TfrmPicEdit>();
    form->SetPicture(picture);
    form->SetPartHeaders(headers);
    return form;
  }
  std::string Kinds(const TfrmPicEdit& form) {
    std::string out;
    for (int p = 0; p < kPageCount; ++p) {
      const PicturePage& page = form.Pages()[p];
      out += page.kind == kPaneSlide ? 'S' : page.kind == kPaneVoid ? 'V' : 'P';
    }
    return out;
  }
  fs::path WriteJpeg(const std::string& name, const QImage& picture) {
    TQkDIB dib;
    dib.Assign(picture);
    std::ofstream out(dir_ / name, std::ios::binary);
    SaveJPEGToStream(dib, out, 90);
    return dir_ / name;
  }

  qvtest::TempDir dir_;
  qvtest::ScopedLauncherDir launcher_;
  std::vector<QString> boxes_, questions_;
  std::vector<std::string> filters_;
  Answer answer_ = Answer::Yes;
  std::optional<fs::path> nextOpen_;
};

struct KindCase {
  const char* name;
  std::vector<std::pair<int, int>> commands;  // page 1-6, kind; kind 3 is 種別変更
  const char* kinds;
  std::string headers;
  const char* reopened = nullptr;  // when not the same kinds: a lone SLIDE comes back PLAIN
};

TEST_F(PicEditTest, PageKindsFollowTheirRulesAndGiveTheirHeaderLines) {
  const int S = kPaneSlide, V = kPaneVoid, P = kPanePlain, C = 3;
  const KindCase cases[] = {
      {"a run of three and a VOID", {{2, S}, {4, S}, {5, V}}, "PSSSVP",
       Cbmp(";PLAIN(96,43);SLIDE(96,43)=3;VOID;PLAIN(96,43)")},
      {"a single SLIDE is PLAIN", {{3, S}}, "PPSPPP",
       Cbmp(";PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43)"), "PPPPPP"},
      {"pages 2 and 5 take 3 and 4 along", {{2, S}, {5, S}}, "PSSSSP", Cbmp(";PLAIN(96,43);SLIDE(96,43)=4;PLAIN(96,43)")},
      {"the last page that is not VOID stays", {{1, V}, {2, V}, {3, V}, {4, V}, {5, V}, {6, V}}, "VVVVVP",
       Cbmp(";VOID;VOID;VOID;VOID;VOID;PLAIN(96,43)")},
      {"種別変更 turns the last page that is not VOID to PLAIN instead",
       {{1, V}, {2, V}, {3, V}, {4, V}, {5, V}, {6, C}, {6, C}}, "VVVVVP", Cbmp(";VOID;VOID;VOID;VOID;VOID;PLAIN(96,43)")},
      {"SLIDE pages after the first run fall back", {{1, S}, {4, S}, {2, P}}, "SPPPPP",
       Cbmp(";PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43)"), "PPPPPP"},
      {"種別変更 goes round", {{1, C}, {1, C}, {6, C}, {6, C}}, "VPPPPV",
       Cbmp(";VOID;PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);VOID")},
      {"a run at the end", {{6, S}, {4, S}, {1, V}}, "VPPSSS", Cbmp(";VOID;PLAIN(96,43);PLAIN(96,43);SLIDE(96,43)=3")},
  };
  for (const KindCase& c : cases) {
    auto form = Open(SixPages(), kDiv6);
    ASSERT_TRUE(form->PageMode()) << c.name;
    form->SetPageKindsOn(true);
    for (const auto& [page, kind] : c.commands) {
      form->SelectPage(page - 1);
      QPushButton* button = kind == C ? form->btnKind
                            : kind == S ? form->btnSlide
                            : kind == V ? form->btnVoid
                                        : form->btnPlain;
      if (button->isEnabled()) button->click();
    }
    EXPECT_EQ(Kinds(*form), c.kinds) << c.name;
    EXPECT_EQ(form->GetPartHeaders(), c.headers) << c.name;
    // Opened again with those lines, the editor shows the same pages.
    auto again = Open(SixPages(), form->GetPartHeaders());
    EXPECT_TRUE(again->PageKindsOn()) << c.name;
    EXPECT_EQ(Kinds(*again), c.reopened ? c.reopened : c.kinds) << c.name;
    EXPECT_EQ(again->GetPartHeaders(), c.headers) << c.name;
  }
}

TEST_F(PicEditTest, EachKindCommandIsOfferedOnlyWhereItChangesThePage) {
  auto form = Open(SixPages(), Cbmp(";VOID;VOID;VOID;VOID;SLIDE(50,20)=2"));
  EXPECT_EQ(Kinds(*form), "VVVVSS");
  EXPECT_EQ(form->Pages()[5], (PicturePage{kPaneSlide, 50, 20}));
  form->SelectPage(4);
  EXPECT_TRUE(form->btnPlain->isEnabled());
  EXPECT_FALSE(form->btnSlide->isEnabled());
  EXPECT_TRUE(form->btnVoid->isEnabled());
  form->btnVoid->click();
  form->SelectPage(5);
  EXPECT_EQ(Kinds(*form), "VVVVVS");
  EXPECT_FALSE(form->btnVoid->isEnabled());
  EXPECT_TRUE(form->btnPlain->isEnabled());
  EXPECT_FALSE(form->btnSlide->isEnabled());
  EXPECT_EQ(form->GetPartHeaders(), Cbmp(";VOID;VOID;VOID;VOID;VOID;PLAIN(50,20)"));
  // The grid names each page and its kind; the left column holds pages 1-3.
  EXPECT_EQ(form->grdPicture->CellText(0, 1), QString::fromUtf8("２ VOID"));
  EXPECT_EQ(form->grdPicture->CellText(1, 2), QString::fromUtf8("６ SLIDE"));
  // Without page kinds, no command and only the numbers.
  form->chkCBMP->click();
  EXPECT_FALSE(form->btnSlide->isEnabled());
  EXPECT_FALSE(form->btnKind->isEnabled());
  EXPECT_EQ(form->grdPicture->CellText(1, 2), QString::fromUtf8("６"));
  EXPECT_EQ(form->GetPartHeaders(), kDiv6);
}

TEST_F(PicEditTest, AnimationGivesItsLineAndOpensWithItsLists) {
  auto form = Open(Numbered(96, 72), {});
  EXPECT_FALSE(form->PageMode());
  EXPECT_FALSE(form->cmbWait->isEnabled());
  EXPECT_EQ(form->GetPartHeaders(), "");
  form->chkAnimation->click();
  EXPECT_TRUE(form->cmbWait->isEnabled());
  EXPECT_FALSE(form->chkDiv6->isEnabled());
  EXPECT_FALSE(form->chkCBMP->isEnabled());
  EXPECT_EQ(form->GetPartHeaders(), "X-KmailDX-Animation: Page=2;Wait=0.5;Loop=0.5");
  form->cmbPageCount->setCurrentText(QStringLiteral("3"));
  form->cmbLoop->setCurrentText(QStringLiteral("2"));
  EXPECT_EQ(form->GetPartHeaders(), "X-KmailDX-Animation: Page=3;Wait=0.5;Loop=2");

  auto again = Open(Numbered(96, 72), "X-KmailDX-Animation: Page=8;Wait=0.1;Loop=10");
  EXPECT_TRUE(again->AnimationMode());
  EXPECT_EQ(again->cmbPageCount->currentText(), QStringLiteral("8"));
  EXPECT_EQ(again->cmbWait->currentText(), QStringLiteral("0.1"));
  EXPECT_EQ(again->cmbLoop->currentText(), QStringLiteral("10"));
  // Values no list holds leave the lists to their defaults.
  auto odd = Open(Numbered(96, 72), "X-KmailDX-Animation: Page=1;Wait=0.25;Loop=0");
  EXPECT_EQ(odd->GetPartHeaders(), "X-KmailDX-Animation: Page=2;Wait=0.5;Loop=0.5");
  // Unticked, the lists are emptied and closed.
  odd->chkAnimation->click();
  EXPECT_EQ(odd->cmbWait->currentIndex(), -1);
  EXPECT_FALSE(odd->cmbWait->isEnabled());
  EXPECT_TRUE(odd->chkDiv6->isEnabled());
  EXPECT_EQ(odd->GetPartHeaders(), "");
}

TEST_F(PicEditTest, PageModeAsksBeforeMakingThePicture192By130OnWhite) {
  const QImage small = Numbered(96, 72);
  auto form = Open(small, {});
  form->chkAnimation->click();
  form->chkAnimation->click();
  answer_ = Answer::No;
  form->chkDiv6->click();
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], QString::fromUtf8("画像サイズを1/6画像サイズ(192×130)に変更してもよろしいですか？"));
  EXPECT_FALSE(form->PageMode());
  EXPECT_EQ(form->Picture().size(), QSize(96, 72));
  answer_ = Answer::Yes;
  form->chkDiv6->click();
  ASSERT_TRUE(form->PageMode());
  EXPECT_EQ(form->Picture().size(), QSize(192, 130));
  EXPECT_EQ(form->Picture().copy(0, 0, 96, 72), small);
  EXPECT_EQ(CountColor(form->Picture(), clWhite), 192 * 130 - 96 * 72);
  EXPECT_EQ(form->grdPicture->GetCols(), 2);
  EXPECT_EQ(form->grdPicture->GetRows(), 3);
  EXPECT_EQ(form->CurrentPage(), 0);
  EXPECT_TRUE(form->chkCBMP->isEnabled());
  EXPECT_EQ(form->GetPartHeaders(), kDiv6);
  // A picture of the size is not asked about.
  auto sized = Open(SixPages(), {});
  sized->chkDiv6->click();
  EXPECT_EQ(questions_.size(), 2u);
  EXPECT_TRUE(sized->PageMode());
}

TEST_F(PicEditTest, EditingAPageChangesOnlyItsArea) {
  auto form = Open(SixPages(), kDiv6);
  form->show();
  const QImage before = form->Picture();
  form->SelectPage(4);
  QImage opened;
  OnModal<TfrmBitmapEdit>([&](TfrmBitmapEdit& editor) {
    opened = editor.UserDrawPanel->GetBitmap();
    // However large a picture is put in, OK hands back the page at most.
    QImage black(300, 200, QImage::Format_RGB32);
    black.fill(Qt::black);
    editor.UserDrawPanel->SetBitmap(black);
    editor.btnOK->click();
  });
  form->btnEdit->click();
  EXPECT_EQ(opened, before.copy(96, 43, 96, 43));
  const QRect page5 = PageArea(4);
  EXPECT_EQ(page5, QRect(96, 43, 96, 43));
  EXPECT_EQ(CountColor(form->Picture().copy(page5), clBlack), 96 * 43);
  QImage others = form->Picture();
  FillBox(others, page5, TRasterInk::Solid(others, clWhite));
  QImage expected = before;
  FillBox(expected, page5, TRasterInk::Solid(expected, clWhite));
  EXPECT_EQ(others, expected);
  EXPECT_FALSE(form->PageKindsOn());

  // A smaller result is the page's new size, the rest of the page white.
  form->SelectPage(1);
  OnModal<TfrmBitmapEdit>([&](TfrmBitmapEdit& editor) {
    QImage red(50, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    editor.UserDrawPanel->SetBitmap(red);
    editor.btnOK->click();
  });
  form->btnEdit->click();
  EXPECT_TRUE(form->PageKindsOn());
  EXPECT_EQ(form->Pages()[1], (PicturePage{kPanePlain, 50, 20}));
  EXPECT_EQ(CountColor(form->Picture().copy(0, 43, 50, 20), clRed), 50 * 20);
  EXPECT_EQ(CountColor(form->Picture().copy(PageArea(1)), clWhite), 96 * 43 - 50 * 20);
  EXPECT_EQ(form->GetPartHeaders(), Cbmp(";PLAIN(96,43);PLAIN(50,20);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43)"));

  // With page kinds, the page opens at its size; a double click on a page edits it.
  QSize size;
  OnModal<TfrmBitmapEdit>([&](TfrmBitmapEdit& editor) {
    size = editor.UserDrawPanel->GetBitmap().size();
    editor.btnCancel->click();
  });
  SendMouse(form->grdPicture, QEvent::MouseButtonPress, form->grdPicture->CellRect(0, 1).center(), Qt::LeftButton,
            Qt::LeftButton);
  SendMouse(form->grdPicture, QEvent::MouseButtonRelease, form->grdPicture->CellRect(0, 1).center(), Qt::LeftButton,
            Qt::NoButton);
  SendMouse(form->grdPicture, QEvent::MouseButtonDblClick, form->grdPicture->CellRect(0, 1).center(), Qt::LeftButton,
            Qt::LeftButton);
  SendMouse(form->grdPicture, QEvent::MouseButtonRelease, form->grdPicture->CellRect(0, 1).center(), Qt::LeftButton,
            Qt::NoButton);
  EXPECT_EQ(form->CurrentPage(), 1);
  EXPECT_EQ(size, QSize(50, 20));
}

TEST(PicturePagesTest, APageTakesItsOwnAreaOnly) {
  for (const QSize content : {QSize(300, 200), QSize(96, 43), QSize(50, 20), QSize(96, 200), QSize(200, 10)}) {
    for (int page : {0, 4, 5}) {
      const QImage before = SixPages();
      QImage picture = before;
      const QSize taken = PutPage(picture, page, picedittest::Filled(content.width(), content.height(), qRgb(0, 0, 0)));
      EXPECT_EQ(taken, content.boundedTo(QSize(96, 43)));
      const QRect area = PageArea(page);
      EXPECT_EQ(CountColor(picture.copy(area), clBlack), taken.width() * taken.height());
      EXPECT_EQ(CountColor(picture.copy(area), clWhite), 96 * 43 - taken.width() * taken.height());
      // Every pixel outside the page as it was.
      QImage outside = picture;
      QImage expected = before;
      FillBox(outside, area, TRasterInk::Solid(outside, clWhite));
      FillBox(expected, area, TRasterInk::Solid(expected, clWhite));
      EXPECT_EQ(outside, expected) << content.width() << "x" << content.height() << " on page " << page + 1;
    }
  }
  // A 1-bit picture takes the page in its two colours.
  QImage mono = MonoFromBlackAndWhite(picedittest::Filled(192, 130, qRgb(255, 255, 255)));
  PutPage(mono, 2, picedittest::Filled(10, 10, qRgb(20, 20, 20)));
  EXPECT_EQ(mono.format(), QImage::Format_Mono);
  EXPECT_EQ(CountColor(mono.copy(PageArea(2)), clBlack), 100);
}

TEST_F(PicEditTest, AOneBitPictureIsEditedInOneBitAndTheWholePictureOutsidePageMode) {
  auto form = Open(MonoFromBlackAndWhite(Numbered(120, 60).convertToFormat(QImage::Format_Mono)), {});
  bool mono = false;
  QSize limits;
  OnModal<TfrmBitmapEdit>([&](TfrmBitmapEdit& editor) {
    mono = editor.UserDrawPanel->GetMonochrome();
    limits = editor.UserDrawPanel->GetBitmap().size();
    editor.btnOK->click();
  });
  form->btnEdit->click();
  EXPECT_TRUE(mono);
  EXPECT_EQ(limits, QSize(120, 60));
  EXPECT_EQ(form->Picture().format(), QImage::Format_Mono);
}

TEST_F(PicEditTest, LoadingReadsByExtensionLeavesPageModeAndKeepsThePictureOnFailure) {
  auto form = Open(SixPages(), Cbmp(";VOID;PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);PLAIN(96,43)"));
  const QImage photo = picedittest::Filled(64, 48, qRgb(200, 30, 30));
  nextOpen_ = WriteJpeg("photo.jpg", photo);
  form->btnLoad->click();
  ASSERT_EQ(filters_.size(), 1u);
  EXPECT_EQ(ToQString(filters_[0]),
            QString::fromUtf8("すべてのファイル (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG イメージファイル "
                              "(*.jpg;*.jpeg)|*.jpg;*.jpeg|ビットマップ (*.bmp)|*.bmp"));
  EXPECT_FALSE(form->PageMode());
  EXPECT_EQ(form->Picture().size(), QSize(64, 48));
  EXPECT_EQ(form->GetPartHeaders(), "");
  EXPECT_TRUE(boxes_.empty());

  // ".BMP" in any case is a bitmap; a JPEG under that name is not one.
  const QImage drawn = Numbered(30, 20);
  ASSERT_TRUE(SavePictureFile(dir_ / "drawn.BmP", drawn));
  nextOpen_ = dir_ / "drawn.BmP";
  form->btnLoad->click();
  EXPECT_EQ(form->Picture(), drawn);
  fs::copy_file(dir_ / "photo.jpg", dir_ / "photo.bmp");
  for (const char* bad : {"photo.bmp", "missing.jpg"}) {
    nextOpen_ = dir_ / bad;
    form->btnLoad->click();
    EXPECT_EQ(form->Picture(), drawn) << bad;
  }
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_TRUE(boxes_[1].startsWith(QString::fromUtf8("画像ファイルを読み込めませんでした。")));
  EXPECT_TRUE(boxes_[1].endsWith(QStringLiteral("missing.jpg")));
}


TEST_F(PicEditTest, ACameraPhotoIsLoadedShownFittedAndResizedForTheHandset) {
  // 48 megapixels, as today's cameras take them.
  const QSize photo(8000, 6000);
  qvtest::WriteFile(dir_ / "camera.jpg", qvtest::PhotoJpeg(photo.width(), photo.height()));
  auto form = Open(picedittest::Filled(96, 72, qRgb(255, 255, 255)), {});
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  nextOpen_ = dir_ / "camera.jpg";
  form->btnLoad->click();
  EXPECT_TRUE(boxes_.empty()) << (boxes_.empty() ? "" : boxes_[0].toStdString());
  EXPECT_EQ(form->PictureSize(), photo);
  EXPECT_EQ(form->lblSize->text(), QString::fromUtf8("8000 × 6000"));
  // Shown whole, fitted to the area.
  const QSize room = form->scbPicture->viewport()->size();
  const QSize shown = form->grdPicture->size();
  EXPECT_LE(shown.width(), room.width());
  EXPECT_LE(shown.height(), room.height());
  EXPECT_EQ(shown.width() * 3 / 4, shown.height());
  EXPECT_GT(shown.width(), 100);
  const QImage shot = form->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("picture-editor-photo.png").string())));
  EXPECT_LE(qvtest::PhotoDifference(form->grdPicture->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(
                                QRect(QPoint(0, 0), shown).adjusted(3, 3, -3, -3)),
                            photo),
            24);

  OnModal<TfrmPicResize>([&](TfrmPicResize& resize) {
    EXPECT_EQ(resize.Picture().Size(), photo);
    EXPECT_EQ(resize.PictureRect(), QRect(QPoint(0, 0), photo));
    EXPECT_EQ(resize.Target(), QSize(96, 72));
    // At its own size: the top-left corner of the photo in the area.
    const QImage actual = resize.grab().toImage();
    EXPECT_TRUE(actual.save(QString::fromStdString(qvtest::ArtifactPath("picture-resize-photo.png").string())));
    const QImage area = resize.pnlArea->grab(QRect(0, 0, 400, 300)).toImage().convertToFormat(QImage::Format_RGB32);
    for (const QPoint at : {QPoint(150, 100), QPoint(399, 299), QPoint(120, 250)}) {
      const uint32_t c = qvtest::PhotoColour(at.x(), at.y(), photo.width(), photo.height());
      const QRgb got = area.pixel(at);
      EXPECT_LE(std::max({std::abs(qRed(got) - int(c >> 16)), std::abs(qGreen(got) - int(c >> 8 & 0xFF)),
                          std::abs(qBlue(got) - int(c & 0xFF))}),
                12)
          << at.x() << "," << at.y();
    }
    resize.AutoFit();
    EXPECT_EQ(resize.PictureRect(), QRect(0, 0, 96, 72));
    const QImage fitted = resize.grab().toImage();
    EXPECT_TRUE(fitted.save(QString::fromStdString(qvtest::ArtifactPath("picture-resize-photo-fitted.png").string())));
    resize.btnOK->click();
  });
  form->btnResize->click();
  const QImage result = form->Picture().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(result.size(), QSize(96, 72));
  EXPECT_LE(qvtest::PhotoDifference(result, photo), 12);
  EXPECT_EQ(form->lblSize->text(), QString::fromUtf8("96 × 72"));
}

TEST_F(PicEditTest, APhotoBeyondTheLimitIsToldTooLargeWithItsSizeAndTheLimit) {
  qvtest::WriteFile(dir_ / "huge.jpg", qvtest::ClaimedSize(qvtest::PhotoJpeg(16, 16), 10001, 10000));
  const QImage drawn = Numbered(30, 20);
  auto form = Open(drawn, {});
  nextOpen_ = dir_ / "huge.jpg";
  form->btnLoad->click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].startsWith(QString::fromUtf8("画像が大きすぎるため読み込めませんでした。"))) << boxes_[0].toStdString();
  EXPECT_TRUE(boxes_[0].contains(QString::fromUtf8("10001×10000 (100,010,000画素)"))) << boxes_[0].toStdString();
  EXPECT_TRUE(boxes_[0].contains(QString::fromUtf8("100,000,000画素まで"))) << boxes_[0].toStdString();
  EXPECT_TRUE(boxes_[0].endsWith(QStringLiteral("huge.jpg")));
  EXPECT_EQ(form->Picture(), drawn);
  // Exactly at the limit it opens.
  qvtest::WriteFile(dir_ / "limit.jpg", qvtest::ClaimedSize(qvtest::PhotoJpeg(16, 16), 10000, 10000));
  nextOpen_ = dir_ / "limit.jpg";
  form->btnLoad->click();
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(form->PictureSize(), QSize(10000, 10000));
}

TEST_F(PicEditTest, ResizingToAnotherSizeLeavesPageMode) {
  auto form = Open(SixPages(), kDiv6);
  OnModal<TfrmPicResize>([](TfrmPicResize& resize) {
    EXPECT_EQ(resize.Target(), QSize(192, 130));
    resize.btnOK->click();
  });
  form->btnResize->click();
  EXPECT_TRUE(form->PageMode());
  EXPECT_EQ(form->Picture(), SixPages());
  OnModal<TfrmPicResize>([](TfrmPicResize& resize) {
    resize.SetTarget(96, 72);
    resize.AutoFit();
    resize.btnOK->click();
  });
  form->btnResize->click();
  EXPECT_FALSE(form->PageMode());
  EXPECT_EQ(form->Picture().size(), QSize(96, 72));
  EXPECT_EQ(form->lblSize->text(), QString::fromUtf8("96 × 72"));
}

TEST_F(PicEditTest, OKWhitensTheVoidPagesAndNormalisesThePicture) {
  auto form = Open(SixPages(), Cbmp(";PLAIN(96,43);VOID;PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);VOID"));
  form->show();
  form->btnOK->click();
  ASSERT_EQ(form->result(), QDialog::Accepted);
  const QImage done = form->Picture();
  // True colour goes down to 256 colours through the DIB.
  EXPECT_EQ(done.format(), QImage::Format_Indexed8);
  EXPECT_EQ(CountColor(done.copy(PageArea(1)), clWhite), 96 * 43);
  EXPECT_EQ(CountColor(done.copy(PageArea(5)), clWhite), 96 * 43);
  EXPECT_LT(CountColor(done.copy(PageArea(0)), clWhite), 100);
  EXPECT_EQ(form->GetPartHeaders(), Cbmp(";PLAIN(96,43);VOID;PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);VOID"));
  EXPECT_EQ(form->windowTitle(), QString::fromUtf8("VeoQuorvel - 画像編集"));
}

TEST_F(PicEditTest, ThePlacementIsKeptUnderItsIdent) {
  ASSERT_TRUE(Registry().WriteString("FormPosition", "PicEdit", ""));
  auto form = Open(SixPages(), {});
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->resize(700, 480);
  form->reject();
  EXPECT_EQ(Registry().ReadString("FormPosition", "PicEdit", ""),
            FormatFormPosition(form->geometry()));
  // Shown again, the window comes back at that size.
  auto again = Open(SixPages(), {});
  again->show();
  EXPECT_EQ(again->size(), QSize(700, 480));
}

TEST_F(PicEditTest, ScreenshotsOfEachMode) {
  QImage art = picedittest::Filled(192, 130, qRgb(255, 255, 255));
  for (int page = 0; page < kPageCount; ++page) {
    const QRect a = PageArea(page);
    FillBox(art, a.adjusted(10, 8, -10 - page * 4, -8), TRasterInk::Solid(art, RGB(40 * page, 120, 255 - 40 * page)));
  }
  struct Shot {
    const char* file;
    std::string headers;
    bool kindsShown;
  };
  const Shot shots[] = {
      {"picture-editor-pages.png", Cbmp(";PLAIN(96,43);SLIDE(96,43)=3;VOID;PLAIN(96,43)"), true},
      {"picture-editor-plain.png", "", false},
      {"picture-editor-animation.png", "X-KmailDX-Animation: Page=3;Wait=0.5;Loop=2", false},
  };
  for (const Shot& s : shots) {
    auto form = Open(art, s.headers);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QImage shot = form->grab().toImage();
    ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath(s.file).string())));
    // The picture is shown at twice its size; the first page's shape at its place.
    const QPoint at = form->grdPicture->mapTo(form.get(), QPoint(2 * 50, 2 * 21));
    EXPECT_EQ(shot.pixel(at), art.pixel(50, 21)) << s.file;
    EXPECT_EQ(form->grdPicture->size(), QSize(384, 260)) << s.file;
    EXPECT_EQ(form->grdPicture->CellText(0, 1).contains(QStringLiteral("SLIDE")), s.kindsShown) << s.file;
  }
}

TEST_F(PicEditTest, NamesThatAreNoFileAreRefusedUnreadAndThePictureStays) {
  const QImage drawn = Numbered(30, 20);
  auto form = Open(drawn, {});
  // Under each extension: a JPEG is read whole, a bitmap through its file.
  for (const char* ext : {".jpg", ".bmp"}) {
    const qvtest::NotFiles notFiles(dir_ / (std::string("special") + ext), ext);
    for (const qvtest::NotAFile& f : notFiles.list()) {
      SCOPED_TRACE(f.what + ext);
      boxes_.clear();
      nextOpen_ = f.path;
      form->btnLoad->click();
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_TRUE(boxes_[0].startsWith(QString::fromUtf8("画像ファイルを読み込めませんでした。\n"))) << boxes_[0].toStdString();
      EXPECT_TRUE(boxes_[0].endsWith(QString::fromStdString(f.path.string())));
      EXPECT_EQ(form->Picture(), drawn);
    }
    EXPECT_FALSE(notFiles.FifoWaitedOn());
  }
}

}  // namespace
