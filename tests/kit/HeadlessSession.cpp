#include "HeadlessSession.h"

#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "platform/IniFile.h"

#include <cstdlib>
#include <dlfcn.h>

namespace qvtest {

namespace {
extern "C" void IgnoreTrace(int32_t, const void*) {}
}  // namespace

SessionInbox::SessionInbox() {
  window_.SetHook([this](const seriallinktest::Ev& ev) {
    std::lock_guard lock(mutex_);
    posted_.push_back({static_cast<kwx::EventType>(ev.type), ev.code});
  });
}

void SessionInbox::DeliverTo(qv::SerialEventQueue& queue) {
  std::lock_guard lock(mutex_);
  for (const auto& event : posted_) queue.Add(event);
  posted_.clear();
}

std::vector<qv::SerialEvent> SessionInbox::Seen() const {
  std::vector<qv::SerialEvent> seen;
  for (const auto& ev : window_.Events()) seen.push_back({static_cast<kwx::EventType>(ev.type), ev.code});
  return seen;
}

void RecordingView::SetProgress(int i, bool pending) {
  lastProgress = i;
  progress.push_back(std::to_string(i) + (pending ? " pending" : " done"));
}

qv::ContinueAnswer RecordingView::AskContinue() {
  if (onContinue) return onContinue();
  Fail("no 30-second dialog was expected");
  return qv::ContinueAnswer::Disconnect;
}

qv::SelectAnswer RecordingView::ChooseMails(const std::vector<std::string>& lines, std::vector<std::string>& chosen) {
  if (onChoose) return onChoose(lines, chosen);
  Fail("no selective list was expected");
  return qv::SelectAnswer::End;
}

void RecordingView::ProcessMessages() {
  inbox_.DeliverTo(events_);
  if (abortWhen && abortWhen()) aborted_ = true;
}

void RecordingHost::InitSerialModule(bool) {
  peer.clear();
  link_.Initial(inbox_.Window(), qv::MakeInitialParam(qv::EMailPhoneNo()));
}

std::string RecordingHost::ReportMessage(std::string_view idOrText, bool show) {
  reports.emplace_back(idOrText);
  if (show) shownReports.emplace_back(idOrText);
  return std::string(idOrText);
}

HeadlessLauncher::HeadlessLauncher(const std::filesystem::path& dir) : dir_(dir), launcher_(dir) {
  std::filesystem::create_directories(dir_ / "ports");
  std::filesystem::create_directories(dir_ / "MailLog");
  std::filesystem::copy_file(AppDir() / "Portvine.so", dir_ / "Portvine.so",
                             std::filesystem::copy_options::overwrite_existing);
  ::unsetenv("QUORVEL_PORTS");
  qv::IniFile ini(dir_ / "Quorvel.ini");
  ini.WriteString("Port", "SerialPort", "COM5");
  ini.WriteString("PhoneNo", "DefaultEMailPhoneNo", "0570001234");
  ini.WriteString("PhoneNo", "DefaultOnlineSignUpPhoneNo", "0570009999");
}

HeadlessLauncher::~HeadlessLauncher() {
  link.Unbind();
  if (sim_) sim_->Stop();
}

bool HeadlessLauncher::StartHandset(handsetsim::SimConfig config, int clockRate, std::string* error) {
  sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
  if (!sim_->Start(dir_ / "ports" / "COM5", error)) return false;
  if (!link.Bind("Portvine.so", &IgnoreTrace)) {
    if (error) *error = "Portvine.so does not bind";
    return false;
  }
  // The module's deadlines and pauses pass faster.
  void* module = dlopen((dir_ / "Portvine.so").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
  auto rate = module ? reinterpret_cast<void (*)(int32_t)>(dlsym(module, "PortvineTestSetClockRate")) : nullptr;
  if (module) dlclose(module);
  if (!rate) {
    if (error) *error = "Portvine.so has no test clock";
    return false;
  }
  rate(clockRate);
  return true;
}

qv::SessionResult HeadlessLauncher::Run(qv::SessionMode mode, qv::SessionOptions options) {
  qv::SessionContext context{link, host, view, events, keeper, options};
  return qv::RunSessionOfMode(context, mode);
}

}  // namespace qvtest
