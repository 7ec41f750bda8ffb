#pragma once
// Mail folders: a CSV index (.qvm, one row per mail) and a store (.qvs, the
// mails' bytes back to back) in the mail folder. The launcher and the mail
// plug-in both write them, so every operation holds the files exclusively and
// retries while another opener has them.
//
// Every change is crash-safe: the store is only ever written beyond the bytes
// the index on disk refers to; a new mail's row is added at the end of the
// index, written first as a deleted row and made live by its first byte once
// it is whole on disk; any other change replaces the index whole by a rename;
// and a compaction writes new files beside the old ones and commits them in an
// order that the next opener can finish. The exclusion lives on lock files
// beside the folder files (".<file>.lock"), which no rename replaces and which
// their holder removes as it lets go.
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

// Why a mail folder could not be used, as a user is told.
enum class MailStoreFault {
  None,
  Busy,          // another window or program held the files through every try
  Missing,       // a folder on the way is not there
  NotAFolder,    // a file stands where a folder should be
  NoPermission,  // no right to write (or the file system is read-only)
  DiskFull,      // no room left (also a file-size limit)
  Damaged,       // a folder file is no file (a folder of that name, say)
  Other,
};
struct MailStoreError {
  MailStoreFault fault = MailStoreFault::None;
  std::string path;  // the file or folder at fault, as the program names it
  int error = 0;     // the system's error number, when there was one
};
// The failure of the last operation of this thread on mail folders that
// failed; meaningful right after a false result.
const MailStoreError& LastMailStoreError();
// The path and the cause in a few words (CP932), for a message.
std::string MailStoreErrorText(const MailStoreError& error);
// What could not be done, then the path and the cause of this thread's last
// failure: the message a user is given.
std::string MailStoreFailureText(std::string_view what);
// Makes the failure err on a folder file this thread's last failure, told as
// the store tells its own (for a file renamed or removed by other code).
void RecordMailStoreFailure(int err, const std::filesystem::path& path);
// The room a folder must have at least to be of use: a mail of a good size.
inline constexpr size_t kRoomForMail = 64 * 1024;
// Makes the mail folder of the settings (and its parents) when it is missing
// and tries a write in it and in the fixed folders' files; false, with the
// reason, when mail could not be stored there.
bool PrepareMailFolder(MailStoreError& error);

// How an exclusive open waits while someone else holds the file.
struct RetryPolicy {
  int tries = 30;
  std::chrono::milliseconds interval{1000};
  // Called before each wait (a caller may keep its window alive).
  std::function<void()> waiting;
};

// A file held exclusively: a lock on its lock file, and the file itself, which
// exists while held. Another holder, in this process or another, is refused.
// The lock file goes when the file is let go.
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
  friend class MailFolder;
  friend bool CountMessages(std::string_view, int&, int&, const RetryPolicy&);
  // Takes the lock (shared: without making a lock file, none when there is
  // none), waiting as the policy says while someone else holds it.
  bool Lock(const std::filesystem::path& path, const RetryPolicy& retry, bool shared);
  std::filesystem::path path_, lockPath_;
  int lockFd_ = -1;
  bool shared_ = false;
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
  // For reading: as Open where the folder may be written (so that a reader
  // can still save its marks); where it may not, read-only, with nothing
  // created or changed, under shared locks when its lock files are there.
  bool OpenToRead(std::string_view name, const RetryPolicy& retry = {});
  // For a session's stores: as Open, but the rows stay on disk. Only what an
  // append needs is kept (the row count, the ids' hashes, where the mails the
  // rows name end), so memory does not grow with the folder: Index() holds
  // no rows, and the folder takes new mails through StoreMessage only. A
  // folder that needs more than an append (rows to trim or set aside, an
  // index not as this program writes it) is loaded whole instead.
  bool OpenToAppend(std::string_view name, const RetryPolicy& retry = {});
  // Opened by OpenToAppend with its rows left on disk.
  bool RowsOnDisk() const { return lean_.on; }
  // Leaves this thread's last failure as it is.
  void Close();
  bool IsOpen() const { return open_; }
  // False for a folder opened read-only: every write fails.
  bool Writable() const { return open_ && writable_; }
  // Whether the store can take that many bytes more: tried by writing them
  // past its end, which is then cut back (a full disk or a size limit only
  // shows when bytes go out).
  bool HasRoomFor(size_t bytes);

  const std::string& Name() const { return name_; }
  // The loaded index. Callers may edit its rows and then SaveIndex.
  TCSVData& Index() { return index_; }
  const TCSVData& Index() const { return index_; }
  const MailboxStore& Store() const { return store_; }
  const std::filesystem::path& IndexPath() const { return indexFile_.Path(); }
  std::filesystem::path StorePath() const { return storeLock_.Path(); }

  // Makes the index on disk the loaded one: the store's new bytes reach the
  // disk first; a single mail appended since the index was last read or
  // saved adds its row to the end of the file, any other change replaces the
  // index whole.
  bool SaveIndex();

 private:
  friend bool AppendMessage(MailFolder&, std::string_view, const MailIndexRow&, std::string&);
  friend bool CompactStore(MailFolder&);
  enum class OpenMode { Write, ReadOrWrite, Append };
  bool OpenFolder(const std::filesystem::path& dir, std::string_view name, const RetryPolicy& retry, OpenMode mode);
  // Reads the index file row by row for OpenToAppend; false where the folder
  // is to be loaded whole.
  bool ScanIndex();
  bool AppendWithRowsOnDisk(std::string_view bytes, const MailIndexRow& row, std::string& id);
  bool SaveRowsOnDisk();
  std::string NewIdWithRowsOnDisk() const;
  bool OpenReadOnly(const std::filesystem::path& indexPath, const std::filesystem::path& storePath,
                    const RetryPolicy& retry);
  bool Recover();
  bool SetDamagedRowsAside();
  bool OpenStoreFile();
  bool WriteStore(uint64_t start, std::string_view bytes);
  bool FlushStore();
  // What the index file holds now that this folder wrote or read it whole.
  void NoteIndexOnDisk(bool wholeRows);
  enum class RowAppend { Done, FileChanged, Failed };
  RowAppend AppendRowToIndex(int row);

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

  // What an append needs of rows left on disk. The ids' hashes (cut to 32
  // bits, sorted) only ever rule candidates out: a hash shared by another id
  // costs a candidate, never a duplicate id.
  struct RowsLeftOnDisk {
    bool on = false;
    int rows = 0;
    uint64_t lastEnd = 0;  // the last row's end offset
    bool lastEndValid = false;
    std::vector<uint32_t> idHashes;
  };
  RowsLeftOnDisk lean_;

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
  bool open_ = false, writable_ = false;
  // The index file as this folder knows it: its first rows are the table's
  // first `rows`, its size and identity are these, and the table has changed
  // since only by mails appended at its end while it was at `revision`.
  struct IndexOnDisk {
    bool known = false;
    int rows = 0;
    uint64_t size = 0;
    uint64_t device = 0, inode = 0;
    uint64_t revision = 0;
  };
  IndexOnDisk disk_;
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
// Appends the mail and saves the index at once, the folder kept open for the
// next one: the time does not grow with the folder. On a failure nothing was
// stored and the folder is closed (what it held may no longer be what is on
// disk); open it again for the next mail.
bool StoreMessage(MailFolder& folder, std::string_view text, const MailIndexRow& row, std::string& id);
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
