// A 100 KB decorated sign-up page: ParsePage over its lines, ExpandTags over
// its decorated text, and the lines to show measured word-wrapped with their
// pictograms at the screen's width; beside them, as anchors on the same
// bytes, splitting the page into lines and Qt's own word-wrapped measuring of
// the same lines.
//   signup_bench [benchmark options]
#include "controls/ImageList.h"
#include "core/ui/PictogramText.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "plugins/signup/SignupPageList.h"
#include "plugins/signup/SignupPages.h"

#include <QFontMetrics>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr size_t kPageSize = 100 * 1024;
constexpr int kScreenWidth = 236;

std::vector<std::string> PicText() {
  std::vector<std::string> table;
  const char* names[] = {"HEART", "CLOCK", "TELEPHONE", "CUP", "STAR", "VSEL", "HSEL", "DENPA"};
  for (int i = 0; i < 8; ++i) table.push_back(std::string(names[i]) + "=" + std::string{'\xF0', char(0x40 + i)});
  return table;
}

// Menu lines, text with pictograms and colour tags, tags alone on their lines.
const std::string& Page() {
  static const std::string page = [] {
    std::string p = "Content-Type: multipart/mixed; boundary=\"b\"\r\nX-KMAILDX-INPUT: NUM\r\n\r\n--b\r\n"
                    "Content-Type: text/x-kmaildx\r\n\r\n<BODY=000000;BG=FFFFFF>\r\n";
    const char* names[] = {"HEART", "CLOCK", "TELEPHONE", "CUP", "STAR", "VSEL", "HSEL", "DENPA"};
    for (int n = 0; p.size() < kPageSize - 64; ++n) {
      switch (n % 4) {
        case 0:
          p += qv::Sjis("①お申し込みはこちら<#") + names[n % 8] + ">\r\n";
          break;
        case 1:
          p += "<C=FF0000>" + qv::Sjis("ご利用料金のご案内と、サービス内容の説明です。") + "</C><#" + names[(n + 3) % 8] +
               ">\r\n";
          break;
        case 2:
          p += "<BL>\r\n" + std::to_string(n % 20 + 1) + qv::Sjis("⇒次のページへ") + "\r\n";
          break;
        default:
          p += "Plain words wrap after their blanks when the screen is narrow <<ok>>\r\n";
          break;
      }
    }
    p += "--b--\r\n";
    return p;
  }();
  return page;
}

const std::vector<std::string>& Shown() {
  static const std::vector<std::string> shown = [] {
    std::vector<std::string> lines = qv::signup::PageLines(Page());
    qv::signup::ParsePage(lines, PicText());
    return lines;
  }();
  return shown;
}

QFont ScreenFont() {
  QFont f;
  f.setPointSize(9);
  return f;
}

void BM_ParsePage(benchmark::State& state) {
  const std::vector<std::string> lines = qv::signup::PageLines(Page());
  const std::vector<std::string> table = PicText();
  for (auto _ : state) {
    std::vector<std::string> copy = lines;
    benchmark::DoNotOptimize(qv::signup::ParsePage(copy, table));
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_ParsePage)->Unit(benchmark::kMillisecond);

void BM_ExpandTags(benchmark::State& state) {
  const std::string body = Page().substr(Page().find("<BODY"));
  const std::vector<std::string> table = PicText();
  for (auto _ : state) benchmark::DoNotOptimize(qv::signup::ExpandTags(body, table));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ExpandTags)->Unit(benchmark::kMillisecond);

// Every shown line measured as the screen measures its rows, the width
// table starting empty each time.
void BM_MeasureLines(benchmark::State& state) {
  TImageList images(12, 12);
  QImage cell(12, 12, QImage::Format_ARGB32);
  cell.fill(Qt::red);
  for (int i = 0; i < 8; ++i) images.Add(cell);
  for (auto _ : state) {
    qv::PictogramText text;
    text.SetFont(ScreenFont());
    text.SetTable(PicText());
    text.SetImages(&images);
    int64_t height = 0;
    for (const std::string& line : Shown()) height += text.Height(line, kScreenWidth) + 2;
    benchmark::DoNotOptimize(height);
  }
  state.counters["lines"] = static_cast<double>(Shown().size());
}
BENCHMARK(BM_MeasureLines)->Unit(benchmark::kMillisecond);

// The whole screen: the shown lines put into the page list and laid out.
void BM_ShowOnScreen(benchmark::State& state) {
  qv::TSignupPageList list;
  list.resize(kScreenWidth + 4, 300);
  list.SetListFont(ScreenFont());
  list.Text().SetTable(PicText());
  list.show();
  for (auto _ : state) {
    list.SetLines(Shown());
    list.doItemsLayout();
    benchmark::DoNotOptimize(list.count());
  }
}
BENCHMARK(BM_ShowOnScreen)->Unit(benchmark::kMillisecond);

// Anchor: the page only split into lines (the least any reading of it does).
void BM_AnchorSplitLines(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qv::signup::PageLines(Page()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_AnchorSplitLines)->Unit(benchmark::kMillisecond);

// Anchor: Qt's word-wrapped measuring of the same lines (decoded), without pictograms.
void BM_AnchorQtWrappedHeights(benchmark::State& state) {
  std::vector<QString> lines;
  for (const std::string& line : Shown()) lines.push_back(qv::ToQString(line));
  for (auto _ : state) {
    const QFontMetrics metrics(ScreenFont());
    int64_t height = 0;
    for (const QString& line : lines)
      height += metrics.boundingRect(QRect(0, 0, kScreenWidth, 1 << 20), Qt::TextWordWrap, line).height() + 2;
    benchmark::DoNotOptimize(height);
  }
}
BENCHMARK(BM_AnchorQtWrappedHeights)->Unit(benchmark::kMillisecond);

}  // namespace
