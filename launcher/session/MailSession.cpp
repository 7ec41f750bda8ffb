// The mail sessions: the queued direct mails one call each, then one e-mail
// session that sends the queued e-mails and lists, fetches and deletes mail
// at the centre.
#include "launcher/session/MailSession.h"

#include "core/data/AddressFunctions.h"
#include "core/data/HandsetExchange.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "launcher/session/MailKeeper.h"
#include "platform/Cp932.h"
#include "platform/Text.h"

#include <charconv>
#include <ctime>

namespace qv {
namespace {

const std::string& FolderName(FixedFolder folder) { return FixedFolderName(folder); }

// A queued mail of the kind that still waits to go out.
bool IsPendingRow(const TCSVData& index, int row, std::string_view kind) {
  return IndexCell(index, row, kColKind) == kind && IndexCell(index, row, kColUnread) == "1" &&
         IndexCell(index, row, kColDirection) == "1" && IndexCell(index, row, kColDeleted) == "0";
}

std::string ListField(std::string_view line, int index) { return GetField(line, "\t", index); }

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The end of each kind of e-mail session.
bool EMailSessionEnded(const SerialEvent& e) {
  return e.kind == kwx::KWX_EV_SESSION_END && (e.code == kwx::WorkerEnded(kwx::kKindEMailSend) ||
                                               e.code == kwx::WorkerEnded(kwx::kKindEMailReceive) ||
                                               e.code == kwx::WorkerEnded(kwx::kKindEMailExchange));
}

// Every session ends with at most this many polls for the module to become idle.
constexpr int kIdlePolls = 30000;

}  // namespace

SessionResult MailSession::Run() {
  c_.host.InitSerialModule(auto_);
  if (OpenFolders()) Transfer();
  // The mail windows read the folders again once the launcher tells them.
  c_.keeper.Release();
  return result_;
}

bool MailSession::OpenFolders() {
  auto refuse = [this](const char* what) {
    c_.host.ReportMessage(MailStoreFailureText(Sjis(what)), !auto_);
    result_ = SessionResult::NothingDone;
    return false;
  };
  if (send_ && !queue_.Open(FolderName(FixedFolder::Queued), c_.FolderRetry()))
    return refuse("送信予約を開けないため、送信できません。");
  // A sent mail whose copy cannot be kept stays in the queue, marked sent:
  // the send goes ahead, and each such copy is told as it fails.
  if (send_ && AnyPending()) c_.keeper.OpenFolder(FolderName(FixedFolder::Sent), c_.FolderRetry());
  // A mail fetched is deleted at the centre only once it is stored here: with
  // nowhere to store it, no call starts.
  if (receive_ && !c_.keeper.OpenFolder(FolderName(FixedFolder::Received), c_.FolderRetry()))
    return refuse("受信したメールを受信簿に保存できないため、受信を始めません。");
  return true;
}

void MailSession::Transfer() {
  if (send_) DirectMailPhase();
  if (!endNow_) EMailPhase();
  c_.host.StopBannerAnimation();
  if (!endNow_) {
    if (send_) {
      CompactStore(queue_);
      if (AnyPending()) {
        c_.host.ReportMessage("W01003", false);
      } else if (sent_ > 0) {
        c_.host.CloseNotice();
        c_.host.ShowNotice(Sjis("送信完了"), false);
      }
    } else if (nothingAtCentre_ && result_ == SessionResult::Done) {
      result_ = SessionResult::NothingDone;
      if (!auto_) c_.host.ReportMessage("W01005", false);
    }
  }
  if (send_) queue_.SaveIndex();
  queue_.Close();
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

void MailSession::MarkSent(int row, const std::string& text, const std::string& when) {
  TCSVData& index = queue_.Index();
  SetIndexCell(index, row, kColUnread, "0");
  SetIndexCell(index, row, kColDate, when);
  // The row leaves the queue only once its copy is in the sent folder; it
  // stays, marked sent, when that copy cannot be stored.
  if (c_.keeper.StoreSent(c_.host, text, index.Rows(row), c_.FolderRetry())) SetIndexCell(index, row, kColDeleted, "1");
  queue_.SaveIndex();
}

void MailSession::DirectMailPhase() {
  std::vector<int> rows;
  for (int row = 0; row < queue_.Index().RowCount(); ++row)
    if (IsPendingRow(queue_.Index(), row, "1")) rows.push_back(row);
  c_.view.SetProgressMax(static_cast<int>(rows.size()));
  size_ = 0;
  c_.view.SetSize(0);
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
    c_.view.ShowNumber(destination);
    c_.host.SetPeerNumber(destination);
    c_.events.Clear();
    c_.host.CloseNotice();
    const int ordinal = static_cast<int>(n) + 1;
    c_.view.SetProgress(ordinal, true);
    if (!c_.link.ConnectSMail(destination, text)) {
      c_.view.ShowNumber({});
      continue;
    }
    c_.host.StartBannerAnimation();
    bool sent = false;
    lastBytes_ = 0;
    const auto end = Poll(c_, [&](const SerialEvent& e) {
      if (SharedEvent(e)) return false;
      if (e.Is(kwx::KWX_EV_READY, kwx::kReadyMailAccepted)) {
        sent = true;
        size_ += lastBytes_;
      } else if (e.Is(kwx::KWX_EV_NO_RESPONSE, kwx::kNoProgress)) {
        // Whatever the answer, the module ends the call; an unconfirmed
        // mail stays queued.
        ContinueOrDisconnect(c_);
      } else if (e.Is(kwx::KWX_EV_SESSION_END, kwx::WorkerEnded(kwx::kKindDirectMail))) {
        c_.view.SetProgress(ordinal, false);
        return true;
      }
      return false;
    });
    PollEnded(end);
    c_.link.WaitIdle(kIdlePolls);
    c_.host.StopBannerAnimation();
    if (sent) {
      MarkSent(row, text, NowText());
      c_.host.PlaySentSound();
      ++sent_;
    } else {
      result_ = SessionResult::Aborted;
    }
    c_.view.ShowNumber({});
  }
}

void MailSession::EMailPhase() {
  if (send_)
    for (int row = 0; row < queue_.Index().RowCount(); ++row)
      if (IsPendingRow(queue_.Index(), row, "3")) sendList_.push_back(row);
  const bool toSend = !sendList_.empty();
  if ((!toSend && !receive_) || directOnly_) return;
  const int mode = toSend && receive_ ? 2 : receive_ ? 1 : 0;
  const std::string centre = auto_ ? c_.host.AutoReceiveNumber() : EMailPhoneNo();
  c_.host.SetPeerNumber(centre);
  c_.view.ShowNumber(centre);
  c_.events.Clear();
  c_.host.CloseNotice();
  if (!c_.link.ConnectEMail(mode, static_cast<int32_t>(sendList_.size()))) {
    // Refused (another session runs): nothing was done, which is no success.
    result_ = SessionResult::Aborted;
    return;
  }
  c_.host.StartBannerAnimation();
  if (toSend) c_.view.SetProgressMax(static_cast<int>(sendList_.size()));
  size_ = 0;
  c_.view.SetSize(0);
  step_ = receive_ ? 1 : 0;
  listStart_ = 1;
  PollEnded(Poll(
      c_, [this](const SerialEvent& e) { return OnEMailEvent(e); },
      [this] {
        AfterDrain();
        // A step that the ready flag lets act goes on the next poll; the
        // module waits for it and posts nothing meanwhile.
        return ready_ && StepActs() ? PollNext::Now : PollNext::Sleep;
      }));
  // Whatever ended the session, an accepted mail is recorded.
  RecordAccepted();
}

bool MailSession::OnEMailEvent(const SerialEvent& e) {
  if (SharedEvent(e)) return false;
  switch (e.kind) {
    case kwx::KWX_EV_READY:
      switch (e.code) {
        case kwx::kReadyForOperation:
          GiveNextMail();
          break;
        case kwx::kReadyMailAccepted:
          size_ += lastBytes_;
          if (!sendList_.empty()) {
            c_.view.SetProgress(sentEMails_ + 1, false);
            accepted_.push_back({sendList_.front(), std::move(sending_), NowText()});
            sendList_.pop_front();
            // The module asks for the next mail at once: it goes first, and
            // this one is recorded while the module sends it.
            if (sendList_.empty()) RecordAccepted();
            ++sentEMails_;
            ++sent_;
            if (sendList_.empty()) c_.host.PlaySentSound();
          }
          break;
        case kwx::kReadyData:
        case kwx::kReadyBufferFull: {
          const std::string piece = c_.link.GetBuffer();
          buffer_ += piece;
          size_ += static_cast<long long>(piece.size());
          c_.view.SetSize(size_);
          if (e.code == kwx::kReadyData) dataComplete_ = true;
          break;
        }
        case kwx::kReadyForCommand:
          ready_ = true;
          break;
        case kwx::kReadyNoMore:
          noMore_ = true;
          dataComplete_ = true;
          break;
        default:
          break;
      }
      break;
    case kwx::KWX_EV_NO_RESPONSE:
      if (e.code == kwx::kNoProgress && ContinueOrDisconnect(c_) != ContinueAnswer::Continue) {
        result_ = SessionResult::Aborted;
        endNow_ = true;
        return true;
      }
      break;
    default:
      if (EMailSessionEnded(e)) {
        step_ = 0;
        return true;
      }
      break;
  }
  return false;
}

void MailSession::GiveNextMail() {
  // The module asks for as many mails as it was told; one that cannot be
  // handed over would leave it waiting for good.
  if (!sendList_.empty() && LoadText(sendList_.front(), sending_)) {
    c_.view.SetProgress(sentEMails_ + 1, true);
    if (c_.link.SendEMail(sending_)) return RecordAccepted();
  }
  RecordAccepted();
  c_.link.Disconnect(kwx::kDisconnectUser);
  result_ = SessionResult::Aborted;
}

void MailSession::RecordAccepted() {
  for (const auto& mail : accepted_) MarkSent(mail.row, mail.text, mail.when);
  accepted_.clear();
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
  c_.view.SetSize(0);
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
  ++pagesRead_;
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
    c_.view.ShowListing(pagesRead_, static_cast<int>(collected_.size()));
    listStart_ = next;
    step_ = 1;
  } else if (last == "end") {
    anyMailLine_ = anyMailLine_ || !page.empty();
    collected_.insert(collected_.end(), page.begin(), page.end());
    c_.view.ShowListing(pagesRead_, static_cast<int>(collected_.size()));
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
  SelectAnswer answer = SelectAnswer::Receive;
  if (c_.options.receiveAll)
    chosen = collected_;
  else
    answer = c_.view.ChooseMails(collected_, chosen);
  if (answer != SelectAnswer::Receive && answer != SelectAnswer::Delete) {
    step_ = 7;
    return;
  }
  pending_.assign(chosen.begin(), chosen.end());
  deleteMode_ = answer == SelectAnswer::Delete;
  handled_ = 0;
  c_.view.SetProgressMax(static_cast<int>(pending_.size()));
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
  // A mail the filter emptied (a handset sample) is dropped on purpose; any
  // other mail is deleted at the centre only once it is stored here.
  const bool kept = text.empty() || c_.keeper.Store(FolderName(FixedFolder::Received), text, row, c_.FolderRetry());
  if (!kept) {
    c_.host.ReportMessage(
        MailStoreFailureText(Sjis("受信したメールを受信簿に保存できませんでした。メールはセンターに残しています。")), true);
    result_ = SessionResult::Aborted;
    step_ = 6;
    return;
  }
  step_ = auto_ || c_.options.autoDelete ? 5 : 6;
}

bool MailSession::SharedEvent(const SerialEvent& e) {
  switch (e.kind) {
    case kwx::KWX_EV_SENT_BYTES:
      lastBytes_ = e.code;
      c_.view.SetSize(size_ + e.code);
      return true;
    case kwx::KWX_EV_SESSION_ERROR:
    case kwx::KWX_EV_MODULE_ERROR:
      // The module reports its failure: the session did not do its work.
      result_ = SessionResult::Aborted;
      return true;
    default:
      return false;
  }
}

void MailSession::PollEnded(PollEnd end) {
  if (end != PollEnd::Aborted) return;
  result_ = SessionResult::Aborted;
  endNow_ = true;
}

void MailSession::Requested() {
  ready_ = false;
  dataComplete_ = false;
  noMore_ = false;
  buffer_.clear();
}

bool MailSession::StepActs() const { return step_ == 1 || step_ == 3 || step_ == 5 || step_ == 6 || step_ == 7; }

void MailSession::Act() {
  switch (step_) {
    case 1:
      if (listStart_ == 1) {
        collected_.clear();
        pagesRead_ = 0;
        // In place of the fetch count: the listing's own, page by page.
        c_.view.ShowListing(0, 0);
      }
      Requested();
      c_.link.GetEMailList(listStart_);
      step_ = 2;
      break;
    case 3:
      Requested();
      c_.link.GetEMail(ListField(pending_.front(), 1));
      step_ = 4;
      break;
    case 5:
      Requested();
      c_.link.PurgeEMail(ListField(pending_.front(), 1));
      step_ = 6;
      break;
    case 6:
      // The ready flag stays: the next step acts on the next poll.
      pending_.pop_front();
      c_.view.SetProgress(++handled_, false);
      if (pending_.empty()) {
        if (c_.options.receiveAll) {
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
      c_.link.ExitEMail();
      break;
    default:
      break;
  }
}

}  // namespace qv
