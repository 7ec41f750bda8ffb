// The continue dialog: its answers, and the count-down that disconnects by itself.
#include "TestSupport.h"
#include "controls/MultiButton.h"
#include "core/ui/QvWait30FRM.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

TEST(Wait30, LeftAloneItClosesAfterThirtyTicksWithTimeOut) {
  qv::TfrmWait30::SetTickInterval(5);
  qv::TfrmWait30 dialog;
  EXPECT_EQ(dialog.windowTitle().toStdString(), "継続確認");
  EXPECT_EQ(dialog.lblMessage->text().toStdString(), "接続先の応答がありません。\n通信を続けますか？");
  EXPECT_EQ(dialog.lblCount->text().toStdString(), "自動切断まで 30 秒");
  EXPECT_EQ(dialog.btnResume->GetCaption().toStdString(), "継続");
  EXPECT_EQ(dialog.btnAbort->GetCaption().toStdString(), "中断");
  EXPECT_TRUE(dialog.btnResume->isDefault());
  std::vector<std::string> labels;
  QObject::connect(dialog.tmrTimeOut, &QTimer::timeout, [&] { labels.push_back(dialog.lblCount->text().toStdString()); });
  EXPECT_EQ(dialog.exec(), qv::TfrmWait30::kTimeOut);
  ASSERT_EQ(labels.size(), 30u);
  EXPECT_EQ(labels.front(), "自動切断まで 29 秒");
  EXPECT_EQ(labels.back(), "自動切断まで 0 秒");
  EXPECT_FALSE(dialog.tmrTimeOut->isActive());
  qv::TfrmWait30::SetTickInterval(1000);
}

TEST(Wait30, TheButtonsAndTheCloseBoxAnswerAndStopTheCount) {
  struct Case {
    const char* what;
    std::function<void(qv::TfrmWait30&)> act;
    int result;
  } cases[] = {
      {"継続", [](qv::TfrmWait30& d) { QTest::mouseClick(d.btnResume, Qt::LeftButton); }, qv::TfrmWait30::kResume},
      {"中断", [](qv::TfrmWait30& d) { QTest::mouseClick(d.btnAbort, Qt::LeftButton); }, qv::TfrmWait30::kAbort},
      {"Enter", [](qv::TfrmWait30& d) { QTest::keyClick(&d, Qt::Key_Return); }, qv::TfrmWait30::kResume},
      {"close box", [](qv::TfrmWait30& d) { d.close(); }, qv::TfrmWait30::kAbort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qv::TfrmWait30 dialog;
    int remainingAtAnswer = -1;
    bool shownAtAnswer = false;
    // Answered as soon as the dialog's own loop runs, the count running.
    QTimer::singleShot(0, &dialog, [&] {
      remainingAtAnswer = dialog.Remaining();
      shownAtAnswer = dialog.isVisible() && dialog.tmrTimeOut->isActive();
      c.act(dialog);
    });
    EXPECT_EQ(dialog.exec(), c.result);
    EXPECT_TRUE(shownAtAnswer);
    EXPECT_EQ(remainingAtAnswer, 30) << "a second has not passed yet";
    EXPECT_FALSE(dialog.tmrTimeOut->isActive());
  }
}

}  // namespace
