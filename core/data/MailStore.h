#pragma once
// Mail folders: a CSV index (.qvm, one row per mail) and a store (.qvs, the
// mails' bytes back to back) in the mail folder. The launcher and the mail
// plug-in both write them, so every operation holds the files exclusively and
// retries while another opener has them.
//
// Every change is crash-safe: the store is only ever written beyond the bytes
// the index on disk refers to, the index is replaced whole by a rename, and a
// compaction writes new files beside the old ones and commits them in an order
// that the next opener can finish. The exclusion lives on lock files beside the
// folder files (".<file>.lock"), which no rename replaces.
#include "core/data/CSVData.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Columns of a mail index row (all text).
enum MailIndexColumn : int {
  kColDeleted = 0,     // "0" live, "1" deleted
  kColStart = 1,       // start offset in the store
  kColEnd = 2,         // end offset, exclusive
  kColId = 3,          // "yymmddhhnnsszzz" + counter
  kColKind = 4,        // mail kind
  kColHandsetFlag = 5,
  kColUnread = 6,      // unread (received) or not yet sent (outgoing)
  kColProtected = 7,
  kColDirection = 8,   // "1" outgoing
  kColBoxNumber = 9,
  kColAttachments = 10,
  kColFrom = 11,
  kColTo = 12,
  kColSubject = 13,
  kColDate = 14,
  kColExtra = 15,      // the peer's number of a handset history
  kMailIndexColumns = 16,
};

using MailIndexRow = TCSVRow;

// Index cells are addressed with the column masked to 0..127.
std::string_view IndexCell(const TCSVData& index, int row, int col);
void SetIndexCell(TCSVData& index, int row, int col, std::string_view text);
// A row is live when its column 0 is exactly "0".
bool IsLiveRow(const TCSVData& index, int row);

// The folders the system names itself (CP932).
enum class FixedFolder { Received, Sent, Queued, Drafts, Transfer, Trash };
const std::string& FixedFolderName(FixedFolder folder);
// "直送メール", "Eメール", ... for kinds 1-9; empty for 0 and 10-15 and beyond.
const std::string& MailKindCaption(int kind);

// How an exclusive open waits while someone else holds the file.
struct RetryPolicy {
  int tries = 30;
  std::chrono::milliseconds interval{1000};
  // Called before each wait (a caller may keep its window alive).
  std::function<void()> waiting;
};

// A file held exclusively: a lock on its lock file, and the file itself, which
// exists while held. Another holder, in this process or another, is refused.
class ExclusiveFile {
 public:
  ExclusiveFile() = default;
  ~ExclusiveFile() { Close(); }
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;

  bool IsOpen() const { return lockFd_ >= 0; }
  const std::filesystem::path& Path() const { return path_; }
  void Close();

 private:
  friend bool OpenFileRetry(ExclusiveFile&, const std::filesystem::path&, const RetryPolicy&);
  std::filesystem::path path_;
  int lockFd_ = -1;
};

// Opens path exclusively, creating an empty file when there is none. A file
// held by another opener is tried again after the interval, up to the policy's
// tries; any other failure ends the attempts at once. Nothing is created or
// changed while the file is held elsewhere.
bool OpenFileRetry(ExclusiveFile& file, const std::filesystem::path& path, const RetryPolicy& retry = {});

class MailFolder;

// The mails' bytes of an open folder.
class MailboxStore {
 public:
  bool IsOpen() const { return fd_ >= 0; }
  uint64_t Size() const { return size_; }
  // The bytes [start, end); false when the range is not inside the store.
  bool ReadRange(uint64_t start, uint64_t end, std::string& bytes) const;

 private:
  friend class MailFolder;
  friend bool CompactStore(MailFolder&);
  int fd_ = -1;
  uint64_t size_ = 0;
  bool unflushed_ = false;  // written since the last flush to disk
};

// The index file of an open folder.
class MailboxIndex {
 public:
  const std::filesystem::path& Path() const { return file_.Path(); }

 private:
  friend class MailFolder;
  ExclusiveFile file_;
};

// One mail folder held exclusively, index first, then store.
class MailFolder {
 public:
  MailFolder() = default;
  ~MailFolder() { Close(); }
  MailFolder(const MailFolder&) = delete;
  MailFolder& operator=(const MailFolder&) = delete;

  // The folder name in the mail folder of the settings.
  bool Open(std::string_view name, const RetryPolicy& retry = {});
  // The folder name in dir. Missing files are created, an interrupted
  // compaction is finished, and the index is loaded.
  bool OpenIn(const std::filesystem::path& dir, std::string_view name, const RetryPolicy& retry = {});
  void Close();
  bool IsOpen() const { return store_.IsOpen(); }

  const std::string& Name() const { return name_; }
  // The loaded index. Callers may edit its rows and then SaveIndex.
  TCSVData& Index() { return index_; }
  const TCSVData& Index() const { return index_; }
  const MailboxStore& Store() const { return store_; }
  const std::filesystem::path& IndexPath() const { return indexFile_.Path(); }
  std::filesystem::path StorePath() const { return storeLock_.Path(); }

  // Makes the index on disk the loaded one: the store's new bytes reach the
  // disk first, then the index is replaced whole.
  bool SaveIndex();

 private:
  friend bool AppendMessage(MailFolder&, std::string_view, const MailIndexRow&, std::string&);
  friend bool CompactStore(MailFolder&);
  bool Recover();
  bool SetDamagedRowsAside();
  bool OpenStoreFile();
  bool WriteStore(uint64_t start, std::string_view bytes);
  bool FlushStore();

  // The ids of the loaded index, hashed with their rows, so that a new id is
  // checked without a walk over every row; they stand for the index while it
  // is at idsRevision_, and are built again from the rows otherwise.
  struct IdSlot {
    uint64_t hash;
    uint32_t rowPlusOne;  // 0: a free slot
  };
  void IndexIds(int skipRow);
  void AddId(std::string_view id, int row);
  bool IdTaken(std::string_view id, int skipRow) const;
  std::string NewId(int newRow) const;

  std::vector<IdSlot> idSlots_;
  size_t idCount_ = 0;
  uint64_t idsRevision_ = 0;
  bool idsValid_ = false;

  std::string name_;
  MailboxIndex indexFile_;
  ExclusiveFile storeLock_;
  MailboxStore store_;
  TCSVData index_;
  // No store byte below this may change: the index on disk refers to them.
  // Beyond the store's size when rows point past the end of a store cut short.
  uint64_t keepEnd_ = 0;
  // An index was renamed into place since the folder was last flushed, so an
  // older index may still come back after a power loss.
  bool folderFlushPending_ = true;
};

// The row's 16 columns: "0", "0", "0", an empty id, the numbers in decimal,
// From and To normalised (mail addresses for kind 3, else phone numbers, with
// names and comments), Subject, Date, Extra.
void BuildIndexRow(MailIndexRow& row, int kind, int handsetFlag, int unread, int isProtected, int direction,
                   int boxNumber, int hasAttachments, std::string_view from, std::string_view to,
                   std::string_view subject, std::string_view date, std::string_view extra);

// The received-mail filter: drops a mail or multipart parts flagged as a
// handset sample, repairs a multipart text without its closing boundary.
// Returns whether the text changed (it is then replaced); hasAttachments tells
// whether more than one part stayed.
bool FilterReceivedMail(std::string& text, bool& hasAttachments);
// Filters the text and builds its row from its To, From and Subject. A text
// the filter empties is then not stored by AppendMessage.
void PrepareReceivedMail(MailIndexRow& row, std::string& text, int kind, int handsetFlag, int unread,
                         int isProtected, int direction, int boxNumber, std::string_view date,
                         std::string_view extra);

// Appends a mail (its lines, each ended by CR LF) to an open folder with the
// row's columns; the store gives it its offsets and a new id. The index is not
// saved. False, with an empty id, when nothing was stored.
bool AppendMessage(MailFolder& folder, std::string_view text, const MailIndexRow& row, std::string& id);
// Tests fix the time stamp of new ids ("yymmddhhnnsszzz"); an empty stamp
// goes back to the clock.
void SetIdTimeStampForTesting(std::string stamp);
// Opens the folder, appends and saves the index.
bool AddMessageToFolder(std::string_view folder, std::string_view text, const MailIndexRow& row, std::string& id,
                        const RetryPolicy& retry = {});
// Both files of the folder can be opened (and so exist).
bool FolderFilesAvailable(std::string_view folder, const RetryPolicy& retry = {});

// The bytes of a live mail; false for a deleted row, an unknown id, a row out
// of range or offsets that are not inside the store.
bool ReadMessageByIndex(const MailFolder& folder, int row, std::string& text);
bool ReadMessageById(const MailFolder& folder, std::string_view id, std::string& text);
// A live row whose bytes are not in the store: its offsets are no range, or
// point past the end of a store cut short. Such a row keeps its columns (and
// is counted) but never reads; the first append to its folder sets it aside
// (its offsets cleared) so that no later mail can take its place.
bool IsDamagedRow(const MailFolder& folder, int row);
bool LoadLinesFromStreamRange(const MailboxStore& store, uint64_t start, uint64_t end, std::string& text);
// Marks the live row with the id deleted.
bool MarkMessage(TCSVData& index, std::string_view id);

// Moves the live mails to the front of the store, drops the other rows and
// saves the index; rows set aside as damaged stay, without bytes. An index
// whose other live rows are not ascending inside the store is left as it is
// (false).
bool CompactStore(MailFolder& folder);

// Mark, compact, save; an unknown id compacts too. True when the mail was
// live and the folder saved.
bool DeleteMessage(std::string_view folder, std::string_view id, const RetryPolicy& retry = {});
// Copies the mail with its row into the other folder and saves that folder
// first; unless keepCopy, the source row is then marked deleted; the source is
// compacted. Nothing happens when the copy could not be stored or the two
// folders are one.
bool MoveMessage(std::string_view folder, std::string_view id, std::string_view toFolder, bool keepCopy,
                 const RetryPolicy& retry = {});
// Appends every live mail of folder to toFolder, then empties folder; a mail
// that could not be copied stays where it is (false).
bool MoveAllMessages(std::string_view folder, std::string_view toFolder, const RetryPolicy& retry = {});
// Live rows and the live rows marked unread; only the index is opened.
bool CountMessages(std::string_view folder, int& total, int& unread, const RetryPolicy& retry = {});
// Deletes both files of the trash when both exist; the result is that of
// deleting the index.
bool DeleteTrashFiles(const RetryPolicy& retry = {});

// The eleven characters forbidden in file names replaced by full-width forms.
std::string ReplaceForbiddenChars(std::string_view name);
// Non-empty and none of the eleven characters.
bool IsValidFolderName(std::string_view name);
// A caption for a new item that no caption in the list begins with.
std::string UniqueNewName(const std::vector<std::string>& captions, std::string_view fileName);
// The mail list's image: a base by kind plus 2 × a + b.
int MailImageIndex(int kind, int a, int b);

}  // namespace qv
