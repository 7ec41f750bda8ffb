#pragma once
// Message boxes that a widget test lets show for real.
#include <functional>
#include <memory>

class QMessageBox;
class QObject;

namespace qvtest {

// Calls look once with the next message box that shows, once its loop runs;
// look answers or closes it. The watch ends with the returned object.
std::unique_ptr<QObject> WatchNextMessageBox(std::function<void(QMessageBox& box)> look);

}  // namespace qvtest
