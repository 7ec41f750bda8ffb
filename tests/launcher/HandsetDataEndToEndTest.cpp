// Handset data through the launcher window: a plug-in's request (5, n) or
// (6, n) runs the session dialog with the real Portvine.so in front of the
// simulated handset's information store.
#include "HandsetRecords.h"
#include "SessionFixture.h"
#include "core/data/HandsetExchange.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest/QTest>

using namespace qvtest;

namespace {

class HandsetDataEndToEndTest : public SessionTest {
 protected:
  // The phone-book and bookmark stand-ins ask the launcher as the real
  // plug-ins do; the handset takes information mode.
  void StartWithHandset(std::map<int, HandsetLines> store, handsetsim::SimConfig config = {},
                        bool takesInformationMode = true) {
    WriteSessionIni({{"Plugins|2", "TestAddress.qpl"}, {"Plugins|3", "TestBookMark.qpl"}});
    if (takesInformationMode) config.i9InfoText = "1";
    for (const auto& [kind, lines] : store) config.info[kind] = WireLines(lines);
    UseRealModule(std::move(config));
    StartSession();
    auto rate = reinterpret_cast<void (*)(int32_t)>(ModuleSymbol("Portvine.so", "PortvineTestSetClockRate"));
    ASSERT_NE(rate, nullptr);
    rate(20);
  }
  static HandsetLines FileLines(int kind) {
    HandsetLines lines;
    EXPECT_TRUE(qv::HandsetExchangeFile::Read(qv::HandsetExchangeFile::PathFor(kind), lines));
    return lines;
  }
  bool ModuleIdle() { return !launch_->SerialGetState(); }
};

TEST_F(HandsetDataEndToEndTest, APhoneBookReadShowsTheKindAndItsRecordsAndFillsTheExchangeFile) {
  const HandsetLines records = HandsetRecords(1, 8);
  StartWithHandset({{1, records}, {8, HandsetRecords(8, 3)}});
  // Looked at mid-read, after every round of the dialog's poll (the count
  // moves by one a round): the kind, the records so far, the bytes, and a bar
  // filled to under half its width.
  bool grabbed = false;
  QString tel, size;
  EveryRound([&] {
    if (grabbed || !connecting_->isVisible() || connecting_->lblCount->text() != QStringLiteral("3/8 件")) return;
    tel = connecting_->lblTel->text();
    size = connecting_->lblSize->text();
    EXPECT_EQ(connecting_->pbConnect->value(), 3);
    EXPECT_EQ(connecting_->pbConnect->maximum(), 8);
    const QImage shot = connecting_->grab().toImage();
    grabbed = shot.save(QString::fromStdString(ArtifactPath("launcher-handset-read.png").string()));
    const QRect bar = connecting_->pbConnect->geometry();
    const int y = bar.center().y();
    EXPECT_NE(shot.pixel(bar.left() + bar.width() / 5, y), shot.pixel(bar.left() + bar.width() * 4 / 5, y))
        << "filled at a fifth, empty at four fifths";
  });

  EXPECT_EQ(PluginCallParam("TestAddress.qpl", 5, 1), 1) << "done";
  EXPECT_TRUE(grabbed) << "a picture of the dialog mid-read";
  EXPECT_EQ(tel.toStdString(), "電話帳");
  EXPECT_TRUE(size.endsWith(QStringLiteral("Byte")) && size.size() > 4) << size.toStdString();
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::Done));
  EXPECT_EQ(FileLines(1), records);
  EXPECT_TRUE(ModuleIdle());
  EXPECT_EQ(Sim().Info()[1], WireLines(records)) << "the handset keeps its records";
  EXPECT_TRUE(ErrorLogText().empty());
}

TEST_F(HandsetDataEndToEndTest, ABookmarkWriteThatFillsTheHandsetFailsAndSaysTheHandsetHoldsPartOfIt) {
  const HandsetLines records = HandsetRecords(8, 5);
  handsetsim::SimConfig config;
  config.infoCapacity = 3;
  StartWithHandset({{8, HandsetRecords(8, 2, 10)}}, config);
  ASSERT_TRUE(qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(8), records));
  const std::string file = ReadFile(qv::HandsetExchangeFile::PathFor(8));

  EXPECT_EQ(PluginCallParam("TestBookMark.qpl", 6, 8), 0) << "not done";
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::Aborted));
  PumpUntil([&] { return !NoticeTexts().empty(); });
  EXPECT_EQ(LastNotice(), "ブックマークの書き込みが途中で終わりました。\n  携帯電話のブックマークは一部しか書き込まれていません。");
  EXPECT_NE(ErrorLogText().find(J("ブックマークの書き込みが途中で終わりました。")), std::string::npos);
  const HandsetLines wire = WireLines(records);
  EXPECT_EQ(Sim().Info()[8], HandsetLines(wire.begin(), wire.begin() + 3));
  EXPECT_EQ(ReadFile(qv::HandsetExchangeFile::PathFor(8)), file);
  EXPECT_TRUE(ModuleIdle());
}

// Once the last record is across, the module takes its time to bring the
// handset out of information mode: the dialog says the session is finishing
// meanwhile, not that it is still writing (or reading) "3/3 件".
class HandsetDataFinishingTest : public HandsetDataEndToEndTest {
 protected:
  void Check(bool write) {
    const HandsetLines records = HandsetRecords(1, 3);
    StartWithHandset({{1, write ? HandsetLines{} : records}});
    if (write) {
      ASSERT_TRUE(qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(1), records));
    }
    // Looked at after the handset has left information mode, while the
    // module still ends its session.
    bool entered = false, looked = false;
    QString caption, count;
    EveryRound([&] {
      if (looked || !connecting_->isVisible()) return;
      if (Sim().Record().infoMode) {
        entered = true;
        return;
      }
      if (!entered || ModuleIdle()) return;
      looked = true;
      caption = connecting_->pnlConnect->GetCaption();
      count = connecting_->lblCount->text();
      connecting_->grab().save(QString::fromStdString(
          ArtifactPath(write ? "launcher-handset-write-finishing.png" : "launcher-handset-read-finishing.png").string()));
    });
    EXPECT_EQ(PluginCallParam("TestAddress.qpl", write ? 6 : 5, 1), 1) << "done";
    ASSERT_TRUE(looked);
    EXPECT_EQ(count.toStdString(), "3/3 件");
    EXPECT_EQ(caption.toStdString(), "携帯電話とのデータ通信を終了しています。");
  }
};

TEST_F(HandsetDataFinishingTest, AWriteSaysItIsFinishingWhileTheHandsetLeavesInformationMode) { Check(true); }
TEST_F(HandsetDataFinishingTest, AReadSaysItIsFinishingWhileTheHandsetLeavesInformationMode) { Check(false); }

TEST_F(HandsetDataEndToEndTest, AHandsetThatRefusesInformationModeIsReportedAndNothingIsDone) {
  StartWithHandset({{1, HandsetRecords(1, 2)}}, {}, false);

  EXPECT_EQ(PluginCallParam("TestAddress.qpl", 5, 1), 0);
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::NothingDone));
  PumpUntil([&] { return !NoticeTexts().empty(); });
  EXPECT_EQ(LastNotice(), "携帯電話がデータ通信モードを受け付けませんでした。(D00032)");
  EXPECT_TRUE(FileLines(1).empty());
  EXPECT_TRUE(ModuleIdle());
}

TEST_F(HandsetDataEndToEndTest, ADamagedFileIsToldAndNeverReachesTheHandset) {
  HandsetLines records = HandsetRecords(1, 3);
  records[1] = "00" + records[1].substr(2);
  StartWithHandset({{1, HandsetRecords(1, 2, 10)}});
  ASSERT_TRUE(qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(1), records));

  EXPECT_EQ(PluginCallParam("TestAddress.qpl", 6, 1), 0);
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::NothingDone));
  PumpUntil([&] { return !NoticeTexts().empty(); });
  EXPECT_EQ(LastNotice(), "電話帳の送信データの 2 行目に誤りがあります。\n  携帯電話には書き込みませんでした。");
  EXPECT_EQ(Sim().Record().connections, 0);
  EXPECT_EQ(Sim().Info()[1], WireLines(HandsetRecords(1, 2, 10)));
}

}  // namespace
