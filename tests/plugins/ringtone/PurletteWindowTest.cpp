// The ringtone maker's window through the built plug-in: opening MIDI files,
// the channel and role boxes, the song texts and the saved ringtone file,
// read back through the converter.
#include "FileSizeLimit.h"
#include "PurletteFixture.h"
#include "SpecialFiles.h"
#include "TcvTestApi.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <unistd.h>

using namespace purlettetest;
using tcvtest::Bytes;

namespace {

const char* const kMaps[4] = {"cboMap1", "cboMap2", "cboMap3", "cboMap4"};
const char* const kReMaps[4] = {"cboReMap1", "cboReMap2", "cboReMap3", "cboReMap4"};

// Output channel -> the notes started on it, from the ringtone converted back
// by a converter of the test's own.
std::map<int, std::vector<int>> RingtoneNotes(const std::string& ringtone) {
  const tcvtest::TcvApi& tcv = tcvtest::Module();
  const Bytes r(ringtone.begin(), ringtone.end());
  tcv.initial(0, 0);
  tcv.testPoly(r.data());  // locates the track, so the size it needs is known
  const tcvtest::MidiFile midi = tcvtest::ParseSmf(tcvtest::ToMidi(tcv, r));
  EXPECT_TRUE(midi.ok) << midi.error;
  std::map<int, std::vector<int>> notes;
  for (const auto& e : midi.events)
    if ((e.status & 0xF0) == 0x90 && e.data.at(1) > 0) notes[e.status & 0x0F].push_back(e.data.at(0));
  return notes;
}

// The notes Song() plays on a channel.
std::vector<int> SongNotes(int ch, int count = 4) {
  std::vector<int> notes;
  for (int i = 0; i < count; ++i) notes.push_back(ch == 9 ? 36 + i % 3 : 60 + 2 * i + ch);
  return notes;
}

// Typed text as the keyboard or the input method delivers it, one character at a time.
void Type(QLineEdit* edit, const QString& text) {
  for (QChar ch : text) QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

std::string Warning(std::string_view what) { return "変換したデータは" + std::string(what); }

}  // namespace

TEST_F(PurletteTest, OpenedFilesFillTheBoxesAndSaveWithTheirWarnings) {
  struct Case {
    const char* name;
    Bytes song;
    std::vector<std::string> items;
    std::vector<int> selected;
    std::function<void(PurletteTest&)> choose;  // what the user changes before saving
    std::vector<std::string> boxes;              // shown while saving
    std::map<int, std::vector<int>> notes;       // of the saved ringtone, by output channel
  } cases[] = {
      {"one programmed channel and rhythm", Song({{0, 0}, {9, 0}}), {"Ch1 (Acoustic Grand Piano)"}, {0, -1, -1, -1},
       nullptr, {}, {{0, SongNotes(0)}, {9, SongNotes(9)}}},
      {"only channel 10: nothing to choose, the rhythm stays", Song({{9, 25}}), {}, {-1, -1, -1, -1}, nullptr, {},
       {{9, SongNotes(9)}}},
      {"a programmed channel left out of the boxes: its notes are dropped", Song({{0, 0}, {1, 40}}),
       {"Ch1 (Acoustic Grand Piano)", "Ch2 (Violin)"}, {0, 1, -1, -1},
       [](PurletteTest& t) { t.ClickItem("cboReMap2", 0); },
       {Warning("削除したチャンネルがあります")}, {{0, SongNotes(0)}}},
      {"six programmed channels, notes on four", [] {
         SmfBuilder b(96);
         for (int ch = 0; ch < 6; ++ch) b.Program(0, ch, 16 + ch);
         for (int ch = 0; ch < 4; ++ch) b.NoteOn(0, ch, 60 + ch);
         for (int ch = 0; ch < 4; ++ch) b.NoteOff(ch == 0 ? 96 : 0, ch, 60 + ch);
         return b.End().File();
       }(),
       {"Ch1 (Drawbar Organ)", "Ch2 (Percussive Organ)", "Ch3 (Rock Organ)", "Ch4 (Church Organ)",
        "Ch5 (Reed Organ)", "Ch6 (Accordion)"},
       {0, 1, 2, 3}, nullptr, {Warning("削除したチャンネルがあります")},
       {{0, {60}}, {1, {61}}, {2, {62}}, {3, {63}}}},
      {"13 voices at once", [] {
         SmfBuilder b(96);
         for (int ch = 0; ch < 3; ++ch) b.Program(0, ch, 0);
         for (int ch = 0; ch < 3; ++ch)
           for (int i = 0; i < 4; ++i) b.NoteOn(0, ch, 60 + 4 * ch + i);
         b.NoteOn(0, 9, 36).NoteOff(96, 9, 36);
         for (int ch = 0; ch < 3; ++ch)
           for (int i = 0; i < 4; ++i) b.NoteOff(0, ch, 60 + 4 * ch + i);
         return b.End().File();
       }(),
       {"Ch1 (Acoustic Grand Piano)", "Ch2 (Acoustic Grand Piano)", "Ch3 (Acoustic Grand Piano)"}, {0, 1, 2, -1},
       nullptr, {Warning("\n同時発音数１２を越えます")},
       {{0, {60, 61, 62, 63}}, {1, {64, 65, 66, 67}}, {2, {68, 69, 70, 71}}, {9, {36}}}},
  };
  Load();
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = WriteMidi("song" + std::to_string(++n) + ".mid", c.song);
    Open(file);
    EXPECT_EQ(Edit("edtFileName")->text().toStdString(), file.string());
    for (const char* box : kReMaps) EXPECT_EQ(Items(box), c.items) << box;
    std::vector<int> selected;
    for (const char* box : kReMaps) selected.push_back(Combo(box)->currentIndex());
    EXPECT_EQ(selected, c.selected);
    EXPECT_EQ(Roles(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(window_->findChild<QGroupBox*>("pnlMelody")->isEnabled());
    EXPECT_TRUE(window_->findChild<QGroupBox*>("pnlComment")->isEnabled());
    if (c.choose) c.choose(*this);
    const auto target = tmp_.path() / ("song" + std::to_string(n) + ".dxm");
    Save(target);
    EXPECT_EQ(TakeBoxes(), c.boxes);
    const std::string saved = qvtest::ReadFile(target);
    ASSERT_EQ(saved.substr(0, 4), "MCDF") << "saved despite the warning";
    EXPECT_EQ(RingtoneNotes(saved), c.notes);
  }
  EXPECT_TRUE(ParamCalls().empty());
}

TEST_F(PurletteTest, FilesThatAreNoSupportedMidiFileAreReportedAndTheWindowIsReset) {
  const Bytes good = Song({{0, 0}});
  Bytes truncated(good.begin(), good.begin() + 14);
  const Bytes format1 = SmfBuilder(96, 1, 1).NoteOn(0, 0, 60).NoteOff(96, 0, 60).End().File();
  const auto sparse = tmp_.path() / "songs" / "huge.mid";
  {
    // A sparse file past the converter's int32 size: cut to 32 bits, its size
    // would be that of the MIDI file it begins with.
    qvtest::WriteFile(sparse, std::string(good.begin(), good.end()));
    std::filesystem::resize_file(sparse, (uint64_t{1} << 32) + good.size());
  }
  struct Case {
    std::string name;
    std::filesystem::path file;
    int32_t code;
  };
  std::vector<Case> cases = {
      {"format 1", WriteMidi("format1.mid", format1), 4001},
      {"cut after the header's length", WriteMidi("cut.mid", truncated), 4001},
      {"larger than the converter can be told", sparse, 4001},
  };
  // Read whole, a device would never end and a FIFO would hold the window.
  const qvtest::NotFiles notFiles(tmp_.path() / "songs" / "special", ".mid");
  for (const qvtest::NotAFile& f : notFiles.chosenInDialogs())
    cases.push_back({"cannot be opened: " + f.what, f.path, 4002});
  Load();
  const auto goodFile = WriteMidi("good.mid", good);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(goodFile);
    ASSERT_EQ(Items("cboReMap1").size(), 1u);
    ParamCalls().clear();
    Open(c.file);
    EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{10, c.code}}));
    EXPECT_TRUE(Edit("edtFileName")->text().isEmpty());
    for (const char* box : kReMaps) EXPECT_EQ(Combo(box)->count(), 0) << box;
    EXPECT_EQ(Roles(), (std::vector<int>{-1, -1, -1, -1}));
    EXPECT_FALSE(window_->findChild<QGroupBox*>("pnlMelody")->isEnabled());
    EXPECT_FALSE(Action("actSave")->isEnabled());
    EXPECT_FALSE(Action("actMidiPlay")->isEnabled());
  }
  EXPECT_FALSE(notFiles.FifoWaitedOn());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(PurletteTest, RoleClicksKeepTheFourRolesDistinct) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> clicks;  // (box, role)
    std::vector<int> roles;
  } cases[] = {
      {"BASS in box 1: メロディ moves to the box that held BASS", {{0, 1}}, {1, 0, 2, 3}},
      {"メロディ in box 4", {{3, 0}}, {3, 1, 2, 0}},
      {"the role a box already shows changes nothing", {{2, 2}}, {0, 1, 2, 3}},
      {"two clicks", {{1, 3}, {2, 0}}, {2, 3, 0, 1}},
      {"a role taken back", {{0, 1}, {0, 0}}, {0, 1, 2, 3}},
      {"round the boxes", {{0, 3}, {1, 2}, {2, 1}, {3, 0}}, {3, 2, 1, 0}},
  };
  Load();
  const auto file = WriteMidi("song.mid", Song({{0, 0}, {1, 33}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(file);
    for (auto [box, role] : c.clicks) {
      ClickItem(kMaps[box], role);
      const std::vector<int> roles = Roles();
      EXPECT_EQ(std::set<int>(roles.begin(), roles.end()), (std::set<int>{0, 1, 2, 3}));
      EXPECT_EQ(roles[static_cast<size_t>(box)], role);
    }
    EXPECT_EQ(Roles(), c.roles);
  }
}

TEST_F(PurletteTest, TheSavedRingtoneHoldsTheTextsTheMapAndTheChosenChannels) {
  SmfBuilder b(96);
  b.Meta(0, 0x03, "Song title").Meta(0, 0x02, J("(c) 著作"));
  const int programs[5] = {0, 33, 40, 48, 24};
  for (int ch = 0; ch < 5; ++ch) b.Program(0, ch, programs[ch]);
  for (int ch = 0; ch < 5; ++ch) b.NoteOn(0, ch, 50 + 3 * ch);
  for (int ch = 0; ch < 5; ++ch) b.NoteOff(ch == 0 ? 96 : 0, ch, 50 + 3 * ch);
  Load();
  Open(WriteMidi("song.mid", b.End().File()));
  EXPECT_EQ(Edit("edtTitle")->text().toStdString(), "Song title");
  EXPECT_EQ(Edit("edtCopyright")->text().toStdString(), "(c) 著作");
  // Source channels 3, 1, 5 and 2 for the four output channels; BASS first.
  ClickItem("cboReMap1", 2);
  ClickItem("cboReMap2", 0);
  ClickItem("cboReMap3", 4);
  ClickItem("cboReMap4", 1);
  ClickItem("cboMap1", 1);
  // Typed text is limited to the ringtone's block sizes in Shift-JIS bytes.
  Edit("edtTitle")->clear();
  Type(Edit("edtTitle"), QString(30, QChar(0x3042)));  // あ, two bytes each
  Type(Edit("edtArtist"), QStringLiteral("アーティストの名前が長すぎます"));
  Type(Edit("edtGenre"), QStringLiteral("Pop"));
  Type(Edit("edtCreator"), QStringLiteral("作成者"));
  Type(Edit("edtComposer"), QStringLiteral("Composer of it"));
  Type(Edit("edtLyrics"), QStringLiteral("12345678901234567890XYZ"));
  Type(Edit("edtArranger"), QStringLiteral("編曲"));
  EXPECT_EQ(Edit("edtTitle")->text().size(), 20);
  EXPECT_EQ(Edit("edtArtist")->text().toStdString(), "アーティストの名前が");
  const auto target = tmp_.path() / "out.dxm";
  Save(target);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{Warning("削除したチャンネルがあります")}) << "five channels offered";
  const std::string r = qvtest::ReadFile(target);
  std::string title;
  for (int i = 0; i < 20; ++i) title += J("あ");
  EXPECT_EQ(RingtoneBlock(r, 0x02C0), title);
  EXPECT_EQ(RingtoneBlock(r, 0x02C1), J("アーティストの名前が"));
  EXPECT_EQ(RingtoneBlock(r, 0x02C2), "Pop");
  EXPECT_EQ(RingtoneBlock(r, 0x02C3), J("(c) 著作")) << "the file's own bytes";
  EXPECT_EQ(RingtoneBlock(r, 0x02C4), J("作成者"));
  EXPECT_EQ(RingtoneBlock(r, 0x02C5), "Composer of it");
  EXPECT_EQ(RingtoneBlock(r, 0x02C6), "12345678901234567890");
  EXPECT_EQ(RingtoneBlock(r, 0x02C7), J("編曲"));
  EXPECT_EQ(RingtoneBlock(r, 0x0203), std::string("\x02\x01\x03\x04", 4));
  EXPECT_EQ(RingtoneNotes(r), (std::map<int, std::vector<int>>{{0, {56}}, {1, {50}}, {2, {62}}, {3, {53}}}));
}

TEST_F(PurletteTest, APreviewBeforeSavingLeavesTheSavedBytesAlone) {
  // Tempo changes mid-song: a conversion ends at another tempo than it began.
  SmfBuilder b(96);
  b.Tempo(0, 500000).Program(0, 0, 0);
  for (int i = 0; i < 4; ++i) b.NoteOn(0, 0, 60 + i).NoteOff(48, 0, 60 + i);
  b.Tempo(0, 300000);
  for (int i = 0; i < 4; ++i) b.NoteOn(0, 0, 70 + i).NoteOff(48, 0, 70 + i);
  Load();
  Open(WriteMidi("tempo.mid", b.End().File()));
  Save(tmp_.path() / "first.dxm");
  PlayToEnd("actDxmPlay");
  ASSERT_EQ(Previews().size(), 1u);
  Save(tmp_.path() / "second.dxm");
  std::string first = qvtest::ReadFile(tmp_.path() / "first.dxm");
  std::string second = qvtest::ReadFile(tmp_.path() / "second.dxm");
  ASSERT_EQ(first.size(), second.size());
  // All but the creation time.
  for (const auto& e : tcvtest::Directory(Bytes(first.begin(), first.end())))
    if (e.tag == 0x0283) {
      first.replace(e.offset, e.size, e.size, '\0');
      second.replace(e.offset, e.size, e.size, '\0');
    }
  EXPECT_EQ(tcvtest::ToHex(Bytes(first.begin(), first.end())), tcvtest::ToHex(Bytes(second.begin(), second.end())));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(PurletteTest, AFailedSaveSaysSoAndLeavesTheOldFileWhole) {
  Load();
  Open(WriteMidi("song.mid", Song({{0, 0}, {9, 0}})));
  const auto target = tmp_.path() / "old.dxm";
  qvtest::WriteFile(target, "old ringtone");
  {
    // Files of more than 100 bytes cannot be written while this holds.
    qvtest::FileSizeLimit limit(100);
    ASSERT_TRUE(limit.Set());
    Save(target);
  }
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"purletteファイルを保存できませんでした。\n" + target.string()});
  EXPECT_EQ(qvtest::ReadFile(target), "old ringtone");
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(tmp_.path()))
    if (e.is_regular_file()) ++files;
  EXPECT_EQ(files, 1) << "no half-written file is left beside it";
  Save(target);
  EXPECT_EQ(qvtest::ReadFile(target).substr(0, 4), "MCDF");
}

TEST_F(PurletteTest, TheWindowShowsItsFileTextsAndDialogs) {
  Load();
  EXPECT_EQ(window_->windowTitle().toStdString(), "VeoQuorvel - purletteメーカー");
  const std::pair<const char*, const char*> actions[] = {{"actOpen", "開く"},       {"actSave", "保存"},
                                                          {"actMidiPlay", "再生"},   {"actDxmPlay", "purlette再生"},
                                                          {"actStop", "停止"},       {"actClose", "閉じる"}};
  for (auto [name, caption] : actions) EXPECT_EQ(Action(name)->text().toStdString(), caption);
  for (const char* box : kMaps)
    EXPECT_EQ(Items(box), (std::vector<std::string>{"メロディ", "BASS", "伴奏1", "伴奏2"}));
  EXPECT_EQ(window_->findChild<QGroupBox*>("pnlMelody")->title().toStdString(), "チャンネルマップ");
  EXPECT_EQ(window_->findChild<QGroupBox*>("pnlComment")->title().toStdString(), "曲概要");
  EXPECT_FALSE(Action("actSave")->isEnabled());
  EXPECT_FALSE(Action("actStop")->isEnabled());

  SmfBuilder b(96);
  b.Meta(0, 0x03, J("春の歌")).Program(0, 0, 0).Program(0, 1, 33).NoteOn(0, 0, 60).NoteOff(96, 0, 60);
  Open(WriteMidi("haru.mid", b.End().File()));
  Type(Edit("edtArtist"), QStringLiteral("クオーベル"));
  Type(Edit("edtGenre"), QStringLiteral("J-POP"));
  Save(tmp_.path() / "haru.dxm");
  EXPECT_EQ(DialogFilters(),
            (std::vector<std::string>{"スタンダードMIDIファイル (*.mid)", "purletteファイル (*.dxm)"}));

  const QImage shot = window_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("purlette-window.png").string())));
  // Dark text pixels inside a text box's frame.
  auto inked = [&](const char* name) {
    QLineEdit* e = Edit(name);
    const QRect r = QRect(e->mapTo(window_, QPoint(4, 4)), e->size() - QSize(8, 8));
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (qGray(shot.pixel(x, y)) < 90) ++n;
    return n;
  };
  EXPECT_GT(inked("edtTitle"), 20) << "the song's title is shown";
  EXPECT_GT(inked("edtArtist"), 20);
  EXPECT_EQ(inked("edtLyrics"), 0) << "an empty box shows no text";
  EXPECT_EQ(Items("cboReMap2"), (std::vector<std::string>{"Ch1 (Acoustic Grand Piano)", "Ch2 (Electric Bass (finger))"}));

  // Closing resets the window; showing it again finds it empty.
  Action("actClose")->trigger();
  EXPECT_FALSE(window_->isVisible());
  ASSERT_TRUE(plugin_->ShowPluginForm());
  EXPECT_TRUE(Edit("edtFileName")->text().isEmpty());
  EXPECT_TRUE(Edit("edtArtist")->text().isEmpty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(PurletteTest, TheExportsAnswerAsAPluginOfTheLauncher) {
  Load();
  EXPECT_EQ(plugin_->GetName(), J("purletteメーカー"));
  auto getName = reinterpret_cast<QvGetPluginNameFn>(Export("GetPluginName"));
  ASSERT_NE(getName, nullptr);
  struct Case {
    int32_t size;
    std::string name;
  } cases[] = {{256, J("purletteメーカー")}, {9, "purlette"}, {10, "purlette"}, {11, J("purletteメ")}};
  for (const Case& c : cases) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    int32_t size = c.size;
    EXPECT_EQ(getName(buffer, &size), 1);
    EXPECT_EQ(std::string(buffer), c.name) << c.size;
  }
  auto callBackParam = reinterpret_cast<QvCallBackParamFn>(Export("CallBackParam"));
  auto callBackStr = reinterpret_cast<QvCallBackStrFn>(Export("CallBackStr"));
  auto setParam = reinterpret_cast<QvSetParamFn>(Export("SetParam"));
  auto getStr = reinterpret_cast<QvGetStrFn>(Export("GetStr"));
  EXPECT_EQ(setParam(1, 2) & 0xFF, 1);
  EXPECT_EQ(getStr(1, nullptr, 0) & 0xFF, 1);
  EXPECT_EQ(callBackStr(nullptr), 0);
  EXPECT_EQ(callBackParam(nullptr), 0);
  // Without a host callback a warning goes nowhere, and nothing breaks.
  Open(WriteMidi("bad.mid", Bytes{'M', 'T', 'h', 'd'}));
  EXPECT_TRUE(ParamCalls().empty());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_FALSE(plugin_->GetIcon().isNull()) << "the ringtone icon of the image list";
  EXPECT_TRUE(plugin_->CloseForm());
  EXPECT_FALSE(window_->isVisible());
}
