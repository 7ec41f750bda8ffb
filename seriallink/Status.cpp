#include "Status.h"

#include "Clock.h"
#include "platform/Handles.h"

#include <algorithm>
#include <cstring>

namespace portvine {
namespace {
void NoTrace(int32_t, const void*) {}

// Bytes up to the first NUL, at most max.
std::string_view Bounded(std::string_view text, size_t max) {
  text = text.substr(0, std::min(max, text.size()));
  size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}
}  // namespace

CStatus::CStatus() : callback_(&NoTrace) {}

void CStatus::TimerSet(int32_t seconds, int32_t code) {
  std::lock_guard lock(timerMutex_);
  deadlineMs_ = clock::NowMs() + int64_t{seconds} * 1000;
  if (deadlineMs_ == 0) deadlineMs_ = 1;
  deadlineCode_ = code;
}

void CStatus::TimerClear() {
  std::lock_guard lock(timerMutex_);
  deadlineMs_ = 0;
}

bool CStatus::TimerCheck() {
  SetDone();
  int32_t code;
  {
    std::lock_guard lock(timerMutex_);
    if (deadlineMs_ == 0 || clock::NowMs() <= deadlineMs_) return false;
    deadlineMs_ = 0;
    code = deadlineCode_;
  }
  SetDeadline(code);
  return true;
}

bool CStatus::TimerArmed() const {
  std::lock_guard lock(timerMutex_);
  return deadlineMs_ != 0;
}

int32_t CStatus::TimerCode() const {
  std::lock_guard lock(timerMutex_);
  return deadlineCode_;
}

int32_t CStatus::DecrementMailCount() {
  int32_t n = mailCount_.load();
  while (n > 0 && !mailCount_.compare_exchange_weak(n, n - 1)) {
  }
  return n > 0 ? n - 1 : 0;
}

void CStatus::SetOperation(int32_t operation, int32_t parameter, std::string_view mailId) {
  std::lock_guard lock(recordMutex_);
  operation_.operation = operation;
  operation_.parameter = parameter;
  operation_.mailId = std::string(Bounded(mailId, kMailIdMax));
}

PostedOperation CStatus::Operation() const {
  std::lock_guard lock(recordMutex_);
  return operation_;
}

void CStatus::SetDestination(std::string_view number) {
  std::lock_guard lock(recordMutex_);
  destination_ = std::string(Bounded(number, 35));
}

std::string CStatus::Destination() const {
  std::lock_guard lock(recordMutex_);
  return destination_;
}

void CStatus::SetInfoData(const char* data, int32_t length) {
  std::lock_guard lock(recordMutex_);
  info_.fill(0);
  if (!data || length <= 0) {
    infoLength_ = 0;
    return;
  }
  if (length > kInfoSize) {
    std::memcpy(info_.data(), data, kInfoSize - 1);
    infoLength_ = kInfoSize;
    return;
  }
  std::memcpy(info_.data(), data, static_cast<size_t>(length));
  infoLength_ = length;
}

int32_t CStatus::GetInfoData(char* buffer, int32_t length) const {
  if (!buffer || length <= 0) return 0;
  std::lock_guard lock(recordMutex_);
  const int32_t n = length < kInfoSize ? length : kInfoSize - 1;
  int32_t i = 0;
  while (i < n) {
    buffer[i] = info_[static_cast<size_t>(i)];
    if (buffer[i++] == '\0') break;
  }
  return i;
}

int32_t CStatus::InfoLength() const {
  std::lock_guard lock(recordMutex_);
  return infoLength_;
}

IncomingCallRecord CStatus::Incoming() const {
  std::lock_guard lock(recordMutex_);
  return incoming_;
}

void CStatus::SetIncoming(const IncomingCallRecord& record) {
  std::lock_guard lock(recordMutex_);
  incoming_ = record;
}

void CStatus::ResetIncoming() { SetIncoming(IncomingCallRecord{}); }

void CStatus::ResetForSession() {
  {
    std::lock_guard lock(recordMutex_);
    operation_ = PostedOperation{};
    info_.fill(0);
    infoLength_ = 0;
  }
  infoOperation_.store(0);
  singleByteWrites.store(0);
  ringReception.store(0);
  SetDone();
  ResetIncoming();
}

void CStatus::Notify(int32_t type, int32_t code) {
  const uint32_t hwnd = window.load();
  if (hwnd != 0) qv::PostMessage(hwnd, qv::WM_USER + 1, static_cast<uintptr_t>(type), static_cast<intptr_t>(code));
  const int32_t pair[2] = {type, code};
  callback_.load()(1, pair);
}

void CStatus::Trace(const char* text) { callback_.load()(0, text); }

void CStatus::SetCallback(KwxTraceProc proc) { callback_.store(proc ? proc : &NoTrace); }

}  // namespace portvine
