#include "MailCentre.h"

#include <cstdio>
#include <random>

namespace handsetsim {
namespace {
constexpr size_t kMaxLine = 8192;
const std::string kNoMore("NO_MORE\0", 8);
const std::string kOk("OK\0", 3);

std::string Line(const std::string& text) { return text + std::string(1, '\0'); }

// The text between the brackets of "NAME[...]", or nullopt.
std::optional<std::string> Bracketed(const std::string& line, const std::string& name) {
  if (line.compare(0, name.size() + 1, name + "[") != 0 || line.back() != ']') return std::nullopt;
  return line.substr(name.size() + 1, line.size() - name.size() - 2);
}

std::string Framed(std::string body) {
  if (body.empty() || body.back() != '\n') body += "\r\n";
  return body + ".\r\n";
}
}  // namespace

MailCentre::MailCentre(CallLine& line, SimState& state) : line_(line), state_(state) {}

void MailCentre::OnData(std::string_view bytes) {
  in_.append(bytes);
  for (;;) {
    if (inBody_) {
      // A body ends at a line ".\r\n": at its very start or after a line feed.
      size_t end = std::string::npos;
      size_t skip = 0;
      if (in_.compare(0, 3, ".\r\n") == 0) {
        end = 0;
        skip = 3;
      } else if (size_t at = in_.find("\n.\r\n"); at != std::string::npos) {
        end = at + 1;
        skip = 3;
      }
      if (end == std::string::npos) return;
      std::string body = in_.substr(0, end);
      in_.erase(0, end + skip);
      inBody_ = false;
      OnBody(std::move(body));
      continue;
    }
    size_t nul = in_.find('\0');
    if (nul == std::string::npos) {
      if (in_.size() > kMaxLine) in_.clear();
      return;
    }
    std::string line = in_.substr(0, nul);
    in_.erase(0, nul + 1);
    OnLine(line);
  }
}

void MailCentre::OnLine(const std::string& line) {
  state_.Note([&](SimRecord& r) { r.centreLines.push_back(line); });
  state_.Log("centre <- " + Visible(line));
  if (line.empty()) return;
  if (auto tag = Bracketed(line, "SOCKET_25_CONNECTION")) {
    Answer(Step::Connect, Line("READY[" + *tag + "]"));
    AfterAnswer(Step::Ready);
    return;
  }
  if (line == "MAIL") {
    inBody_ = true;
    return;
  }
  if (auto n = Bracketed(line, "GETLIST")) {
    if (auto raw = state_.With([](SimConfig& c, SimRecord&) {
          auto text = c.rawList;
          c.rawList.reset();
          return text;
        })) {
      Answer(Step::List, Line("MAILLIST") + Framed(*raw));
      return;
    }
    long first = std::strtol(n->c_str(), nullptr, 10);
    bool none = false;
    std::string page = ListPage(first < 1 ? 1 : static_cast<size_t>(first), none);
    Answer(Step::List, none ? kNoMore : Line("MAILLIST") + Framed(page));
    return;
  }
  if (auto id = Bracketed(line, "GET")) {
    auto body = state_.With([&](SimConfig& c, SimRecord&) -> std::optional<std::string> {
      for (const auto& m : c.mails)
        if (m.id == *id) return m.body;
      return std::nullopt;
    });
    Answer(Step::Get, body ? Line("MAIL") + Framed(*body) : kNoMore);
    return;
  }
  if (auto id = Bracketed(line, "PURGE")) {
    bool found = state_.With([&](SimConfig& c, SimRecord& r) {
      for (auto it = c.mails.begin(); it != c.mails.end(); ++it)
        if (it->id == *id) {
          c.mails.erase(it);
          r.purged.push_back(*id);
          return true;
        }
      return false;
    });
    Answer(Step::Purge, found ? kOk : kNoMore);
    return;
  }
  if (auto code = Bracketed(line, "SOCKET_25_DISCONNECTION")) {
    state_.Note([&](SimRecord& r) { r.closeCodes.push_back(*code); });
    auto fault = state_.TakeFault(Step::Close);
    if (fault && fault->action == Action::Silent) return;
    line_.After(std::chrono::milliseconds(fault && fault->arg >= 0 ? fault->arg : 50), [this] { line_.Hangup(); });
    return;
  }
  // Anything else gets no answer from this centre.
}

void MailCentre::OnBody(std::string body) {
  state_.Note([&](SimRecord& r) { r.accepted.push_back(body); });
  state_.Log("centre <- mail of " + std::to_string(body.size()) + " bytes");
  Answer(Step::Mail, kOk);
}

std::string MailCentre::ListPage(size_t first, bool& none) {
  auto mails = state_.With([](SimConfig& c, SimRecord&) { return std::make_pair(c.mails, c.listPageBytes); });
  const auto& list = mails.first;
  none = list.empty() || first > list.size();
  if (none) return {};
  std::string page = "TOTAL\t" + std::to_string(list.size()) + "\r\n";
  const std::string kContinue = "continue\r\n";
  size_t i = first - 1;
  for (; i < list.size(); ++i) {
    const SimMail& m = list[i];
    std::string entry = std::to_string(i + 1) + "\t" + m.id + "\t" + m.sender + "\t" + m.subject + "\t" + m.date + "\t" +
                        std::to_string(m.body.size()) + "\t0\r\n";
    if (i >= first && page.size() + entry.size() + kContinue.size() > mails.second) break;
    page += entry;
  }
  page += (i < list.size()) ? kContinue : "end\r\n";
  return page;
}

void MailCentre::Answer(Step step, const std::string& bytes) {
  if (auto fault = state_.TakeFault(step)) Apply(*fault, bytes, false);
  else line_.Send(bytes);
}

void MailCentre::AfterAnswer(Step step) {
  if (auto fault = state_.TakeFault(step)) Apply(*fault, {}, true);
}

void MailCentre::Apply(const Fault& fault, const std::string& bytes, bool afterAnswer) {
  state_.Log("centre: fault strikes");
  const auto delay = std::chrono::milliseconds(fault.arg >= 0 ? fault.arg : 100);
  switch (fault.action) {
    case Action::Drop:
    case Action::NoCarrier:
      if (afterAnswer) line_.After(delay, [this] { line_.Hangup(); });
      else line_.Hangup();
      break;
    case Action::DropAfter:
      line_.Send(bytes);
      line_.After(delay, [this] { line_.Hangup(); });
      break;
    case Action::Cut:
      line_.Send(bytes.substr(0, bytes.size() / 2));
      line_.Hangup();
      break;
    case Action::Silent: break;
    case Action::Hold: held_ = bytes; break;
    case Action::Garbage: {
      std::mt19937 random(static_cast<unsigned>(fault.occurrence * 7919 + static_cast<int>(fault.step)));
      std::string junk(static_cast<size_t>(fault.arg > 0 ? fault.arg : 64), '\0');
      for (char& c : junk) c = static_cast<char>(random() & 0xFF);
      line_.Send(junk);
      break;
    }
    case Action::LongLine: {
      std::string text(static_cast<size_t>(fault.arg > 0 ? fault.arg : 10240), 'A');
      for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i % 26);
      line_.Send(text + "\r\n");
      break;
    }
    case Action::CloseCode: {
      char close[40];
      std::snprintf(close, sizeof close, "SOCKET_25_DISCONNECTION[%04ld]", fault.arg >= 0 ? fault.arg % 10000 : 0);
      line_.Send(Line(close));
      line_.After(std::chrono::milliseconds(100), [this] { line_.Hangup(); });
      break;
    }
    case Action::OutOfTurn: line_.Send(Line("TURN")); break;
  }
}

void MailCentre::ReleaseHeld() {
  if (held_.empty()) return;
  line_.Send(held_);
  held_.clear();
}

}  // namespace handsetsim
