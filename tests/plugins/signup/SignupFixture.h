#pragma once
// A temporary launcher folder for the sign-up terminal: the built KWX.so,
// the resource module, the message file, the pictograph table and the theme,
// settings that point the terminal's port at a simulated handset, and the
// dialogs and boxes of the window answered as a user would.
#include "Simulator.h"
#include "TestSupport.h"

#include "platform/Module.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QListWidget;
class QPlainTextEdit;
class QWidget;

namespace signuptest {

using qvtest::Sjis;

// The handset code of the pictogram on line index of the shipped pictograph
// table (line i names image i of the resource module's "PICTEXT").
std::string PictogramCode(int index);

// A page as the centre sends it: its header lines, an empty line, the body.
std::string Page(const std::vector<std::string>& headers, const std::vector<std::string>& body);
// A plain-text page; a decorated one.
std::string PlainPage(const std::vector<std::string>& body);
std::string DecoratedPage(const std::vector<std::string>& body, const std::vector<std::string>& headers = {});

// The request text of a body (the request's own header lines first).
std::string Request(const std::string& body, const std::string& to = "SIGNUP");

class SignupTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:
  static constexpr int kPort = 6;
  std::filesystem::path dir() const { return dir_; }
  // A settings entry "Section|Key" = value (written at once).
  void Ini(const std::string& sectionKey, const std::string& value);
  void RemoveIni(const std::string& sectionKey);

  // Starts the simulated handset on the port's socket, its module clock
  // running rate times faster.
  void StartSim(handsetsim::SimConfig config, int clockRate = 20);
  handsetsim::Simulator& Sim() { return *sim_; }
  void SetClockRate(int rate);

  // Handles posted events and timers until pred holds, at most ms; false when
  // it did not.
  static bool PumpUntil(const std::function<bool()>& pred, int ms = 10000);

  // What each modal window the terminal opens is answered with: message
  // boxes are recorded (UTF-8) and closed with OK; the continue dialog is
  // given to onContinue (which must close it).
  std::vector<std::string> boxes_;
  std::function<void(QDialog*)> onContinue_;
  // The lines of the error log.
  std::vector<std::string> ErrorLog() const;

 protected:
  void AnswerModal();

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcherDir_;
  std::unique_ptr<handsetsim::Simulator> sim_;
  qv::Module kwx_;
  QTimer answer_;
};

// Controls of the terminal window by name (the window may come from another
// copy of the classes, inside the plug-in module).
QAction* ActionOf(QWidget* window, const char* name);
QListWidget* PageListOf(QWidget* window);
QPlainTextEdit* InputOf(QWidget* window);
// The lines the page list shows (CP932).
std::vector<std::string> ShownLines(QWidget* window);
// Clicks a line of the page list as a user does.
void ClickLine(QWidget* window, int row);
// Types text at the input's caret, as an input method commits it.
void Type(QWidget* window, const QString& text);

}  // namespace signuptest
