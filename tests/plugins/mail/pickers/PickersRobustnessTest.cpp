// The pickers and the picture viewer fed what a received mail may hold:
// damaged and truncated pictures with random picture headers, media-mix
// controls of random lines and numbers played on a clock that jumps,
// user-character sheets of absurd height, and grids, bars and selectors of
// any size. Built with AddressSanitizer and UndefinedBehaviorSanitizer:
// nothing crashes, nothing overflows, and what is shown stays in range.
// QV_PICKERS_FUZZ_ITERATIONS raises the short default number of trials.
#include "plugins/mail/pickers/FFColor.h"
#include "plugins/mail/pickers/ImageListSelector.h"
#include "plugins/mail/pickers/ImageViewPages.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "core/data/MailAttachments.h"
#include "core/data/MailForm.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/pickers/QvImageViewFRM.h"

#include "image/QkDIB.h"
#include "image/QkJPEG.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <random>
#include <sstream>

using namespace qv;

namespace {

int Iterations(int fallback) {
  const char* value = std::getenv("QV_PICKERS_FUZZ_ITERATIONS");
  return value ? std::max(1, std::atoi(value)) : fallback;
}

std::string Dib(const QImage& image, TQkPixelFormat format) {
  TQkDIB dib;
  dib.Assign(image);
  dib.SetPixelFormat(format);
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

std::string Jpeg(const QImage& image) {
  TQkDIB dib;
  dib.Assign(image);
  std::ostringstream out(std::ios::binary);
  SaveJPEGToStream(dib, out, 80);
  return out.str();
}

QImage Gradient(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 5 & 255, y * 7 & 255, (x + y) & 255));
  return image;
}

// Valid pictures of every kind the viewer reads, damaged below.
std::vector<std::string> Seeds() {
  return {Dib(Gradient(192, 130), qkpf24Bit), Dib(Gradient(96, 72), qkpf8Bit), Dib(Gradient(96, 72), qkpf8BitRLE),
          Dib(Gradient(40, 30), qkpf4BitRLE), Dib(Gradient(96, 36), qkpf1Bit), Jpeg(Gradient(64, 48))};
}

std::string Damaged(std::mt19937& rng, std::string bytes) {
  std::uniform_int_distribution<int> what(0, 3);
  switch (what(rng)) {
    case 0: bytes.resize(std::uniform_int_distribution<size_t>(0, bytes.size())(rng)); break;
    case 1:
      for (int i = 0; i < 8 && !bytes.empty(); ++i)
        bytes[std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng)] = static_cast<char>(rng());
      break;
    case 2:
      // The sizes and offsets of the headers.
      for (size_t at : {2u, 10u, 18u, 22u, 28u, 30u, 34u, 46u})
        if (at + 4 <= bytes.size() && rng() % 2) bytes.replace(at, 4, std::string(4, static_cast<char>(rng())));
      break;
    default: break;
  }
  return bytes;
}

const std::vector<std::string>& HeaderPieces() {
  static const std::vector<std::string> pieces = {
      "X-KmailDX-Info: DIV6",
      "X-KmailDX-Info: div6 ",
      "X-KmailDX-CBMP: PAGE=6;PLAIN(96,43);SLIDE(96,43)=3;VOID;VOID",
      "X-KmailDX-CBMP: PAGE=6;SLIDE(0,-5)=99999999999;VOID",
      "X-KmailDX-CBMP: PAGE=6;VOID;VOID;VOID;VOID;VOID;VOID",
      "X-KmailDX-CBMP: PAGE=6;PLAIN(9999999999,1",
      "X-KmailDX-Animation: Page=3;Wait=0.5;Loop=2",
      "X-KmailDX-Animation: Page=2147483647;Wait=1e308;Loop=-1",
      "X-KmailDX-Animation: Page=-3;Wait=nan;Loop=inf",
      "X-KmailDX-Animation: Page=8;Wait=;Loop",
  };
  return pieces;
}

std::string RandomHeaders(std::mt19937& rng) {
  std::string out;
  const int n = static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) out += (i ? "\r\n" : "") + HeaderPieces()[rng() % HeaderPieces().size()];
  return out;
}

const std::vector<std::string>& NumberPieces() {
  static const std::vector<std::string> pieces = {
      "0", "0.5", "000.5", "1", "-1", "2", "99", "1e400", "-1e400", "inf", "-inf", "nan", "1e-400",
      "9223372036854775807", "9223372036854775808", "-9223372036854775809", "2147483648", "", " ", "x", "+3",
      "1.7976931348623157e308", "0x10", "\x82\xA0",
  };
  return pieces;
}

std::string RandomMix(std::mt19937& rng) {
  std::string out = rng() % 4 ? "Type=Promotion; Image=3; Sound=1\r\n" : "";
  const int lines = static_cast<int>(rng() % 12);
  for (int i = 0; i < lines; ++i) {
    const auto& n = NumberPieces();
    switch (rng() % 6) {
      case 0: out += ";" + n[rng() % n.size()]; break;
      case 1: out += n[rng() % n.size()]; break;
      case 2: out += n[rng() % n.size()] + "," + n[rng() % n.size()]; break;
      case 3: out += std::string(rng() % 400, ','); break;
      default:
        out += n[rng() % n.size()] + "," + n[rng() % n.size()] + "," + std::string(rng() % 300, 'a' + rng() % 26) +
               ",<IMG=\"p0.bmp\";9>";
    }
    out += rng() % 5 ? "\r\n" : "\n";
  }
  return out;
}

}  // namespace

TEST(PickersRobustness, DamagedPicturesAndMediaMixesMakeOnlyPagesInRange) {
  std::mt19937 rng(20240521);
  const std::vector<std::string> seeds = Seeds();
  const char* const names[] = {"p0.bmp", "p1.bmp", "p2.jpg", "p3.flm", "mmctrl.dat", "p5.bmp", "x.txt"};
  for (int trial = 0, n = Iterations(60); trial < n; ++trial) {
    AttachmentList list;
    for (const char* name : names) {
      MailAttachment item;
      item.name = name;
      item.bytes = MediaFileKind(name) == kMediaMixCtrl ? RandomMix(rng) : Damaged(rng, seeds[rng() % seeds.size()]);
      item.headers = RandomHeaders(rng);
      list.Insert(std::move(item));
    }
    for (int index = -1; index <= static_cast<int>(list.Count()); ++index)
      for (bool pick : {false, true}) {
        ViewerPictureCache cache;
        const ViewerPages v = BuildViewerPages(list, index, pick, cache);
        ASSERT_TRUE(v.times.empty() || v.times.size() == v.pages.size());
        ASSERT_LE(v.pages.size(), 256u);
        for (int t : v.times) ASSERT_GE(t, 0);
        for (const std::string& page : v.pages) {
          const int number = PageNumberOfMarkup(page);
          ASSERT_GE(number, 0);
        }
        for (size_t i = 0; i < v.times.size(); ++i)
          (void)MediaMixTick(v.times, static_cast<int>(i), int64_t(rng()) - 1000, int64_t(rng()) * 1000);
      }
    // The viewer on each: pages stepped, every zoom at odd editor sizes, the
    // animation ticked and the presentation played on a jumping clock.
    int64_t now = 0;
    for (int index = 0; index < static_cast<int>(list.Count()); ++index) {
      TfrmImageView view;
      view.SetManualTicks(true);
      view.SetClock([&now] { return now; });
      view.SetAttachList(&list);
      view.SetAttachIndex(index);
      view.SetPickMode(rng() % 2);
      view.BuildPages();
      for (int step = 0; step < 6; ++step) {
        switch (rng() % 6) {
          case 0: view.actNext->trigger(); break;
          case 1: view.actPrev->trigger(); break;
          case 2: view.TickMain(); break;
          case 3:
            view.actPlay->trigger();
            now += static_cast<int64_t>(rng() % 3 ? rng() % 2000 : rng()) * (rng() % 50 ? 1 : 100000);
            view.TickMM();
            break;
          case 4:
            (rng() % 3 == 0 ? view.radNormal : rng() % 2 ? view.radQuarter : view.radCustom)->click();
            break;
          default: view.KMailEdit1->resize(static_cast<int>(rng() % 500), static_cast<int>(rng() % 300)); break;
        }
        ASSERT_GE(view.PageIndex(), 0);
        ASSERT_TRUE(view.Pages().empty() || view.PageIndex() < static_cast<int>(view.Pages().size()));
        (void)view.GetPageNumber();
      }
      view.KMailEdit1->resize(static_cast<int>(rng() % 300) + 1, static_cast<int>(rng() % 200) + 1);
      (void)view.KMailEdit1->grab();
    }
  }
}

TEST(PickersRobustness, UserCharacterSheetsOfAbsurdHeight) {
  std::mt19937 rng(7);
  TImageList images(12, 12);
  // Tall sheets in every format, whole and damaged, and packed ones whose
  // header claims millions of rows.
  QImage tall(96, 12 * (kMaxUserCharacterRows + 40), QImage::Format_Mono);
  tall.fill(0);
  const std::string sheets[] = {Dib(tall, qkpf1Bit), Dib(Gradient(96, 12 * 30), qkpf8BitRLE),
                                Dib(Gradient(96, 12 * 30), qkpf4BitRLE), Dib(Gradient(96, 12 * 3), qkpf24Bit)};
  for (const std::string& sheet : sheets) {
    ASSERT_TRUE(LoadUserCharacters("OPTCHAR.DAT", sheet, &images));
    ASSERT_LE(images.Count(), 8 * kMaxUserCharacterRows);
    for (int i = 0; i < Iterations(15); ++i) {
      std::string bytes = Damaged(rng, sheet);
      if (bytes.size() >= 26 && rng() % 2) {
        const int32_t rows = static_cast<int32_t>(rng() % 2 ? INT32_MAX : 12 * (kMaxUserCharacterRows + 1 + rng() % 9));
        for (int b = 0; b < 4; ++b) bytes[22 + static_cast<size_t>(b)] = static_cast<char>(rows >> (8 * b));
      }
      ASSERT_TRUE(LoadUserCharacters("optchar.dat", bytes, &images));
      ASSERT_LE(images.Count(), 8 * kMaxUserCharacterRows);
    }
  }
}

TEST(PickersRobustness, GridsBarsAndSelectorsOfAnySize) {
  std::mt19937 rng(11);
  const int sizes[] = {INT_MIN, -1000, -1, 0, 1, 2, 3, 15, 16, 17, 100, 101, 200, 201, 4096, INT_MAX / 2, INT_MAX};
  for (FFGrid grid : {FFGrid::Full, FFGrid::Small})
    for (int w : sizes)
      for (int h : sizes) {
        for (int k = 0; k < 20; ++k) {
          const int x = static_cast<int>(rng()), y = static_cast<int>(rng());
          const int cell = GridCellAt(grid, w, h, x % 5000, y % 5000);
          ASSERT_GE(cell, -1);
          ASSERT_LT(cell, GridCellCount(grid));
          if (cell >= 0) (void)GridCellRect(grid, cell, w, h);
        }
        (void)GridCellAt(grid, w, h, INT_MAX, INT_MIN);
      }
  for (int w : sizes)
    for (int x : sizes) {
      const int value = BarValueAt(w, x);
      ASSERT_GE(value, 0);
      ASSERT_LE(value, 255);
      (void)BarMarkerX(w, value);
    }

  TfrmFFColor form;
  TImageList images(12, 12);
  TImageListSelector selector;
  for (int i = 0; i < Iterations(120); ++i) {
    const QSize size(static_cast<int>(rng() % 320), static_cast<int>(rng() % 320));
    form.pbSample->setFixedSize(size);
    form.pbSample2->setFixedSize(size.transposed());
    form.pbRed->setFixedSize(static_cast<int>(rng() % 300), static_cast<int>(rng() % 20));
    form.SetColor(static_cast<TColor>(rng()) & 0xFFFFFF);
    (void)form.pbSample->grab();
    (void)form.pbSample2->grab();
    (void)form.pbRed->grab();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(int(rng() % 700) - 200, int(rng() % 700) - 200), QPointF(),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rng() % 2 ? static_cast<QWidget*>(form.pbSample) : form.pbRed, &press);
    ASSERT_LE(form.Levels().red, 7);
    ASSERT_LE(form.Levels().blue, 3);

    images.Clear();
    for (int n = static_cast<int>(rng() % 40); n > 0; --n) images.Add(Gradient(12, 12));
    selector.SetImages(&images);
    selector.SetImageWidth(static_cast<int>(rng() % 60) - 10);
    selector.SetImageHeight(static_cast<int>(rng() % 60) - 10);
    selector.SetSpace(static_cast<int>(rng() % 12) - 2);
    selector.resize(static_cast<int>(rng() % 300), static_cast<int>(rng() % 300));
    for (int k = 0; k < 8; ++k) {
      static const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Return};
      QKeyEvent key(QEvent::KeyPress, keys[rng() % 5], Qt::NoModifier);
      QApplication::sendEvent(&selector, &key);
      (void)selector.IndexAt(QPoint(static_cast<int>(rng() % 2000) - 1000, static_cast<int>(rng() % 2000) - 1000));
      selector.SetFirstRow(static_cast<int>(rng()));
    }
    ASSERT_LT(selector.GetImagesIndex(), images.Count());
    ASSERT_GE(selector.GetImagesIndex(), -1);
    (void)selector.grab();
  }
}
