#include "core/ui/WindowHandle.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {
class Receiver : public QObject {
 public:
  std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> got;
  bool event(QEvent* e) override {
    if (e->type() == qv::PostedMessageEvent::kType) {
      auto* m = static_cast<qv::PostedMessageEvent*>(e);
      got.emplace_back(m->msg, m->wParam, m->lParam);
      return true;
    }
    return QObject::event(e);
  }
};
}  // namespace

TEST(WindowHandle, MessagesFromAWorkerArriveOnTheGuiThreadInOrder) {
  Receiver r;
  auto id = qv::RegisterQtWindow(&r);
  std::thread worker([id] {
    for (int i = 0; i < 5; ++i) qv::PostMessage(id, qv::WM_USER + 1, 8, i);
  });
  worker.join();
  EXPECT_TRUE(r.got.empty());  // nothing is delivered outside the event loop
  QCoreApplication::processEvents();
  ASSERT_EQ(r.got.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(r.got[i], std::make_tuple(qv::WM_USER + 1, uintptr_t{8}, intptr_t{i}));
}

TEST(WindowHandle, TheIdDiesWithTheObject) {
  auto r = std::make_unique<Receiver>();
  auto id = qv::RegisterQtWindow(r.get());
  EXPECT_TRUE(qv::IsWindowHandle(id));
  r.reset();
  EXPECT_FALSE(qv::IsWindowHandle(id));
  EXPECT_FALSE(qv::PostMessage(id, 1, 0, 0));
}
