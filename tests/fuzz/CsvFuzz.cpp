// The CSV table: whatever the text, the table it gives is written and read
// back as the same table; the parse that also looks for what the writer never
// writes gives the same table, and finds nothing in what the writer wrote.
#include "FuzzSupport.h"
#include "core/data/CSVData.h"

using qv::TCSVData;

namespace {
bool OnlyEmptyCells(const TCSVData& t) {
  for (int r = 0; r < t.RowCount(); ++r)
    for (int c = 0; c < t.CellCount(r); ++c)
      if (!t.GetCell(r, c).empty()) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TCSVData table;
  table.SetText(text);
  const std::string written = table.GetText();
  TCSVData again;
  again.SetText(written);
  // A text of blanks alone has no rows, so a table of empty cells alone
  // may come back as no table.
  if (OnlyEmptyCells(table) && again.RowCount() == 0) return 0;
  QV_FUZZ_CHECK(again.RowCount() == table.RowCount());
  for (int r = 0; r < table.RowCount(); ++r) {
    QV_FUZZ_CHECK(again.Rows(r) == table.Rows(r));
  }
  QV_FUZZ_CHECK(again.GetText() == written);
  TCSVData inspected;
  qv::CsvTextFindings found;
  inspected.SetText(text, found);
  QV_FUZZ_CHECK(inspected.RowCount() == table.RowCount());
  for (int r = 0; r < table.RowCount(); ++r) QV_FUZZ_CHECK(inspected.Rows(r) == table.Rows(r));
  again.SetText(written, found);
  QV_FUZZ_CHECK(!found.openQuote && !found.strayNul);
  return 0;
}
