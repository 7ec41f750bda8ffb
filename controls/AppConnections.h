#pragma once
// Connections of a window or control to the application's own signals (focus
// changes, the clipboard), which outlive every window. Qt ends a connection
// only in the receiver's QObject destructor, after QWidget's destructor has
// cleared the focus and freed the children: a focus change on the way would
// call into an object that is half gone. Held as the last member of the
// class, these connections end as soon as the class's own destructor is
// done, before any base class goes.
#include <QObject>

#include <utility>
#include <vector>

class AppConnections {
 public:
  AppConnections() = default;
  ~AppConnections() { Clear(); }
  AppConnections(const AppConnections&) = delete;
  AppConnections& operator=(const AppConnections&) = delete;

  template <typename Sender, typename Signal, typename Func>
  void Connect(Sender* sender, Signal signal, const QObject* context, Func&& func) {
    links_.push_back(QObject::connect(sender, signal, context, std::forward<Func>(func)));
  }

  void Clear() {
    for (const QMetaObject::Connection& link : links_) QObject::disconnect(link);
    links_.clear();
  }

 private:
  std::vector<QMetaObject::Connection> links_;
};
