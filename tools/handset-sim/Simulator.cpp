#include "Simulator.h"

#include "Handset.h"
#include "MailCentre.h"
#include "Peers.h"

namespace handsetsim {
namespace {
// The services of "#X": 2 e-mail send, 3 receive, 4 exchange go to the mail
// centre; 0, a direct mail, to the other handset, which takes it the same
// way; 9 to the sign-up centre.
bool MailService(int service) { return service == 0 || (service >= 2 && service <= 4); }
constexpr int kSignupService = 9;

SimMail WithBody(SimMail m) {
  if (m.body.empty()) m.body = MakeBody(m, 0);
  return m;
}
}  // namespace

class Simulator::Impl {
 public:
  explicit Impl(SimConfig config)
      : state(Prepared(std::move(config))),
        handset(line, state, [this](int service, const std::string&, CallLine& call) -> std::unique_ptr<CallPeer> {
          if (MailService(service)) return std::make_unique<MailCentre>(call, state);
          if (service == kSignupService) return std::make_unique<SignupCentre>(call, state);
          return nullptr;
        }) {}

  static SimConfig Prepared(SimConfig c) {
    for (auto& m : c.mails) m = WithBody(std::move(m));
    return c;
  }

  SimState state;
  LineServer line;
  Handset handset;
};

Simulator::Simulator(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start(const std::filesystem::path& socket, std::string* error) {
  return impl_->line.Start(socket, &impl_->handset, error);
}

void Simulator::Stop() { impl_->line.Stop(); }

void Simulator::AddMail(SimMail mail) {
  SimMail m = WithBody(std::move(mail));
  impl_->state.With([&](SimConfig& c, SimRecord&) {
    c.mails.push_back(m);
    return 0;
  });
}

void Simulator::AddFault(Fault fault) {
  impl_->state.With([&](SimConfig& c, SimRecord&) {
    c.faults.push_back(fault);
    return 0;
  });
}

void Simulator::SetRawList(std::string text) {
  impl_->state.With([&](SimConfig& c, SimRecord&) {
    c.rawList = std::move(text);
    return 0;
  });
}

void Simulator::SetPowered(bool on) {
  impl_->state.With([&](SimConfig& c, SimRecord&) {
    c.powered = on;
    return 0;
  });
  impl_->line.Post([this, on] { impl_->handset.SetPowered(on); });
}

void Simulator::ReleaseHeld() {
  impl_->line.Post([this] { impl_->handset.ReleaseHeld(); });
}

void Simulator::DropCarrier() {
  impl_->line.Post([this] { impl_->handset.DropCarrier(); });
}

void Simulator::Ring(IncomingCall call) {
  impl_->line.Post([this, call = std::move(call)] { impl_->handset.Ring(call); });
}

InfoStore Simulator::Info() const {
  return impl_->state.With([](SimConfig& c, SimRecord&) { return c.info; });
}

void Simulator::Unplug() {
  impl_->line.Post([this] { impl_->line.DropHost(); });
}

void Simulator::SetLog(std::function<void(const std::string&)> log) { impl_->state.SetLog(std::move(log)); }

void Simulator::SetWireTap(LineServer::WireTap tap) {
  impl_->line.Post([this, tap = std::move(tap)] { impl_->line.SetWireTap(tap); });
}

SimRecord Simulator::Record() const { return impl_->state.Record(); }

bool Simulator::WaitUntil(const std::function<bool(const SimRecord&)>& pred, std::chrono::milliseconds timeout) const {
  return impl_->state.WaitUntil(pred, timeout);
}

std::vector<SimMail> Simulator::Mailbox() const {
  return impl_->state.With([](SimConfig& c, SimRecord&) { return c.mails; });
}

}  // namespace handsetsim
