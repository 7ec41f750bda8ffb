// The recipient picker and the delivery-time dialog as the compose window's
// 電話帳 button opens them, over a phone-book file in the launcher's folder:
// what is listed, what the actions do and when they may, and what the
// compose window's fields hold after OK or Cancel.
#include "plugins/mail/pickers/QvAddressDateFRM.h"
#include "plugins/mail/pickers/QvMailAddressFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "core/ui/FormPosition.h"
#include "core/data/NamedRecordFile.h"
#include "core/ui/QtText.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "PhoneBookFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

using namespace qv;
using qvtest::BookRow;
using qvtest::Sjis;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs act on the next modal dialog of type D once it is shown, and closes it
// if act left it open. The caller opens the dialog after arming this.
template <class D>
class OnModal {
 public:
  explicit OnModal(std::function<void(D*)> act) : act_(std::move(act)), timer_(new QTimer) {
    QObject::connect(timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      timer_->stop();
      ran_ = true;
      QApplication::setActiveWindow(dialog);
      act_(dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    timer_->start(0);
  }
  ~OnModal() { delete timer_; }
  bool Ran() const { return ran_; }

 private:
  std::function<void(D*)> act_;
  QTimer* timer_;
  bool ran_ = false;
};

// An item chosen as the user chooses it.
void Choose(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

// Something is drawn there: not all of it one colour.
bool HasInk(const QImage& area) {
  for (int y = 0; y < area.height(); ++y)
    for (int x = 0; x < area.width(); ++x)
      if (area.pixel(x, y) != area.pixel(0, 0)) return true;
  return false;
}

// The shown rows' texts of a column.
std::vector<QString> Column(const QTreeView* view, int column) {
  std::vector<QString> out;
  for (int r = 0; r < view->model()->rowCount(); ++r) out.push_back(view->model()->index(r, column).data().toString());
  return out;
}

// Selects the shown rows whose column holds one of the texts, and focuses the view.
void Select(QTreeView* view, const std::vector<QString>& texts, int column = 0) {
  // A dialog that closed may leave no window active (offscreen).
  QApplication::setActiveWindow(view->window());
  view->setFocus();
  view->clearSelection();
  for (int r = 0; r < view->model()->rowCount(); ++r) {
    const QString text = view->model()->index(r, column).data().toString();
    if (std::find(texts.begin(), texts.end(), text) != texts.end())
      view->selectionModel()->select(view->model()->index(r, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  QApplication::processEvents();
}

class AddressPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = mail_.tmp() / "app" / "book.qad";
    IniFile(mail_.tmp() / "app" / "Quorvel.ini").WriteString("File", "AddressFile", "book.qad");
    ASSERT_TRUE(qvtest::WritePhoneBook(book_, {
        {Sjis("ﾔﾏﾀﾞ"), Sjis("山田"), {"090-1234-5678", "03-1111-2222"}, {"a@b.jp", "a2@b.jp", "a3@b.jp"}},
        {Sjis("ｱｵｷ"), Sjis("青木"), {"080-9999-0000"}, {"aoki@x.jp"}},
        {Sjis("ｶﾝﾏ"), "x,y@z.jp", {}, {"k@z.jp"}},
    }));
  }
  void TearDown() override { composetest::DeleteMailWindows(); }

  static TfrmMailSend* Compose(bool email) { return composetest::ShownComposeWindow(email); }

  // Opens the picker from the compose window and runs act in it.
  static void Pick(TfrmMailSend* compose, std::function<void(TfrmMailAddress*)> act) {
    ASSERT_TRUE(compose->actMailAddress->isEnabled());
    OnModal<TfrmMailAddress> on(std::move(act));
    compose->actMailAddress->trigger();
    EXPECT_TRUE(on.Ran()) << "the picker was not shown";
  }

  // Opens the time dialog from the picker and runs act in it.
  static void Time(TfrmMailAddress* picker, std::function<void(TfrmAddressDate*)> act) {
    ASSERT_TRUE(picker->actDate->isEnabled());
    OnModal<TfrmAddressDate> on(std::move(act));
    picker->actDate->trigger();
    EXPECT_TRUE(on.Ran()) << "the time dialog was not shown";
  }

  mailtest::MailDir mail_;
  std::filesystem::path book_;
};

}  // namespace

TEST_F(AddressPickerTest, FieldTextsGoThroughThePickerAsTheyStandAndOKWritesWhatItHolds) {
  struct Case {
    const char* what;
    bool email;
    QString to;
    QStringList addTo;  // names picked from the phone book and added to To
    QString after;
  };
  const std::vector<Case> cases{
      {"a name", true, U("a@b.jp(山田)"), {}, U("a@b.jp(山田)")},
      {"a time", true, U("2003/01/15/0905<a@b.jp>(山田)"), {}, U("2003/01/15/0905<a@b.jp>(山田)")},
      {"a date without time", true, U("2003/01/15<a@b.jp>(山田)"), {}, U("2003/01/15<a@b.jp>(山田)")},
      {"a display name", true, U("山田<a@b.jp>"), {}, U("山田<a@b.jp>")},
      {"a typed number", false, U("090-1234-5678"), {}, U("09012345678")},
      {"a number from the book", false, U(""), {U("青木")}, U("08099990000(青木)")},
      {"a name holding a comma", true, U("a@b.jp"), {U("x,y@z.jp")}, U("a@b.jp,k@z.jp(x，y@z.jp)")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TfrmMailSend* compose = Compose(c.email);
    compose->edtTo->setText(c.to);
    Pick(compose, [&](TfrmMailAddress* picker) {
      EXPECT_EQ(picker->MailMode(), c.email);
      if (!c.addTo.isEmpty()) {
        Select(picker->lsvAddress, {c.addTo.begin(), c.addTo.end()});
        picker->actTo->trigger();
      }
      picker->actOK->trigger();
    });
    EXPECT_EQ(compose->edtTo->text(), c.after);
    EXPECT_EQ(compose->edtCC->text(), QString());
    compose->SetModified(false);
    compose->close();
  }
}

TEST_F(AddressPickerTest, TheBookGivesAnItemPerAddressOrNumberAndTheNameColumnSortsByTheReading) {
  TfrmMailSend* compose = Compose(true);
  Pick(compose, [&](TfrmMailAddress* picker) {
    EXPECT_EQ(picker->windowTitle(), U("VeoQuorvel - 電話帳"));
    // File order: three addresses of 山田, then 青木 and the third entry.
    EXPECT_EQ(Column(picker->lsvAddress, 0),
              (std::vector<QString>{U("山田"), U("山田"), U("山田"), U("青木"), U("x,y@z.jp")}));
    EXPECT_EQ(Column(picker->lsvAddress, 2),
              (std::vector<QString>{U("a@b.jp"), U("a2@b.jp"), U("a3@b.jp"), U("aoki@x.jp"), U("k@z.jp")}));
    EXPECT_EQ(Column(picker->lsvAddress, 1),
              (std::vector<QString>{U("090-1234-5678"), U("03-1111-2222"), U(""), U("080-9999-0000"), U("")}));
    // 名前 sorts by the reading (ｱｵｷ, ｶﾝﾏ, ﾔﾏﾀﾞ, ﾔﾏﾀﾞ2, ﾔﾏﾀﾞ3), a second click reverses.
    picker->lsvAddress->header()->sectionClicked(0);
    EXPECT_EQ(Column(picker->lsvAddress, 2),
              (std::vector<QString>{U("aoki@x.jp"), U("k@z.jp"), U("a@b.jp"), U("a2@b.jp"), U("a3@b.jp")}));
    picker->lsvAddress->header()->sectionClicked(0);
    EXPECT_EQ(Column(picker->lsvAddress, 2),
              (std::vector<QString>{U("a3@b.jp"), U("a2@b.jp"), U("a@b.jp"), U("k@z.jp"), U("aoki@x.jp")}));
    // Three addresses of one entry added to CC give three recipients of that
    // name, in the order shown.
    Select(picker->lsvAddress, {U("山田")});
    picker->actCC->trigger();
    EXPECT_EQ(Column(picker->lsvCC, 0), (std::vector<QString>{U("山田"), U("山田"), U("山田")}));
    picker->lsvAddress->header()->sectionClicked(2);
    EXPECT_EQ(ListViewTag(picker->lsvAddress), 3);
    picker->actOK->trigger();
  });
  EXPECT_EQ(compose->edtCC->text(), U("a3@b.jp(山田),a2@b.jp(山田),a@b.jp(山田)"));
  EXPECT_TRUE(compose->Modified());
  // The sort chosen is kept for the next time, with the window's place.
  EXPECT_FALSE(Registry().ReadString("ListViewSize", "MailAddress", "").empty());
  EXPECT_FALSE(Registry().ReadString("FormPosition", "MailAddress", "").empty());
  Pick(compose, [&](TfrmMailAddress* picker) {
    EXPECT_EQ(ListViewTag(picker->lsvAddress), 3);
    EXPECT_EQ(Column(picker->lsvAddress, 2).back(), U("k@z.jp"));
    picker->lsvAddress->header()->sectionClicked(0);
    picker->btnCancel->click();
  });

  // Direct mail lists the numbers, the second of 山田 as its own item.
  TfrmMailSend* direct = Compose(false);
  Pick(direct, [&](TfrmMailAddress* picker) {
    EXPECT_FALSE(picker->pnlCC->isVisible());
    EXPECT_TRUE(picker->lsvToTel->isVisible());
    EXPECT_FALSE(picker->lsvToMail->isVisible());
    EXPECT_EQ(Column(picker->lsvAddress, 1).size(), 3u);
    Select(picker->lsvAddress, {U("山田")});
    picker->lsvAddress->doubleClicked(picker->lsvAddress->currentIndex());
    EXPECT_EQ(Column(picker->lsvToTel, 1), (std::vector<QString>{U("09012345678"), U("0311112222")}));
    picker->actOK->trigger();
  });
  EXPECT_EQ(direct->edtTo->text(), U("09012345678(山田),0311112222(山田)"));
}

TEST_F(AddressPickerTest, CancelLeavesTheFieldsAsTheyWere) {
  TfrmMailSend* compose = Compose(true);
  compose->edtTo->setText(U("a@b.jp(山田)"));
  compose->edtBCC->setText(U("c@d.jp"));
  compose->SetModified(false);
  Pick(compose, [&](TfrmMailAddress* picker) {
    Select(picker->lsvAddress, {U("青木")});
    picker->actTo->trigger();
    picker->actBCC->trigger();
    Select(picker->lsvToMail, {U("山田")});
    picker->actDelete->trigger();
    EXPECT_EQ(picker->GetToText(), "aoki@x.jp" + Sjis("(青木)"));
    picker->btnCancel->click();
  });
  EXPECT_EQ(compose->edtTo->text(), U("a@b.jp(山田)"));
  EXPECT_EQ(compose->edtBCC->text(), U("c@d.jp"));
  EXPECT_FALSE(compose->Modified());
}

TEST_F(AddressPickerTest, WithoutAPhoneBookTheListIsEmptyAndRecipientsCanStillBeChanged) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
  };
  const std::vector<Case> cases{
      {"no such file", [&] { std::filesystem::remove(book_); }},
      {"no setting", [&] { IniFile(mail_.tmp() / "app" / "Quorvel.ini").WriteString("File", "AddressFile", ""); }},
      {"no Address.idx", [&] { ASSERT_TRUE(WriteNamedRecordFile(book_, {{"1.bmp", "BM"}})); }},
      {"a damaged container", [&] { qvtest::WriteFile(book_, std::string("\x50\0\0\0Addr", 8)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare();
    TfrmMailSend* compose = Compose(true);
    compose->edtTo->setText(U("a@b.jp(山田),c@d.jp"));
    Pick(compose, [&](TfrmMailAddress* picker) {
      EXPECT_EQ(picker->lsvAddress->model()->rowCount(), 0);
      Select(picker->lsvToMail, {U("山田")});
      picker->actDelete->trigger();
      Select(picker->lsvToMail, {U("")});
      Time(picker, [](TfrmAddressDate* d) {
        d->chkDate->setChecked(true);
        d->dtpDate->setDate(QDate(2003, 1, 15));
        d->btnOK->click();
      });
      picker->actOK->trigger();
    });
    EXPECT_EQ(compose->edtTo->text(), U("2003/01/15<c@d.jp>"));
    compose->SetModified(false);
    compose->close();
    ASSERT_TRUE(qvtest::WritePhoneBook(book_, {{"r", "n", {}, {"x@y.jp"}}}));
    IniFile(mail_.tmp() / "app" / "Quorvel.ini").WriteString("File", "AddressFile", "book.qad");
  }
}

TEST_F(AddressPickerTest, ActionsAreEnabledWhereTheyCanAct) {
  TfrmMailSend* compose = Compose(true);
  compose->edtTo->setText(U("a@b.jp(山田)"));
  Pick(compose, [&](TfrmMailAddress* picker) {
    auto enabled = [&] {
      QApplication::processEvents();
      std::string s;
      for (QAction* a : {picker->actTo, picker->actCC, picker->actBCC, picker->actDate, picker->actDelete,
                         picker->actSelectAll})
        s += a->isEnabled() ? '1' : '0';
      return s;
    };
    picker->lsvAddress->setFocus();
    EXPECT_EQ(enabled(), "000001") << "the address list focused, nothing picked";
    Select(picker->lsvAddress, {U("青木")});
    EXPECT_EQ(enabled(), "111001");
    picker->lsvCC->setFocus();
    EXPECT_EQ(enabled(), "111000") << "an empty list has nothing to select";
    picker->lsvToMail->setFocus();
    EXPECT_EQ(enabled(), "111001");
    Select(picker->lsvToMail, {U("山田")});
    EXPECT_EQ(enabled(), "111111");
    // The keys of the lists: Ctrl+A selects all of the focused one, Delete removes.
    Select(picker->lsvAddress, {});
    QTest::keyClick(picker->lsvAddress, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(picker->lsvAddress->selectionModel()->selectedRows().size(), 5);
    picker->actBCC->trigger();
    EXPECT_EQ(picker->lsvBCC->model()->rowCount(), 5);
    QTest::keyClick(picker->lsvAddress, Qt::Key_Delete);
    EXPECT_EQ(picker->lsvAddress->model()->rowCount(), 5) << "the phone book is never changed";
    picker->lsvBCC->setFocus();
    QTest::keyClick(picker->lsvBCC, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(picker->lsvBCC, Qt::Key_Delete);
    EXPECT_EQ(picker->lsvBCC->model()->rowCount(), 0);
    EXPECT_EQ(enabled(), "111000");
    picker->btnCancel->click();
  });
  TfrmMailSend* direct = Compose(false);
  direct->edtTo->setText(U("0901"));
  Pick(direct, [&](TfrmMailAddress* picker) {
    Select(picker->lsvToTel, {U("")});
    QApplication::processEvents();
    EXPECT_TRUE(picker->actDelete->isEnabled());
    EXPECT_FALSE(picker->actDate->isEnabled()) << "a direct mail has no delivery time";
    EXPECT_FALSE(picker->actCC->isVisible());
    picker->btnCancel->click();
  });
}

TEST_F(AddressPickerTest, TheTimeDialogStartsFromTheSelectedRecipientsAndItsControlsGoTogether) {
  TfrmMailSend* compose = Compose(true);
  compose->edtTo->setText(U("2003/01/15/0905<a@b.jp>(山田),2004/02/01<c@d.jp>(青木),e@f.jp"));
  compose->edtCC->setText(U("2003/01/15/9<g@h.jp>,2003/13/40<i@j.jp>,山田<k@l.jp>"));
  Pick(compose, [&](TfrmMailAddress* picker) {
    picker->SetToday({2024, 6, 7});
    struct Start {
      QString date, hour, minute;
      bool checked;
    };
    auto startOf = [&](QTreeView* list, const std::vector<QString>& addresses) {
      Select(list, addresses, 1);
      Start s{};
      Time(picker, [&](TfrmAddressDate* d) {
        EXPECT_EQ(d->windowTitle(), U("VeoQuorvel - 時刻指定メール"));
        s = {d->dtpDate->date().toString(QStringLiteral("yyyy/MM/dd")), d->cboHuur->currentText(),
             d->cboMinute->currentText(), d->chkDate->isChecked()};
        d->btnCancel->click();
      });
      return s;
    };
    auto same = [](const Start& a, const Start& b) {
      return a.date == b.date && a.hour == b.hour && a.minute == b.minute && a.checked == b.checked;
    };
    EXPECT_TRUE(same(startOf(picker->lsvToMail, {U("a@b.jp")}), {U("2003/01/15"), U("09"), U("05"), true}));
    EXPECT_TRUE(same(startOf(picker->lsvToMail, {U("c@d.jp")}), {U("2004/02/01"), U(""), U(""), true}));
    EXPECT_TRUE(same(startOf(picker->lsvToMail, {U("a@b.jp"), U("c@d.jp")}), {U("2024/06/07"), U(""), U(""), false}))
        << "two different times open empty";
    EXPECT_TRUE(same(startOf(picker->lsvCC, {U("g@h.jp")}), {U("2003/01/15"), U(""), U(""), true}));
    EXPECT_TRUE(same(startOf(picker->lsvCC, {U("i@j.jp")}), {U("2024/06/07"), U(""), U(""), true}));
    EXPECT_TRUE(same(startOf(picker->lsvCC, {U("k@l.jp")}), {U("2024/06/07"), U(""), U(""), true}));
    EXPECT_EQ(picker->GetCCText(), "2003/01/15/9<g@h.jp>,2003/13/40<i@j.jp>," + Sjis("山田<k@l.jp>"))
        << "Cancel changed nothing";

    // OK with the box unchecked clears both times.
    Select(picker->lsvToMail, {U("a@b.jp"), U("c@d.jp")}, 1);
    Time(picker, [](TfrmAddressDate* d) { d->btnOK->click(); });
    EXPECT_EQ(picker->GetToText(), Sjis("a@b.jp(山田),c@d.jp(青木),e@f.jp"));

    // Minute 30 with no hour takes hour 00 and checks the box; a blank hour
    // clears the minute; an hour with no minute takes minute 00; a date checks.
    struct Step {
      const char* what;
      std::function<void(TfrmAddressDate*)> act;
      QString hour, minute;
      bool checked;
    };
    Select(picker->lsvToMail, {U("e@f.jp")}, 1);
    Time(picker, [&](TfrmAddressDate* d) {
      d->dtpDate->setDate(QDate(2003, 1, 15));
      d->chkDate->setChecked(false);
      const std::vector<Step> steps{
          {"minute 30", [](TfrmAddressDate* d) { Choose(d->cboMinute, 30); }, U("00"), U("30"), true},
          {"blank hour", [](TfrmAddressDate* d) { Choose(d->cboHuur, 0); }, U(""), U(""), true},
          {"hour 21", [](TfrmAddressDate* d) { Choose(d->cboHuur, 22); }, U("21"), U("00"), true},
          {"minute 45", [](TfrmAddressDate* d) { Choose(d->cboMinute, 45); }, U("21"), U("45"), true},
          {"unchecked", [](TfrmAddressDate* d) { d->chkDate->setChecked(false); }, U("21"), U("45"), false},
          {"a date", [](TfrmAddressDate* d) { d->dtpDate->setDate(QDate(2003, 1, 16)); }, U("21"), U("45"), true},
      };
      for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act(d);
        EXPECT_EQ(d->cboHuur->currentText(), s.hour);
        EXPECT_EQ(d->cboMinute->currentText(), s.minute);
        EXPECT_EQ(d->chkDate->isChecked(), s.checked);
      }
      Choose(d->cboHuur, 0);
      Choose(d->cboMinute, 30);
      EXPECT_EQ(d->Value(), "2003/01/16/0030");
      d->btnOK->click();
    });
    EXPECT_EQ(picker->GetToText(), Sjis("a@b.jp(山田),c@d.jp(青木),2003/01/16/0030<e@f.jp>"));
    picker->actOK->trigger();
  });
  EXPECT_EQ(compose->edtTo->text(), U("a@b.jp(山田),c@d.jp(青木),2003/01/16/0030<e@f.jp>"));
}

TEST_F(AddressPickerTest, AnHourWithoutAMinuteIsKeptThroughTheTimeDialog) {
  TfrmMailSend* compose = Compose(true);
  compose->edtTo->setText(U("2003/01/15/09zz<a@b.jp>"));
  Pick(compose, [&](TfrmMailAddress* picker) {
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round);
      Select(picker->lsvToMail, {U("a@b.jp")}, 1);
      Time(picker, [](TfrmAddressDate* d) {
        EXPECT_EQ(d->cboHuur->currentText(), U("09"));
        EXPECT_EQ(d->cboMinute->currentIndex(), -1);
        EXPECT_TRUE(d->chkDate->isChecked());
        d->btnOK->click();
      });
      EXPECT_EQ(picker->GetToText(), "2003/01/15/09<a@b.jp>");
    }
    picker->actOK->trigger();
  });
  EXPECT_EQ(compose->edtTo->text(), U("2003/01/15/09<a@b.jp>"));
}

TEST(AddressDateDialog, EveryValueItWritesReopensToTheSameSelection) {
  TfrmAddressDate written, reopened;
  const PickerDate today{2024, 6, 7};
  written.SetStart("2003/01/15", today);
  // No hour (the minute goes with it), an hour alone (as a start value may
  // give), and every hour with every minute.
  std::vector<std::pair<int, int>> selections{{0, -1}};
  for (int h = 1; h <= 24; ++h) {
    selections.push_back({h, -1});
    for (int m = 0; m < 60; ++m) selections.push_back({h, m});
  }
  for (const auto& [hour, minute] : selections) {
    written.cboHuur->setCurrentIndex(hour);
    written.cboMinute->setCurrentIndex(minute);
    const std::string value = written.Value();
    SCOPED_TRACE(value);
    reopened.SetStart(value, today);
    ASSERT_EQ(reopened.dtpDate->date(), QDate(2003, 1, 15));
    ASSERT_EQ(reopened.cboHuur->currentText().trimmed(), written.cboHuur->currentText().trimmed());
    ASSERT_EQ(reopened.cboMinute->currentIndex(), hour == 0 ? -1 : minute);
    ASSERT_TRUE(reopened.chkDate->isChecked());
    ASSERT_EQ(reopened.Value(), value);
  }
}

TEST_F(AddressPickerTest, Screenshots) {
  TfrmMailSend* compose = Compose(true);
  compose->edtTo->setText(U("2003/01/15/0905<a@b.jp>(山田)"));
  compose->edtCC->setText(U("aoki@x.jp(青木)"));
  Pick(compose, [&](TfrmMailAddress* picker) {
    Select(picker->lsvAddress, {U("山田")});
    picker->actBCC->trigger();
    Select(picker->lsvBCC, {U("a2@b.jp")}, 1);
    Time(picker, [&](TfrmAddressDate* d) {
      Choose(d->cboHuur, 19);
      d->dtpDate->setDate(QDate(2003, 2, 3));
      // The caption fits the title bar beside its icon and three buttons
      // (each about a line of the title font wide).
      QFont title = d->font();
      title.setBold(true);
      const QFontMetrics metrics(title);
      EXPECT_GE(d->width(), metrics.horizontalAdvance(d->windowTitle()) + 4 * metrics.height());
      const QImage dialog = d->grab().toImage();
      ASSERT_TRUE(dialog.save(QString::fromStdString(qvtest::ArtifactPath("address-date-dialog.png").string())));
      // The hour box shows its hour: its area is not one colour.
      const QRect hour = d->cboHuur->geometry();
      EXPECT_TRUE(HasInk(dialog.copy(hour.adjusted(2, 2, -2, -2))));
      d->btnOK->click();
    });
    QApplication::processEvents();
    picker->lsvBCC->resizeColumnToContents(2);
    const QImage shot = picker->grab().toImage();
    ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("address-picker-email.png").string())));
    // The delivery time cell of the new BCC recipient holds text.
    const QModelIndex cell = picker->lsvBCC->model()->index(1, 2);
    EXPECT_EQ(cell.data().toString(), U("2003/02/03/1800"));
    const QRect rect = picker->lsvBCC->visualRect(cell).translated(
        picker->lsvBCC->viewport()->mapTo(picker, QPoint(0, 0)));
    ASSERT_TRUE(shot.rect().contains(rect)) << "the time is in sight";
    EXPECT_TRUE(HasInk(shot.copy(rect)));
    picker->actOK->trigger();
  });
  EXPECT_EQ(compose->edtBCC->text(), U("a@b.jp(山田),2003/02/03/1800<a2@b.jp>(山田),a3@b.jp(山田)"));
}

TEST_F(AddressPickerTest, ScreenshotOfDirectMail) {
  TfrmMailSend* compose = Compose(false);
  compose->edtTo->setText(U("090-5555-6666(田中)"));
  Pick(compose, [&](TfrmMailAddress* picker) {
    Select(picker->lsvAddress, {U("青木")});
    picker->actTo->trigger();
    QApplication::processEvents();
    const QImage shot = picker->grab().toImage();
    ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("address-picker-direct.png").string())));
    // One To list of numbers fills the right side; no CC, BCC or time.
    EXPECT_FALSE(picker->pnlCC->isVisible());
    EXPECT_FALSE(picker->pnlBCC->isVisible());
    EXPECT_FALSE(picker->findChild<QWidget*>(QStringLiteral("btnDate"))->isVisible());
    const QRect list = QRect(picker->lsvToTel->mapTo(picker, QPoint(0, 0)), picker->lsvToTel->size());
    EXPECT_GT(list.height(), picker->height() / 2);
    EXPECT_EQ(Column(picker->lsvToTel, 1), (std::vector<QString>{U("090-5555-6666"), U("08099990000")}));
    EXPECT_TRUE(HasInk(shot.copy(picker->lsvToTel->visualRect(picker->lsvToTel->model()->index(1, 1))
                                     .translated(picker->lsvToTel->viewport()->mapTo(picker, QPoint(0, 0))))));
    picker->actOK->trigger();
  });
  EXPECT_EQ(compose->edtTo->text(), U("09055556666(田中),08099990000(青木)"));
}
