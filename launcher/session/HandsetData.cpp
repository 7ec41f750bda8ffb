// The handset data sessions: the handset's records of a data kind read into
// the kind's exchange file, or that file written to the handset, one request
// per (1, 1) of the module's information mode.
#include "launcher/session/HandsetData.h"

#include "core/data/HandsetExchange.h"
#include "platform/Cp932.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

namespace qv {

namespace handsetreply {

std::string FirstLine(std::string_view data) {
  const size_t end = data.find_first_of("\r\n");
  return std::string(Trim(data.substr(0, end)));
}

bool IsStatus(std::string_view reply) {
  return reply.size() >= 4 && reply[0] == '<' && reply[1] >= '0' && reply[1] <= '3' && reply.substr(2, 2) == "b>";
}

bool IsEndOfKind(std::string_view reply) {
  return reply.size() >= 5 && reply.substr(0, 3) == "<3:" && reply.substr(reply.size() - 2) == "h>";
}

int Count(std::string_view reply) {
  if (reply.size() < 2 || reply.front() != '<' || reply.back() != '>') return 0;
  std::string_view rest = reply.substr(1, reply.size() - 2);
  for (int field = 0; field < 2; ++field) {
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return 0;
    rest.remove_prefix(colon + 1);
  }
  const size_t countEnd = rest.find_first_of(":/");
  const std::string_view count = rest.substr(0, countEnd);
  if (count.empty()) return 0;
  long long n = 0;
  const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), n);
  if (end != count.data() + count.size()) return 0;  // no number
  // A number too long to read is more than any handset holds.
  if (ec != std::errc() || n < 0 || n > kMostRecords) return kDamagedCount;
  if (countEnd != std::string_view::npos && rest[countEnd] == '/') {
    const std::string_view capacity = rest.substr(countEnd + 1, rest.substr(countEnd + 1).find(':'));
    long long held = 0;
    const auto [capEnd, capEc] = std::from_chars(capacity.data(), capacity.data() + capacity.size(), held);
    if (capEc == std::errc() && capEnd == capacity.data() + capacity.size() && held >= 0 && n > held)
      return kDamagedCount;
  }
  return static_cast<int>(n);
}

bool DataLine(std::string_view reply, std::string& hexLine) {
  hexLine.clear();
  constexpr size_t kHead = 5, kTail = 2;  // "<1:" and two characters; "h>"
  if (reply.size() < kHead + kTail || reply.substr(0, 3) != "<1:" || reply.substr(reply.size() - kTail) != "h>")
    return false;
  const std::string_view wire = reply.substr(kHead, reply.size() - kHead - kTail);
  // Three digits a byte, every one of them there.
  if (wire.size() % 3 != 0) return false;
  std::string hex = DecimalTextToHex(wire);
  HandsetFrameLine frame;
  if (!ParseHandsetFrameLine(hex, frame)) return false;
  hexLine = std::move(hex);
  return true;
}

}  // namespace handsetreply

namespace {

// The kind's name in what the user is told.
std::string KindName(int kind) {
  const std::string& caption = DataKindCaption(kind);
  return caption.empty() ? Sjis("データ") : caption;
}

// The progress the module reports once the handset is out of information
// mode; leaving takes it several seconds (the escape and its guard times).
constexpr int32_t kProgressLeftInformationMode = 65;

// Asks the module to leave information mode, and says at once that the
// session is finishing: the last count stays up meanwhile.
void LeaveInformationMode(SessionContext& c) {
  c.link.ExitInfoMode();
  char id[16];
  std::snprintf(id, sizeof id, "I%05d", kProgressLeftInformationMode);
  c.view.ShowStatus(c.host.ReportMessage(id, false));
}

bool EndsInformationMode(const SerialEvent& e) {
  return e.kind == kwx::KWX_EV_SESSION_END &&
         (e.code == kwx::SessionOver(kwx::kKindInfo) || e.code == kwx::WorkerEnded(kwx::kKindInfo));
}

}  // namespace

// ---- reading

SessionResult HandsetDataRead::Run() {
  c_.events.Clear();
  c_.host.InitSerialModule(false);
  c_.host.CloseNotice();
  if (c_.link.EnterInfoMode(kind_)) {
    c_.host.StartBannerAnimation();
    c_.view.ShowNumber(DataKindCaption(kind_));
    // The session is over once the module is idle, whatever it said last.
    const PollEnd end = Poll(
        c_, [this](const SerialEvent& e) { return OnEvent(e); }, [this] { return !c_.link.Busy(); });
    c_.host.StopBannerAnimation();
    if (end == PollEnd::Aborted) return SessionResult::Aborted;
  }
  if (!damagedCount_.empty()) {
    // Nothing of what such a handset sends can be trusted: the file stays as it was.
    c_.host.ReportMessage(KindName(kind_) + Sjis("の件数を携帯電話から正しく受け取れませんでした。") + "\r\n" +
                              damagedCount_.substr(0, 64),
                          true);
    return SessionResult::Aborted;
  }
  // The lines of a record cut short are not kept.
  lines_.resize(complete_);
  const std::string path = HandsetExchangeFile::PathFor(kind_);
  if (!HandsetExchangeFile::Write(path, lines_)) {
    c_.host.ReportMessage(KindName(kind_) + Sjis("を保存できませんでした。") + "\r\n" + ShownPath(path), true);
    return SessionResult::Aborted;
  }
  return result_;
}

bool HandsetDataRead::OnEvent(const SerialEvent& e) {
  if (EndsInformationMode(e)) return true;
  if (e.Is(kwx::KWX_EV_READY, kwx::kReadyForOperation)) {
    TakeReply();
    Request();
  }
  return false;
}

void HandsetDataRead::TakeReply() {
  const std::string data = c_.link.GetBuffer();
  size_ += static_cast<long long>(data.size());
  c_.view.SetSize(size_);
  const std::string reply = handsetreply::FirstLine(data);
  if (handsetreply::IsStatus(reply)) {
    step_ = 5;
    return;
  }
  auto counted = [this] {
    if (total_ <= 0) {
      step_ = 6;
      return;
    }
    step_ = 3;
    size_ = 0;
    c_.view.SetSize(0);
    c_.view.SetProgressMax(total_);
  };
  switch (step_) {
    case 1:
      if (!AddCount(reply)) break;
      // The mail histories come in two categories, each with its count.
      if (kind_ == 4 || kind_ == 6)
        step_ = 2;
      else
        counted();
      break;
    case 2:
      if (AddCount(reply)) counted();
      break;
    case 3: {
      std::string line;
      if (handsetreply::IsEndOfKind(reply) || !handsetreply::DataLine(reply, line)) {
        step_ = 5;
        break;
      }
      HandsetFrameLine frame;
      ParseHandsetFrameLine(line, frame);
      lines_.push_back(std::move(line));
      if (frame.flag & HandsetFrameLine::kLastLine) {
        c_.view.SetProgress(++records_, false);
        complete_ = lines_.size();
        if (frame.flag & HandsetFrameLine::kLastRecord) step_ = 4;
      }
      break;
    }
    default:
      break;
  }
}

bool HandsetDataRead::AddCount(const std::string& reply) {
  const int count = handsetreply::Count(reply);
  if (count == handsetreply::kDamagedCount) {
    damagedCount_ = reply;
    step_ = 5;
    return false;
  }
  total_ += count;  // two counts of at most kMostRecords each
  return true;
}

void HandsetDataRead::Request() {
  switch (step_) {
    case 2:
      c_.link.BareInfo("<" + std::to_string(kind_ + 1) + "F>");
      break;
    case 3:
      c_.link.GetInfo();
      break;
    case 4:
    case 5:
    case 6:
      step_ = 0;
      LeaveInformationMode(c_);
      result_ = SessionResult::Done;
      break;
    default:
      break;
  }
}

// ---- writing

bool HandsetDataWrite::LoadFile() {
  std::vector<std::string> all;
  const std::string path = HandsetExchangeFile::PathFor(kind_);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || !HandsetExchangeFile::Read(path, all)) return false;
  size_t bad = 0, last = 0;  // line numbers, counted from 1
  int lastFlag = HandsetFrameLine::kLastLine;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].empty()) continue;
    HandsetFrameLine frame;
    if (!ParseHandsetFrameLine(all[i], frame)) {
      bad = i + 1;
      break;
    }
    last = i + 1;
    lastFlag = frame.flag;
    if (frame.flag & HandsetFrameLine::kLastLine) ++recordCount_;
    lines_.push_back(all[i]);
  }
  // A file whose last record has no end is cut short.
  if (bad == 0 && !(lastFlag & HandsetFrameLine::kLastLine)) bad = last;
  if (bad == 0) return recordCount_ > 0;
  c_.host.ReportMessage(KindName(kind_) + Sjis("の送信データの ") + std::to_string(bad) + Sjis(" 行目に誤りがあります。") +
                            "\r\n" + Sjis("携帯電話には書き込みませんでした。"),
                        true);
  return false;
}

SessionResult HandsetDataWrite::Run() {
  // Nothing reaches the handset unless the whole file is sound.
  if (!LoadFile()) return SessionResult::NothingDone;
  c_.events.Clear();
  c_.host.InitSerialModule(false);
  c_.host.CloseNotice();
  if (!c_.link.EnterInfoMode(kind_)) return SessionResult::NothingDone;
  c_.host.StartBannerAnimation();
  c_.view.ShowNumber(DataKindCaption(kind_));
  c_.view.SetSize(0);
  c_.view.SetProgressMax(recordCount_);
  const PollEnd end = Poll(
      c_, [this](const SerialEvent& e) { return OnEvent(e); }, [this] { return !c_.link.Busy(); });
  c_.host.StopBannerAnimation();
  if (end == PollEnd::Aborted) result_ = SessionResult::Aborted;
  // Once the handset has dropped its records, ending before the last line
  // leaves it with part of the file: a failure the user must hear of.
  if (cleared_ && result_ != SessionResult::Done) {
    result_ = SessionResult::Aborted;
    const std::string name = KindName(kind_);
    c_.host.ReportMessage(name + Sjis("の書き込みが途中で終わりました。") + "\r\n" + Sjis("携帯電話の") + name +
                              Sjis("は一部しか書き込まれていません。"),
                          true);
  }
  return result_;
}

bool HandsetDataWrite::OnEvent(const SerialEvent& e) {
  if (EndsInformationMode(e)) return true;
  if (e.Is(kwx::KWX_EV_READY, kwx::kReadyForOperation)) TakeReply();
  return false;
}

void HandsetDataWrite::Leave(SessionResult result) {
  LeaveInformationMode(c_);
  phase_ = 3;
  result_ = result;
}

void HandsetDataWrite::TakeReply() {
  const std::string reply = handsetreply::FirstLine(c_.link.GetBuffer());
  if (handsetreply::IsEndOfKind(reply) || handsetreply::IsStatus(reply)) return Leave(SessionResult::Aborted);
  if (phase_ == 1) {
    if (c_.link.DeleteInfo()) {
      phase_ = 2;
      cleared_ = true;
    }
    return;
  }
  if (phase_ != 2) return;
  if (next_ >= lines_.size()) return Leave(SessionResult::Done);
  HandsetFrameLine frame;
  ParseHandsetFrameLine(lines_[next_], frame);
  const std::string wire = HexToDecimalText(lines_[next_]);
  // A line the module did not take goes again at the next request.
  if (!c_.link.SetInfo(wire)) return;
  ++next_;
  size_ += static_cast<long long>(wire.size());
  c_.view.SetSize(size_);
  if (frame.flag & HandsetFrameLine::kLastLine) c_.view.SetProgress(++sentRecords_, false);
}

}  // namespace qv
