#pragma once
// The terminal's window made in the test's own process (from the sources the
// test is built with), its message boxes recorded, and taken offline and
// destroyed at the end.
#include "SignupFixture.h"

#include "core/ui/MessageBox.h"
#include "platform/Cp932.h"
#include "plugins/signup/QvSignupFRM.h"

#include <QAction>
#include <memory>

namespace signuptest {

class SignupWindowTest : public SignupTest {
 protected:
  void SetUp() override {
    SignupTest::SetUp();
    qv::SetMessageBoxHandler([this](qv::BoxKind, const std::string& text) { boxes_.push_back(qv::cp932::ToUtf8(text)); });
  }
  void TearDown() override {
    if (window_) {
      if (window_->Online()) {
        window_->actDisconnect->trigger();
        PumpUntil([&] { return !window_->Online(); });
      }
      window_.reset();
    }
    qv::SetMessageBoxHandler({});
    SignupTest::TearDown();
  }
  qv::TfrmSignup& Open() {
    window_ = std::make_unique<qv::TfrmSignup>();
    window_->show();
    PumpUntil([&] { return window_->isVisible(); });
    return *window_;
  }
  std::unique_ptr<qv::TfrmSignup> window_;
};

}  // namespace signuptest
