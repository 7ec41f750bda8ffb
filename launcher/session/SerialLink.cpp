#include "launcher/session/SerialLink.h"

#include "core/data/HandsetExchange.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace qv {
namespace {

template <typename Fn>
bool Take(const Module& module, const char* name, Fn& slot) {
  slot = module.Function<Fn>(name);
  return slot != nullptr;
}

}  // namespace

KwxInitialParam MakeInitialParam(const std::string& centre) {
  KwxInitialParam block;
  std::memset(&block, 0, sizeof block);
  const std::string number = MakeDialString(centre);
  const std::string signUp = MakeDialString(OnlineSignUpPhoneNo());
  const std::string port = ComPortDeviceName(IniRead(keys::SerialPort), true);
  std::strncpy(block.EMailPhoneNo, number.c_str(), sizeof block.EMailPhoneNo - 1);
  std::strncpy(block.OnlineSignUpPhoneNo, signUp.c_str(), sizeof block.OnlineSignUpPhoneNo - 1);
  block.Reserved = 0;
  block.Bunkei = IniReadBool(keys::BunkeiFlag) ? -1 : 0;
  std::strncpy(block.SerialPort, port.c_str(), sizeof block.SerialPort - 1);
  block.Baudrate = BaudRateOrDefault(IniReadInteger(keys::Baudrate));
  block.RingReject = IniReadBool(keys::RingReject) ? -1 : 0;
  block.DialWithNum = IniReadBool(keys::DialWithNum) ? -1 : 0;
  block.AutoReceive = IniReadBool(keys::AutoReceive) ? -1 : 0;
  return block;
}

bool SerialLink::Bind(std::string_view fileName, KwxTraceProc trace) {
  Unbind();
  if (fileName.empty() || !module_.Load(fileName)) return false;
  const Module& m = module_;
  SerialEntries& e = entries_;
  SetCallbackFuncFn setCallback = nullptr;
  bool all = Take(m, "kwxInitial", e.kwxInitial) && Take(m, "kwxTerminate", e.kwxTerminate) &&
             Take(m, "kwxConnectEMail", e.kwxConnectEMail) && Take(m, "kwxAsyncSendEMail", e.kwxAsyncSendEMail) &&
             Take(m, "kwxAsyncGetEMailList", e.kwxAsyncGetEMailList) &&
             Take(m, "kwxAsyncGetEMail", e.kwxAsyncGetEMail) && Take(m, "kwxPurgeEMail", e.kwxPurgeEMail) &&
             Take(m, "kwxExitEMail", e.kwxExitEMail) && Take(m, "kwxAsyncGetBuffer", e.kwxAsyncGetBuffer) &&
             Take(m, "kwxWaitForRing", e.kwxWaitForRing) && Take(m, "kwxConnectSMail", e.kwxConnectSMail) &&
             Take(m, "kwxDisconnect", e.kwxDisconnect) && Take(m, "kwxResumeTxRx", e.kwxResumeTxRx) &&
             Take(m, "kwxReadySMail", e.kwxReadySMail) && Take(m, "kwxGetState", e.kwxGetState) &&
             Take(m, "kwxSetParam", e.kwxSetParam) && Take(m, "kwxGetParam", e.kwxGetParam) &&
             Take(m, "kwxEnterInfoMode", e.kwxEnterInfoMode) && Take(m, "kwxGetInfo", e.kwxGetInfo) &&
             Take(m, "kwxSetInfo", e.kwxSetInfo) && Take(m, "kwxBareInfo", e.kwxBareInfo) &&
             Take(m, "kwxDeleteInfo", e.kwxDeleteInfo) && Take(m, "kwxExitInfoMode", e.kwxExitInfoMode) &&
             Take(m, "kwxGetTelNumber", e.kwxGetTelNumber) && Take(m, "SetCallbackFunc", setCallback);
  if (!all) {
    Unbind();
    return false;
  }
  setCallback(trace);
  return true;
}

void SerialLink::Unbind() {
  entries_ = SerialEntries{};
  module_.Unload();
}

void SerialLink::Initial(HWND32 window, const KwxInitialParam& param) {
  KwxInitialParam block = param;
  block.NotifyWindow = window;
  if (entries_.kwxInitial) entries_.kwxInitial(window, &block);
}

bool SerialLink::ConnectSMail(const std::string& number, std::string_view text) {
  return entries_.kwxConnectSMail &&
         entries_.kwxConnectSMail(number.c_str(), text.data(), static_cast<int32_t>(text.size())) != 0;
}

bool SerialLink::ConnectEMail(int32_t mode, int32_t count) {
  return entries_.kwxConnectEMail && entries_.kwxConnectEMail(mode, count) != 0;
}

bool SerialLink::SendEMail(std::string_view text) {
  return entries_.kwxAsyncSendEMail &&
         entries_.kwxAsyncSendEMail(text.data(), static_cast<int32_t>(text.size())) != 0;
}

void SerialLink::GetEMailList(int32_t first) {
  if (entries_.kwxAsyncGetEMailList) entries_.kwxAsyncGetEMailList(first);
}

void SerialLink::GetEMail(const std::string& id) {
  if (entries_.kwxAsyncGetEMail) entries_.kwxAsyncGetEMail(id.c_str());
}

void SerialLink::PurgeEMail(const std::string& id) {
  if (entries_.kwxPurgeEMail) entries_.kwxPurgeEMail(id.c_str());
}

void SerialLink::ExitEMail() {
  if (entries_.kwxExitEMail) entries_.kwxExitEMail();
}

std::string SerialLink::GetBuffer() {
  std::string buffer(static_cast<size_t>(kwx::kReceiveBufferSize), '\0');
  int32_t size = kwx::kReceiveBufferSize;
  if (!entries_.kwxAsyncGetBuffer || !entries_.kwxAsyncGetBuffer(buffer.data(), &size)) size = 0;
  buffer.resize(static_cast<size_t>(std::clamp<int32_t>(size, 0, kwx::kReceiveBufferSize)));
  return buffer;
}

bool SerialLink::WaitForRing() { return entries_.kwxWaitForRing && entries_.kwxWaitForRing() != 0; }

void SerialLink::Disconnect(kwx::DisconnectReason reason) {
  if (entries_.kwxDisconnect) entries_.kwxDisconnect(reason);
}

// The module ignores the three arguments.
bool SerialLink::ResumeTxRx() { return entries_.kwxResumeTxRx && entries_.kwxResumeTxRx(0, 0, 0) != 0; }

bool SerialLink::ReadySMail() { return entries_.kwxReadySMail && entries_.kwxReadySMail() != 0; }

bool SerialLink::Busy() { return entries_.kwxGetState && entries_.kwxGetState() != 0; }

std::string SerialLink::GetParam(kwx::ParamId id, int32_t size) {
  // One byte beyond what the module may fill: its text is not terminated
  // when it is as long as the buffer.
  std::vector<char> buffer(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
  if (size <= 0 || !entries_.kwxGetParam || !entries_.kwxGetParam(id, buffer.data(), size)) return {};
  return std::string(buffer.data());
}

bool SerialLink::EnterInfoMode(int32_t kind) {
  return entries_.kwxEnterInfoMode && entries_.kwxEnterInfoMode(kind) != 0;
}

bool SerialLink::GetInfo() { return entries_.kwxGetInfo && entries_.kwxGetInfo() != 0; }

bool SerialLink::SetInfo(std::string_view data) {
  return entries_.kwxSetInfo && entries_.kwxSetInfo(data.data(), static_cast<int32_t>(data.size())) != 0;
}

bool SerialLink::BareInfo(std::string_view data) {
  return entries_.kwxBareInfo && entries_.kwxBareInfo(data.data(), static_cast<int32_t>(data.size())) != 0;
}

bool SerialLink::DeleteInfo() { return entries_.kwxDeleteInfo && entries_.kwxDeleteInfo() != 0; }

bool SerialLink::ExitInfoMode() { return entries_.kwxExitInfoMode && entries_.kwxExitInfoMode() != 0; }

std::string SerialLink::GetTelNumber(const std::string& port, int32_t baud) {
  char number[257] = {};
  if (!entries_.kwxGetTelNumber || !entries_.kwxGetTelNumber(port.c_str(), baud, number)) return {};
  return std::string(number);
}

bool SerialLink::WaitIdle(int count) {
  for (int i = 0; i < count; ++i) {
    if (!Busy()) return true;
    constexpr auto kPoll = std::chrono::milliseconds(100);
    if (idlePause_)
      idlePause_(kPoll);
    else
      std::this_thread::sleep_for(kPoll);
  }
  return !Busy();
}

}  // namespace qv
