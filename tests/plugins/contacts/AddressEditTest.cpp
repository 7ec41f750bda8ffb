// The phone-book entry dialog through the built QvAddress.qpl: what it shows
// of an entry, what it stores back, its phone and mail lines, the reading the
// input method gives, and its buttons.
#include "ContactsFixture.h"

#include "core/data/HandsetExchange.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

#include "QtPump.h"

using namespace contactstest;

namespace {

template <typename T>
T* Child(QWidget& d, const char* name) {
  T* w = d.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}
QLineEdit* Line(QWidget& d, const char* name) { return Child<QLineEdit>(d, name); }
QPushButton* Button(QWidget& d, const char* name) { return Child<QPushButton>(d, name); }
std::string Text(QWidget& d, const char* name) { return Line(d, name)->text().toStdString(); }
std::string Combo(QWidget& d, const char* name) { return Child<QComboBox>(d, name)->currentText().toStdString(); }
std::vector<std::string> Lines(QWidget& d, const char* name) {
  std::vector<std::string> lines;
  auto* box = Child<QListWidget>(d, name);
  for (int i = 0; i < box->count(); ++i) lines.push_back(box->item(i)->text().toStdString());
  return lines;
}

void Focus(QWidget* w, QEvent::Type type) {
  QFocusEvent e(type, Qt::OtherFocusReason);
  QApplication::sendEvent(w, &e);
}

// What an input method sends: a preedit, or a commit ending the composition.
void Preedit(QWidget* w, const char* utf8) {
  QInputMethodEvent e(QString::fromUtf8(utf8), {});
  QApplication::sendEvent(w, &e);
}
void Commit(QWidget* w, const char* utf8) {
  QInputMethodEvent e;
  e.setCommitString(QString::fromUtf8(utf8));
  QApplication::sendEvent(w, &e);
}

}  // namespace

class AddressEditTest : public ContactsTest {
 protected:
  void SetUp() override {
    ContactsTest::SetUp();
    Load("QvAddress.qpl");
  }
  // Opens the book, selects row (list order) and edits it with act.
  void Edit(const qv::PhoneBookList& book, int row, std::function<void(QWidget&)> act) {
    WriteBook(App() / "book.qad", book);
    qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
    if (!Window() || !Window()->isVisible()) Show();
    Select({row});
    bool seen = false;
    modals_.Window("frmAddressEdit", [&](QWidget& d) {
      seen = true;
      act(d);
      if (d.isVisible()) Button(d, "btnClose")->click();
    });
    Action("actEdit")->trigger();
    EXPECT_TRUE(seen) << "no dialog";
  }
  qv::PhoneBookEntry Stored(int row) {
    modals_.File(tmp_ / "out.qad");
    Action("actSaveAs")->trigger();
    qv::PhoneBookList list;
    EXPECT_TRUE(qv::LoadArchive(tmp_ / "out.qad", list));
    return list.at(static_cast<size_t>(row));
  }
};

TEST_F(AddressEditTest, WhatTheDialogShowsOfAnEntryAndStoresBack) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, const char*>> fields;
    std::vector<std::pair<const char*, const char*>> shown;  // edit or combo, text
    std::vector<std::pair<int, const char*>> stored;         // after one change elsewhere
  } cases[] = {
      {"a birth date with 年, 月 and 日",
       {{qv::kPbBirthDate, "1970年1月2日"}},
       {{"edtYear", "1970"}, {"edtMonth", "1"}, {"edtDay", "2"}},
       {{qv::kPbBirthDate, "1970/1/2"}}},
      {"a birth date with blanks", {{qv::kPbBirthDate, " 1985 12 31 "}},
       {{"edtYear", "1985"}, {"edtMonth", "12"}, {"edtDay", "31"}}, {{qv::kPbBirthDate, "1985/12/31"}}},
      {"a year alone saves no birth date", {{qv::kPbBirthDate, "1970"}}, {{"edtYear", "1970"}, {"edtMonth", ""}},
       {{qv::kPbBirthDate, ""}}},
      {"a blood type not in the list", {{qv::kPbBloodType, "Q"}, {qv::kPbSex, "女"}},
       {{"cboBloodType", "無し"}, {"cboSex", "女"}}, {{qv::kPbBloodType, ""}, {qv::kPbSex, "女"}}},
      {"group and list kind", {{qv::kPbGroup, "グループ10"}, {qv::kPbListKind, "ブラックリスト"}},
       {{"cboGroup", "グループ10"}, {"cboType", "ブラックリスト"}},
       {{qv::kPbGroup, "グループ10"}, {qv::kPbListKind, "ブラックリスト"}}},
      {"a group the list does not have", {{qv::kPbGroup, "グループ11"}}, {{"cboGroup", "無し"}}, {{qv::kPbGroup, ""}}},
      {"secret only when ON", {{qv::kPbSecret, "1"}}, {}, {{qv::kPbSecret, "OFF"}}},
      {"fields the dialog does not edit stay",
       {{qv::kPbCompanyKana, "ｶｲｼｬ"}, {qv::kPbUpdated, "2020/01/02 03:04:05"}, {qv::kPbRawItems, "010D0103 "}},
       {}, {{qv::kPbCompanyKana, "ｶｲｼｬ"}, {qv::kPbUpdated, "2020/01/02 03:04:05"}, {qv::kPbRawItems, "010D0103 "}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qv::PhoneBookEntry e;
    e.SetField(qv::kPbKana, J("ｱ"));
    for (auto [field, text] : c.fields) e.SetField(field, J(text));
    Edit({e}, 0, [&](QWidget& d) {
      for (auto [name, text] : c.shown) {
        if (std::string(name).starts_with("cbo"))
          EXPECT_EQ(Combo(d, name), text) << name;
        else
          EXPECT_EQ(Text(d, name), text) << name;
      }
      EXPECT_EQ(Child<QCheckBox>(d, "chkSeret")->isChecked(), e.Field(qv::kPbSecret) == "ON");
      EXPECT_FALSE(Button(d, "btnSave")->isEnabled()) << "nothing changed yet";
      Child<QPlainTextEdit>(d, "memMemo")->setPlainText(QStringLiteral("changed"));
      ASSERT_TRUE(Button(d, "btnSave")->isEnabled());
      Button(d, "btnSave")->click();
    });
    const qv::PhoneBookEntry stored = Stored(0);
    for (auto [field, text] : c.stored) EXPECT_EQ(U(stored.Field(field)), text) << field;
    EXPECT_EQ(stored.Field(qv::kPbMemo), "changed");
    Window()->close();
    modals_.TakeBoxes();
  }
}

TEST_F(AddressEditTest, PhoneAndMailLines) {
  qv::PhoneBookEntry e;
  e.SetField(qv::kPbKana, J("ｱ"));
  for (int i = 0; i < 5; ++i) e.SetField(qv::kPbPhone1 + i, i == 2 ? "  " : "0" + std::to_string(i));
  e.SetField(qv::kPbMail1 + 3, " x@y ");
  Edit({e}, 0, [&](QWidget& d) {
    // Empty fields are skipped, the rest trimmed.
    EXPECT_EQ(Lines(d, "lstTel"), (std::vector<std::string>{"00", "01", "03", "04"}));
    EXPECT_EQ(Lines(d, "lstMail"), (std::vector<std::string>{"x@y"}));
    auto* tel = Line(d, "edtTel");
    auto* kind = Child<QComboBox>(d, "cboTelType");
    auto* bunkei = Child<QCheckBox>(d, "chkBunkei");
    EXPECT_FALSE(Button(d, "btnTelAdd")->isEnabled());
    tel->setText(QStringLiteral("090-1111-2222"));
    kind->setCurrentIndex(3);
    bunkei->setChecked(true);
    ASSERT_TRUE(Button(d, "btnTelAdd")->isEnabled());
    Button(d, "btnTelAdd")->click();
    // Not a phone number: no add.
    tel->setText(QStringLiteral("abc"));
    EXPECT_FALSE(Button(d, "btnTelAdd")->isEnabled());
    tel->setText(QStringLiteral("0666"));
    emit tel->returnPressed();  // Enter adds
    EXPECT_EQ(Lines(d, "lstTel"),
              (std::vector<std::string>{"00", "01", "03", "04", "携帯: 分計ON; 09011112222", "0666"}));
    EXPECT_EQ(kind->currentIndex(), 0);
    EXPECT_FALSE(bunkei->isChecked());
    EXPECT_TRUE(tel->text().isEmpty());
    // A seventh cannot be added.
    tel->setText(QStringLiteral("0777"));
    EXPECT_FALSE(Button(d, "btnTelAdd")->isEnabled());
    // Editing a line splits it into the inputs; updating writes it back.
    auto* lst = Child<QListWidget>(d, "lstTel");
    lst->setCurrentRow(4);
    Button(d, "btnTelEdit")->click();
    EXPECT_EQ(kind->currentText().toStdString(), "携帯");
    EXPECT_TRUE(bunkei->isChecked());
    EXPECT_EQ(tel->text().toStdString(), "09011112222");
    kind->setCurrentIndex(1);
    bunkei->setChecked(false);
    Button(d, "btnTelUpdate")->click();
    // The Delete key removes the selected line.
    lst->setCurrentRow(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(lst, &del);
    EXPECT_EQ(Lines(d, "lstTel"), (std::vector<std::string>{"01", "03", "04", "FAX: 09011112222", "0666"}));
    // Mail: printable ASCII only.
    auto* mail = Line(d, "edtMail");
    mail->setText(QString::fromUtf8("山田@example.jp"));
    EXPECT_FALSE(Button(d, "btnMailAdd")->isEnabled());
    mail->setText(QStringLiteral(" new@example.jp "));
    Button(d, "btnMailAdd")->click();
    Button(d, "btnSave")->click();
  });
  const qv::PhoneBookEntry stored = Stored(0);
  EXPECT_EQ(stored.Fields(qv::kPbPhone1, qv::kPbPhone1 + 5),
            (std::vector<std::string>{"01", "03", "04", "FAX: 09011112222", "0666", ""}));
  EXPECT_EQ(stored.Field(qv::kPbMail1), "x@y");
  EXPECT_EQ(stored.Field(qv::kPbMail1 + 1), "new@example.jp");
  EXPECT_EQ(stored.Field(qv::kPbMail1 + 3), "");
}

TEST_F(AddressEditTest, TheReadingOfTheKanjiNameFillsAnEmptyKanaName) {
  Show();
  bool seen = false;
  modals_.Window("frmAddressEdit", [&](QWidget& d) {
    seen = true;
    QLineEdit* kanji = Line(d, "edtKanjiName");
    Focus(kanji, QEvent::FocusIn);
    // やまだ typed, converted to 山田 and committed; then たろう as 太郎.
    for (const char* step : {"や", "やま", "やまだ", "山田"}) Preedit(kanji, step);
    Commit(kanji, "山田");
    Commit(kanji, " ");  // a blank typed directly
    for (const char* step : {"た", "たろう", "太郎"}) Preedit(kanji, step);
    Commit(kanji, "太郎");
    kanji->setText(QString::fromUtf8("山田 太郎"));
    Focus(kanji, QEvent::FocusOut);
    EXPECT_EQ(Text(d, "edtKanaName"), "ﾔﾏﾀﾞ ﾀﾛｳ");
    // An existing kana name is not touched; entering the field starts afresh.
    Line(d, "edtKanaName")->setText(QString::fromUtf8("ﾀﾅｶ"));
    Focus(kanji, QEvent::FocusIn);
    Preedit(kanji, "すずき");
    Commit(kanji, "鈴木");
    Focus(kanji, QEvent::FocusOut);
    EXPECT_EQ(Text(d, "edtKanaName"), "ﾀﾅｶ");
    Line(d, "edtKanaName")->clear();
    Focus(kanji, QEvent::FocusIn);
    Preedit(kanji, "さとう");
    Preedit(kanji, "");  // the composition cancelled
    Commit(kanji, "x");
    Focus(kanji, QEvent::FocusOut);
    EXPECT_EQ(Text(d, "edtKanaName"), "");
    Button(d, "btnClose")->click();
  });
  modals_.Box(QMessageBox::No);
  Action("actAdd")->trigger();
  EXPECT_TRUE(seen);
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(modals_.TakeBoxes(), std::vector<std::string>{"項目の変更を保存しますか？"});
}

TEST_F(AddressEditTest, ClosingAsksAndAnEmptyKanaNameIsRefused) {
  Show();
  // Yes with an empty kana name: warning 3001 from the host, the dialog stays.
  bool stayed = false;
  modals_.Window("frmAddressEdit", [&](QWidget& d) {
    Line(d, "edtKanjiName")->setText(QString::fromUtf8("山田"));
    modals_.Box(QMessageBox::Yes);
    Button(d, "btnClose")->click();
    stayed = d.isVisible();
    EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{10, 3001}}));
    // Now with a name: Yes stores and closes.
    Line(d, "edtKanaName")->setText(QString::fromUtf8("ﾔﾏﾀﾞ"));
    modals_.Box(QMessageBox::Yes);
    Button(d, "btnClose")->click();
  });
  Action("actAdd")->trigger();
  EXPECT_TRUE(stayed);
  EXPECT_EQ(Column(0), std::vector<std::string>{"ﾔﾏﾀﾞ"});
  EXPECT_EQ(Column(1), std::vector<std::string>{"山田"});
  EXPECT_EQ(CountText(), "1 件 ");
  EXPECT_EQ(modals_.TakeBoxes().size(), 2u);
  // No drops the changes.
  Select({0});
  modals_.Window("frmAddressEdit", [&](QWidget& d) {
    Line(d, "edtKanjiName")->setText(QString::fromUtf8("変更"));
    modals_.Box(QMessageBox::No);
    Button(d, "btnClose")->click();
  });
  Action("actEdit")->trigger();
  EXPECT_EQ(Column(1), std::vector<std::string>{"山田"});
}

TEST_F(AddressEditTest, PreviousNextAndNewWalkTheListInItsOrder) {
  qv::PhoneBookList book(3);
  for (int i = 0; i < 3; ++i) book[i].SetField(qv::kPbKana, J(std::vector<const char*>{"ｳ", "ｱ", "ｲ"}[i]));
  Edit(book, 0, [&](QWidget& d) {
    EXPECT_EQ(Text(d, "edtKanaName"), "ｱ");
    EXPECT_FALSE(Button(d, "btnPrev")->isEnabled());
    EXPECT_TRUE(Button(d, "btnNext")->isEnabled());
    EXPECT_TRUE(Button(d, "btnNew")->isEnabled());
    Button(d, "btnNext")->click();
    EXPECT_EQ(Text(d, "edtKanaName"), "ｲ");
    Button(d, "btnNext")->click();
    EXPECT_EQ(Text(d, "edtKanaName"), "ｳ");
    EXPECT_FALSE(Button(d, "btnNext")->isEnabled());
    // A change holds the walk until it is stored.
    Line(d, "edtKanjiName")->setText(QString::fromUtf8("宇"));
    EXPECT_FALSE(Button(d, "btnPrev")->isEnabled());
    EXPECT_FALSE(Button(d, "btnNew")->isEnabled());
    Button(d, "btnSave")->click();
    EXPECT_TRUE(Button(d, "btnPrev")->isEnabled());
    Button(d, "btnNew")->click();
    EXPECT_EQ(Text(d, "edtKanaName"), "");
    EXPECT_FALSE(Button(d, "btnNew")->isEnabled()) << "nothing selected";
    Line(d, "edtKanaName")->setText(QString::fromUtf8("ｴ"));
    Button(d, "btnSave")->click();
    EXPECT_TRUE(Button(d, "btnPrev")->isEnabled()) << "the new entry is selected";
  });
  EXPECT_EQ(Column(0), (std::vector<std::string>{"ｱ", "ｲ", "ｳ", "ｴ"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"", "", "宇", ""}));
  EXPECT_EQ(List()->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(List()->selectionModel()->selectedRows()[0].row(), 3);
}

TEST_F(AddressEditTest, TheDialogShowsTheEntrysPicture) {
  qv::PhoneBookEntry e = qvtest::FullEntry(7, true);
  e.picture = qvtest::TestBitmap(7, 96, 72);
  Edit({e}, 0, [&](QWidget& d) {
    d.resize(d.sizeHint());
    auto* img = Child<QLabel>(d, "imgAddress");
    const QImage shot = d.grab().toImage();
    shot.save(QString::fromStdString(qvtest::ArtifactPath("address-entry-dialog.png").string()));
    // The picture is drawn inside its frame: its top-left pixel's colour.
    const QPoint at = img->mapTo(&d, QPoint(img->width() / 2, img->height() / 2));
    const QImage picture = img->pixmap().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(QColor(shot.pixel(at)), QColor(picture.pixel(picture.width() / 2, picture.height() / 2)));
    EXPECT_EQ(Text(d, "edtKanaName"), "ﾔﾏﾀﾞ ﾀﾛｳ7");
    EXPECT_EQ(Lines(d, "lstTel").size(), 6u);
    EXPECT_EQ(Lines(d, "lstMail").size(), 6u);
  });
}

TEST_F(AddressEditTest, ABirthDateAsTheHandsetGivesItGoesBackAsItCame) {
  struct Case {
    const char* hex;  // the handset's date
    const char* year;
    const char* month;
    const char* day;
  } cases[] = {
      {"0FFF050C1F3F3F", "", "05", "12"},  // no year: "     05/12"
      {"07B201021F3F3F", "1970", "01", "02"},
      {"0005050C1F3F3F", "05", "05", "12"},
      {"07D1050C0A1E00", "2001", "05", "12"},  // with a time
      {"0FFF0C1F173B3F", "", "", ""},          // day 31: no date
      {"0FFF0B1E0A3F3F", "", "11", "30"},      // no year, an hour
  };
  for (const Case& c : cases) {
    const std::string date = qv::DecodeHandsetDate(c.hex);
    SCOPED_TRACE(c.hex + (": \"" + date + "\""));
    // A received entry with every field, and one with a name and the date alone.
    qv::PhoneBookEntry full = qvtest::FullEntry(3, false), bare;
    bare.SetField(qv::kPbKana, J("ｱ"));
    for (qv::PhoneBookEntry* e : {&full, &bare}) {
      e->SetField(qv::kPbBirthDate, date);
      Edit({*e}, 0, [&](QWidget& d) {
        EXPECT_EQ(Text(d, "edtYear"), c.year);
        EXPECT_EQ(Text(d, "edtMonth"), c.month);
        EXPECT_EQ(Text(d, "edtDay"), c.day);
        if (e == &full && c.hex == cases[0].hex) {
          d.resize(d.sizeHint());
          d.grab().save(QString::fromStdString(qvtest::ArtifactPath("address-entry-no-year.png").string()));
        }
        // A change undone: stored again, nothing differs.
        QLineEdit* kanji = Line(d, "edtKanjiName");
        const QString was = kanji->text();
        kanji->setText(was + "x");
        kanji->setText(was);
        ASSERT_TRUE(Button(d, "btnSave")->isEnabled());
        Button(d, "btnSave")->click();
      });
      const qv::PhoneBookEntry stored = Stored(0);
      EXPECT_EQ(stored.Fields(), e->Fields());
      Window()->close();
    }
  }
  // A new day for a date without a year: month and day go out, the year as none.
  qv::PhoneBookEntry e;
  e.SetField(qv::kPbKana, J("ｱ"));
  e.SetField(qv::kPbBirthDate, qv::DecodeHandsetDate("0FFF050C1F3F3F"));
  Edit({e}, 0, [&](QWidget& d) {
    Line(d, "edtDay")->setText(QStringLiteral("13"));
    Button(d, "btnSave")->click();
  });
  const std::string stored(Stored(0).Field(qv::kPbBirthDate));
  EXPECT_EQ(stored, "     05/13");
  EXPECT_EQ(qv::EncodeHandsetDate(stored), "0FFF050D1F3F3F");
}

TEST_F(AddressEditTest, TheReadingSurvivesASwitchToAnotherWindowAndAPopUpMenu) {
  Show();
  bool seen = false;
  modals_.Window("frmAddressEdit", [&](QWidget& d) {
    seen = true;
    QLineEdit* kanji = Line(d, "edtKanjiName");
    QLineEdit* kana = Line(d, "edtKanaName");
    d.activateWindow();
    kanji->setFocus(Qt::TabFocusReason);
    qvtest::PumpUntil([&] { return kanji->hasFocus(); });
    ASSERT_TRUE(kanji->hasFocus());
    for (const char* step : {"やまだ", "山田"}) Preedit(kanji, step);
    Commit(kanji, "山田");
    // Another window, then back.
    QWidget other(&d, Qt::Window);
    other.setObjectName("other");
    other.resize(100, 60);
    other.show();
    other.activateWindow();
    qvtest::PumpUntil([&] { return QApplication::activeWindow() == &other; });
    ASSERT_EQ(QApplication::activeWindow(), &other);
    EXPECT_EQ(kana->text(), QString()) << "leaving the window is no leaving the field";
    other.close();
    d.activateWindow();
    qvtest::PumpUntil([&] { return QApplication::activeWindow() == &d && kanji->hasFocus(); });
    ASSERT_TRUE(kanji->hasFocus());
    // A pop-up menu, closed again.
    QMenu menu(kanji);
    menu.addAction(QStringLiteral("x"));
    menu.popup(kanji->mapToGlobal(QPoint(4, 4)));
    qvtest::PumpUntil([&] { return QApplication::activePopupWidget() == &menu; });
    menu.close();
    qvtest::PumpUntil([&] { return QApplication::activePopupWidget() == nullptr && kanji->hasFocus(); });
    ASSERT_TRUE(kanji->hasFocus());
    for (const char* step : {"たろう", "太郎"}) Preedit(kanji, step);
    Commit(kanji, "太郎");
    // Leaving the field for another field of the dialog takes the reading.
    Line(d, "edtPostCode")->setFocus(Qt::TabFocusReason);
    qvtest::PumpUntil([&] { return !kanji->hasFocus(); });
    EXPECT_EQ(Text(d, "edtKanaName"), "ﾔﾏﾀﾞﾀﾛｳ");
    modals_.Box(QMessageBox::No);
    Button(d, "btnClose")->click();
  });
  Action("actAdd")->trigger();
  EXPECT_TRUE(seen);
  modals_.TakeBoxes();
}
