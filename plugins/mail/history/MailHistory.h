#pragma once
// The handset's mail histories in their exchange files: the KメールDX history
// (data kind 6, records 0x1005 holding a stored mail in counted chunks) and the
// Kメール/ブリーズメール history (data kind 4, records 0x1003 and 0x1007
// holding the peer's number and the handset text) read into "送信簿" and
// "受信簿", and the mails staged in "データ転送" framed for the handset. The
// launcher carries the files; the list window asks it to. Text is CP932.
#include "core/data/MailStore.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv {

inline constexpr int kHistoryKindDX = 6;     // KメールDX
inline constexpr int kHistoryKindKmail = 4;  // Kメール and ブリーズメール
inline constexpr uint16_t kTagKmail = 0x1003;
inline constexpr uint16_t kTagKmailDX = 0x1005;
inline constexpr uint16_t kTagBreeze = 0x1007;
// The longest peer number the handset keeps.
inline constexpr size_t kMaxPeerDigits = 32;

// A history mail decoded from its record, bound for "送信簿" when outgoing,
// else for "受信簿".
struct HistoryMail {
  bool outgoing = false;
  std::string text;  // as it is stored: lines, each ended by CR LF
  MailIndexRow row;
};

// The mails of an exchange file's lines, in file order. A record that cannot
// be read whole (a damaged line, items that do not split, a header, number or
// chunk running past its value) is skipped and counted in damaged; a record
// without a history item is no mail. A mail the received-mail filter empties
// (a handset sample) is left out.
std::vector<HistoryMail> DecodeHistoryLines(const std::vector<std::string>& lines, int& damaged);

struct HistoryImport {
  int stored = 0;     // mails that got an id
  int notStored = 0;  // mails the folders did not take
  int damaged = 0;    // records skipped as unreadable
};
// Stores the file's mails, each folder opened once. Nothing when the file
// does not exist.
HistoryImport ImportHistoryFile(const std::filesystem::path& file, const RetryPolicy& retry = {});

struct HistoryExport {
  int lines = 0;    // lines written to the file
  int records = 0;  // mails written
  int skipped = 0;  // live rows of the kinds whose mail could not be read or framed
  bool saved = true;  // false when the file could not be written
};
// Frames the live mails of "データ転送" of the DX kinds (below 8) or of kinds
// 8 and 9 into the file, replacing it; the mails stay in the folder. Nothing
// is written when the folder's files are missing or stay locked.
HistoryExport ExportHistoryFile(const std::filesystem::path& file, bool dx, const RetryPolicy& retry = {});

// What the user is told: "KメールDX履歴を n 件受信しました" or
// "Kメール履歴を n 件受信しました", with a line for mails not stored and
// one for damaged records when there are any.
std::string ImportReport(bool dx, const HistoryImport& result);
// The lines for rows an export left out or a file it could not write; empty
// when there is nothing to tell.
std::string ExportNotes(bool dx, const HistoryExport& result);

}  // namespace qv
