#pragma once
// A real X server for tests that need one: an Xvfb of the test process's own
// on a free display and, when asked, the openbox window manager on it, where
// placement, focus and the order of destruction are as on a desktop. Both end
// with the object, or with the test process.
#include <string>
#include <sys/types.h>

namespace qvtest {

class XSession {
 public:
  XSession() = default;
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Starts the server and, with windowManager, openbox, and points DISPLAY at
  // them; false with why when either does not come up.
  bool Start(bool windowManager, std::string& why);
  const std::string& Display() const { return display_; }
  // Whether the Xvfb program is on PATH at all: without it the tests are
  // skipped; with it, a server that does not come up fails them.
  static bool ServerInstalled();
  // The exit code that tells CTest a test program was skipped.
  static constexpr int kSkipped = 77;

 private:
  pid_t server_ = -1;
  pid_t manager_ = -1;
  std::string display_;
};

}  // namespace qvtest
