#include "Portvine.h"

#include "Codes.h"
#include "seriallink/common/CallerData.h"
#include "platform/Paths.h"
#include "platform/Version.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace portvine {
namespace {
constexpr int32_t kSignupKind = 0, kDirectMailKind = 1, kRingWaitKind = 2, kInfoKind = 6;

using ::seriallink::CallerText;
using ::seriallink::WriteOut36;
}  // namespace

Portvine::Portvine() : port_(status_, abort_, flow_), engine_(port_, status_, params_, abort_, operation_, flow_) {
  status_.Trace("cmn->Callback Ready");
}

Portvine::~Portvine() { engine_.Shutdown(std::chrono::seconds(20)); }

int32_t Portvine::Initial(uint32_t window, const KwxInitialParam* param) {
  status_.Trace("Entering kwxInitial()");
  if (param) {
    KwxInitialParam copy;
    std::memcpy(&copy, param, sizeof copy);
    copy.NotifyWindow = window;
    params_.Set(copy);
  } else {
    params_.Change([&](KwxInitialParam& p) { p.NotifyWindow = window; });
  }
  status_.Trace("Exiting  kwxInitial()");
  return 1;
}

int32_t Portvine::Terminate() {
  status_.Trace("Entering kwxTerminate()");
  status_.Trace("Exiting  kwxTerminate()");
  return 1;
}

int32_t Portvine::GetState() const { return engine_.Running() ? 1 : 0; }

bool Portvine::StartKind(int32_t kind, const std::function<void()>& recordInputs, const std::function<bool()>& prepare) {
  const bool started = engine_.Start(
      kind,
      [&] {
        sessionStarted_.store(true);
        const KwxInitialParam p = params_.Get();
        if (kind != kInfoKind) status_.autoReceive.store(p.AutoReceive);
        if (kind == kRingWaitKind) status_.ringReject.store(p.RingReject);
        if (recordInputs) recordInputs();
      },
      prepare);
  return started;
}

int32_t Portvine::ConnectEMail(int32_t mode, int32_t count) {
  if (mode < 0 || mode > 2) return 0;
  const int32_t kind = 3 + mode;
  return StartKind(kind, [&] {
    if (kind != 4) status_.SetMailCount(count);
  }) ? 1 : 0;
}

int32_t Portvine::ConnectSMail(const char* destination, const char* data, int32_t length) {
  // A direct mail with nothing to send is refused before any call.
  if (!port_.PortStoreBody(data, length)) return 0;
  const std::string number = CallerText(destination, 35);
  return StartKind(kDirectMailKind, [&] { status_.SetDestination(number); }) ? 1 : 0;
}

int32_t Portvine::ConnectSignup() {
  // The events are cleared by the start itself: a refused call leaves those
  // of a running session alone (a ring wait without its flow event is deaf).
  if (!engine_.EnsureModem()) return 0;
  return StartKind(kSignupKind, nullptr) ? 1 : 0;
}

int32_t Portvine::Disconnect(int32_t reason) {
  engine_.Stop(reason);
  return 1;
}

int32_t Portvine::TestPort(int32_t number) {
  return ::seriallink::TestComPort(number, port_.IsOpen() ? port_.Name() : std::string());
}

int32_t Portvine::GetErrorCode() const { return port_.Error(); }

int32_t Portvine::SetParam(int32_t id, int32_t value) {
  switch (id) {
    case 1: {
      CModem* modem = engine_.Modem();
      if (!modem || !port_.IsOpen() || engine_.Running()) return 0;
      return modem->SetBilling(value != 0) ? 1 : 0;
    }
    case 4:
      if (!sessionStarted_.load()) return 0;
      params_.Change([&](KwxInitialParam& p) { p.DialWithNum = value; });
      return 1;
    case 5:
      if (!sessionStarted_.load()) return 0;
      params_.Change([&](KwxInitialParam& p) { p.RingReject = value; });
      status_.ringReject.store(value);
      return 1;
    default: return 0;
  }
}

int32_t Portvine::GetParam(int32_t id, char* buffer, int32_t size) const {
  if (size <= 0 || id < 0 || id > 6 || !buffer) return 0;
  std::string source;
  switch (id) {
    case 0: {
      source = engine_.OwnNumber();
      if (source.empty() || source[0] != '0') source.clear();
      break;
    }
    case 2: source = CallerText(status_.Incoming().lightMailText, 750); break;
    case 3: source = CallerText(status_.Incoming().emailNotice, 128); break;
    case 6: source = CallerText(status_.Incoming().callerId, 36); break;
    default: return 0;
  }
  // As strncpy: at most size bytes, NUL-padded, no NUL added when the text is longer.
  const size_t n = std::min(source.size(), static_cast<size_t>(size));
  std::memcpy(buffer, source.data(), n);
  std::memset(buffer + n, 0, static_cast<size_t>(size) - n);
  return 1;
}

int32_t Portvine::AsyncSendEMail(const char* data, int32_t length) {
  if (!port_.PortStoreBody(data, length)) return 0;
  operation_.Set();
  return 1;
}

int32_t Portvine::AsyncGetEMailList(int32_t count) {
  status_.SetOperation(kOpGetList, count, {});
  operation_.Set();
  return 0;
}

int32_t Portvine::AsyncGetEMail(const char* id) {
  status_.SetOperation(kOpGet, 0, CallerText(id, CStatus::kMailIdMax));
  operation_.Set();
  return 0;
}

int32_t Portvine::PurgeEMail(const char* id) {
  status_.SetOperation(kOpPurge, 0, CallerText(id, CStatus::kMailIdMax));
  operation_.Set();
  return 0;
}

int32_t Portvine::ExitEMail() {
  status_.SetOperation(kOpExit, 0, {});
  operation_.Set();
  return 0;
}

int32_t Portvine::ReadySMail() {
  operation_.Set();
  return 1;
}

int32_t Portvine::AsyncGetBuffer(char* buffer, int32_t* size) {
  engine_.Buffer().Take(buffer, size);
  flow_.Set();
  return 1;
}

int32_t Portvine::WaitForRing() {
  // As for sign-up, only a start that goes ahead clears the events.
  return StartKind(kRingWaitKind, nullptr) ? 1 : 0;
}

int32_t Portvine::ResumeTxRx() { return engine_.ResumeTxRx() ? 1 : 0; }

int32_t Portvine::GetTelNumber(const char* portName, int32_t baud, char* out36) {
  // It shares the sessions' port object: never while one runs.
  if (engine_.Running() || port_.IsOpen()) {
    status_.startRefusal.store(code::Busy);
    return 0;
  }
  abort_.Reset();
  operation_.Reset();
  flow_.Set();
  // A stop meant for an earlier session does not stop the query.
  port_.ClearCancel();
  port_.ClearStopRingWait();
  CModem modem(port_, nullptr);
  if (!port_.PortSetup(CallerText(portName, 64), baud)) return 0;
  if (!port_.PortOpen()) return 0;
  if (!modem.PrepareNumberQuery()) {
    port_.PortClose();
    return 0;
  }
  port_.Purge();
  std::string number;
  const bool ok = modem.ReadOwnNumber(number);
  if (out36) WriteOut36(out36, number);
  port_.PortClose();
  return ok ? 1 : 0;
}

int32_t Portvine::GetDllVersion(char* out36) const {
  auto version = qv::ReadVersionValue(qv::FromProgramDir("KWX.so"), "ProductVersion");
  WriteOut36(out36, version ? *version : std::string("0.1.0.0"));
  return 1;
}

void Portvine::LogWrite(const char* text) { status_.Trace(text); }

int32_t Portvine::EnterInfoMode(int32_t category) {
  status_.Trace("Entering kwxEnterInfoMode()");
  // The handset is prepared on the caller's thread and must be able to take
  // information mode before any worker starts.
  auto prepare = [this] {
    auto refuse = [this](int32_t code, bool close) {
      status_.SetError(code);
      status_.Notify(kwx::KWX_EV_MODULE_ERROR, code - code::NoError);
      if (close) port_.PortClose();
      return false;
    };
    CModem* modem = engine_.Modem();
    if (!modem) return refuse(code::PreparationFailed, false);
    if (!port_.PortOpen()) return refuse(code::PortCannotOpen, false);
    if (!modem->PrepareInfo()) return refuse(code::PreparationFailed, true);
    const int32_t able = modem->InfoCheck();
    if (able != 1 && able != 3) {
      port_.Purge();
      return refuse(code::InfoNotAble, true);
    }
    return true;
  };
  const bool started = StartKind(kInfoKind, [&] { status_.SetInfoCategory(category); }, prepare);
  status_.Trace("Exiting  kwxEnterInfoMode()");
  return started ? 1 : 0;
}

int32_t Portvine::PostInfo(int32_t operation) {
  status_.SetInfoOperation(operation);
  operation_.Set();
  return 1;
}

int32_t Portvine::SetInfo(const char* data, int32_t length, int32_t operation) {
  status_.SetInfoData(data, length);
  return PostInfo(operation);
}

int32_t Portvine::SetCategory(int32_t category) {
  status_.SetInfoCategory(category);
  return PostInfo(4);
}

void Portvine::SetCallback(KwxTraceProc proc) {
  status_.SetCallback(proc);
  status_.Trace("cmn->Callback Ready");
}

}  // namespace portvine
