// A mail folder's index and store as found on disk: a mail that reads,
// reads its own bytes; appending, saving and compacting never change a mail
// that reads, never make a damaged row read, and store the new mail whole; a
// folder whose rows stay on disk stores a mail as the loaded folder does.
#include "FuzzSupport.h"
#include "core/data/MailStore.h"

#include "core/data/CSVData.h"
#include "platform/Paths.h"

#include <map>

using namespace qv;

namespace {

// The texts that read, by id (ids may repeat in a damaged index: all kept).
std::multimap<std::string, std::string> ById(const MailFolder& f) {
  std::multimap<std::string, std::string> texts;
  for (int r = 0; r < f.Index().RowCount(); ++r) {
    std::string text;
    if (ReadMessageByIndex(f, r, text)) texts.emplace(std::string(IndexCell(f.Index(), r, kColId)), text);
  }
  return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const std::string_view index = input.Piece(4096), store = input.Piece(4096);
  const std::string added = std::string(input.Piece(300)) + "x";
  const auto dir = qvfuzz::FreshFolder();
  qvfuzz::WriteFile(dir / "box.qvm", index);
  qvfuzz::WriteFile(dir / "box.qvs", store);
  const RetryPolicy once{1, std::chrono::milliseconds(0), {}};
  MailFolder f;
  QV_FUZZ_CHECK(f.OpenIn(dir, "box", once));
  for (int r = 0; r < f.Index().RowCount(); ++r) {
    std::string text;
    if (!ReadMessageByIndex(f, r, text)) continue;
    const uint64_t start = std::stoull(std::string(IndexCell(f.Index(), r, kColStart)));
    QV_FUZZ_CHECK(text == store.substr(start, text.size()));
    QV_FUZZ_CHECK(!IsDamagedRow(f, r));
  }
  const auto before = ById(f);
  const uint64_t sizeBefore = f.Store().Size();
  std::string id;
  MailIndexRow row;
  BuildIndexRow(row, 3, 0, 1, 0, 0, 0, 0, "a@example.jp", "b@example.jp", "s", "2024/01/01 00:00:00", "");
  QV_FUZZ_CHECK(AppendMessage(f, added, row, id));
  std::string text;
  QV_FUZZ_CHECK(ReadMessageById(f, id, text));
  QV_FUZZ_CHECK(text == JoinLinesCrLf(added));
  f.Close();
  // The index on disk was not saved after the append: what reads from it
  // lies below the store's old end and is what read before.
  QV_FUZZ_CHECK(f.OpenIn(dir, "box", once));
  for (int r = 0; r < f.Index().RowCount(); ++r) {
    if (!ReadMessageByIndex(f, r, text)) continue;
    QV_FUZZ_CHECK(std::stoull(std::string(IndexCell(f.Index(), r, kColEnd))) <= sizeBefore);
  }
  auto readable = ById(f);
  for (const auto& entry : readable) {
    bool found = false;
    for (auto [it, end] = before.equal_range(entry.first); it != end && !found; ++it) found = it->second == entry.second;
    QV_FUZZ_CHECK(found);
  }
  QV_FUZZ_CHECK(AppendMessage(f, added, row, id) && f.SaveIndex());
  readable = ById(f);
  if (CompactStore(f)) {
    QV_FUZZ_CHECK(ById(f) == readable);
  }
  f.Close();
  QV_FUZZ_CHECK(f.OpenIn(dir, "box", once));
  QV_FUZZ_CHECK(ReadMessageById(f, id, text));
  f.Close();

  // The same files, stored into once with the rows on disk and once loaded,
  // in the mail folder of the settings (whose reading enters the program's
  // folder: the fuzzer's own paths are relative to where it started).
  const auto startedIn = std::filesystem::current_path();
  qv::SetProgramPathForTesting(dir / "Quorvel");
  const auto mailDir = dir / "MailLog";
  std::filesystem::create_directories(mailDir);
  SetIdTimeStampForTesting("240101000000000");
  std::string ids[2];
  for (int side = 0; side < 2; ++side) {
    const std::string name = side == 0 ? "ondisk" : "loaded";
    qvfuzz::WriteFile(mailDir / (name + ".qvm"), index);
    qvfuzz::WriteFile(mailDir / (name + ".qvs"), store);
    MailFolder g;
    QV_FUZZ_CHECK(side == 0 ? g.OpenToAppend(name, once) : g.Open(name, once));
    QV_FUZZ_CHECK(StoreMessage(g, added, row, ids[side]));
  }
  SetIdTimeStampForTesting("");
  std::filesystem::current_path(startedIn);
  QV_FUZZ_CHECK(ids[0] == ids[1]);
  for (const char* ext : {".qvm", ".qvs"})
    QV_FUZZ_CHECK(qvfuzz::ReadFile(mailDir / (std::string("ondisk") + ext)) ==
                  qvfuzz::ReadFile(mailDir / (std::string("loaded") + ext)));
  return 0;
}
