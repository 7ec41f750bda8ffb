// The mailbox script and the fault notation shared by the program and tests.
#include "Simulator.h"

#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <cstdlib>
#include <sstream>

namespace handsetsim {
namespace {

struct Named {
  const char* name;
  int value;
};
constexpr Named kSteps[] = {{"dial", static_cast<int>(Step::Dial)},   {"connect", static_cast<int>(Step::Connect)},
                            {"ready", static_cast<int>(Step::Ready)}, {"mail", static_cast<int>(Step::Mail)},
                            {"list", static_cast<int>(Step::List)},   {"get", static_cast<int>(Step::Get)},
                            {"purge", static_cast<int>(Step::Purge)}, {"close", static_cast<int>(Step::Close)},
                            {"page", static_cast<int>(Step::Page)},   {"info", static_cast<int>(Step::Info)}};
constexpr Named kActions[] = {
    {"drop", static_cast<int>(Action::Drop)},           {"drop-after", static_cast<int>(Action::DropAfter)},
    {"cut", static_cast<int>(Action::Cut)},             {"silent", static_cast<int>(Action::Silent)},
    {"hold", static_cast<int>(Action::Hold)},           {"garbage", static_cast<int>(Action::Garbage)},
    {"long-line", static_cast<int>(Action::LongLine)},  {"close", static_cast<int>(Action::CloseCode)},
    {"out-of-turn", static_cast<int>(Action::OutOfTurn)}, {"no-carrier", static_cast<int>(Action::NoCarrier)},
    {"stall", static_cast<int>(Action::Stall)},         {"unplug", static_cast<int>(Action::Unplug)},
    {"late-carrier", static_cast<int>(Action::LateCarrier)}};

template <size_t N>
bool Lookup(const Named (&table)[N], const std::string& name, int& value) {
  for (const auto& n : table)
    if (name == n.name) {
      value = n.value;
      return true;
    }
  return false;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, sep)) out.push_back(field);
  if (!text.empty() && text.back() == sep) out.emplace_back();
  return out;
}

bool ParseNumber(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return end && *end == '\0';
}

bool MakeFault(const std::vector<std::string>& f, Fault& fault, std::string* error) {
  int step = 0, action = 0;
  if (f.size() < 2 || !Lookup(kSteps, f[0], step)) {
    if (error) *error = "unknown fault step \"" + (f.empty() ? std::string() : f[0]) + "\"";
    return false;
  }
  if (!Lookup(kActions, f[1], action)) {
    if (error) *error = "unknown fault action \"" + f[1] + "\"";
    return false;
  }
  fault = Fault{};
  fault.step = static_cast<Step>(step);
  fault.action = static_cast<Action>(action);
  long v = 0;
  if (f.size() > 2 && !f[2].empty()) {
    if (!ParseNumber(f[2], v)) {
      if (error) *error = "bad fault argument \"" + f[2] + "\"";
      return false;
    }
    fault.arg = v;
  }
  if (f.size() > 3) {
    if (!ParseNumber(f[3], v) || v < 1) {
      if (error) *error = "bad fault occurrence \"" + f[3] + "\"";
      return false;
    }
    fault.occurrence = static_cast<int>(v);
  }
  return true;
}

}  // namespace

bool ParseFault(const std::string& text, Fault& fault, std::string* error) { return MakeFault(Split(text, ':'), fault, error); }

bool ParseRing(const std::string& text, IncomingCall& call, std::string* error) {
  static constexpr struct {
    const char* name;
    CallKind kind;
    int protocol;
  } kKinds[] = {{"direct-mail", CallKind::DirectMail, 3},
                {"light-mail", CallKind::LightMail, 1},
                {"email-notice", CallKind::EMailNotice, 1},
                {"other", CallKind::Other, 0}};
  const size_t colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  call = IncomingCall{};
  bool known = false;
  for (const auto& k : kKinds)
    if (kind == k.name) {
      call.kind = k.kind;
      call.protocol = k.protocol;
      known = true;
    }
  if (!known) {
    if (error) *error = "unknown call kind \"" + kind + "\"";
    return false;
  }
  if (colon == std::string::npos) return true;
  // The text may hold colons of its own: only the first two separate.
  const size_t second = text.find(':', colon + 1);
  call.callerId = text.substr(colon + 1, second == std::string::npos ? std::string::npos : second - colon - 1);
  if (second != std::string::npos) {
    std::string t = text.substr(second + 1);
    if (call.kind == CallKind::DirectMail) call.body = t + "\r\n";
    else call.text = t;
  }
  return true;
}

SimConfig MakeMailbox(int count, size_t size) {
  SimConfig c;
  for (int i = 1; i <= count; ++i) {
    SimMail m{"ID" + std::to_string(i), "from" + std::to_string(i) + "@example.jp", "subject " + std::to_string(i),
              "2024/03/0" + std::to_string(i) + " 10:00:00", ""};
    m.body = MakeBody(m, size);
    c.mails.push_back(m);
  }
  return c;
}

std::string MakeBody(const SimMail& mail, size_t size) {
  std::string body = "From: " + mail.sender + "\r\nSubject: " + mail.subject + "\r\nDate: " + mail.date + "\r\n\r\n";
  if (size <= body.size()) return body;
  // Filler lines of up to 72 characters; the last line is cut to make the size exact.
  static const std::string kFiller = "The quick brown fox jumps over the lazy dog 0123456789 abcdefghijklmnopq";
  while (body.size() < size) {
    size_t room = size - body.size();
    if (room <= 2) {
      body.append(room == 2 ? "\r\n" : "\n");
      break;
    }
    size_t n = std::min(kFiller.size(), room - 2);
    body.append(kFiller, 0, n);
    body.append("\r\n");
  }
  return body;
}

bool LoadScript(const std::filesystem::path& file, SimConfig& config, std::string* error) {
  std::string text;
  if (!qv::ReadWholeFile(file, text)) {
    if (error) *error = "cannot read " + file.string();
    return false;
  }
  int lineNo = 0;
  std::istringstream in(text);
  std::string raw;
  std::vector<size_t> sized;  // mails whose body is made from a size
  std::vector<size_t> sizes;
  auto fail = [&](const std::string& why) {
    if (error) *error = file.string() + ":" + std::to_string(lineNo) + ": " + why;
    return false;
  };
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.empty() || raw[0] == '#') continue;
    std::vector<std::string> f = Split(qv::cp932::FromUtf8(raw), '\t');
    const std::string& key = f[0];
    if (key == "mail") {
      if (f.size() < 4) return fail("a mail needs an id, a sender and a subject");
      SimMail m;
      m.id = f[1];
      m.sender = f[2];
      m.subject = f[3];
      if (f.size() > 4 && !f[4].empty()) m.date = f[4];
      long size = 0;
      if (f.size() > 5 && !f[5].empty() && (!ParseNumber(f[5], size) || size < 0)) return fail("bad size \"" + f[5] + "\"");
      config.mails.push_back(m);
      sized.push_back(config.mails.size() - 1);
      sizes.push_back(static_cast<size_t>(size));
    } else if (key == "body") {
      if (config.mails.empty()) return fail("a body line before any mail");
      SimMail& m = config.mails.back();
      if (!sized.empty() && sized.back() == config.mails.size() - 1) {
        sized.pop_back();
        sizes.pop_back();
      }
      // A body line is the rest of the line after the keyword, TABs and all.
      m.body += (f.size() > 1 ? qv::cp932::FromUtf8(raw.substr(raw.find('\t') + 1)) : std::string()) + "\r\n";
    } else if (key == "fault") {
      Fault fault;
      std::string why;
      if (!MakeFault(std::vector<std::string>(f.begin() + 1, f.end()), fault, &why)) return fail(why);
      config.faults.push_back(fault);
    } else if (key == "own-number" && f.size() > 1) {
      config.ownNumber = f[1];
    } else if (key == "i9" && f.size() > 1) {
      config.i9Text = f[1];
    } else if (key == "i9-info" && f.size() > 1) {
      config.i9InfoText = f[1];
    } else if (key == "info") {
      long category = 0;
      if (f.size() < 3 || !ParseNumber(f[1], category)) return fail("an info record needs a category and its data");
      config.info[static_cast<int>(category)].push_back(f[2]);
    } else if (key == "no-lines") {
      config.powered = false;
    } else if (key == "pace") {
      config.pace = true;
    } else if (key == "no-p1") {
      config.p1Supported = false;
    } else {
      return fail("unknown line \"" + key + "\"");
    }
  }
  for (size_t i = 0; i < sized.size(); ++i) config.mails[sized[i]].body = MakeBody(config.mails[sized[i]], sizes[i]);
  return true;
}

}  // namespace handsetsim
