// The mail sessions of the session dialog: the queued direct mails one call
// each, then one e-mail session that sends the queued e-mails and lists,
// fetches and deletes mail at the centre; and the reception of a direct mail
// that rings in during ring-wait.
#include "core/AddressFunctions.h"
#include "core/HandsetExchange.h"
#include "core/QvWait30FRM.h"
#include "core/MailStore.h"
#include "core/QtText.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextFunctions.h"
#include "launcher/QvConnectFRM.h"
#include "launcher/QvLaunchFRM.h"
#include "launcher/QvSelectFRM.h"
#include "platform/Cp932.h"

#include <QCoreApplication>
#include <QLabel>
#include <charconv>
#include <ctime>
#include <deque>

namespace qv {
namespace {

const std::string& FolderName(FixedFolder folder) { return FixedFolderName(folder); }

// Waits for a folder that the mail plug-in holds keep the windows alive.
RetryPolicy FolderRetry() {
  RetryPolicy retry;
  retry.waiting = [] { QCoreApplication::processEvents(); };
  return retry;
}

// A queued mail of the kind that still waits to go out.
bool IsPendingRow(const TCSVData& index, int row, std::string_view kind) {
  return IndexCell(index, row, kColKind) == kind && IndexCell(index, row, kColUnread) == "1" &&
         IndexCell(index, row, kColDirection) == "1" && IndexCell(index, row, kColDeleted) == "0";
}

std::string ListField(std::string_view line, int index) { return GetField(line, "\t", index); }

int NumberOrZero(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class MailSession {
 public:
  MailSession(TfrmConnecting& dialog, TfrmLaunch& launch, bool send, bool receive, bool autoReceive,
              bool directOnly)
      : d_(dialog), l_(launch), send_(send), receive_(receive), auto_(autoReceive), directOnly_(directOnly) {}

  SessionResult Run();

 private:
  bool LoadText(int row, std::string& text) const;
  void DirectMailPhase();
  void EMailPhase();
  bool OnEMailEvent(int kind, int code);
  void GiveNextMail();
  void AfterDrain();
  void ListPage();
  void EndOfListing();
  void MailFetched();
  void Act();
  // A request goes out: what came before it is done with.
  void Requested();
  // Events both phases take alike: the bytes of the current mail sent
  // (3, n) and the module's failures (9, n) and (10, n). True when taken.
  bool SharedEvent(int kind, int code);
  // After an abort (or the 30-second dialog's no) the session ends at once.
  void PollEnded(TfrmConnecting::PollEnd end);
  void MarkSent(int row, const std::string& text);
  bool AnyPending() const;

  TfrmConnecting& d_;
  TfrmLaunch& l_;
  const bool send_, receive_, auto_, directOnly_;
  SessionResult result_ = SessionResult::Done;
  bool endNow_ = false;  // abort or the 30-second dialog ended the session
  MailFolder queue_;
  int sent_ = 0;
  long long size_ = 0;
  long long lastBytes_ = 0;

  // E-mail phase.
  std::deque<int> sendList_;
  std::string sending_;  // the text handed over for the first row of sendList_
  int sentEMails_ = 0;
  std::string buffer_;
  bool dataComplete_ = false, ready_ = false, noMore_ = false;
  int step_ = 0;
  int listStart_ = 1;
  std::vector<std::string> collected_;
  std::deque<std::string> pending_;
  bool deleteMode_ = false;
  int handled_ = 0;
  bool anyMailLine_ = false;
  bool nothingAtCentre_ = false;
};

SessionResult MailSession::Run() {
  l_.InitSerialModule(auto_);
  if (!queue_.Open(FolderName(FixedFolder::Queued), FolderRetry())) return SessionResult::Done;
  if (send_) DirectMailPhase();
  if (!endNow_) EMailPhase();
  l_.StopBannerAnimation();
  if (!endNow_) {
    if (send_) {
      CompactStore(queue_);
      if (AnyPending()) {
        l_.ReportMessage("W01003", false);
      } else if (sent_ > 0) {
        l_.CloseNotice();
        l_.ShowNotice(Sjis("送信完了"), false);
      }
    } else if (nothingAtCentre_ && result_ == SessionResult::Done) {
      result_ = SessionResult::NothingDone;
      if (!auto_) l_.ReportMessage("W01005", false);
    }
  }
  queue_.SaveIndex();
  queue_.Close();
  return result_;
}

bool MailSession::LoadText(int row, std::string& text) const {
  uint64_t start = 0, end = 0;
  const auto a = IndexCell(queue_.Index(), row, kColStart), b = IndexCell(queue_.Index(), row, kColEnd);
  if (std::from_chars(a.data(), a.data() + a.size(), start).ec != std::errc() ||
      std::from_chars(b.data(), b.data() + b.size(), end).ec != std::errc())
    return false;
  return LoadLinesFromStreamRange(queue_.Store(), start, end, text);
}

bool MailSession::AnyPending() const {
  const TCSVData& index = queue_.Index();
  for (int row = 0; row < index.RowCount(); ++row)
    if (IsPendingRow(index, row, "1") || (!directOnly_ && IsPendingRow(index, row, "3"))) return true;
  return false;
}

void MailSession::MarkSent(int row, const std::string& text) {
  TCSVData& index = queue_.Index();
  SetIndexCell(index, row, kColUnread, "0");
  SetIndexCell(index, row, kColDate, NowText());
  std::string id;
  // The row leaves the queue only once its copy is in the sent folder; it
  // stays, marked sent, when that copy cannot be stored.
  if (AddMessageToFolder(FolderName(FixedFolder::Sent), text, index.Rows(row), id, FolderRetry()))
    SetIndexCell(index, row, kColDeleted, "1");
  else
    l_.ReportMessage(Sjis("送信したメールを送信簿に保存できませんでした。メールは送信済みとして送信予約に残っています。"), true);
  queue_.SaveIndex();
}

void MailSession::DirectMailPhase() {
  std::vector<int> rows;
  for (int row = 0; row < queue_.Index().RowCount(); ++row)
    if (IsPendingRow(queue_.Index(), row, "1")) rows.push_back(row);
  d_.SetProgressMax(static_cast<int>(rows.size()));
  size_ = 0;
  d_.SetSize(0);
  for (size_t n = 0; n < rows.size() && !endNow_; ++n) {
    const int row = rows[n];
    std::string stored;
    if (!LoadText(row, stored)) continue;
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(stored)) lines.emplace_back(line);
    if (lines.size() <= 1) continue;
    const std::string to = GetHeaderValue(lines[0], "To");
    const std::string destination =
        StripServicePrefix(MakeDialString(ParseAddressList(to, false, false, false, "", false, false)));
    if (destination.empty()) continue;
    lines[0] = "To: " + StripServicePrefix(to);
    const std::string text = JoinLines(lines);
    d_.lblTel->setText(ToQString(destination));
    l_.SetPeerNumber(destination);
    d_.ClearEvents();
    l_.CloseNotice();
    const int ordinal = static_cast<int>(n) + 1;
    d_.SetProgress(ordinal, true);
    if (!l_.SerialConnectSMail(destination, text)) {
      d_.lblTel->clear();
      continue;
    }
    l_.StartBannerAnimation();
    bool sent = false;
    lastBytes_ = 0;
    const auto end = d_.Poll([&](int kind, int code) {
      if (SharedEvent(kind, code)) return false;
      switch (kind) {
        case 1:
          if (code == 8) {
            sent = true;
            size_ += lastBytes_;
          }
          break;
        case 7:
          // Whatever the answer, the module ends the call; an unconfirmed
          // mail stays queued.
          if (code == 70002) d_.AskContinue();
          break;
        case 8:
          if (code == 11) {
            d_.SetProgress(ordinal, false);
            return true;
          }
          break;
        default:
          break;
      }
      return false;
    });
    PollEnded(end);
    l_.WaitSerialIdle(30000);
    l_.StopBannerAnimation();
    if (sent) {
      MarkSent(row, text);
      l_.PlaySentSound();
      ++sent_;
    } else {
      result_ = SessionResult::Aborted;
    }
    d_.lblTel->clear();
  }
}

void MailSession::EMailPhase() {
  if (send_)
    for (int row = 0; row < queue_.Index().RowCount(); ++row)
      if (IsPendingRow(queue_.Index(), row, "3")) sendList_.push_back(row);
  const bool toSend = !sendList_.empty();
  if ((!toSend && !receive_) || directOnly_) return;
  const int mode = toSend && receive_ ? 2 : receive_ ? 1 : 0;
  const std::string centre = auto_ ? l_.AutoReceiveNumber() : EMailPhoneNo();
  l_.SetPeerNumber(centre);
  d_.lblTel->setText(ToQString(centre));
  d_.ClearEvents();
  l_.CloseNotice();
  if (!l_.SerialConnectEMail(mode, static_cast<int32_t>(sendList_.size()))) {
    // Refused (another session runs): nothing was done, which is no success.
    result_ = SessionResult::Aborted;
    return;
  }
  l_.StartBannerAnimation();
  if (toSend) d_.SetProgressMax(static_cast<int>(sendList_.size()));
  size_ = 0;
  d_.SetSize(0);
  step_ = receive_ ? 1 : 0;
  listStart_ = 1;
  PollEnded(d_.Poll([this](int kind, int code) { return OnEMailEvent(kind, code); }, [this] { AfterDrain(); }));
}

bool MailSession::OnEMailEvent(int kind, int code) {
  if (SharedEvent(kind, code)) return false;
  switch (kind) {
    case 1:
      switch (code) {
        case 1:
          GiveNextMail();
          break;
        case 8:
          size_ += lastBytes_;
          if (!sendList_.empty()) {
            d_.SetProgress(sentEMails_ + 1, false);
            MarkSent(sendList_.front(), sending_);
            sendList_.pop_front();
            ++sentEMails_;
            ++sent_;
            if (sendList_.empty()) l_.PlaySentSound();
          }
          break;
        case 2:
        case 4: {
          const std::string piece = l_.SerialGetBuffer();
          buffer_ += piece;
          size_ += static_cast<long long>(piece.size());
          d_.SetSize(size_);
          if (code == 2) dataComplete_ = true;
          break;
        }
        case 7:
          ready_ = true;
          break;
        case 11:
          noMore_ = true;
          dataComplete_ = true;
          break;
        default:
          break;
      }
      break;
    case 7:
      if (code == 70002 && d_.AskContinue() != TfrmWait30::kResume) {
        result_ = SessionResult::Aborted;
        endNow_ = true;
        return true;
      }
      break;
    case 8:
      if (code == 31 || code == 41 || code == 51) {
        step_ = 0;
        return true;
      }
      break;
    default:
      break;
  }
  return false;
}

void MailSession::GiveNextMail() {
  // The module asks for as many mails as it was told; one that cannot be
  // handed over would leave it waiting for good.
  if (!sendList_.empty() && LoadText(sendList_.front(), sending_)) {
    d_.SetProgress(sentEMails_ + 1, true);
    if (l_.SerialSendEMail(sending_)) return;
  }
  l_.SerialDisconnect(10);
  result_ = SessionResult::Aborted;
}

void MailSession::AfterDrain() {
  if (dataComplete_) {
    if (step_ == 2)
      ListPage();
    else if (step_ == 4)
      MailFetched();
  }
  if (ready_) Act();
}

void MailSession::ListPage() {
  size_ = 0;
  d_.SetSize(0);
  std::vector<std::string> page;
  std::string last;
  if (noMore_) {
    // NO_MORE to a list request: the centre has nothing (more) to list.
    last = "end";
  } else {
    const auto lines = SplitLines(buffer_);
    if (!lines.empty()) last = TrimText(lines.back());
    for (size_t i = 1; i + 1 < lines.size(); ++i)
      if (!lines[i].empty()) page.emplace_back(lines[i]);
  }
  if (last == "continue") {
    if (collected_.empty() && page.empty()) {
      step_ = 7;
      return;
    }
    const int next = NumberOrZero(ListField(page.empty() ? collected_.back() : page.back(), 0)) + 1;
    if (next <= listStart_) {
      // A page that does not move the list on would be asked for forever.
      EndOfListing();
      return;
    }
    anyMailLine_ = anyMailLine_ || !page.empty();
    collected_.insert(collected_.end(), page.begin(), page.end());
    listStart_ = next;
    step_ = 1;
  } else if (last == "end") {
    anyMailLine_ = anyMailLine_ || !page.empty();
    collected_.insert(collected_.end(), page.begin(), page.end());
    EndOfListing();
  } else {
    step_ = 7;
  }
}

void MailSession::EndOfListing() {
  if (collected_.empty()) {
    if (!anyMailLine_) nothingAtCentre_ = true;
    step_ = 7;
    return;
  }
  std::vector<std::string> chosen;
  int answer = TfrmSelect::kReceive;
  if (d_.ReceiveAll()) {
    chosen = collected_;
  } else {
    TfrmSelect select(&d_);
    select.SetLines(collected_);
    answer = select.exec();
    chosen = select.SelectedLines(collected_);
  }
  if (answer != TfrmSelect::kReceive && answer != TfrmSelect::kDelete) {
    step_ = 7;
    return;
  }
  pending_.assign(chosen.begin(), chosen.end());
  deleteMode_ = answer == TfrmSelect::kDelete;
  handled_ = 0;
  d_.SetProgressMax(static_cast<int>(pending_.size()));
  if (pending_.empty()) {
    listStart_ = 1;
    step_ = 1;
  } else {
    step_ = deleteMode_ ? 5 : 3;
  }
}

void MailSession::MailFetched() {
  if (noMore_) {
    step_ = 6;
    return;
  }
  std::string text = buffer_;
  MailIndexRow row;
  PrepareReceivedMail(row, text, 3, 0, 1, 0, 0, 0, FormatHandsetDate(ListField(pending_.front(), 4), std::time(nullptr)),
                      "");
  std::string id;
  // A mail the filter emptied (a handset sample) is dropped on purpose; any
  // other mail is deleted at the centre only once it is stored here.
  const bool kept =
      text.empty() || AddMessageToFolder(FolderName(FixedFolder::Received), text, row, id, FolderRetry());
  if (!kept) {
    l_.ReportMessage(Sjis("受信したメールを受信簿に保存できませんでした。メールはセンターに残しています。"), true);
    result_ = SessionResult::Aborted;
    step_ = 6;
    return;
  }
  step_ = auto_ || d_.AutoDelete() ? 5 : 6;
}

bool MailSession::SharedEvent(int kind, int code) {
  switch (kind) {
    case 3:
      lastBytes_ = code;
      d_.SetSize(size_ + code);
      return true;
    case 9:
    case 10:
      // The module reports its failure: the session did not do its work.
      result_ = SessionResult::Aborted;
      return true;
    default:
      return false;
  }
}

void MailSession::PollEnded(TfrmConnecting::PollEnd end) {
  if (end != TfrmConnecting::PollEnd::Aborted) return;
  result_ = SessionResult::Aborted;
  endNow_ = true;
}

void MailSession::Requested() {
  ready_ = false;
  dataComplete_ = false;
  noMore_ = false;
  buffer_.clear();
}

void MailSession::Act() {
  switch (step_) {
    case 1:
      d_.SetProgressMax(0);
      if (listStart_ == 1) collected_.clear();
      Requested();
      l_.SerialGetEMailList(listStart_);
      step_ = 2;
      break;
    case 3:
      Requested();
      l_.SerialGetEMail(ListField(pending_.front(), 1));
      step_ = 4;
      break;
    case 5:
      Requested();
      l_.SerialPurgeEMail(ListField(pending_.front(), 1));
      step_ = 6;
      break;
    case 6:
      // The ready flag stays: the next step acts on the next poll.
      pending_.pop_front();
      d_.SetProgress(++handled_, false);
      if (pending_.empty()) {
        if (d_.ReceiveAll()) {
          step_ = 7;
        } else {
          listStart_ = 1;
          step_ = 1;
        }
      } else {
        step_ = deleteMode_ ? 5 : 3;
      }
      break;
    case 7:
      // Once per ready event: the module has the request until it closes.
      ready_ = false;
      l_.SerialExitEMail();
      break;
    default:
      break;
  }
}

}  // namespace

SessionResult TfrmConnecting::RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly) {
  if (!frmLaunch) return SessionResult::NothingDone;
  return MailSession(*this, *frmLaunch, send, receive, autoReceive, directOnly).Run();
}

SessionResult TfrmConnecting::ReceiveDirectMail() {
  if (!frmLaunch) return SessionResult::NothingDone;
  TfrmLaunch& launch = *frmLaunch;
  SessionResult result = SessionResult::NothingDone;
  events_.clear();
  std::string buffer;
  long long size = 0;
  SetProgressMax(1);
  const std::string caller = FromQString(lblTel->text());
  launch.SetPeerNumber(caller);
  launch.CloseNotice();
  if (!launch.SerialReadySMail()) return SessionResult::NothingDone;
  launch.StartBannerAnimation();
  auto take = [&] {
    const std::string piece = launch.SerialGetBuffer();
    buffer += piece;
    size += static_cast<long long>(piece.size());
    SetSize(size);
  };
  const auto end = Poll([&](int kind, int code) {
    switch (kind) {
      case 1:
        if (code == 4) {
          take();
        } else if (code == 2) {
          take();
          SetProgress(1, false);
          std::string text = "From: " + caller + "\r\n" + buffer;
          MailIndexRow row;
          PrepareReceivedMail(row, text, 1, 0, 1, 0, 0, 0, NowText(), "");
          // A body without header lines leaves the added From line without
          // the blank line that ends a header: the caller is still known.
          if (row[kColFrom].empty()) row[kColFrom] = ParseAddressList(caller, false, true, true, "", false, false);
          if (StoreReceived(FolderName(FixedFolder::Received), text, row)) result = SessionResult::Done;
        } else if (code == 12) {
          return true;
        }
        break;
      case 7:
        if (code == 70002 && AskContinue() != TfrmWait30::kResume) {
          result = SessionResult::Aborted;
          return true;
        }
        break;
      case 8:
        // The ring-wait session itself ended: no end of reception will come.
        if (code == 21) return true;
        break;
      case 9:
      case 10:
        result = SessionResult::Aborted;
        break;
      default:
        break;
    }
    return false;
  });
  if (end == PollEnd::Aborted) result = SessionResult::Aborted;
  launch.StopBannerAnimation();
  return result;
}

bool TfrmConnecting::StoreReceived(const std::string& folder, const std::string& text, const std::vector<std::string>& row) {
  if (text.empty()) return false;  // nothing, or a handset sample the filter dropped
  std::string id;
  if (AddMessageToFolder(folder, text, row, id, FolderRetry())) return true;
  // The module has already acknowledged it: it exists nowhere else.
  kept_.push_back({folder, text, row});
  if (frmLaunch)
    frmLaunch->ReportMessage(Sjis("受信したメールを保存できませんでした。通信の後でもう一度保存します。"), true);
  return false;
}

void TfrmConnecting::StoreKeptMail() {
  std::erase_if(kept_, [](const KeptMail& mail) {
    std::string id;
    return AddMessageToFolder(mail.folder, mail.text, mail.row, id, FolderRetry());
  });
}

}  // namespace qv
