#pragma once
// The module's copy of the parameter block. kwxInitial may replace it at any
// time while a session reads it, so it is handed out as copies.
#include "abi/KwxApi.h"

#include "seriallink/common/CallerData.h"

#include <cstring>
#include <mutex>
#include <string>

namespace portvine {

class ParamStore {
 public:
  void Set(const KwxInitialParam& p) {
    std::lock_guard lock(mutex_);
    param_ = p;
  }
  KwxInitialParam Get() const {
    std::lock_guard lock(mutex_);
    return param_;
  }
  template <typename Fn>
  void Change(Fn fn) {
    std::lock_guard lock(mutex_);
    fn(param_);
  }

 private:
  mutable std::mutex mutex_;
  KwxInitialParam param_{};
};

using ::seriallink::FieldText;

}  // namespace portvine
