#include "Peers.h"

namespace handsetsim {
namespace {
// A far end that hears nothing for this long hangs up.
constexpr auto kGiveUp = std::chrono::seconds(15);
}  // namespace

SignupCentre::SignupCentre(CallLine& line, SimState& state) : CentreBase(line, state) {}

void SignupCentre::OnLine(const std::string& line) {
  state_.Note([&](SimRecord& r) { r.centreLines.push_back(line); });
  state_.Log("sign-up centre <- " + Visible(line));
  if (line == "SOCKET_25_CONNECTION[1 SIGNUP]") {
    Answer(Step::Connect, ProtocolLine("READY[1 SIGNUP]"));
    AfterAnswer(Step::Ready);
  } else if (line == "MAIL") {
    ExpectBody();
  } else if (line == "TURN") {
    const std::string page = state_.With([&](SimConfig& c, SimRecord&) {
      if (c.signupPages.empty()) return "PAGE " + std::to_string(pages_ + 1) + "\r\n" + lastRequest_;
      return c.signupPages[std::min(static_cast<size_t>(pages_), c.signupPages.size() - 1)];
    });
    ++pages_;
    pageSent_ = true;
    Answer(Step::Page, ProtocolLine("MAIL") + Framed(page));
  } else if (line == "OK" && pageSent_) {
    pageSent_ = false;
    const auto close = state_.With([&](SimConfig& c, SimRecord&) {
      return std::make_pair(c.signupCloseAfter > 0 && pages_ >= c.signupCloseAfter, c.signupCloseCode);
    });
    if (!close.first) return line_.Send(ProtocolLine("TURN"));
    line_.Send(CloseLine(close.second));
    line_.After(std::chrono::milliseconds(100), [this] { line_.Hangup(); });
  } else if (auto code = Bracketed(line, "SOCKET_25_DISCONNECTION")) {
    state_.Note([&](SimRecord& r) { r.closeCodes.push_back(*code); });
    auto fault = state_.TakeFault(Step::Close);
    if (fault && fault->action == Action::Silent) return;  // the host hangs up
    line_.After(std::chrono::milliseconds(50), [this] { line_.Hangup(); });
  }
}

void SignupCentre::OnBody(std::string body) {
  state_.Note([&](SimRecord& r) { r.signupRequests.push_back(body); });
  lastRequest_ = body;
  Answer(Step::Mail, ProtocolLine("OK"));
}

DirectMailCaller::DirectMailCaller(CallLine& line, SimState& state, IncomingCall call)
    : CentreBase(line, state), call_(std::move(call)) {}

void DirectMailCaller::OnConnected() {
  line_.After(std::chrono::milliseconds(50), [this] { Answer(Step::Connect, ProtocolLine("SOCKET_25_CONNECTION[1 SMAIL]")); });
  line_.After(kGiveUp, [this] { line_.Hangup(); });
}

void DirectMailCaller::OnLine(const std::string& line) {
  state_.Note([&](SimRecord& r) { r.callerLines.push_back(line); });
  state_.Log("caller <- " + Visible(line));
  if (line == "READY[1 SMAIL]") {
    Answer(Step::Get, ProtocolLine("MAIL") + Framed(call_.body));
  } else if (line == "OK") {
    // A fault takes the close line's place (and decides about the hang-up).
    if (auto fault = state_.TakeFault(Step::Close)) return Apply(*fault, CloseLine(call_.closeCode), false);
    line_.Send(CloseLine(call_.closeCode));
    line_.After(std::chrono::milliseconds(100), [this] { line_.Hangup(); });
  } else if (Bracketed(line, "SOCKET_25_DISCONNECTION")) {
    line_.After(std::chrono::milliseconds(50), [this] { line_.Hangup(); });
  }
}

}  // namespace handsetsim
