#include "core/data/MailStore.h"

#include "core/data/AddressFunctions.h"
#include "core/data/Settings.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::string_view kIndexExt = ".qvm";
constexpr std::string_view kStoreExt = ".qvs";
// A compaction's new files; the index's presence commits it.
constexpr std::string_view kNewSuffix = ".new";
// Mail is the user's own.
constexpr mode_t kPrivateMode = 0600;

std::filesystem::path WithSuffix(const std::filesystem::path& p, std::string_view suffix) {
  return std::filesystem::path(p.string() + std::string(suffix));
}

std::filesystem::path LockPathFor(const std::filesystem::path& path) {
  return path.parent_path() / ("." + path.filename().string() + ".lock");
}

bool Exists(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0;
}

// ---- failures

thread_local MailStoreError g_lastError;

// Every operation starts with no failure of its own.
void ClearError() { g_lastError = {}; }

MailStoreFault FaultOf(int err) {
  switch (err) {
    case EWOULDBLOCK:
      return MailStoreFault::Busy;
    case ENOENT:
      return MailStoreFault::Missing;
    case ENOTDIR:
      return MailStoreFault::NotAFolder;
    case EACCES:
    case EPERM:
    case EROFS:
      return MailStoreFault::NoPermission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return MailStoreFault::DiskFull;
    case EISDIR:
    case ELOOP:
    case ENXIO:
    case ENODEV:
      return MailStoreFault::Damaged;
    default:
      return MailStoreFault::Other;
  }
}

bool SetError(MailStoreFault fault, const std::filesystem::path& path, int err) {
  g_lastError = {fault, path.string(), err};
  return false;
}

// A folder that could not be reached or made: a file on the way to it is the
// one to name, and so is the first folder missing when that was the failure.
bool FailReaching(int err, const std::filesystem::path& folder) {
  std::filesystem::path at, missing;
  for (const auto& part : folder) {
    at /= part;
    struct stat st {};
    if (::stat(at.c_str(), &st) != 0) {
      missing = at;
      break;
    }
    if (!S_ISDIR(st.st_mode)) return SetError(MailStoreFault::NotAFolder, at, err);
  }
  if (!missing.empty() && (err == ENOENT || err == ENOTDIR)) return SetError(MailStoreFault::Missing, missing, err);
  return SetError(err == ENOTDIR || err == EEXIST ? MailStoreFault::Other : FaultOf(err), folder, err);
}

// Writes bytes zeros at offset; 0, or the error that refused them.
int TryWrite(int fd, uint64_t offset, size_t bytes) {
  const std::string zeros(std::min<size_t>(bytes, 64 * 1024), '\0');
  for (size_t done = 0; done < bytes;) {
    const ssize_t n = ::pwrite(fd, zeros.data(), std::min(zeros.size(), bytes - done), static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

// A failure on a file of a folder: a folder on the way that is missing or
// no folder is named in its place.
bool Fail(int err, const std::filesystem::path& path) {
  const MailStoreFault fault = FaultOf(err);
  if (fault == MailStoreFault::Missing || fault == MailStoreFault::NotAFolder) return FailReaching(err, path.parent_path());
  return SetError(fault, path, err);
}

// Offsets in the index are plain decimal digits; anything else is no offset.
bool ParseOffset(std::string_view s, uint64_t& value) {
  if (s.empty() || s.size() > 19) return false;  // 19 digits always fit in 64 bits
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  value = v;
  return true;
}

bool RowRange(const TCSVData& index, int row, uint64_t& start, uint64_t& end) {
  return ParseOffset(IndexCell(index, row, kColStart), start) && ParseOffset(IndexCell(index, row, kColEnd), end) &&
         start <= end;
}

// The largest end that a live row claims, inside the store or not: a store
// cut short still has rows pointing past its end, and their bytes must never
// be taken for another mail's.
uint64_t LiveExtent(const TCSVData& index) {
  uint64_t extent = 0;
  for (int r = 0; r < index.RowCount(); ++r) {
    uint64_t start = 0, end = 0;
    if (IsLiveRow(index, r) && RowRange(index, r, start, end)) extent = std::max(extent, end);
  }
  return extent;
}

// A live row whose mail was set aside as damaged: it keeps its columns but
// claims no bytes.
bool IsSetAsideRow(const TCSVData& index, int row) {
  return IndexCell(index, row, kColStart).empty() && IndexCell(index, row, kColEnd).empty();
}

std::string Number(int v) { return std::to_string(v); }

std::string FolderPathBase(const std::filesystem::path& dir, std::string_view name) {
  return PathIn(dir, name).string();
}

bool ValidName(std::string_view name) {
  return IsValidFolderName(name) && name.find('\0') == std::string_view::npos;
}

std::filesystem::path MailDir() { return std::filesystem::path(GetMailFolder()); }

// Operations on what a folder holds need both its files.
bool BothFilesExist(std::string_view folder) {
  if (!ValidName(folder)) return SetError(MailStoreFault::Other, PathIn(MailDir(), folder), EINVAL);
  std::string base = FolderPathBase(MailDir(), folder);
  for (std::string_view ext : {kIndexExt, kStoreExt})
    if (!Exists(base + std::string(ext))) return Fail(ENOENT, base + std::string(ext));
  return true;
}

std::string& FixedIdTimeStamp() {
  static std::string stamp;
  return stamp;
}

// "yymmddhhnnsszzz" of now, local time.
std::string IdTimeStamp() {
  if (!FixedIdTimeStamp().empty()) return FixedIdTimeStamp();
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm {};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d%03d", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return buf;
}

uint64_t IdHash(std::string_view id) { return std::hash<std::string_view>{}(id); }

int FindLiveRow(const TCSVData& index, std::string_view id) {
  for (int r = 0; r < index.RowCount(); ++r)
    if (IsLiveRow(index, r) && IndexCell(index, r, kColId) == id) return r;
  return -1;
}

std::string IndexText(const TCSVData& index) {
  std::string text = index.GetText();
  return IsJoinedCrLf(text) ? text : JoinLinesCrLf(text);
}

// One row as IndexText writes it.
std::string IndexRowText(const TCSVData& index, int row) {
  std::string text = index.RowText(row);
  return IsJoinedCrLf(text) ? text : JoinLinesCrLf(text);
}

// The handset's flag for sample content that is never kept on the PC.
bool IsSampleFlag(std::string_view value) {
  std::string v = UpperAscii(TrimText(value));
  return v == "ON" || v == "SAMPLE";
}

// The header lines of a multipart part: up to its first empty line.
std::string PartHeader(const std::vector<std::string>& lines, size_t from, size_t to) {
  std::string header;
  for (size_t i = from; i < to && !lines[i].empty(); ++i) header += lines[i] + "\r\n";
  return header;
}

size_t FindLine(const std::vector<std::string>& lines, std::string_view line, size_t from) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return std::string::npos;
}

// A line cut inside a double-byte character loses the lone lead byte.
void DropLoneLeadByte(std::string& line) {
  size_t i = 0, last = 0;
  while (i < line.size()) {
    last = i;
    i += cp932::CharLength(line, i);
  }
  if (!line.empty() && last == line.size() - 1 && cp932::IsLeadByte(line[last])) line.pop_back();
}

bool FilterMultipart(std::string& text, const std::string& header, const std::string& boundary,
                     bool& hasAttachments) {
  const std::string body = BodyPart(text);
  std::vector<std::string> lines;
  for (auto line : SplitLines(body)) lines.emplace_back(line);
  const std::string open = "--" + boundary, close = open + "--";
  size_t first = FindLine(lines, open, 0);
  if (first == std::string::npos) return false;  // no parts: nothing to repair
  bool changed = false;
  size_t closing = FindLine(lines, close, first + 1);
  if (closing == std::string::npos) {
    changed = true;  // cut short: close the last part
    DropLoneLeadByte(lines.back());
    lines.push_back(open);
  } else {
    lines[closing] = open;
  }
  std::string kept;
  int keptParts = 0;
  for (size_t at = first;;) {
    size_t next = FindLine(lines, open, at + 1);
    if (next == std::string::npos) break;
    if (IsSampleFlag(GetHeaderValue(PartHeader(lines, at + 1, next), "X-KmailDx-CPGFLG"))) {
      changed = true;
    } else {
      kept += open + "\r\n";
      for (size_t i = at + 1; i < next; ++i) kept += lines[i] + "\r\n";
      ++keptParts;
    }
    at = next;
  }
  hasAttachments = keptParts > 1;
  if (changed) text = keptParts == 0 ? header + "\r\n" : header + "\r\n" + kept + close + "\r\n";
  return changed;
}

}  // namespace

std::string_view IndexCell(const TCSVData& index, int row, int col) { return index.GetCell(row, col & 0x7F); }

void SetIndexCell(TCSVData& index, int row, int col, std::string_view text) { index.SetCell(row, col & 0x7F, text); }

bool IsLiveRow(const TCSVData& index, int row) { return IndexCell(index, row, kColDeleted) == "0"; }

const std::string& FixedFolderName(FixedFolder folder) {
  static const std::array<std::string, 6> names = {Sjis("受信簿"), Sjis("送信簿"),
                                                   Sjis("送信予約"), Sjis("下書き"),
                                                   Sjis("データ転送"), Sjis("ゴミ箱")};
  return names[static_cast<size_t>(folder)];
}

const std::string& MailKindCaption(int kind) {
  static const std::array<std::string, 16> captions = [] {
    std::array<std::string, 16> c;
    const char* utf8[] = {"", "直送メール", "チャットメール", "Eメール", "情報サービス", "予約", "予約", "予約",
                          "Kメール", "ブリーズメール"};
    for (size_t i = 0; i < std::size(utf8); ++i) c[i] = Sjis(utf8[i]);
    return c;
  }();
  static const std::string none;
  return kind >= 0 && kind < 16 ? captions[static_cast<size_t>(kind)] : none;
}

// ---- failures

const MailStoreError& LastMailStoreError() { return g_lastError; }

std::string MailStoreErrorText(const MailStoreError& error) {
  std::string cause;
  switch (error.fault) {
    case MailStoreFault::Busy:
      cause = Sjis("ほかのウィンドウまたはプログラムが使用中です。");
      break;
    case MailStoreFault::Missing:
      cause = Sjis("このフォルダがありません。");
      break;
    case MailStoreFault::NotAFolder:
      cause = Sjis("フォルダではなくファイルです。");
      break;
    case MailStoreFault::NoPermission:
      cause = Sjis("書き込む権限がありません。");
      break;
    case MailStoreFault::DiskFull:
      cause = Sjis("ディスクの空きがありません。");
      break;
    case MailStoreFault::Damaged:
      cause = Sjis("メールフォルダのファイルとして使えないものがあります。");
      break;
    case MailStoreFault::None:
    case MailStoreFault::Other:
      cause = Sjis("書き込めませんでした");
      if (error.error != 0) cause += Sjis("（") + std::strerror(error.error) + Sjis("）");
      cause += Sjis("。");
      break;
  }
  if (error.path.empty()) return cause;
  // Names on disk are UTF-8; the text is CP932.
  return ShownPath(error.path) + "\r\n" + cause;
}

std::string MailStoreFailureText(std::string_view what) {
  return std::string(what) + "\r\n" + MailStoreErrorText(g_lastError);
}

void RecordMailStoreFailure(int err, const std::filesystem::path& path) { Fail(err, path); }

bool PrepareMailFolder(MailStoreError& error) {
  ClearError();
  std::string name = GetMailFolder();
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const std::filesystem::path folder(name);
  bool ok = CreateFolders(folder, FileAccess::Private) || FailReaching(errno, folder);
  if (ok) {
    // A write proves more than the permission bits: a read-only file system,
    // a full disk or a size limit only show when bytes go out.
    const auto probe = folder / (".quorvel-write-test-" + std::to_string(::getpid()));
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kPrivateMode);
    if (fd < 0) {
      ok = SetError(FaultOf(errno), folder, errno);
    } else {
      if (const int err = TryWrite(fd, 0, kRoomForMail)) ok = SetError(FaultOf(err), folder, err);
      ::close(fd);
      ::unlink(probe.c_str());
    }
  }
  // The fixed folders' files that are there must take writes too.
  for (int f = 0; ok && f <= static_cast<int>(FixedFolder::Trash); ++f)
    for (std::string_view ext : {kIndexExt, kStoreExt}) {
      const std::filesystem::path file = FolderPathBase(folder, FixedFolderName(static_cast<FixedFolder>(f))) + std::string(ext);
      if (!ok || !Exists(file)) continue;
      int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd < 0)
        ok = Fail(errno, file);
      else
        ::close(fd);
    }
  error = g_lastError;
  return ok;
}

// ---- exclusive files

namespace {

enum class LockTry { Taken, Held, Failed };

// One try at the lock on the lock file. It counts only while the name still
// leads to the file locked: a holder removes the name as it lets go, and
// whoever locked the old file meanwhile tries again on the one made next.
LockTry TryLock(const std::filesystem::path& lockPath, bool shared, int& lockFd, int& err) {
  for (int round = 0; round < 100; ++round) {
    // Each open is its own file description, so a second opener in this very
    // process is refused as well.
    int fd = shared ? ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                    : ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kPrivateMode);
    if (fd < 0) {
      err = errno;
      return LockTry::Failed;
    }
    if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
      err = errno;
      ::close(fd);
      return err == EWOULDBLOCK || err == EINTR ? LockTry::Held : LockTry::Failed;
    }
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(lockPath.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      lockFd = fd;
      return LockTry::Taken;
    }
    ::close(fd);
  }
  err = EWOULDBLOCK;
  return LockTry::Held;
}

}  // namespace

void ExclusiveFile::Close() {
  if (lockFd_ >= 0) {
    // The name goes while the lock still holds, so that no one can take this
    // file's lock for a new holder. A shared holder never knows it is the
    // last, and leaves the name.
    if (!shared_) ::unlink(lockPath_.c_str());
    ::close(lockFd_);  // closing the description releases the lock
  }
  lockFd_ = -1;
  shared_ = false;
  path_.clear();
  lockPath_.clear();
}

bool ExclusiveFile::Lock(const std::filesystem::path& path, const RetryPolicy& retry, bool shared) {
  Close();
  const auto lockPath = LockPathFor(path);
  for (int attempt = 0; attempt < std::max(retry.tries, 1); ++attempt) {
    if (attempt > 0) {
      if (retry.waiting) retry.waiting();
      std::this_thread::sleep_for(retry.interval);
    }
    int fd = -1, err = 0;
    const LockTry got = TryLock(lockPath, shared, fd, err);
    if (got == LockTry::Held) continue;
    if (got == LockTry::Failed) {
      // Where no lock file could ever be made, no one writes either.
      if (!shared || err != ENOENT) return Fail(err, path);
      path_ = path;
      shared_ = true;
      return true;
    }
    if (!shared) {
      int data = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateMode);
      if (data < 0) {
        err = errno;
        ::unlink(lockPath.c_str());
        ::close(fd);
        return Fail(err, path);
      }
      ::close(data);
    }
    lockFd_ = fd;
    path_ = path;
    lockPath_ = lockPath;
    shared_ = shared;
    return true;
  }
  return SetError(MailStoreFault::Busy, path, EWOULDBLOCK);
}

bool OpenFileRetry(ExclusiveFile& file, const std::filesystem::path& path, const RetryPolicy& retry) {
  ClearError();
  return file.Lock(path, retry, false);
}

// ---- store

bool MailboxStore::ReadRange(uint64_t start, uint64_t end, std::string& bytes) const {
  bytes.clear();
  if (fd_ < 0 || start > end || end > size_) return false;
  bytes.resize(static_cast<size_t>(end - start));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(start + done));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      bytes.clear();
      return false;
    }
  }
  return true;
}

// ---- folder

bool MailFolder::Open(std::string_view name, const RetryPolicy& retry) { return OpenIn(MailDir(), name, retry); }

bool MailFolder::OpenIn(const std::filesystem::path& dir, std::string_view name, const RetryPolicy& retry) {
  return OpenFolder(dir, name, retry, OpenMode::Write);
}

bool MailFolder::OpenToRead(std::string_view name, const RetryPolicy& retry) {
  return OpenFolder(MailDir(), name, retry, OpenMode::ReadOrWrite);
}

bool MailFolder::OpenToAppend(std::string_view name, const RetryPolicy& retry) {
  return OpenFolder(MailDir(), name, retry, OpenMode::Append);
}

bool MailFolder::OpenFolder(const std::filesystem::path& dir, std::string_view name, const RetryPolicy& retry,
                            OpenMode mode) {
  Close();
  ClearError();
  if (!ValidName(name)) return SetError(MailStoreFault::Other, dir / std::string(name), EINVAL);
  std::string base = FolderPathBase(dir, name);
  const std::filesystem::path indexPath = base + std::string(kIndexExt), storePath = base + std::string(kStoreExt);
  bool ok = indexFile_.file_.Lock(indexPath, retry, false) && storeLock_.Lock(storePath, retry, false) && Recover() &&
            OpenStoreFile();
  if (ok && mode == OpenMode::Append && ScanIndex()) {
    name_ = name;
    open_ = writable_ = true;
    folderFlushPending_ = true;
    return true;
  }
  errno = 0;
  if (ok && !index_.LoadFromFile(IndexPath())) ok = Fail(errno ? errno : EISDIR, IndexPath());
  if (ok) {
    name_ = name;
    open_ = writable_ = true;
    keepEnd_ = LiveExtent(index_);
    // The previous writer may not have flushed the folder after its last rename.
    folderFlushPending_ = true;
    NoteIndexOnDisk(false);
    return true;
  }
  Close();
  if (mode != OpenMode::ReadOrWrite || g_lastError.fault != MailStoreFault::NoPermission) return false;
  if (!OpenReadOnly(indexPath, storePath, retry)) {
    Close();
    return false;
  }
  name_ = name;
  return true;
}

bool MailFolder::OpenReadOnly(const std::filesystem::path& indexPath, const std::filesystem::path& storePath,
                              const RetryPolicy& retry) {
  if (!indexFile_.file_.Lock(indexPath, retry, true) || !storeLock_.Lock(storePath, retry, true)) return false;
  // A compaction committed but not yet put in place counts as done, as the
  // next writer will make it.
  const auto newIndex = WithSuffix(indexPath, kNewSuffix), newStore = WithSuffix(storePath, kNewSuffix);
  const bool committed = Exists(newIndex);
  const auto index = committed ? newIndex : indexPath;
  const auto store = committed && Exists(newStore) ? newStore : storePath;
  errno = 0;
  if (Exists(index) && !index_.LoadFromFile(index)) return Fail(errno ? errno : EISDIR, index);
  int fd = ::open(store.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno != ENOENT) return Fail(errno, store);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return Fail(err, store);
  }
  store_.fd_ = fd;
  store_.size_ = fd >= 0 ? static_cast<uint64_t>(st.st_size) : 0;
  open_ = true;
  writable_ = false;
  keepEnd_ = LiveExtent(index_);
  return true;
}

void MailFolder::Close() {
  if (store_.fd_ >= 0) ::close(store_.fd_);
  store_ = MailboxStore();
  storeLock_.Close();
  indexFile_.file_.Close();
  index_.Clear();
  name_.clear();
  keepEnd_ = 0;
  idsValid_ = false;
  idSlots_.clear();
  idCount_ = 0;
  lean_ = {};
  open_ = writable_ = false;
  disk_ = {};
}

bool MailFolder::OpenStoreFile() {
  if (store_.fd_ >= 0) ::close(store_.fd_);
  store_ = MailboxStore();
  int fd = ::open(StorePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateMode);
  if (fd < 0) return Fail(errno, StorePath());
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return Fail(err, StorePath());
  }
  store_.fd_ = fd;
  store_.size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

// Finishes or drops what a writer that died left behind; only ever called with
// both files held.
bool MailFolder::Recover() {
  const auto index = IndexPath(), store = StorePath();
  const auto newIndex = WithSuffix(index, kNewSuffix), newStore = WithSuffix(store, kNewSuffix);
  bool ok = true;
  if (Exists(newIndex)) {
    // The compaction was committed: put its files in place, store first.
    if (Exists(newStore)) ok = RenameFile(newStore, store) || Fail(errno, store);
    ok = ok && (RenameFile(newIndex, index) || Fail(errno, index));
    ok = ok && (SyncDirectory(index.parent_path()) || Fail(errno, index.parent_path()));
  } else if (Exists(newStore)) {
    ::unlink(newStore.c_str());  // never committed
  }
  // Temporary files of index replacements that never happened.
  const std::string names[] = {index.filename().string(), newIndex.filename().string()};
  std::error_code ec;
  for (std::filesystem::directory_iterator it(index.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    std::string n = it->path().filename().string();
    for (const auto& name : names)
      if (IsTemporarySiblingName(n, name)) ::unlink(it->path().c_str());
  }
  return ok;
}

bool MailFolder::WriteStore(uint64_t start, std::string_view bytes) {
  if (start < store_.size_ && folderFlushPending_) {
    // Bytes are about to be overwritten that an older index refers to: make
    // sure that index can no longer come back.
    if (!SyncDirectory(IndexPath().parent_path())) return Fail(errno, IndexPath().parent_path());
    folderFlushPending_ = false;
  }
  store_.unflushed_ = true;
  uint64_t end = start + bytes.size();
  bool ok = WriteFileAt(store_.fd_, bytes, start, StorePath()) || Fail(errno, StorePath());
  ok = ok && (end >= store_.size_ || ::ftruncate(store_.fd_, static_cast<off_t>(end)) == 0 || Fail(errno, StorePath()));
  struct stat st {};
  if (::fstat(store_.fd_, &st) == 0) store_.size_ = static_cast<uint64_t>(st.st_size);
  return ok && (store_.size_ == end || SetError(MailStoreFault::Other, StorePath(), 0));
}

bool MailFolder::HasRoomFor(size_t bytes) {
  ClearError();
  if (!IsOpen()) return SetError(MailStoreFault::Other, {}, EBADF);
  if (!writable_) return SetError(MailStoreFault::NoPermission, StorePath(), EACCES);
  // Past every byte any index names, and gone again at once.
  const int err = TryWrite(store_.fd_, store_.size_, bytes);
  const bool cut = ::ftruncate(store_.fd_, static_cast<off_t>(store_.size_)) == 0;
  if (err != 0) return Fail(err, StorePath());
  return cut || Fail(errno, StorePath());
}

bool MailFolder::FlushStore() {
  if (!store_.unflushed_) return true;
  if (!FlushFile(store_.fd_, StorePath())) return Fail(errno, StorePath());
  store_.unflushed_ = false;
  return true;
}

void MailFolder::NoteIndexOnDisk(bool wholeRows) {
  disk_ = {};
  struct stat st {};
  if (::stat(IndexPath().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  const int rows = index_.RowCount();
  // Rows go on at the end only of a file that ends as this table's last row
  // is written: a file cut inside a row, or written by another hand, is
  // replaced whole at the next save.
  if (!wholeRows) {
    const std::string last = rows > 0 ? IndexRowText(index_, rows - 1) : std::string();
    if (last.size() > size || (last.empty() && size != 0)) return;
    if (!last.empty()) {
      std::string tail(last.size(), '\0');
      int fd = ::open(IndexPath().c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) return;
      const ssize_t n = ::pread(fd, tail.data(), tail.size(), static_cast<off_t>(size - last.size()));
      ::close(fd);
      if (n != static_cast<ssize_t>(tail.size()) || tail != last) return;
    }
  }
  disk_ = {true, rows, size, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), index_.Revision()};
}

MailFolder::RowAppend MailFolder::AppendRowToIndex(int row) {
  std::string text = IndexRowText(index_, row);
  int fd = ::open(IndexPath().c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    Fail(errno, IndexPath());
    return RowAppend::Failed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_dev) != disk_.device ||
      static_cast<uint64_t>(st.st_ino) != disk_.inode || static_cast<uint64_t>(st.st_size) != disk_.size) {
    // Not the file this folder knows: replaced whole instead.
    ::close(fd);
    disk_.known = false;
    return RowAppend::FileChanged;
  }
  // The row goes in deleted and is made live by its first byte once it is
  // whole on disk: a row cut short by a kill or a power loss is never a mail.
  const uint64_t at = disk_.size;
  text[0] = '1';
  bool ok = WriteFileAt(fd, text, at, IndexPath()) && FlushFile(fd, IndexPath()) &&
            WriteFileAt(fd, "0", at, IndexPath()) && FlushFile(fd, IndexPath());
  if (!ok) {
    const int err = errno;
    // The file ends again where its last whole row does.
    if (::ftruncate(fd, static_cast<off_t>(at)) != 0) disk_.known = false;
    ::close(fd);
    Fail(err, IndexPath());
    return RowAppend::Failed;
  }
  ::close(fd);
  ++disk_.rows;
  disk_.size += text.size();
  uint64_t start = 0, end = 0;
  if (RowRange(index_, row, start, end)) keepEnd_ = std::max(keepEnd_, end);
  return RowAppend::Done;
}

bool MailFolder::SaveIndex() {
  if (!IsOpen()) return SetError(MailStoreFault::Other, IndexPath(), EBADF);
  if (!writable_) return SetError(MailStoreFault::NoPermission, IndexPath(), EACCES);
  if (lean_.on) return SaveRowsOnDisk();
  if (!FlushStore()) return false;
  if (disk_.known && disk_.revision == index_.Revision() && index_.RowCount() == disk_.rows + 1 &&
      IsLiveRow(index_, disk_.rows)) {
    switch (AppendRowToIndex(disk_.rows)) {
      case RowAppend::Done:
        return true;
      case RowAppend::Failed:
        return false;
      case RowAppend::FileChanged:
        break;
    }
  }
  // The store's bytes are on disk; the index that refers to them goes in by a
  // rename, so either the old or the new index is there, each whole.
  if (!WriteFileAtomically(IndexPath(), IndexText(index_), false, FileAccess::Private)) {
    const int err = errno;
    disk_.known = false;
    return Fail(err, IndexPath());
  }
  folderFlushPending_ = true;
  keepEnd_ = LiveExtent(index_);
  NoteIndexOnDisk(true);
  return true;
}

bool MailFolder::ScanIndex() {
  lean_ = {};
  const int fd = ::open(IndexPath().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  // Whole rows at a time, cut after a CR LF outside quotes, so that each
  // piece parses as it does within the whole file. The pieces stay small:
  // a large table would ask for huge pages.
  constexpr size_t kPiece = 256 * 1024;
  RowsLeftOnDisk scan;
  TCSVData rows;
  std::string buffer;
  uint64_t extent = 0, got = 0;
  bool end = false, ok = true, lastRowAsWritten = true, lastRowLive = true;
  while (ok) {
    if (!end) {
      const size_t have = buffer.size();
      buffer.resize(have + kPiece);
      const ssize_t n = ::read(fd, buffer.data() + have, kPiece);
      if (n < 0 && errno == EINTR) {
        buffer.resize(have);
        continue;
      }
      ok = n >= 0;
      buffer.resize(have + static_cast<size_t>(std::max<ssize_t>(n, 0)));
      got += static_cast<uint64_t>(std::max<ssize_t>(n, 0));
      end = n <= 0;
    }
    const size_t cut = buffer.rfind("\r\n");
    if (cut == std::string::npos) {
      if (end) ok = ok && buffer.empty();  // a file that does not end with a row's end
      if (end || !ok) break;
      continue;
    }
    const std::string_view piece(buffer.data(), cut + 2);
    // A lone CR or LF: the file is joined, and so rewritten, as a whole.
    if (!IsJoinedCrLf(piece)) ok = false;
    CsvTextFindings findings;
    if (ok) rows.LoadFromText(piece, &findings);
    if (ok && findings.openQuote) {
      // The cut fell inside a quoted cell: read on to a later one.
      if (end) ok = false;
      continue;
    }
    for (int r = 0; ok && r < rows.RowCount(); ++r) {
      uint64_t from = 0, to = 0;
      if (IsLiveRow(rows, r) && RowRange(rows, r, from, to)) extent = std::max(extent, to);
      scan.idHashes.push_back(static_cast<uint32_t>(IdHash(IndexCell(rows, r, kColId))));
    }
    if (!ok) break;
    if (rows.RowCount() > 0) {
      const int last = rows.RowCount() - 1;
      scan.lastEndValid = ParseOffset(IndexCell(rows, last, kColEnd), scan.lastEnd);
      const std::string flag = TrimText(IndexCell(rows, last, kColDeleted));
      lastRowLive = flag != "1" && !flag.empty();
      lastRowAsWritten = piece.ends_with(IndexRowText(rows, last));
    } else {
      lastRowAsWritten = false;  // bytes that hold no row
    }
    if (scan.idHashes.size() > static_cast<size_t>(INT_MAX / 2)) ok = false;
    buffer.erase(0, cut + 2);
    if (end && buffer.empty()) break;
  }
  ::close(fd);
  // Loaded whole: a file that changed under the scan or is not as this
  // program writes it, rows to trim at the end, or live rows past the end of
  // a store cut short.
  if (!ok || got != static_cast<uint64_t>(st.st_size) || !lastRowAsWritten || !lastRowLive ||
      extent > store_.size_)
    return false;
  scan.on = true;
  scan.rows = static_cast<int>(scan.idHashes.size());
  std::sort(scan.idHashes.begin(), scan.idHashes.end());
  scan.idHashes.shrink_to_fit();
  lean_ = std::move(scan);
  keepEnd_ = extent;
  index_.Clear();
  disk_ = {true, lean_.rows, static_cast<uint64_t>(st.st_size), static_cast<uint64_t>(st.st_dev),
           static_cast<uint64_t>(st.st_ino), index_.Revision()};
  return true;
}

// The mail goes where AppendMessage puts it in a loaded folder: after the
// last row's mail (bytes beyond it belong to no row), never below what a
// live row names.
bool MailFolder::AppendWithRowsOnDisk(std::string_view bytes, const MailIndexRow& row, std::string& id) {
  // One row waits at a time, for SaveIndex.
  if (index_.RowCount() != 0) return SetError(MailStoreFault::Other, IndexPath(), EBUSY);
  if (row.empty() || row[kColDeleted] != "0") return SetError(MailStoreFault::Other, IndexPath(), EINVAL);
  const uint64_t size = store_.Size();
  uint64_t start = lean_.rows > 0 && lean_.lastEndValid && lean_.lastEnd <= size ? lean_.lastEnd : size;
  start = std::max(start, keepEnd_);
  if (!WriteStore(start, bytes)) return false;
  const int r = index_.AddRow();
  for (size_t c = 0; c < row.size(); ++c) SetIndexCell(index_, r, static_cast<int>(c), row[c]);
  SetIndexCell(index_, r, kColStart, std::to_string(start));
  SetIndexCell(index_, r, kColEnd, std::to_string(start + bytes.size()));
  id = NewIdWithRowsOnDisk();
  SetIndexCell(index_, r, kColId, id);
  disk_.revision = index_.Revision();
  return true;
}

bool MailFolder::SaveRowsOnDisk() {
  if (!FlushStore()) return false;
  if (index_.RowCount() == 0) return true;
  switch (AppendRowToIndex(0)) {
    case RowAppend::Done:
      break;
    case RowAppend::Failed:
      return false;
    case RowAppend::FileChanged:
      // Its rows are not here to write it whole.
      return SetError(MailStoreFault::Other, IndexPath(), ESTALE);
  }
  const uint32_t hash = static_cast<uint32_t>(IdHash(IndexCell(index_, 0, kColId)));
  lean_.idHashes.insert(std::lower_bound(lean_.idHashes.begin(), lean_.idHashes.end(), hash), hash);
  ++lean_.rows;
  lean_.lastEndValid = ParseOffset(IndexCell(index_, 0, kColEnd), lean_.lastEnd);
  index_.Clear();
  disk_.revision = index_.Revision();
  return true;
}

bool MailFolder::SetDamagedRowsAside() {
  if (keepEnd_ <= store_.size_) return true;
  for (int r = 0; r < index_.RowCount(); ++r) {
    uint64_t start = 0, end = 0;
    if (IsLiveRow(index_, r) && RowRange(index_, r, start, end) && end > store_.size_) {
      SetIndexCell(index_, r, kColStart, "");
      SetIndexCell(index_, r, kColEnd, "");
    }
  }
  // The index without those claims is on disk, for good, before any byte
  // goes where they pointed.
  if (!SaveIndex()) return false;
  if (!SyncDirectory(IndexPath().parent_path())) return Fail(errno, IndexPath().parent_path());
  folderFlushPending_ = false;
  return true;
}

// ---- ids

void MailFolder::IndexIds(int skipRow) {
  size_t slots = 64;
  while (slots < 2 * (static_cast<size_t>(index_.RowCount()) + 1)) slots *= 2;
  idSlots_.assign(slots, IdSlot{0, 0});
  idCount_ = 0;
  for (int r = 0; r < index_.RowCount(); ++r)
    if (r != skipRow) AddId(IndexCell(index_, r, kColId), r);
}

void MailFolder::AddId(std::string_view id, int row) {
  if (2 * (idCount_ + 1) > idSlots_.size()) {
    std::vector<IdSlot> old(std::max<size_t>(64, 2 * idSlots_.size()), IdSlot{0, 0});
    old.swap(idSlots_);
    const size_t mask = idSlots_.size() - 1;
    for (const IdSlot& s : old) {
      if (!s.rowPlusOne) continue;
      size_t i = s.hash & mask;
      while (idSlots_[i].rowPlusOne) i = (i + 1) & mask;
      idSlots_[i] = s;
    }
  }
  const uint64_t h = IdHash(id);
  const size_t mask = idSlots_.size() - 1;
  size_t i = h & mask;
  while (idSlots_[i].rowPlusOne) i = (i + 1) & mask;
  idSlots_[i] = IdSlot{h, static_cast<uint32_t>(row) + 1};
  ++idCount_;
}

bool MailFolder::IdTaken(std::string_view id, int skipRow) const {
  const uint64_t h = IdHash(id);
  const size_t mask = idSlots_.size() - 1;
  for (size_t i = h & mask; idSlots_[i].rowPlusOne; i = (i + 1) & mask) {
    const int row = static_cast<int>(idSlots_[i].rowPlusOne) - 1;
    if (idSlots_[i].hash == h && row != skipRow && IndexCell(index_, row, kColId) == id) return true;
  }
  return false;
}

// The time stamp and a counter that no other row holds: counting down from the
// row count always finds one, as there are more candidates than other rows.
std::string MailFolder::NewId(int newRow) const {
  const std::string stamp = IdTimeStamp();
  for (int n = index_.RowCount(); n >= 0; --n) {
    std::string candidate = stamp + std::to_string(n);
    if (!IdTaken(candidate, newRow)) return candidate;
  }
  return stamp;  // unreachable
}

// As NewId, the new row counted among the rows.
std::string MailFolder::NewIdWithRowsOnDisk() const {
  const std::string stamp = IdTimeStamp();
  const auto taken = [this](const std::string& candidate) {
    return std::binary_search(lean_.idHashes.begin(), lean_.idHashes.end(),
                              static_cast<uint32_t>(IdHash(candidate)));
  };
  for (int n = lean_.rows + 1; n >= 0; --n)
    if (std::string candidate = stamp + std::to_string(n); !taken(candidate)) return candidate;
  // Every candidate shares a hash with some id: count on past them.
  for (int64_t n = int64_t{lean_.rows} + 2;; ++n)
    if (std::string candidate = stamp + std::to_string(n); !taken(candidate)) return candidate;
}

void SetIdTimeStampForTesting(std::string stamp) { FixedIdTimeStamp() = std::move(stamp); }

// ---- rows and the received-mail filter

void BuildIndexRow(MailIndexRow& row, int kind, int handsetFlag, int unread, int isProtected, int direction,
                   int boxNumber, int hasAttachments, std::string_view from, std::string_view to,
                   std::string_view subject, std::string_view date, std::string_view extra) {
  const bool email = kind == 3;
  row.assign(kMailIndexColumns, std::string());
  row[kColDeleted] = "0";
  row[kColStart] = "0";
  row[kColEnd] = "0";
  row[kColKind] = Number(kind);
  row[kColHandsetFlag] = Number(handsetFlag);
  row[kColUnread] = Number(unread);
  row[kColProtected] = Number(isProtected);
  row[kColDirection] = Number(direction);
  row[kColBoxNumber] = Number(boxNumber);
  row[kColAttachments] = Number(hasAttachments);
  row[kColFrom] = ParseAddressList(from, email, true, true, "", false, false);
  row[kColTo] = ParseAddressList(to, email, true, true, "", false, false);
  row[kColSubject] = subject;
  row[kColDate] = date;
  row[kColExtra] = extra;
}

bool FilterReceivedMail(std::string& text, bool& hasAttachments) {
  hasAttachments = false;
  try {
    const std::string header = HeaderPart(text);
    if (IsSampleFlag(GetHeaderValue(header, "X-KmailDX-CPGFLG"))) {
      text.clear();
      return true;
    }
    std::string boundary;
    if (UpperAscii(GetHeaderValueN(header, "Content-Type", 0)) != "MULTIPART/MIXED" ||
        !GetHeaderParam(header, "Content-Type", "Boundary", boundary) || boundary.empty())
      return false;
    std::string work = text;
    bool attachments = false;
    if (!FilterMultipart(work, header, boundary, attachments)) {
      hasAttachments = attachments;
      return false;
    }
    text = std::move(work);
    hasAttachments = attachments;
    return true;
  } catch (const std::exception&) {
    hasAttachments = false;
    return false;  // the mail stays as it was
  }
}

void PrepareReceivedMail(MailIndexRow& row, std::string& text, int kind, int handsetFlag, int unread,
                         int isProtected, int direction, int boxNumber, std::string_view date,
                         std::string_view extra) {
  text = JoinLinesCrLf(text);
  const std::string header = HeaderPart(text);
  bool attachments = false;
  FilterReceivedMail(text, attachments);
  BuildIndexRow(row, kind, handsetFlag, unread, isProtected, direction, boxNumber, attachments ? 1 : 0,
                GetHeaderValue(header, "From"), GetHeaderValue(header, "To"), GetHeaderValue(header, "Subject"), date,
                extra);
}

// ---- operations on open folders

bool AppendMessage(MailFolder& folder, std::string_view text, const MailIndexRow& row, std::string& id) {
  id.clear();
  ClearError();
  if (!folder.IsOpen()) return SetError(MailStoreFault::Other, {}, EBADF);
  const std::string bytes = JoinLinesCrLf(text);
  if (bytes.empty()) return false;
  if (!folder.writable_) return SetError(MailStoreFault::NoPermission, folder.StorePath(), EACCES);
  if (folder.lean_.on) return folder.AppendWithRowsOnDisk(bytes, row, id);
  TCSVData& index = folder.index_;
  // Rows that point past the end of a store cut short are damaged; they stop
  // claiming bytes before the store grows into their ranges.
  if (!folder.SetDamagedRowsAside()) return false;
  // The ids found at the last append still stand when nothing else changed
  // the index since; they follow this append's own changes. A trimmed row
  // leaves its slot behind: a slot only leads to a row whose id is then
  // compared whole, so a stale one costs a comparison, never a wrong answer.
  const bool idsHold = folder.idsValid_ && folder.idsRevision_ == index.Revision();
  // Whether the index file holds the table as it is: then this mail's row
  // alone can go on at its end.
  const bool onDisk = folder.disk_.known && folder.disk_.revision == index.Revision() &&
                      folder.disk_.rows == index.RowCount();
  const bool hadRows = index.RowCount() > 0;
  const int rowsBefore = index.RowCount();
  // Deleted rows at the end give their bytes back at once.
  while (index.RowCount() > 0) {
    const int last = index.RowCount() - 1;
    std::string flag = TrimText(IndexCell(index, last, kColDeleted));
    if (flag != "1" && !flag.empty()) break;
    index.DeleteRow(last);
  }
  if (idsHold)
    folder.idsRevision_ = index.Revision();
  else
    folder.idsValid_ = false;
  const uint64_t size = folder.store_.Size();
  // Without a valid end to go on (no index, or an offset that is no offset
  // inside the store) nothing is cut: the mail goes at the end.
  uint64_t start = size;
  if (index.RowCount() > 0) {
    uint64_t end = 0;
    if (ParseOffset(IndexCell(index, index.RowCount() - 1, kColEnd), end) && end <= size) start = end;
  } else if (hadRows) {
    start = 0;
  }
  start = std::max(start, folder.keepEnd_);
  if (!folder.WriteStore(start, bytes)) return false;
  const int r = index.AddRow();
  for (size_t c = 0; c < row.size(); ++c) SetIndexCell(index, r, static_cast<int>(c), row[c]);
  SetIndexCell(index, r, kColStart, std::to_string(start));
  SetIndexCell(index, r, kColEnd, std::to_string(start + bytes.size()));
  if (!idsHold) folder.IndexIds(r);
  id = folder.NewId(r);
  SetIndexCell(index, r, kColId, id);
  folder.AddId(id, r);
  folder.idsValid_ = true;
  folder.idsRevision_ = index.Revision();
  if (onDisk && index.RowCount() == rowsBefore + 1)
    folder.disk_.revision = index.Revision();
  else
    folder.disk_.known = false;
  return true;
}

bool StoreMessage(MailFolder& folder, std::string_view text, const MailIndexRow& row, std::string& id) {
  id.clear();
  ClearError();
  if (JoinLinesCrLf(text).empty()) return false;  // nothing to store, nothing changed
  std::string newId;
  if (AppendMessage(folder, text, row, newId) && folder.SaveIndex()) {
    id = newId;
    return true;
  }
  folder.Close();
  return false;
}

bool LoadLinesFromStreamRange(const MailboxStore& store, uint64_t start, uint64_t end, std::string& text) {
  return store.ReadRange(start, end, text);
}

bool ReadMessageByIndex(const MailFolder& folder, int row, std::string& text) {
  text.clear();
  uint64_t start = 0, end = 0;
  if (!folder.IsOpen() || row < 0 || row >= folder.Index().RowCount() || !IsLiveRow(folder.Index(), row) ||
      !RowRange(folder.Index(), row, start, end))
    return false;
  return LoadLinesFromStreamRange(folder.Store(), start, end, text);
}

bool IsDamagedRow(const MailFolder& folder, int row) {
  uint64_t start = 0, end = 0;
  return folder.IsOpen() && row >= 0 && row < folder.Index().RowCount() && IsLiveRow(folder.Index(), row) &&
         (!RowRange(folder.Index(), row, start, end) || end > folder.Store().Size());
}

bool ReadMessageById(const MailFolder& folder, std::string_view id, std::string& text) {
  text.clear();
  int row = FindLiveRow(folder.Index(), id);
  return row >= 0 && ReadMessageByIndex(folder, row, text);
}

bool MarkMessage(TCSVData& index, std::string_view id) {
  int row = FindLiveRow(index, id);
  if (row < 0) return false;
  SetIndexCell(index, row, kColDeleted, "1");
  return true;
}

bool CompactStore(MailFolder& folder) {
  ClearError();
  if (!folder.IsOpen()) return SetError(MailStoreFault::Other, {}, EBADF);
  if (!folder.writable_) return SetError(MailStoreFault::NoPermission, folder.IndexPath(), EACCES);
  // Its rows are not here to move.
  if (folder.lean_.on) return SetError(MailStoreFault::Other, folder.IndexPath(), ENOTSUP);
  const TCSVData& index = folder.index_;
  const uint64_t size = folder.store_.Size();
  // Every live row must lie inside the store, in storage order; anything else
  // is a damaged folder that a compaction would only make worse.
  bool packed = true;
  uint64_t previousEnd = 0;
  for (int r = 0; r < index.RowCount(); ++r) {
    if (!IsLiveRow(index, r)) {
      packed = false;
      continue;
    }
    if (IsSetAsideRow(index, r)) continue;  // no bytes to move
    uint64_t start = 0, end = 0;
    if (!RowRange(index, r, start, end) || end > size || start < previousEnd)
      return SetError(MailStoreFault::Damaged, folder.IndexPath(), 0);
    packed = packed && start == previousEnd;
    previousEnd = end;
  }
  if (packed && previousEnd == size) return folder.SaveIndex();

  const auto storePath = folder.StorePath(), indexPath = folder.IndexPath();
  const auto newStore = WithSuffix(storePath, kNewSuffix), newIndex = WithSuffix(indexPath, kNewSuffix);
  TCSVData compacted;
  // Holding the folder, whatever has the new store's name is a left-over or
  // was planted: it goes, and the new store is a file of its own.
  ::unlink(newStore.c_str());
  int fd = ::open(newStore.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kPrivateMode);
  if (fd < 0) return Fail(errno, newStore);
  uint64_t at = 0;
  bool ok = true;
  for (int r = 0; r < index.RowCount() && ok; ++r) {
    if (!IsLiveRow(index, r)) continue;
    int nr = compacted.AddRow();
    for (int c = 0; c < index.CellCount(r); ++c) compacted.SetCell(nr, c, index.GetCell(r, c));
    if (IsSetAsideRow(index, r)) continue;
    uint64_t start = 0, end = 0;
    RowRange(index, r, start, end);
    ok = CopyFileRange(folder.store_.fd_, fd, start, end, at, newStore);
    SetIndexCell(compacted, nr, kColStart, std::to_string(at));
    at += end - start;
    SetIndexCell(compacted, nr, kColEnd, std::to_string(at));
  }
  ok = (ok && FlushFile(fd, newStore)) || Fail(errno, newStore);
  ok = (::close(fd) == 0) && ok;
  // The new index appearing whole is the commit; until then the old files
  // stand, and from then on the next opener finishes the job.
  if (!ok || !WriteFileAtomically(newIndex, IndexText(compacted), true, FileAccess::Private)) {
    if (ok) Fail(errno, indexPath);
    ::unlink(newStore.c_str());
    return false;
  }
  ok = (RenameFile(newStore, storePath) && RenameFile(newIndex, indexPath) &&
        SyncDirectory(indexPath.parent_path()) && folder.OpenStoreFile()) ||
       Fail(errno, indexPath);
  if (!ok) {
    folder.Close();  // committed on disk; the next opener puts the files in place
    return false;
  }
  folder.index_ = std::move(compacted);
  folder.keepEnd_ = LiveExtent(folder.index_);
  folder.folderFlushPending_ = false;
  folder.NoteIndexOnDisk(true);
  return true;
}

// ---- operations on named folders

namespace {
// A damaged folder is not compacted, but its new marks are kept all the same.
bool CompactOrSave(MailFolder& folder) { return CompactStore(folder) || (folder.IsOpen() && folder.SaveIndex()); }
}  // namespace

bool AddMessageToFolder(std::string_view folder, std::string_view text, const MailIndexRow& row, std::string& id,
                        const RetryPolicy& retry) {
  id.clear();
  MailFolder f;
  return f.Open(folder, retry) && StoreMessage(f, text, row, id);
}

bool FolderFilesAvailable(std::string_view folder, const RetryPolicy& retry) {
  MailFolder f;
  return f.Open(folder, retry);
}

bool DeleteMessage(std::string_view folder, std::string_view id, const RetryPolicy& retry) {
  if (!BothFilesExist(folder)) return false;
  MailFolder f;
  if (!f.Open(folder, retry)) return false;
  // An id the folder does not know still compacts it, as every delete does.
  const bool marked = MarkMessage(f.Index(), id);
  return CompactOrSave(f) && marked;
}

bool MoveMessage(std::string_view folder, std::string_view id, std::string_view toFolder, bool keepCopy,
                 const RetryPolicy& retry) {
  if (folder == toFolder || !BothFilesExist(folder)) return false;
  MailFolder source, target;
  if (!source.Open(folder, retry) || !target.Open(toFolder, retry)) return false;
  const int row = FindLiveRow(source.Index(), id);
  std::string text, newId;
  // The copy is safely in the target before the source lets go of the mail.
  if (row < 0 || !ReadMessageByIndex(source, row, text) ||
      !AppendMessage(target, text, source.Index().Rows(row), newId) || !target.SaveIndex())
    return false;
  if (!keepCopy) SetIndexCell(source.Index(), row, kColDeleted, "1");
  return CompactOrSave(source);
}

bool MoveAllMessages(std::string_view folder, std::string_view toFolder, const RetryPolicy& retry) {
  if (folder == toFolder || !BothFilesExist(folder)) return false;
  MailFolder source, target;
  if (!source.Open(folder, retry) || !target.Open(toFolder, retry)) return false;
  TCSVData& index = source.Index();
  std::vector<bool> stays(static_cast<size_t>(index.RowCount()), false);
  bool all = true;
  for (int r = 0; r < index.RowCount(); ++r) {
    if (!IsLiveRow(index, r)) continue;
    std::string text, newId;
    if (!ReadMessageByIndex(source, r, text) || !AppendMessage(target, text, index.Rows(r), newId)) {
      stays[static_cast<size_t>(r)] = true;
      all = false;
    }
  }
  if (!target.SaveIndex()) return false;
  // Every row goes except the mails that could not be copied; with all of
  // them copied both files end up empty.
  for (int r = 0; r < index.RowCount(); ++r)
    if (!stays[static_cast<size_t>(r)]) SetIndexCell(index, r, kColDeleted, "1");
  return CompactOrSave(source) && all;
}

bool CountMessages(std::string_view folder, int& total, int& unread, const RetryPolicy& retry) {
  total = 0;
  unread = 0;
  ClearError();
  if (!BothFilesExist(folder)) return false;
  ExclusiveFile file;
  const std::filesystem::path indexPath = FolderPathBase(MailDir(), folder) + std::string(kIndexExt);
  // Counting is reading: where the folder may not be written, under a shared lock.
  if (!file.Lock(indexPath, retry, false) &&
      (LastMailStoreError().fault != MailStoreFault::NoPermission || !file.Lock(indexPath, retry, true)))
    return false;
  // A committed compaction not yet put in place counts as done.
  const auto committed = WithSuffix(indexPath, kNewSuffix);
  TCSVData index;
  if (!index.LoadFromFile(Exists(committed) ? committed : indexPath)) return Fail(errno ? errno : EISDIR, indexPath);
  for (int r = 0; r < index.RowCount(); ++r) {
    if (!IsLiveRow(index, r)) continue;
    ++total;
    if (IndexCell(index, r, kColUnread) == "1") ++unread;
  }
  return true;
}

bool DeleteTrashFiles(const RetryPolicy& retry) {
  const std::string& trash = FixedFolderName(FixedFolder::Trash);
  if (!BothFilesExist(trash)) return false;
  MailFolder f;
  if (!f.Open(trash, retry)) return false;
  const auto index = f.IndexPath(), store = f.StorePath();
  // The index goes first: a store without its index is only unreachable bytes.
  bool ok = ::unlink(index.c_str()) == 0;
  if (ok) ::unlink(store.c_str());
  return ok;
}

// ---- names

namespace {
constexpr std::string_view kForbidden = "\\/:;,*?\"<>|";
const std::array<std::string, 11>& FullWidthForbidden() {
  static const std::array<std::string, 11> full = {Sjis("￥"), Sjis("／"), Sjis("："),
                                                   Sjis("；"), Sjis("、"), Sjis("＊"),
                                                   Sjis("？"), Sjis("”"), Sjis("＜"),
                                                   Sjis("＞"), Sjis("｜")};
  return full;
}
}  // namespace

std::string ReplaceForbiddenChars(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    size_t n = cp932::CharLength(name, i);
    size_t at = n == 1 ? kForbidden.find(name[i]) : std::string_view::npos;
    if (at != std::string_view::npos)
      out += FullWidthForbidden()[at];
    else
      out.append(name.substr(i, n));
    i += n;
  }
  return out;
}

bool IsValidFolderName(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); i += cp932::CharLength(name, i))
    if (cp932::CharLength(name, i) == 1 && kForbidden.find(name[i]) != std::string_view::npos) return false;
  return true;
}

std::string UniqueNewName(const std::vector<std::string>& captions, std::string_view fileName) {
  // The extension starts at the last "." that follows every path separator.
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < fileName.size(); i += cp932::CharLength(fileName, i)) {
    if (cp932::CharLength(fileName, i) != 1) continue;
    if (fileName[i] == '.') dot = i;
    if (fileName[i] == '\\' || fileName[i] == '/' || fileName[i] == ':') dot = std::string_view::npos;
  }
  std::string ext = dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot));
  std::string base = ReplaceForbiddenChars(fileName.substr(0, dot == std::string_view::npos ? fileName.size() : dot));
  // A name without a base is called "新規作成" from the first candidate on.
  std::string numbered = base.empty() ? Sjis("新規作成") : base;
  auto taken = [&](const std::string& candidate) {
    for (const auto& c : captions)
      if (c.size() >= candidate.size() && SameTextNoCase(std::string_view(c).substr(0, candidate.size()), candidate))
        return true;
    return false;
  };
  std::string candidate = numbered + ext;
  for (int n = 2; taken(candidate); ++n) candidate = numbered + std::to_string(n) + ext;
  return candidate;
}

int MailImageIndex(int kind, int a, int b) {
  int base = kind == 3 ? 4 : kind == 8 ? 8 : kind == 9 ? 12 : 0;
  return base + 2 * a + b;
}

}  // namespace qv
