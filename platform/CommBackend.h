#pragma once
// The two back ends behind CommPort. Private to the platform library.
#include "platform/CommPort.h"

#include <chrono>
#include <filesystem>
#include <memory>

namespace qv {

class CommBackend {
 public:
  virtual ~CommBackend() = default;
  virtual bool GetState(CommSettings& settings) = 0;
  virtual bool SetState(const CommSettings& settings) = 0;
  virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool Purge(uint32_t actions) = 0;
  virtual bool Escape(CommEscape function) = 0;
  virtual bool GetModemStatus(uint32_t& status) = 0;
  virtual bool Read(void* data, size_t size, size_t& got) = 0;
  virtual bool Write(const void* data, size_t size, size_t& written) = 0;
  virtual bool WaitForInput(std::chrono::milliseconds timeout) = 0;
  // The pending error bits, cleared by the call.
  uint32_t ClearErrors() {
    const uint32_t e = errors;
    errors = 0;
    return e;
  }
  // errno of the last failure, and the pending error bits.
  int error = 0;
  uint32_t errors = 0;

 protected:
  bool Fail(int e) {
    error = e;
    return false;
  }
};

std::unique_ptr<CommBackend> OpenTtyBackend(const std::filesystem::path& path, int& error);
std::unique_ptr<CommBackend> OpenSimBackend(const std::filesystem::path& path, int& error);

// How long a read of size bytes may wait: nullopt-like -1 for no limit, 0 for
// "return at once with what has arrived".
int64_t ReadWaitMs(const CommTimeouts& t, size_t size);
// How long a write of size bytes may take; -1 for no limit.
int64_t WriteWaitMs(const CommTimeouts& t, size_t size);

// Milliseconds left until the deadline (never negative), or -1 for none.
class WaitBudget {
 public:
  explicit WaitBudget(int64_t ms);
  int64_t Left() const;
  bool Expired() const { return Left() == 0; }

 private:
  bool unlimited_;
  std::chrono::steady_clock::time_point end_;
};

}  // namespace qv
