#include "MailCentre.h"

#include <fstream>


namespace handsetsim {
namespace {
const std::string kNoMore("NO_MORE\0", 8);
const std::string kOk("OK\0", 3);
}  // namespace

MailCentre::MailCentre(CallLine& line, SimState& state) : CentreBase(line, state) {}

void MailCentre::OnLine(const std::string& line) {
  state_.Note([&](SimRecord& r) { r.centreLines.push_back(line); });
  state_.Log("centre <- " + Visible(line));
  if (line.empty()) return;
  if (auto tag = Bracketed(line, "SOCKET_25_CONNECTION")) {
    Answer(Step::Connect, ProtocolLine("READY[" + *tag + "]"));
    AfterAnswer(Step::Ready);
    return;
  }
  if (line == "MAIL") {
    ExpectBody();
    return;
  }
  if (auto n = Bracketed(line, "GETLIST")) {
    if (auto raw = state_.With([](SimConfig& c, SimRecord&) {
          auto text = c.rawList;
          c.rawList.reset();
          return text;
        })) {
      Answer(Step::List, ProtocolLine("MAILLIST") + Framed(*raw));
      return;
    }
    long first = std::strtol(n->c_str(), nullptr, 10);
    bool none = false;
    std::string page = ListPage(first < 1 ? 1 : static_cast<size_t>(first), none);
    Answer(Step::List, none ? kNoMore : ProtocolLine("MAILLIST") + Framed(page));
    return;
  }
  if (auto id = Bracketed(line, "GET")) {
    auto body = state_.With([&](SimConfig& c, SimRecord&) -> std::optional<std::string> {
      for (const auto& m : c.mails)
        if (m.id == *id) return m.body;
      return std::nullopt;
    });
    Answer(Step::Get, body ? ProtocolLine("MAIL") + Framed(*body) : kNoMore);
    return;
  }
  if (auto id = Bracketed(line, "PURGE")) {
    bool found = state_.With([&](SimConfig& c, SimRecord& r) {
      for (auto it = c.mails.begin(); it != c.mails.end(); ++it)
        if (it->id == *id) {
          c.mails.erase(it);
          r.purged.push_back(*id);
          if (!c.purgedFile.empty()) std::ofstream(c.purgedFile, std::ios::app) << *id << "\n";
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

}  // namespace handsetsim
