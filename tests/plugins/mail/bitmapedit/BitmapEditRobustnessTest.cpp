// Damaged, truncated and huge bitmaps through the editor's 画像を開く, the
// stamp, 画像配置 and paste, built with AddressSanitizer and
// UndefinedBehaviorSanitizer: each is refused with the picture unchanged, or
// taken as a picture the editor then draws with, and nothing reads or writes
// outside its buffers. QV_BITMAPEDIT_FUZZ_ITERATIONS sets the number of
// randomly damaged files (a short run by default).
#include "plugins/mail/bitmapedit/QvBitmapEditFRM.h"

#include "core/ui/MessageBox.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/bitmapedit/SelectButton.h"

#include "BitmapEditTestSupport.h"
#include "BmpBuilder.h"
#include "PanelTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdlib>
#include <random>

using namespace qv;
using namespace bitmaptest;
using qvtest::Bmp;
using P = TUserDrawPanel;
namespace fs = std::filesystem;

namespace {

int Iterations() {
  const char* v = std::getenv("QV_BITMAPEDIT_FUZZ_ITERATIONS");
  return v && *v ? std::max(1, std::atoi(v)) : 150;
}

qvtest::Grid Noise(int w, int h, uint32_t mod, std::mt19937& rng) {
  qvtest::Grid g(size_t(h), std::vector<uint32_t>(size_t(w), 0));
  for (auto& row : g)
    for (auto& v : row) v = rng() % mod;
  return g;
}

// Valid files of every depth, to be damaged.
std::vector<std::string> Seeds() {
  std::mt19937 rng(3);
  std::vector<std::string> seeds;
  for (uint16_t bits : {1, 4, 8, 24}) {
    std::vector<uint32_t> colors;
    for (int i = 0; i < (bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0); ++i) colors.push_back(rng() & 0xFFFFFF);
    seeds.push_back(qvtest::PictureFile(bits, Noise(9, 6, bits == 24 ? 0xFFFFFF : uint32_t(colors.size()), rng), colors)
                        .Build());
  }
  // A packed one, made by the library.
  qvtest::Grid runs(5, std::vector<uint32_t>(12, 0));
  for (size_t y = 0; y < runs.size(); ++y)
    for (size_t x = 0; x < 12; ++x) runs[y][x] = uint32_t((x / 4 + y) % 3);
  TQkDIB packed = qvtest::MakeDIB(8, runs, {0xFF0000, 0x00FF00, 0x0000FF});
  packed.SetPixelFormat(qkpf8BitRLE);
  seeds.push_back(qvtest::SaveDIB(packed));
  return seeds;
}

// Files that must be refused: cut short, claiming more than they hold, or
// more pixels than the editor takes.
std::vector<std::pair<std::string, std::string>> RefusedFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  const std::string good = Seeds()[3];
  for (size_t n : {size_t(0), size_t(1), size_t(2), size_t(13), size_t(14), size_t(30), size_t(53), size_t(54),
                   good.size() / 2, good.size() - 1})
    files.emplace_back("cut to " + std::to_string(n) + " bytes", good.substr(0, n));
  Bmp huge;
  huge.width = 100000;
  huge.height = 100000;
  huge.pixels = std::string(64, '\x55');
  files.emplace_back("100000 x 100000 claimed", huge.Build());
  Bmp hugeMono = huge;
  hugeMono.bitCount = 1;
  hugeMono.colors = {0, 0xFFFFFF};
  hugeMono.width = 60000;
  hugeMono.height = -60000;
  files.emplace_back("60000 x 60000 1-bit claimed", hugeMono.Build());
  // Complete, but more than the editor takes in: 5000 x 4000 at 1 bit.
  Bmp large;
  large.bitCount = 1;
  large.colors = {0, 0xFFFFFF};
  large.width = 5000;
  large.height = 4000;
  large.pixels = std::string(size_t(((5000 + 31) / 32) * 4) * 4000, '\x0F');
  files.emplace_back("20 megapixels", large.Build());
  Bmp negative;
  negative.width = -5;
  negative.height = 4;
  negative.pixels = std::string(64, '\0');
  files.emplace_back("negative width", negative.Build());
  Bmp zero = negative;
  zero.width = 4;
  zero.height = 0;
  files.emplace_back("no rows", zero.Build());
  Bmp odd = negative;
  odd.width = 4;
  odd.bitCount = 7;
  files.emplace_back("7 bits", odd.Build());
  files.emplace_back("not a bitmap", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x'));
  return files;
}

class EditorRobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHandler([this](BoxKind, const std::string&) { ++boxes_; });
    DialogHandlers handlers;
    handlers.openIn = [this](const fs::path&, const std::string&) { return std::optional<fs::path>(file_); };
    SetDialogHandlers(handlers);
    form_ = std::make_unique<TfrmBitmapEdit>();
    form_->SetMaxSize(96, 43);
    form_->show();
  }
  void TearDown() override {
    form_.reset();
    SetMessageBoxHandler({});
    SetDialogHandlers({});
  }

  // Feeds the bytes to the four ways in; false when any of them took them.
  bool AllRefuse(const std::string& bytes, const QImage& start) {
    qvtest::WriteFile(file_, bytes);
    P* panel = form_->UserDrawPanel;
    bool refused = true;

    form_->SetPicture(start);
    boxes_ = 0;
    form_->mnuOpen->trigger();
    if (boxes_ == 1) {
      EXPECT_EQ(panel->GetBitmap(), start) << "a refused file leaves the picture";
    } else {
      refused = false;
      EXPECT_EQ(boxes_, 0);
      EXPECT_TRUE(IsRasterPicture(panel->GetBitmap()));
      EXPECT_LE(panel->GetBitmapWidth(), 96);
      EXPECT_LE(panel->GetBitmapHeight(), 43);
      DrawWithEverything();
    }

    form_->SetPicture(start);
    const QImage stamp = FromRows({"o#", "#o"});
    panel->SetClipBitmap(stamp);
    boxes_ = 0;
    form_->mnuStampLoad->trigger();
    EXPECT_EQ(boxes_, 0) << "stamp errors are not told";
    if (panel->GetClipBitmap() != stamp) {
      refused = false;
      EXPECT_TRUE(IsRasterPicture(panel->GetClipBitmap()));
      DrawWithEverything();
    }

    form_->SetPicture(start);
    boxes_ = 0;
    form_->mnuPlace->trigger();
    if (boxes_ == 1) {
      EXPECT_FALSE(panel->HasSelection());
      EXPECT_EQ(panel->GetBitmap(), start);
    } else {
      refused = false;
      EXPECT_TRUE(panel->Floating());
      Key(panel, Qt::Key_Escape);
      EXPECT_TRUE(IsRasterPicture(panel->GetBitmap()));
    }

    form_->SetPicture(start);
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/bmp"), QByteArray::fromStdString(bytes));
    QGuiApplication::clipboard()->setMimeData(mime);
    if (panel->PasteFromClipboard()) {
      refused = false;
      panel->CopyToClipboard();
      panel->Clipping();
      EXPECT_TRUE(IsRasterPicture(panel->GetBitmap()));
    } else {
      EXPECT_FALSE(panel->HasSelection());
      EXPECT_EQ(panel->GetBitmap(), start);
    }
    return refused;
  }

  // Every tool once over the picture with the current stamp.
  void DrawWithEverything() {
    P* panel = form_->UserDrawPanel;
    panel->SetBitmapPaint(true);
    const int w = panel->width(), h = panel->height();
    for (int type = P::mdtPset; type <= P::mdtEraser; ++type) {
      panel->SetDrawType(P::TDrawType(type));
      Drag(panel, {{1, 1}, {w / 2, h / 3}, {w + 5, h + 5}});
    }
    panel->SetBitmapPaint(false);
    panel->SetDrawType(P::mdtNone);
  }

  std::unique_ptr<TfrmBitmapEdit> form_;
  qvtest::TempDir dir_;
  fs::path file_ = dir_ / "picture.bmp";
  int boxes_ = 0;
};

TEST_F(EditorRobustnessTest, DamagedTruncatedAndHugeFilesAreRefused) {
  for (const QImage& start : {Numbered(20, 12), MonoFromBlackAndWhite(FromRows({"#..#", ".##."}))})
    for (const auto& [name, bytes] : RefusedFiles()) EXPECT_TRUE(AllRefuse(bytes, start)) << name;
}

TEST_F(EditorRobustnessTest, GoodFilesAreTaken) {
  for (const std::string& seed : Seeds()) EXPECT_FALSE(AllRefuse(seed, White(20, 12)));
}

TEST_F(EditorRobustnessTest, RandomlyDamagedFiles) {
  std::mt19937 rng(11);
  const std::vector<std::string> seeds = Seeds();
  const int n = Iterations();
  int refused = 0;
  for (int i = 0; i < n; ++i) {
    std::string bytes = seeds[size_t(i) % seeds.size()];
    const int flips = 1 + int(rng() % 6);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] = char(rng());
    if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
    refused += AllRefuse(bytes, i % 2 ? White(20, 12) : MonoFromBlackAndWhite(White(20, 12)));
  }
  // Both kinds of outcome were met.
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, n);
}

}  // namespace
