// A second program with a guard: reports on stdout what its check found.
//   qvtest_singleapp_probe NAME activate|exception|terminate [MESSAGE]
// Prints "duplicate" when OnDuplicate runs, then "first", "terminated" or
// "exception:" and the exception's text. A first instance stays until its
// standard input closes.
#include "core/ui/SingleApp.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QWidget form;
  qv::TSingleApp guard(&form);
  guard.SetUniqueName(argv[1]);
  const std::string action = argv[2];
  guard.SetDupInstAction(action == "exception"   ? qv::TDupInstAction::diException
                         : action == "terminate" ? qv::TDupInstAction::diTerminate
                                                 : qv::TDupInstAction::diActivateFirst);
  if (argc > 3) guard.SetErrorMessage(argv[3]);
  guard.OnDuplicate = [] { std::cout << "duplicate\n" << std::flush; };
  try {
    guard.Loaded();
  } catch (const qv::EMultiAppInstance& e) {
    std::cout << "exception:" << e.what() << "\n";
    return 3;
  }
  if (guard.Terminated()) {
    std::cout << "terminated\n";
    return 0;
  }
  std::cout << (guard.IsFirstInstance() ? "first" : "unguarded") << "\n" << std::flush;
  for (std::string line; std::getline(std::cin, line);) {
  }
  return 0;
}
