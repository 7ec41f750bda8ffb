#include "Handset.h"

#include "Peers.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <random>
#include <utility>

namespace handsetsim {
namespace {
constexpr uint8_t kCts = 0x10;
constexpr uint8_t kDsr = 0x20;
constexpr uint8_t kRing = 0x40;
constexpr uint8_t kDcd = 0x80;
constexpr size_t kMaxCommand = 512;
constexpr auto kDialDelay = std::chrono::milliseconds(30);
constexpr auto kNoCarrierDelay = std::chrono::milliseconds(100);

bool Digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::string Visible(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == 0) out += "\\0";
    else if (c < 0x20 || c == 0x7F) {
      static const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else out += static_cast<char>(c);
  }
  return out;
}

Handset::Handset(LineServer& line, SimState& state, PeerFactory peers)
    : line_(line), state_(state), peers_(std::move(peers)), info_(state) {
  state_.With([&](SimConfig& c, SimRecord&) {
    powered_ = c.powered;
    registers_[240] = c.emailNotice.empty() ? "0" : c.emailNotice;
    lightMailText_ = c.lightMail;
    lightMails_ = c.lightMail.empty() ? 0 : 1;
    return 0;
  });
}

uint8_t Handset::LineStatus() const {
  return static_cast<uint8_t>((powered_ ? (kCts | kDsr) : 0) | (ringing_ ? kRing : 0) |
                              (callUp_ && !carrierLate_ ? kDcd : 0));
}

void Handset::OnHostConnected() {
  echo_ = false;
  infoMode_ = false;
  infoPrepared_ = false;
  command_.clear();
  service_ = -1;
  bool pace = state_.With([](SimConfig& c, SimRecord&) { return c.pace; });
  line_.SetPacing(pace);
  line_.SetStatus(LineStatus());
  state_.Note([](SimRecord& r) {
    ++r.connections;
    r.hostConnected = true;
  });
  state_.Log("host opened the port");
}

void Handset::OnHostDisconnected() {
  // Pulling the cable ends any call without a word.
  if (callUp_ || dialling_) EndCall(false);
  command_.clear();
  state_.Note([](SimRecord& r) {
    r.hostConnected = false;
    r.hostLines = 0;
  });
  state_.Log("host closed the port");
}

void Handset::OnHostRefused() {
  state_.Note([](SimRecord& r) { ++r.refused; });
  state_.Log("a second host was turned away");
}

void Handset::OnLines(uint8_t lines) {
  state_.Note([&](SimRecord& r) { r.hostLines = lines; });
  // &D2: dropping DTR hangs up.
  if (!(lines & LineServer::kDtr) && (callUp_ || dialling_)) {
    state_.Log("DTR dropped: hanging up");
    EndCall(true);
  }
}

void Handset::OnSpeed(uint32_t baud) {
  state_.Note([&](SimRecord& r) { r.hostSpeed = baud; });
}

void Handset::OnData(std::string_view bytes) {
  if (callUp_ && peer_) {
    peer_->OnData(bytes);
    return;
  }
  if (infoMode_) return InfoData(bytes);
  for (char c : bytes) {
    if (echo_) line_.SendData(std::string_view(&c, 1));
    if (c == '\r') {
      std::string command;
      command.swap(command_);
      Execute(command);
      if (callUp_) return;  // anything after the dial belongs to nobody
      if (infoMode_) {
        // What follows "AT@S" is information mode's.
        const size_t used = static_cast<size_t>(&c - bytes.data()) + 1;
        if (used < bytes.size()) InfoData(bytes.substr(used));
        return;
      }
    } else if (c == '\n') {
      continue;
    } else if (c == '\b') {
      if (!command_.empty()) command_.pop_back();
    } else if (command_.size() < kMaxCommand) {
      command_.push_back(c);
    } else {
      command_.clear();
    }
  }
}

void Handset::Execute(const std::string& raw) {
  size_t start = raw.find_first_not_of(' ');
  if (start == std::string::npos) return;
  std::string line = raw.substr(start);
  if (line.size() < 2 || std::toupper(static_cast<unsigned char>(line[0])) != 'A' ||
      std::toupper(static_cast<unsigned char>(line[1])) != 'T')
    return;
  const std::string body = line.substr(2);
  state_.Note([&](SimRecord& r) { r.atCommands.push_back(body); });
  state_.Log("AT" + Visible(body));
  if (dialling_) return;  // a command while dialling is ignored
  auto ring = state_.With([&body](SimConfig& c, SimRecord&) {
    std::optional<IncomingCall> call;
    for (auto it = c.commandRings.begin(); it != c.commandRings.end(); ++it) {
      if (it->command != body) continue;
      call = it->call;
      if (--it->times <= 0) c.commandRings.erase(it);
      break;
    }
    return call;
  });
  if (ring) {
    Ring(*ring);
    return;
  }
  const auto scripted = state_.With([&body](SimConfig& c, SimRecord&) {
    const auto it = c.atAnswers.find(body);
    return it == c.atAnswers.end() ? std::optional<std::string>() : std::optional<std::string>(it->second);
  });
  if (scripted) {
    if (!scripted->empty()) line_.SendData(*scripted);
    return;
  }

  std::string out;
  bool error = false;
  auto info = [&](const std::string& text) { out += "\r\n" + text + "\r\n"; };
  auto number = [&](size_t& i) {
    long v = 0;
    bool any = false;
    while (i < body.size() && Digit(body[i])) {
      v = v * 10 + (body[i++] - '0');
      any = true;
    }
    return any ? v : -1;
  };
  SimConfig config = state_.With([](SimConfig& c, SimRecord&) { return c; });
  bool echoSet = false, settings = false;
  size_t i = 0;
  while (i < body.size() && !error) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(body[i++])));
    switch (c) {
      case ' ': break;
      case 'E':
        echo_ = number(i) == 1;
        echoSet = true;
        break;
      case 'V':
      case 'Q': number(i); break;
      case 'H':
        number(i);
        if (callUp_) EndCall(false);
        break;
      case 'I': {
        long n = number(i);
        if (n == 9) info(infoPrepared_ && !config.i9InfoText.empty() ? config.i9InfoText : config.i9Text);
        else if (n == 3) info(config.i3Text);
        else if (n == 6) info(config.ownNumber);
        else error = true;
        break;
      }
      case '&':
      case '\\':
        if (i < body.size() && std::isalpha(static_cast<unsigned char>(body[i]))) {
          if (c == '&' && std::toupper(static_cast<unsigned char>(body[i])) == 'D') settings = true;
          ++i;
          number(i);
        } else error = true;
        break;
      case '#': {
        if (i >= body.size()) {
          error = true;
          break;
        }
        char k = static_cast<char>(std::toupper(static_cast<unsigned char>(body[i++])));
        long n = number(i);
        if (k == 'E' && i < body.size() && std::toupper(static_cast<unsigned char>(body[i])) == 'R') {
          ++i;  // "#ER1": rings and e-mail arrivals are reported
          number(i);
          break;
        }
        if (k == 'P') error = !config.p1Supported;
        else if (k == 'R') info(std::to_string(lightMails_));
        else if (k == 'Q') {
          if (n == 2 && config.q2Supported) info(config.ownNumber);
          else error = true;
        } else if (k == 'X') service_ = static_cast<int>(n);
        else if (k == 'A' || k == 'B' || k == 'C' || k == 'I') {
        } else error = true;  // the ring-wait registers come with the ring simulation
        break;
      }
      case 'S': {
        long reg = number(i);
        if (reg < 0) {
          error = true;
        } else if (i < body.size() && body[i] == '?') {
          ++i;
          if (reg == 211) {
            // Reading the light mail takes it from the handset.
            info(lightMails_ > 0 ? lightMailText_ : "0");
            lightMails_ = 0;
            break;
          }
          auto it = registers_.find(static_cast<int>(reg));
          info(it == registers_.end() ? "0" : it->second);
        } else if (i < body.size() && body[i] == '=') {
          ++i;
          long v = number(i);
          registers_[static_cast<int>(reg)] = std::to_string(v < 0 ? 0 : v);
        } else error = true;
        break;
      }
      case '@': {
        if (i >= body.size()) {
          error = true;
          break;
        }
        char k = static_cast<char>(std::toupper(static_cast<unsigned char>(body[i++])));
        if (k == 'R') {
          long a = number(i);
          long b = (i < body.size() && body[i] == ':') ? (++i, number(i)) : -1;
          if (a < 0 || b < 0) error = true;
          else info("PAGING CONFIG " + std::to_string(a) + ":" + std::to_string(b));
        } else if (k == 'B') {
          number(i);
        } else if (k == 'S') {
          infoMode_ = true;
          infoIn_.clear();
          info_.Begin();
          state_.Note([](SimRecord& r) { r.infoMode = true; });
        } else error = true;
        break;
      }
      case 'D': {
        if (i < body.size() && std::strchr("XTPxtp", body[i])) ++i;
        Dial(body.substr(i));
        return;
      }
      default: error = true; break;
    }
  }
  if (echoSet && !error) infoPrepared_ = settings;
  out += error ? "\r\nERROR\r\n" : "\r\nOK\r\n";
  line_.SendData(out);
}

void Handset::Dial(const std::string& number) {
  state_.Note([&](SimRecord& r) { r.dialled.push_back(number); });
  auto fault = state_.TakeFault(Step::Dial);
  dialling_ = true;
  const uint64_t generation = ++callGeneration_;
  auto noCarrier = [this, generation] {
    if (generation != callGeneration_ || !dialling_) return;
    dialling_ = false;
    line_.SendData("\r\nNO CARRIER\r\n");
  };
  if (fault && fault->action == Action::Silent) return;  // rings for ever; a DTR drop ends it
  if (fault && fault->action == Action::Unplug) return Unplug();
  if (fault && (fault->action == Action::Garbage || fault->action == Action::LongLine)) {
    // A line that is no modem result in place of the call's; nothing connects.
    std::string junk(static_cast<size_t>(fault->arg > 0 ? fault->arg : 64), 'A');
    std::mt19937 random(7919);
    if (fault->action == Action::Garbage)
      for (char& c : junk) c = static_cast<char>(random() & 0xFF);
    line_.After(kDialDelay, [this, generation, junk] {
      if (generation != callGeneration_ || !dialling_) return;
      line_.SendData(junk + "\r\n");
    });
    return;
  }
  if (fault && (fault->action == Action::NoCarrier || fault->action == Action::Drop)) {
    line_.After(kNoCarrierDelay, noCarrier);
    return;
  }
  auto peer = peers_ ? peers_(service_, number, *this) : nullptr;
  if (!peer) {
    line_.After(kNoCarrierDelay, noCarrier);
    return;
  }
  peer_ = std::move(peer);
  const int carrierLateMs =
      fault && fault->action == Action::LateCarrier ? static_cast<int>(fault->arg > 0 ? fault->arg : 150) : 0;
  line_.After(kDialDelay, [this, generation, carrierLateMs] {
    if (generation != callGeneration_ || !dialling_) return;
    dialling_ = false;
    Connect(carrierLateMs);
  });
}

void Handset::Connect(int carrierLateMs) {
  callUp_ = true;
  // DCD comes up before the result, as on a real modem, unless it is late.
  carrierLate_ = carrierLateMs > 0;
  line_.SetStatus(LineStatus());
  line_.SendData("\r\nCONNECT 64000\r\n");
  if (carrierLate_) {
    const uint64_t generation = callGeneration_;
    line_.After(std::chrono::milliseconds(carrierLateMs), [this, generation] {
      if (generation != callGeneration_ || !carrierLate_) return;
      carrierLate_ = false;
      line_.SetStatus(LineStatus());
      state_.Log("carrier up");
    });
  }
  state_.Note([](SimRecord& r) { r.callUp = true; });
  state_.Log(carrierLate_ ? "call connected, carrier to follow" : "call connected");
  peer_->OnConnected();
}

void Handset::Ring(const IncomingCall& call) {
  if (!line_.HostConnected() || callUp_ || dialling_ || infoMode_) {
    state_.Log("a call rang while the handset was busy or alone");
    return;
  }
  state_.Note([](SimRecord& r) { ++r.rings; });
  std::string out = "\r\nRING\r\n";
  out += (call.protocolLine.empty() ? "PROTOCOL=" + std::to_string(call.protocol) : call.protocolLine) + "\r\n";
  out += "ID=" + call.callerId + "\r\n";
  std::string third;
  switch (call.kind) {
    case CallKind::DirectMail: third = "KmailDX=" + std::to_string(call.numberValue); break;
    case CallKind::LightMail: third = "Breezemail=" + std::to_string(call.numberValue); break;
    case CallKind::EMailNotice: third = "E-mail_AUTORCV"; break;
    case CallKind::Other: break;
  }
  if (!call.thirdLine.empty()) third = call.thirdLine;
  if (!third.empty()) out += third + "\r\n";
  line_.SendData(out);
  state_.Log("ring: " + Visible(out));
  const int indicatorMs = state_.With([](SimConfig& c, SimRecord&) { return c.ringIndicatorMs; });
  if (indicatorMs > 0) {
    ringing_ = true;
    line_.SetStatus(LineStatus());
    line_.After(std::chrono::milliseconds(indicatorMs), [this] {
      ringing_ = false;
      line_.SetStatus(LineStatus());
    });
  }
  if (call.kind == CallKind::LightMail) {
    lightMails_ = 1;
    lightMailText_ = call.text;
  } else if (call.kind == CallKind::EMailNotice) {
    registers_[240] = call.text.empty() ? "0" : call.text;
  }
  const uint64_t generation = ++callGeneration_;
  dialling_ = true;  // the call is being set up: commands wait
  line_.After(kDialDelay, [this, generation, call] {
    if (generation != callGeneration_ || !dialling_) return;
    dialling_ = false;
    state_.Note([](SimRecord& r) { ++r.ringsSettled; });
    if (call.kind == CallKind::DirectMail && call.connect) {
      CallLine& self = *this;
      peer_ = std::make_unique<DirectMailCaller>(self, state_, call);
      return Connect(call.carrierLateMs);
    }
    line_.SendData("\r\nNO CARRIER\r\n");
  });
}

void Handset::InfoData(std::string_view bytes) {
  infoIn_.append(bytes);
  for (;;) {
    if (infoIn_.compare(0, 3, "+++") == 0) {
      infoIn_.erase(0, 3);
      infoMode_ = false;
      state_.Note([](SimRecord& r) { r.infoMode = false; });
      state_.Log("information mode left");
      // The escape's answer follows its guard time.
      line_.After(std::chrono::milliseconds(50), [this] { line_.SendData("\r\nOK\r\n"); });
      if (!infoIn_.empty()) OnData(std::exchange(infoIn_, {}));
      return;
    }
    const size_t end = infoIn_.find("\r\n");
    if (end == std::string::npos) {
      if (infoIn_.size() > 4096) infoIn_.clear();
      return;
    }
    const std::string line = infoIn_.substr(0, end);
    infoIn_.erase(0, end + 2);
    state_.Note([&](SimRecord& r) { r.infoLines.push_back(line); });
    state_.Log("info <- " + Visible(line));
    std::string answer = info_.Answer(line);
    if (auto fault = state_.TakeFault(Step::Info)) {
      if (fault->action == Action::Silent) continue;
      if (fault->action == Action::Garbage) answer = "garbage\r\n";
      if (fault->action == Action::LongLine) answer = "<" + std::string(fault->arg > 0 ? fault->arg : 2000, '9') + ">\r\n";
      if (fault->action == Action::Drop || fault->action == Action::Unplug) {
        line_.Post([this] { line_.DropHost(); });
        return;
      }
    }
    line_.SendData(answer);
  }
}

void Handset::EndCall(bool noCarrierText) {
  const bool wasUp = callUp_;
  dialling_ = false;
  callUp_ = false;
  carrierLate_ = false;
  ++callGeneration_;
  // The peer may be the caller of this (through a timer); it goes after the turn.
  std::shared_ptr<CallPeer> ended(std::move(peer_));
  if (ended) line_.After(std::chrono::milliseconds(0), [ended] {});
  line_.SetStatus(LineStatus());
  if (noCarrierText) line_.SendData("\r\nNO CARRIER\r\n");
  if (wasUp) {
    state_.Note([](SimRecord& r) {
      r.callUp = false;
      ++r.callsEnded;
    });
    state_.Log("call ended");
  }
}

void Handset::Send(std::string_view bytes) {
  if (callUp_) line_.SendData(bytes);
}

void Handset::Hangup() {
  const uint64_t generation = callGeneration_;
  line_.After(std::chrono::milliseconds(0), [this, generation] {
    if (generation == callGeneration_ && callUp_) EndCall(true);
  });
}

void Handset::Unplug() {
  line_.Post([this] { line_.DropHost(); });
}

void Handset::After(std::chrono::milliseconds delay, std::function<void()> fn) {
  const uint64_t generation = callGeneration_;
  line_.After(delay, [this, generation, fn = std::move(fn)] {
    if (generation == callGeneration_ && peer_) fn();
  });
}

void Handset::SetPowered(bool on) {
  powered_ = on;
  line_.SetStatus(LineStatus());
}

void Handset::DropCarrier() {
  if (callUp_) EndCall(true);
}

void Handset::ReleaseHeld() {
  if (peer_) peer_->ReleaseHeld();
}

}  // namespace handsetsim
