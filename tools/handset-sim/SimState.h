#pragma once
// What the handset, the centres and the public methods share: the script and
// the record, under one lock.
#include "Simulator.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace handsetsim {

class SimState {
 public:
  explicit SimState(SimConfig config) : config_(std::move(config)) {}

  template <typename Fn>
  auto With(Fn fn) {
    std::lock_guard lock(mutex_);
    return fn(config_, record_);
  }
  // Changes the record and wakes whoever waits on it.
  template <typename Fn>
  void Note(Fn fn) {
    {
      std::lock_guard lock(mutex_);
      fn(record_);
    }
    changed_.notify_all();
  }
  SimRecord Record() const {
    std::lock_guard lock(mutex_);
    return record_;
  }
  bool WaitUntil(const std::function<bool(const SimRecord&)>& pred, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(record_); });
  }

  // The fault for the n-th time this step comes, taken so it strikes once.
  std::optional<Fault> TakeFault(Step step) {
    std::lock_guard lock(mutex_);
    record_.steps.push_back(step);
    int n = ++stepCounts_[step];
    for (auto it = config_.faults.begin(); it != config_.faults.end(); ++it)
      if (it->step == step && it->occurrence == n) {
        Fault f = *it;
        config_.faults.erase(it);
        return f;
      }
    return std::nullopt;
  }

  void SetLog(std::function<void(const std::string&)> log) {
    std::lock_guard lock(mutex_);
    log_ = std::move(log);
  }
  void Log(const std::string& line) {
    std::function<void(const std::string&)> log;
    {
      std::lock_guard lock(mutex_);
      log = log_;
    }
    if (log) log(line);
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  SimConfig config_;
  SimRecord record_;
  std::map<Step, int> stepCounts_;
  std::function<void(const std::string&)> log_;
};

// Printable form of line bytes for the log.
std::string Visible(std::string_view bytes);

}  // namespace handsetsim
