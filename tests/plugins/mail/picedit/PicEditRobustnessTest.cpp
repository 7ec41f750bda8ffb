// Damaged, truncated and huge pictures through the page editor's 画像読込 and
// サイズ変更, and damaged media-mix control texts through the media-mix
// editor, built with AddressSanitizer and UndefinedBehaviorSanitizer: each
// picture is refused with the picture kept, or taken and then resized and
// drawn; each text is read into what the editor can show and write. Nothing
// reads or writes outside its buffers. QV_PICEDIT_FUZZ_ITERATIONS sets the
// number of randomly damaged files and texts (a short run by default).
#include "plugins/mail/picedit/QvMediaMixEditFRM.h"
#include "plugins/mail/picedit/QvPicEditFRM.h"
#include "plugins/mail/picedit/QvPicResizeFRM.h"

#include "core/ui/MessageBox.h"
#include "image/QkJPEG.h"
#include "plugins/mail/bitmapedit/BitmapRaster.h"
#include "plugins/mail/picedit/GridPictBtn.h"
#include "core/ui/Dialogs.h"

#include "BitmapEditTestSupport.h"
#include "BmpBuilder.h"
#include "PanelTestSupport.h"
#include "PicEditTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdlib>
#include <random>

using namespace qv;
using namespace bitmaptest;
using bitmaptest::OnModal;
using qvtest::Bmp;
namespace fs = std::filesystem;

namespace {

int Iterations() {
  const char* v = std::getenv("QV_PICEDIT_FUZZ_ITERATIONS");
  return v && *v ? std::max(1, std::atoi(v)) : 60;
}

std::string Jpeg(const QImage& picture, int quality = 85) {
  TQkDIB dib;
  dib.Assign(picture);
  std::ostringstream out(std::ios::binary);
  SaveJPEGToStream(dib, out, quality);
  return out.str();
}

// A JPEG whose header claims another size.
std::string ClaimingJpeg(int width, int height) {
  std::string bytes = Jpeg(Numbered(16, 16));
  const size_t sof = bytes.find("\xFF\xC0");
  bytes[sof + 5] = char(height >> 8);
  bytes[sof + 6] = char(height & 0xFF);
  bytes[sof + 7] = char(width >> 8);
  bytes[sof + 8] = char(width & 0xFF);
  return bytes;
}

struct NamedFile {
  std::string what, name, bytes;
  // libjpeg reads a file cut near its end, or a thin picture of a damaged
  // size, as far as it goes: those may be taken.
  bool mayBeTaken = false;
};

std::vector<NamedFile> DamagedFiles() {
  std::vector<NamedFile> files;
  const std::string good = Jpeg(Numbered(40, 30));
  for (size_t n : {size_t(0), size_t(2), size_t(20), size_t(200), good.size() / 2, good.size() - 2})
    files.push_back({"JPEG cut to " + std::to_string(n), "cut.jpg", good.substr(0, n), n >= 200});
  files.push_back({"JPEG claiming 65000 x 65000", "huge.jpg", ClaimingJpeg(65000, 65000)});
  files.push_back({"JPEG claiming 10001 x 10000", "over.jpeg", ClaimingJpeg(10001, 10000)});
  files.push_back({"JPEG claiming 4096 x 4097", "big.jpeg", ClaimingJpeg(4096, 4097), true});
  files.push_back({"JPEG claiming 1 x 60000", "tall.jpg", ClaimingJpeg(1, 60000), true});
  files.push_back({"text named .jpg", "text.jpg", "This is text, not a picture."});
  Bmp huge;
  huge.width = 100000;
  huge.height = 100000;
  huge.pixels = std::string(64, '\x55');
  files.push_back({"bitmap claiming 100000 x 100000", "huge.bmp", huge.Build()});
  Bmp negative;
  negative.width = -7;
  negative.height = 3;
  negative.pixels = std::string(64, '\0');
  files.push_back({"bitmap of negative width", "negative.BMP", negative.Build()});
  const std::string bmp = qvtest::PictureFile(24, {{1, 2, 3}, {4, 5, 6}}).Build();
  files.push_back({"bitmap cut short", "cut.bmp", bmp.substr(0, bmp.size() - 5)});
  files.push_back({"JPEG named .bmp", "photo.bmp", good});
  return files;
}

class PicEditRobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHandler([this](BoxKind, const std::string&) { ++boxes_; });
    DialogHandlers handlers;
    handlers.open = [this](const std::string&) { return std::optional<fs::path>(file_); };
    handlers.ask = [](const std::string&, bool) { return Answer::Yes; };
    SetDialogHandlers(handlers);
  }
  void TearDown() override {
    SetMessageBoxHandler({});
    SetDialogHandlers({});
  }

  // Loads the file through 画像読込; true when it was taken. A taken picture
  // is then put through サイズ変更 with drags to every extreme.
  bool Load(const std::string& name, const std::string& bytes) {
    file_ = dir_ / name;
    qvtest::WriteFile(file_, bytes);
    TfrmPicEdit form;
    const QImage start = Numbered(192, 130);
    form.SetPicture(start);
    form.SetPartHeaders("X-KmailDX-Info: DIV6");
    boxes_ = 0;
    form.btnLoad->click();
    if (boxes_ == 1) {
      EXPECT_EQ(form.Picture(), start) << name;
      EXPECT_TRUE(form.PageMode()) << name;
      return false;
    }
    EXPECT_EQ(boxes_, 0) << name;
    EXPECT_TRUE(IsRasterPicture(form.Picture())) << name;
    EXPECT_FALSE(form.PageMode()) << name;
    Resize(form);
    form.grdPicture->grab();
    return true;
  }

  void Resize(TfrmPicEdit& form) {
    OnModal<TfrmPicResize>([](TfrmPicResize& resize) {
      TPicResizeArea* area = resize.pnlArea;
      const QRect p = resize.PictureRect();
      for (QPoint from : {p.topLeft(), p.bottomRight(), QPoint(p.right(), p.top()), p.center()})
        for (QPoint to : {QPoint(-100000, -100000), QPoint(5000, 4000), QPoint(0, 0)}) Drag(area, {from, to});
      resize.AutoFit();
      resize.SetTarget(4, 130);
      Drag(area, {{1, 1}, {3000, 3000}});
      resize.pnlArea->grab();
      resize.btnOK->click();
    });
    form.btnResize->click();
    EXPECT_TRUE(IsRasterPicture(form.Picture()));
    EXPECT_EQ(form.Picture().size(), QSize(4, 130));
  }

  qvtest::TempDir dir_;
  fs::path file_;
  int boxes_ = 0;
};

TEST_F(PicEditRobustnessTest, DamagedTruncatedAndHugeFilesAreRefused) {
  for (const NamedFile& f : DamagedFiles()) {
    const bool taken = Load(f.name, f.bytes);
    EXPECT_TRUE(!taken || f.mayBeTaken) << f.what;
  }
}

TEST_F(PicEditRobustnessTest, GoodFilesAreTakenAndResized) {
  EXPECT_TRUE(Load("photo.JPG", Jpeg(Numbered(300, 200))));
  EXPECT_TRUE(Load("grey.jpeg", Jpeg(Numbered(7, 5).convertToFormat(QImage::Format_Grayscale8))));
  EXPECT_TRUE(Load("line.jpg", Jpeg(Numbered(2000, 1))));
  EXPECT_TRUE(Load("one.bmp", qvtest::PictureFile(1, {{0, 1, 1}, {1, 0, 0}}, {0x000000, 0xFFFFFF}).Build()));
  EXPECT_TRUE(Load("eight.bmp", qvtest::PictureFile(8, {{0, 1}, {2, 3}}, {1, 2, 3, 4}).Build()));
}

TEST_F(PicEditRobustnessTest, RandomlyDamagedFiles) {
  std::mt19937 rng(7);
  const std::vector<std::pair<std::string, std::string>> seeds = {
      {"seed.jpg", Jpeg(Numbered(33, 21), 70)},
      {"seed.bmp", qvtest::PictureFile(8, {{0, 1, 2}, {2, 1, 0}}, {0xFF0000, 0x00FF00, 0x0000FF}).Build()}};
  for (int i = 0; i < Iterations(); ++i) {
    const auto& [name, seed] = seeds[size_t(i) % seeds.size()];
    std::string bytes = seed;
    const int flips = 1 + int(rng() % 8);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] = char(rng());
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    Load(name, bytes);
  }
}

TEST_F(PicEditRobustnessTest, OddPicturesThroughTheResizeWindowAndThePages) {
  for (const QImage& picture :
       {Numbered(1, 1), Numbered(1, 3000), Numbered(3000, 1), MonoFromBlackAndWhite(Numbered(5, 5)),
        Numbered(10, 10).convertToFormat(QImage::Format_Indexed8), QImage()}) {
    TfrmPicResize resize;
    resize.SetPicture(picture);
    resize.show();
    for (QPoint to : {QPoint(-5000, -5000), QPoint(20000, 20000), QPoint(2, 2)}) {
      Drag(resize.pnlArea, {{0, 0}, to});
      Drag(resize.pnlArea, {{1, 1}, to});
    }
    resize.AutoFit();
    resize.pnlArea->grab();
    EXPECT_EQ(resize.Render().size(), resize.Target());
    resize.ActualSize();
    EXPECT_EQ(resize.Render().size(), resize.Target());
  }
  // Every page of a 1-bit six-page picture, however large the content.
  QImage mono = MonoFromBlackAndWhite(White(192, 130));
  for (int page = 0; page < kPageCount; ++page) PutPage(mono, page, Numbered(1000, 1000));
  EXPECT_EQ(mono.size(), QSize(192, 130));
}

// ---- media-mix control texts -------------------------------------------------

std::vector<std::string> DamagedControlTexts() {
  std::vector<std::string> texts = {
      "Type=Promotion; Image=-2147483648; Sound=0\r\n0,0,a\r\n",
      "Type=Promotion; Image=99999999999999999999999; Sound=\r\n",
      "Type=;Image=;=;;;;=\r\n1e308,1,a\r\n-1e308,1,b\r\n1e-320,1,c\r\nnan,1,d\r\n-nan,1,e\r\ninfinity,1,f\r\n",
      "x\r\n999.75,99,last\r\n1999.5,1,g\r\n0x10,1,h\r\n+5,+7,i\r\n5,-0,j\r\n",
      "Type=Karaoke\r\n1," + std::string(100 * 1024, 'w') + "\r\n2,3," + std::string(100 * 1024, ',') + "\r\n",
      std::string(100 * 1024, ';') + "\r\n" + std::string(100 * 1024, '9') + ",1,x\r\n",
      std::string("Type=Promotion\r\n\0,\0,\0\r\n", 22) + "3,4,\x81\r\n4,5,\xFF\xFF\xFE\r\n",
      "",
      "\r\n\r\n\r\n",
  };
  std::string many = "Type=Promotion; Image=3; Sound=1\r\n";
  for (int step = 0; step < 2000; ++step) many += std::to_string(step / 2) + (step % 2 ? ".5" : ".0") + ",1,t\r\n";
  texts.push_back(many);
  return texts;
}

// Loads the text, writes it, reads that again: the second reading writes the
// same, and the list shows what was read.
void RoundTrip(TfrmMediaMixEdit& form, const std::string& text) {
  form.SetControlText(text);
  const std::string written = form.GetControlText();
  EXPECT_EQ(form.lsvEvents->topLevelItemCount(), int(form.Events().size()));
  for (const MediaMixEvent& e : form.Events()) {
    EXPECT_GE(e.step, 0);
    EXPECT_LT(e.step, kMediaMixSteps);
    EXPECT_GE(e.picture, 0);
    EXPECT_LE(e.picture, kMediaMixMaxPicture);
  }
  form.SetControlText(written);
  EXPECT_EQ(form.GetControlText(), written);
  // The commands on whatever was read.
  for (int i = 0; i < int(form.Events().size()) && i < 3; ++i) {
    form.SelectEvent(i);
    form.ShiftTime(1);
    form.ShiftTime(-1);
    form.EditEvent();
    form.AddEvent();
    form.DeleteEvent();
  }
}

TEST(MediaMixRobustnessTest, DamagedControlTexts) {
  TfrmMediaMixEdit form;
  for (const std::string& text : DamagedControlTexts()) RoundTrip(form, text);
  form.SetControlText(DamagedControlTexts().back());
  EXPECT_EQ(form.Events().size(), 2000u);
  EXPECT_EQ(form.cmbTime->currentIndex(), kMediaMixSteps - 1);
}

TEST(MediaMixRobustnessTest, RandomlyDamagedControlTexts) {
  std::mt19937 rng(5);
  const std::string seed = "Type=Karaoke; Image=4; Sound=1\r\n000.0,1,a\r\n001.5,2,b,c\r\n999.5,99,end\r\n";
  TfrmMediaMixEdit form;
  for (int i = 0; i < Iterations() * 4; ++i) {
    std::string text = seed;
    const int flips = 1 + int(rng() % 10);
    for (int f = 0; f < flips; ++f) text[rng() % text.size()] = char(rng());
    RoundTrip(form, text);
  }
}

}  // namespace
