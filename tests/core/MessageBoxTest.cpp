#include "MessageBoxWatch.h"
#include "core/ui/MessageBox.h"
#include "platform/Cp932.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// What an open box showed, and the button the test pressed in it.
struct Seen {
  QStringList captions;
  QString defaultCaption;
  QString title;
  QWidget* parent = nullptr;
};

// Presses the button captioned press (or closes the box when empty) once the
// box runs its loop.
Seen Answer(const QString& press, const std::function<void()>& show) {
  Seen seen;
  const auto watch = qvtest::WatchNextMessageBox([&](QMessageBox& box) {
    for (QAbstractButton* b : box.buttons()) seen.captions << b->text();
    seen.captions.sort();
    if (box.defaultButton()) seen.defaultCaption = box.defaultButton()->text();
    seen.title = box.windowTitle();
    seen.parent = box.parentWidget();
    for (QAbstractButton* b : box.buttons())
      if (b->text() == press) return b->click();
    box.close();
  });
  show();
  return seen;
}

TEST(MessageBox, ButtonsAreCaptionedInJapaneseAndAnswerWhatWasPressed) {
  const QString yes = QStringLiteral("はい(&Y)"), no = QStringLiteral("いいえ(&N)"),
                cancel = QStringLiteral("キャンセル"), ok = QStringLiteral("OK");
  struct Row {
    qv::BoxButtons buttons;
    QStringList captions;  // sorted
    QString press;         // empty: the box is closed
    qv::BoxAnswer answer;
  } table[] = {
      {qv::BoxButtons::Ok, {ok}, ok, qv::BoxAnswer::Ok},
      {qv::BoxButtons::Ok, {ok}, {}, qv::BoxAnswer::Ok},
      {qv::BoxButtons::YesNo, {yes, no}, yes, qv::BoxAnswer::Yes},
      {qv::BoxButtons::YesNo, {yes, no}, no, qv::BoxAnswer::No},
      {qv::BoxButtons::YesNoCancel, {yes, no, cancel}, no, qv::BoxAnswer::No},
      {qv::BoxButtons::YesNoCancel, {yes, no, cancel}, cancel, qv::BoxAnswer::Cancel},
      {qv::BoxButtons::YesNoCancel, {yes, no, cancel}, {}, qv::BoxAnswer::Cancel},
  };
  QWidget owner;
  owner.show();
  for (const Row& row : table) {
    SCOPED_TRACE(row.press.toStdString() + " of " + row.captions.join(',').toStdString());
    QStringList expected = row.captions;
    expected.sort();
    qv::BoxAnswer answer{};
    const Seen seen = Answer(row.press, [&] {
      answer = qv::ExecMessageBox(&owner, qv::BoxKind::Warning, qv::Sjis("よろしいですか？"), row.buttons);
    });
    EXPECT_EQ(seen.captions, expected);
    EXPECT_EQ(seen.title, QStringLiteral("VeoQuorvel"));
    EXPECT_EQ(seen.parent, &owner) << "over the window that asks";
    EXPECT_EQ(answer, row.answer);
    if (row.buttons == qv::BoxButtons::YesNo) {
      EXPECT_EQ(seen.defaultCaption, no);
    }
  }
  // The OK box without a handler is the same box.
  const Seen seen = Answer(ok, [&] { qv::ShowMessageBox(&owner, qv::BoxKind::Error, "x"); });
  EXPECT_EQ(seen.captions, QStringList{ok});
}

}  // namespace
