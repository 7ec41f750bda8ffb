// The decorated-mail editor at the sizes a mail reaches: a 100 KB decorated
// mail read from markup and laid out, written back, and one keystroke in it
// (the edited paragraph laid out again), also in one 100 KB paragraph; with
// Qt's own plain text editor on the same text as the anchor.
#include "plugins/mail/editor/KMailEdit.h"

#include "controls/ImageList.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPlainTextEdit>
#include <QAbstractTextDocumentLayout>
#include <QTextCursor>

#include <memory>
#include <string>

namespace {

constexpr size_t kMailSize = 100 * 1024;

using qv::Sjis;

// Paragraphs of Japanese and ASCII text with colours, blinking, pictograms
// and addresses, to about size bytes of markup.
std::string DecoratedMail(size_t size, bool oneParagraph) {
  const std::string pieces[] = {
      Sjis("今日は<C=FF0000>とても</C>良い天気でした。"),
      Sjis("<BL>お知らせ</BL>があります<#HEART>。"),
      " mail taro@example.jp ",
      Sjis("<C=0000FF>詳しくは http://example.jp/news/ を見てください。</C>"),
      Sjis("電話は TEL:03-1234-5678 まで<#STAR>。"),
      "The quick brown fox jumps over the lazy dog. ",
  };
  std::string out = "<BODY=000000;BG=F0F8FF>\r\n";
  size_t i = 0;
  while (out.size() < size) {
    out += pieces[i % std::size(pieces)];
    if (!oneParagraph && i % 4 == 3) out += "\r\n";
    ++i;
  }
  return out;
}

struct Editor {
  Editor() {
    for (int i = 0; i < 95; ++i) {
      QImage cell(12, 12, QImage::Format_RGB32);
      cell.fill(QColor::fromHsv(i * 3, 200, 220));
      pictograms.Add(cell);
    }
    edit.SetPicTextList({"HEART=\xF0\x40", "STAR=\xF0\x41"});
    edit.SetPicTextImages(&pictograms);
    QFont font(QStringLiteral("IPAGothic"));
    font.setPointSize(12);
    edit.setFont(font);
    edit.SetManualTicks(true);
    edit.resize(600, 400);
  }
  TImageList pictograms{12, 12};
  TKMailEdit edit;
};

void BM_LoadDecoratedMail(benchmark::State& state) {
  Editor e;
  const std::string markup = DecoratedMail(kMailSize, state.range(0) != 0);
  for (auto _ : state) {
    e.edit.SetMarkupText(markup);
    benchmark::DoNotOptimize(e.edit.Document().LineCount());
  }
  state.counters["lines"] = e.edit.Document().LineCount();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * markup.size()));
}
BENCHMARK(BM_LoadDecoratedMail)->ArgName("one_paragraph")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WriteDecoratedMail(benchmark::State& state) {
  Editor e;
  e.edit.SetMarkupText(DecoratedMail(kMailSize, false));
  for (auto _ : state) benchmark::DoNotOptimize(e.edit.GetMarkupText());
}
BENCHMARK(BM_WriteDecoratedMail)->Unit(benchmark::kMillisecond);

// One character typed in the middle of the mail: the paragraph is laid out
// again with link detection, the offsets and the top lines recounted.
void BM_Keystroke(benchmark::State& state) {
  Editor e;
  e.edit.SetMarkupText(DecoratedMail(kMailSize, state.range(0) != 0));
  const int middle = static_cast<int>(e.edit.Document().Lines()[e.edit.Document().Lines().size() / 2].offset) + 1;
  e.edit.SetSelection(middle, middle);
  bool insert = true;
  for (auto _ : state) {
    // Typing and taking it back keeps the mail the same size.
    if (insert) {
      e.edit.TypeBytes("a");
    } else {
      e.edit.SetSelection(e.edit.CaretPosition() - 9, e.edit.CaretPosition());
      e.edit.DeleteSelection();
    }
    insert = !insert;
  }
}
BENCHMARK(BM_Keystroke)->ArgName("one_paragraph")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Drawing the screenful around the caret.
void BM_Paint(benchmark::State& state) {
  Editor e;
  e.edit.SetMarkupText(DecoratedMail(kMailSize, false));
  e.edit.SetTopLine(e.edit.TopLineCount() / 2);
  QImage target(e.edit.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    e.edit.render(&target);
    benchmark::DoNotOptimize(target.bits());
  }
}
BENCHMARK(BM_Paint)->Unit(benchmark::kMicrosecond);

// The anchor: Qt's plain text editor with the same text, tags left out.
void BM_AnchorQtLoad(benchmark::State& state) {
  Editor e;
  e.edit.SetMarkupText(DecoratedMail(kMailSize, state.range(0) != 0));
  const QString text = e.edit.GetText();
  QPlainTextEdit plain;
  plain.setFont(e.edit.font());
  plain.resize(600, 400);
  for (auto _ : state) {
    plain.setPlainText(text);
    benchmark::DoNotOptimize(plain.document()->documentLayout()->documentSize());
  }
}
BENCHMARK(BM_AnchorQtLoad)->ArgName("one_paragraph")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_AnchorQtKeystroke(benchmark::State& state) {
  Editor e;
  e.edit.SetMarkupText(DecoratedMail(kMailSize, state.range(0) != 0));
  QPlainTextEdit plain;
  plain.setFont(e.edit.font());
  plain.resize(600, 400);
  plain.setPlainText(e.edit.GetText());
  QTextCursor cursor(plain.document());
  cursor.setPosition(static_cast<int>(plain.document()->characterCount() / 2));
  bool insert = true;
  for (auto _ : state) {
    if (insert)
      cursor.insertText(QStringLiteral("a"));
    else
      cursor.deletePreviousChar();
    benchmark::DoNotOptimize(plain.document()->size());
    insert = !insert;
  }
}
BENCHMARK(BM_AnchorQtKeystroke)->ArgName("one_paragraph")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
