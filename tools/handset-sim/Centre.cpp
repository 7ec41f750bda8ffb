#include "Centre.h"

#include <cstdio>
#include <random>

namespace handsetsim {
namespace {
constexpr size_t kMaxLine = 8192;
}  // namespace

std::string ProtocolLine(const std::string& text) { return text + std::string(1, '\0'); }

std::optional<std::string> Bracketed(const std::string& line, const std::string& name) {
  if (line.compare(0, name.size() + 1, name + "[") != 0 || line.back() != ']') return std::nullopt;
  return line.substr(name.size() + 1, line.size() - name.size() - 2);
}

std::string Framed(std::string body) {
  if (body.empty() || body.back() != '\n') body += "\r\n";
  return body + ".\r\n";
}

std::string CloseLine(long code) {
  char close[40];
  std::snprintf(close, sizeof close, "SOCKET_25_DISCONNECTION[%04ld]", code >= 0 ? code % 10000 : 0);
  return ProtocolLine(close);
}

void CentreBase::OnData(std::string_view bytes) {
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

void CentreBase::Answer(Step step, const std::string& bytes) {
  if (auto fault = state_.TakeFault(step)) Apply(*fault, bytes, false);
  else line_.Send(bytes);
}

void CentreBase::AfterAnswer(Step step) {
  if (auto fault = state_.TakeFault(step)) Apply(*fault, {}, true);
}

void CentreBase::Apply(const Fault& fault, const std::string& bytes, bool afterAnswer) {
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
    case Action::Stall:
      line_.Send(bytes.substr(0, bytes.size() / 2));
      held_ = bytes.substr(bytes.size() / 2);
      break;
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
      line_.Send(CloseLine(fault.arg));
      line_.After(std::chrono::milliseconds(100), [this] { line_.Hangup(); });
      break;
    }
    case Action::OutOfTurn: line_.Send(ProtocolLine("TURN")); break;
    case Action::Unplug: line_.Unplug(); break;
    case Action::LateCarrier: line_.Send(bytes); break;  // the dial's alone
  }
}

void CentreBase::ReleaseHeld() {
  if (held_.empty()) return;
  line_.Send(held_);
  held_.clear();
}

}  // namespace handsetsim
