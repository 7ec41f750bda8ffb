// The theme list window: which themes it lists and in what order, how a row
// shows its theme, choosing, deleting, adding and editing themes, failed
// saves, and the preview.
#include "ThemeFixture.h"

#include "ReadOnlyFolder.h"
#include "controls/AnimationImage.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/ColorContrast.h"
#include "controls/Graphics.h"
#include "plugins/theme/BannerListBox.h"
#include "plugins/theme/QvBannerEditFRM.h"
#include "plugins/theme/QvBannerFRM.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <climits>

using namespace themetest;
using qv::TBannerData;
using qv::TfrmBannerEdit;

namespace {

// The row's background a little inside its bottom-left corner, clear of the
// frame and the texts.
QRgb RowBackground(qv::TfrmBanner& form, int row) {
  const QRect rect = form.lstBanner->visualItemRect(form.lstBanner->item(row));
  const QImage shot = form.lstBanner->viewport()->grab().toImage();
  return shot.pixel(rect.left() + 126, rect.bottom() - 1) & 0xFFFFFF;
}

bool HasColorIn(const QImage& image, const QRect& area, QRgb color) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF)) return true;
  return false;
}

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

TfrmBannerEdit& Editor(QDialog& dialog) { return dynamic_cast<TfrmBannerEdit&>(dialog); }

// The colour of the third text line of a row (where ※編集不可 stands) that
// stands out most from the row's background.
TColor NoteInk(qv::TfrmBanner& form, int row) {
  const QRect rect = form.lstBanner->visualItemRect(form.lstBanner->item(row));
  const int line = form.lstBanner->fontMetrics().height();
  const QImage shot = form.lstBanner->viewport()->grab().toImage();
  const TColor back = ColorFromQColor(QColor(RowBackground(form, row)));
  TColor ink = back;
  for (int y = rect.top() + 2 + 2 * line; y < std::min(rect.top() + 2 + 3 * line, rect.bottom()); ++y)
    for (int x = rect.left() + 132; x < rect.left() + 212; ++x) {
      const TColor c = ColorFromQColor(shot.pixelColor(x, y));
      if (ContrastRatio(c, back) > ContrastRatio(ink, back)) ink = c;
    }
  return ink;
}

}  // namespace

TEST_F(ThemeWindowTest, ListedThemesComeFirstInKeyOrderThenTheFolderAndBadFilesAreLeftOut) {
  WriteTheme("a.qvt", Theme("a", 2));
  WriteTheme("b.qvt", Theme("b", 3));
  WriteTheme("c.qvt", Theme("c", 1));
  WriteTheme("E.QVT", Theme("e", 2));
  const std::string bmp = BitmapFile(Strip(2));
  const std::string idx = "1,0.5,,bad\r\n";
  for (auto [file, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"cut.qvt", (Record("banner.idx", idx) + Record("banner.bmp", bmp)).substr(0, 40)},
           {"negative.qvt", Le32(-7) + Record("banner.idx", idx)},
           {"huge.qvt", Record("banner.idx", idx) + Le32(10) + "banner.bmp" + Le32(INT32_MAX) + bmp},
           {"nobitmap.qvt", Record("banner.idx", idx)},
           {"damaged.qvt", Record("banner.idx", idx) + Record("banner.bmp", bmp.substr(0, 70))},
           {"notes.txt", Record("banner.idx", idx) + Record("banner.bmp", bmp)}})
    qvtest::WriteFile(ThemePath(file), bytes);
  WriteIni("ThemeList", "1", " b.qvt ");
  WriteIni("ThemeList", "2", "a.qvt");
  WriteIni("ThemeList", "3", "gone.qvt");
  WriteIni("ThemeList", "5", "c.qvt");  // after the gap: not read as listed
  qv::TfrmBanner& form = Open();
  std::vector<std::string> files = RowFiles();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], "b.qvt");
  EXPECT_EQ(files[1], "a.qvt");
  std::sort(files.begin() + 2, files.end());
  EXPECT_EQ(files[2], "E.QVT");
  EXPECT_EQ(files[3], "c.qvt");
  for (int i = 0; i < form.ItemCount(); ++i) {
    EXPECT_EQ(form.ItemData(i).Bitmap.size(), QSize(120, 50)) << "a row keeps only the first frame";
    EXPECT_EQ(form.lstBanner->visualItemRect(form.lstBanner->item(i)).height(), 54);
  }
  EXPECT_EQ(Rgb(form.ItemData(0).Bitmap), Strip(1)) << "b's first frame";
  // Shown again, the window lists the folder as it is then.
  Close();
  std::filesystem::remove(ThemePath("a.qvt"));
  Open();
  EXPECT_EQ(RowFiles().size(), 3u);
}

TEST_F(ThemeWindowTest, RowsShowInUseNotEditableAndSelectedAndThePreviewPlaysTheSelectedTheme) {
  WriteTheme("current.qvt", Theme(Sjis("いつもの"), 2));
  WriteTheme("fixed.qvt", Theme(Sjis("固定"), 3, false, "0.1", Sjis("ふきだしです")));
  WriteTheme("plain.qvt", Theme("plain", 2));
  WriteIni("ThemeList", "1", "current.qvt");
  WriteIni("ThemeList", "2", "fixed.qvt");
  WriteIni("ThemeList", "3", "plain.qvt");
  WriteIni("Theme", "File", "CURRENT.qvt");  // letter case does not matter
  qv::TfrmBanner& form = Open();
  form.resize(440, 260);
  ASSERT_EQ(RowFiles(), (std::vector<std::string>{"current.qvt", "fixed.qvt", "plain.qvt"}));
  EXPECT_TRUE(form.InUse(0));
  EXPECT_FALSE(form.InUse(1));
  EXPECT_FALSE(form.actSelectBanner->isEnabled()) << "nothing selected";
  EXPECT_TRUE(form.actAdd->isEnabled());
  ClickRow(1);
  EXPECT_FALSE(form.actEdit->isEnabled()) << "not editable";
  EXPECT_FALSE(form.actDel->isEnabled());
  EXPECT_TRUE(form.actSelectBanner->isEnabled());
  // The preview plays the selected theme's whole strip at its interval.
  TAnimationImage* preview = form.aniPreview;
  EXPECT_EQ(preview->GetRowCount(), 3);
  EXPECT_EQ(preview->GetSpeed(), 100);
  EXPECT_TRUE(preview->GetMovie());
  EXPECT_EQ(preview->toolTip(), QStringLiteral("ふきだしです"));
  EXPECT_EQ(Rgb(preview->grab().toImage()), Strip(1)) << "the first frame shows first";

  const QImage shot = form.grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("theme-list.png").string())));
  const QPalette& pal = form.lstBanner->palette();
  const TColor base = ColorFromQColor(pal.color(QPalette::Base));
  EXPECT_EQ(RowBackground(form, 0), ToQColor(BlendColor(clBlue, base, 128)).rgb() & 0xFFFFFF) << "in use";
  EXPECT_EQ(RowBackground(form, 1), pal.color(QPalette::Highlight).rgb() & 0xFFFFFF) << "selected";
  EXPECT_EQ(RowBackground(form, 2), pal.color(QPalette::Base).rgb() & 0xFFFFFF) << "plain";
  const QImage list = form.lstBanner->viewport()->grab().toImage();
  const QRect fixedRow = form.lstBanner->visualItemRect(form.lstBanner->item(1));
  // On the selection red does not read: the note is in a red that does (the next test).
  EXPECT_GE(ContrastRatio(NoteInk(form, 1), ColorFromQColor(pal.color(QPalette::Highlight))), 3.0)
      << "※編集不可 reads on the selection";
  const QRect plainRow = form.lstBanner->visualItemRect(form.lstBanner->item(2));
  EXPECT_FALSE(HasColorIn(list, QRect(plainRow.left() + 132, plainRow.top() + 2, 80, plainRow.height() - 4), qRgb(255, 0, 0)));
  EXPECT_EQ(Rgb(list.copy(fixedRow.left() + 2, fixedRow.top() + 2, 120, 50)), Strip(1)) << "the first frame at (2, 2)";
}

TEST_F(ThemeWindowTest, TheNotEditableNoteIsRedWhereRedReadsAndAReadableRedElsewhere) {
  WriteTheme("current.qvt", Theme(Sjis("いつもの"), 2, false));
  WriteTheme("fixed.qvt", Theme(Sjis("固定"), 2, false));
  WriteIni("ThemeList", "1", "current.qvt");
  WriteIni("ThemeList", "2", "fixed.qvt");
  WriteIni("Theme", "File", "current.qvt");
  qv::TfrmBanner& form = Open();
  struct Case {
    const char* what;
    int row;       // 0 the current theme, 1 another
    int selected;  // the row clicked
  };
  for (const Case& c : {Case{"a plain row", 1, 0}, Case{"the selection", 1, 1}, Case{"the current theme", 0, 1},
                        Case{"the current theme selected", 0, 0}}) {
    SCOPED_TRACE(c.what);
    ClickRow(c.selected);
    const TColor back = ColorFromQColor(QColor(RowBackground(form, c.row)));
    const TColor ink = NoteInk(form, c.row);
    EXPECT_GE(ContrastRatio(ink, back), 3.0) << "ink " << std::hex << ink << " on " << back;
    EXPECT_TRUE(GetRValue(ink) > GetGValue(ink) && GetRValue(ink) > GetBValue(ink)) << "still red: " << std::hex << ink;
    if (ContrastRatio(clRed, back) >= 3.0) {
      EXPECT_EQ(ink, clRed) << "red where it reads";
    }
  }
  ClickRow(0);
  EXPECT_EQ(NoteInk(form, 1), clRed) << "the plain row keeps the red";
}

TEST_F(ThemeWindowTest, SettingAThemeWritesItAndAsksTheLauncherToReload) {
  WriteTheme("a.qvt", Theme("a", 2));
  WriteTheme("b.qvt", Theme("b", 2, false));
  WriteIni("ThemeList", "1", "a.qvt");
  WriteIni("ThemeList", "2", "b.qvt");
  qv::TfrmBanner& form = Open();
  ClickRow(1);
  form.actSelectBanner->trigger();
  EXPECT_EQ(ReadIni("Theme", "File"), "b.qvt");
  EXPECT_EQ(HostCalls(), (std::vector<std::pair<int32_t, int32_t>>{{4, 1}}));
  EXPECT_TRUE(form.InUse(1));
  EXPECT_FALSE(form.InUse(0));
}

TEST_F(ThemeWindowTest, DeleteRemovesAnEditableThemeOnlyAndWithoutAQuestion) {
  WriteTheme("a.qvt", Theme("a", 2));
  WriteTheme("fixed.qvt", Theme("fixed", 2, false));
  WriteIni("ThemeList", "1", "a.qvt");
  WriteIni("ThemeList", "2", "fixed.qvt");
  WriteIni("Theme", "EditMode", "1");
  qv::TfrmBanner& form = Open();
  ClickRow(1);
  PressKey(Qt::Key_Delete);
  form.actDel->trigger();
  EXPECT_TRUE(std::filesystem::exists(ThemePath("fixed.qvt")));
  EXPECT_EQ(form.ItemCount(), 2);
  // In edit mode Enter still opens the editor on it (cancelled here).
  PressKey(Qt::Key_Return);
  EXPECT_EQ(user_->EditorsCancelled(), 1);
  ClickRow(0);
  PressKey(Qt::Key_Delete);
  EXPECT_FALSE(std::filesystem::exists(ThemePath("a.qvt")));
  EXPECT_EQ(RowFiles(), std::vector<std::string>{"fixed.qvt"});
  EXPECT_TRUE(TakeBoxes().empty());
}

// The theme in use deleted: its place goes to our default theme, else to the
// first theme listed, else to none, and the launcher is told; deleting
// another theme leaves the current one alone.
TEST_F(ThemeWindowTest, DeletingTheThemeInUseGivesItsPlaceToTheDefaultTheme) {
  struct Case {
    std::vector<std::string> listed;  // editable except the default theme
    std::string deleted, current;
  } cases[] = {
      {{"x.qvt", "VeoQuorvel.qvt", "a.qvt"}, "a.qvt", "VeoQuorvel.qvt"},
      {{"x.qvt", "a.qvt"}, "a.qvt", "x.qvt"},
      {{"a.qvt"}, "a.qvt", ""},
      {{"x.qvt", "a.qvt"}, "x.qvt", "a.qvt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deleted + " of " + std::to_string(c.listed.size()));
    std::filesystem::remove_all(ThemePath(""));
    std::filesystem::create_directories(ThemePath(""));
    for (size_t i = 0; i < c.listed.size(); ++i) {
      const std::string& file = c.listed[i];
      WriteTheme(file, Theme(std::filesystem::path(file).stem().string(), 2, file != "VeoQuorvel.qvt"));
      WriteIni("ThemeList", std::to_string(i + 1), file);
    }
    WriteIni("ThemeList", std::to_string(c.listed.size() + 1), "");
    WriteIni("Theme", "File", "a.qvt");
    qv::TfrmBanner& form = Open();
    HostCalls().clear();
    ClickRow(static_cast<int>(std::find(c.listed.begin(), c.listed.end(), c.deleted) - c.listed.begin()));
    form.actDel->trigger();
    EXPECT_FALSE(std::filesystem::exists(ThemePath(c.deleted)));
    EXPECT_EQ(ReadIni("Theme", "File"), c.current);
    EXPECT_EQ(form.CurrentTheme(), c.current);
    using Calls = std::vector<std::pair<int32_t, int32_t>>;
    const Calls told = c.deleted == "a.qvt" ? Calls{{4, 1}} : Calls{};
    EXPECT_EQ(HostCalls(), told);
    for (int row = 0; row < form.ItemCount(); ++row) EXPECT_EQ(form.InUse(row), form.ItemFileName(row) == c.current);
    form.close();
  }
}

TEST_F(ThemeWindowTest, ANotEditableThemeOpensNoEditorOutsideEditMode) {
  WriteTheme("fixed.qvt", Theme("fixed", 2, false));
  Open();
  ClickRow(0);
  PressKey(Qt::Key_Return);
  DoubleClickRow(0);
  form_->EditTheme(0);
  EXPECT_EQ(user_->EditorsCancelled(), 0);
}

TEST_F(ThemeWindowTest, AddingAThemeStartsFromItsDefaultsAndListsItSelected) {
  const auto pictures = tmp_.path() / "pictures";
  qvtest::WriteFile(pictures / "one.bmp", BitmapFile(Gradient(120, 50)));
  qvtest::WriteFile(pictures / "two.BMP", BitmapFile(Strip(1)));
  qv::TfrmBanner& form = Open();
  user_->OnEditor([&](QDialog& dialog) {
    TfrmBannerEdit& editor = Editor(dialog);
    EXPECT_EQ(editor.edtName->text(), QStringLiteral("新規作成"));
    EXPECT_EQ(editor.edtComment->text(), QString());
    EXPECT_EQ(editor.Interval(), "0.5");
    EXPECT_TRUE(editor.chkUser->isChecked());
    EXPECT_FALSE(editor.chkUser->isVisible()) << "only in edit mode";
    EXPECT_TRUE(editor.NamesInUse.empty());
    user_->NextFile(pictures / "one.bmp");
    editor.actAdd->trigger();
    user_->NextFile(pictures / "two.BMP");
    editor.actAdd->trigger();
    SetEditorText(dialog, "edtName", QStringLiteral("  海/空  "));
    SetEditorText(dialog, "edtComment", QStringLiteral("こんにちは"));
    ChooseInterval(dialog, "0.1");
    editor.actOK->trigger();
  });
  form.actAdd->trigger();
  EXPECT_FALSE(user_->StepsLeft());
  const std::string file = Sjis("海／空.qvt");
  ASSERT_EQ(RowFiles(), std::vector<std::string>{file});
  EXPECT_EQ(form.lstBanner->currentRow(), 0);
  TBannerData saved;
  ASSERT_TRUE(qv::LoadBannerIndex(ThemePath(file), saved));
  EXPECT_EQ(saved.Name, Sjis("海/空")) << "trimmed";
  EXPECT_EQ(saved.Balloon, Sjis("こんにちは"));
  EXPECT_EQ(saved.Interval, "0.1");
  EXPECT_TRUE(saved.Editable);
  ASSERT_EQ(saved.Bitmap.size(), QSize(120, 100));
  EXPECT_EQ(saved.Bitmap.copy(0, 0, 120, 50), Gradient(120, 50));
  EXPECT_EQ(saved.Bitmap.copy(0, 50, 120, 50), Strip(1));
  EXPECT_EQ(form.aniPreview->GetSpeed(), 100) << "the new theme is previewed";
}

TEST_F(ThemeWindowTest, EditingLoadsTheThemeAndRenamingReplacesItsFile) {
  WriteTheme("x.qvt", Theme("x", 3, true, "2", "hint"));
  WriteTheme("other.qvt", Theme("other", 2));
  WriteIni("ThemeList", "1", "x.qvt");
  WriteIni("ThemeList", "2", "other.qvt");
  WriteIni("Theme", "File", "x.qvt");
  qv::TfrmBanner& form = Open();
  ClickRow(0);
  user_->OnEditor([&](QDialog& dialog) {
    TfrmBannerEdit& editor = Editor(dialog);
    EXPECT_EQ(editor.edtName->text(), QStringLiteral("x"));
    EXPECT_EQ(editor.edtComment->text(), QStringLiteral("hint"));
    EXPECT_EQ(editor.Interval(), "2");
    EXPECT_EQ(editor.FrameCount(), 3);
    EXPECT_EQ(editor.NamesInUse, std::vector<std::string>{"other"}) << "its own name is free";
    SetEditorText(dialog, "edtName", "y");
    editor.actOK->trigger();
  });
  form.actEdit->trigger();
  EXPECT_FALSE(std::filesystem::exists(ThemePath("x.qvt")));
  TBannerData saved;
  ASSERT_TRUE(qv::LoadBannerIndex(ThemePath("y.qvt"), saved));
  EXPECT_EQ(saved.Name, "y");
  EXPECT_EQ(saved.Bitmap, Strip(3));
  EXPECT_EQ(RowFiles(), (std::vector<std::string>{"y.qvt", "other.qvt"}));
  // The renamed theme stays the launcher's theme under its new name.
  EXPECT_EQ(ReadIni("Theme", "File"), "y.qvt");
  EXPECT_EQ(HostCalls(), (std::vector<std::pair<int32_t, int32_t>>{{4, 1}}));
  EXPECT_TRUE(form.InUse(0));
  // Renaming a theme that is not the current one asks nothing of the launcher.
  HostCalls().clear();
  ClickRow(1);
  user_->OnEditor([&](QDialog& dialog) {
    SetEditorText(dialog, "edtName", "z");
    EditorAction(dialog, "actOK")->trigger();
  });
  form.actEdit->trigger();
  EXPECT_EQ(RowFiles(), (std::vector<std::string>{"y.qvt", "z.qvt"}));
  EXPECT_TRUE(HostCalls().empty());
  EXPECT_EQ(ReadIni("Theme", "File"), "y.qvt");
}

TEST_F(ThemeWindowTest, ATakenNameIsRefusedAndTheEditorStaysOpen) {
  WriteTheme(Sjis("a／b.qvt"), Theme("a/b", 2));
  WriteTheme("Sky.qvt", Theme("Sky", 2));
  qv::TfrmBanner& form = Open();
  struct Case {
    const char* what;
    QString name;
  } cases[] = {{"a name of the same file name form", QStringLiteral("a/b")},
               {"the full-width form itself", QStringLiteral("a／b")},
               {"another letter case", QStringLiteral("SKY")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostCalls().clear();
    bool stayed = false;
    user_->OnEditor([&](QDialog& dialog) {
      TfrmBannerEdit& editor = Editor(dialog);
      editor.SplitFrames(Strip(2));
      SetEditorText(dialog, "edtName", c.name);
      editor.actOK->trigger();
    });
    user_->OnEditor([&](QDialog& dialog) {
      stayed = dialog.isVisible();
      EXPECT_TRUE(Editor(dialog).edtName->hasFocus());
      dialog.done(2);
    });
    form.actAdd->trigger();
    EXPECT_TRUE(stayed);
    EXPECT_EQ(HostCalls(), (std::vector<std::pair<int32_t, int32_t>>{{10, 5001}}));
    EXPECT_EQ(form.ItemCount(), 2);
  }
}

namespace {

QString Kanji(int n) { return QString(n, QChar(0x6F22)); }  // 漢

}  // namespace

TEST_F(ThemeWindowTest, ANameWhoseFileNameFitsIsSavedThoughItsTemporaryNameWouldNot) {
  struct Case {
    const char* what;
    QString name;
  } cases[] = {
      {"251 letters: the longest file name", QString(251, QChar('L'))},
      {"79 kanji: 241 bytes on disk, too long for a temporary suffix", Kanji(79)},
      {"83 kanji: 253 bytes on disk", Kanji(83)},
  };
  qv::TfrmBanner& form = Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    user_->OnEditor([&](QDialog& dialog) {
      TfrmBannerEdit& editor = Editor(dialog);
      editor.SplitFrames(Strip(2));
      SetEditorText(dialog, "edtName", c.name);
      editor.actOK->trigger();
    });
    const int before = form.ItemCount();
    form.actAdd->trigger();
    EXPECT_FALSE(user_->StepsLeft());
    EXPECT_TRUE(TakeBoxes().empty());
    const std::string file = qv::ThemeFileName(qv::cp932::FromUtf8(c.name.toStdString()));
    TBannerData saved;
    ASSERT_TRUE(qv::LoadBannerIndex(ThemePath(file), saved));
    EXPECT_EQ(saved.Bitmap, Strip(2));
    EXPECT_EQ(form.ItemCount(), before + 1);
  }
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(ThemeDir())) entries += !e.path().empty();
  EXPECT_EQ(entries, std::size(cases)) << "the themes, no temporary file";
}

TEST_F(ThemeWindowTest, AFailedSaveKeepsTheOldFileAndTheListSaysSoAndGivesTheEditorBack) {
  WriteTheme("x.qvt", Theme("x", 2, true, "1"));
  WriteTheme("y.qvt", Theme("y", 2));
  const std::string before = qvtest::ReadFile(ThemePath("x.qvt"));
  WriteIni("ThemeList", "1", "x.qvt");
  WriteIni("ThemeList", "2", "y.qvt");
  qv::TfrmBanner& form = Open();
  struct Case {
    const char* what;
    QString name;
    bool readOnly;
    const char* box;
  } cases[] = {{"a name too long for the file system", QString(300, QChar('n')), false, "テーマ名が長すぎます。"},
               {"a read-only folder", QStringLiteral("renamed"), true, "テーマを保存できませんでした。"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<qvtest::ReadOnlyFolder> readOnly;
    ClickRow(0);
    int shown = 0;
    user_->OnEditor([&](QDialog& dialog) {
      ++shown;
      TfrmBannerEdit& editor = Editor(dialog);
      SetEditorText(dialog, "edtName", c.name);
      editor.SplitFrames(Strip(4));
      if (c.readOnly) readOnly = std::make_unique<qvtest::ReadOnlyFolder>(ThemeDir());
      editor.actOK->trigger();
    });
    user_->OnEditor([&](QDialog& dialog) {
      ++shown;
      // Back with what the user made.
      EXPECT_EQ(Editor(dialog).FrameCount(), 4);
      EXPECT_EQ(Editor(dialog).edtName->text(), c.name);
      dialog.done(2);
    });
    form.actEdit->trigger();
    readOnly.reset();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(qvtest::ReadFile(ThemePath("x.qvt")), before);
    EXPECT_EQ(RowFiles(), (std::vector<std::string>{"x.qvt", "y.qvt"}));
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"x", "y"}));
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind(c.box, 0), 0u) << boxes[0];
  }
  // A file that cannot be deleted stays listed, and says so.
  ClickRow(1);
  {
    qvtest::ReadOnlyFolder readOnly(ThemeDir());
    form.actDel->trigger();
  }
  EXPECT_TRUE(std::filesystem::exists(ThemePath("y.qvt")));
  EXPECT_EQ(form.ItemCount(), 2);
  EXPECT_EQ(TakeBoxes().size(), 1u);
}

TEST_F(ThemeWindowTest, ANameWhoseFileNameFitsIsSavedAndOneThatDoesNotIsToldTooLong) {
  struct Case {
    const char* what;
    QString name;
    bool fits;
  } cases[] = {
      {"251 letters: the longest file name, no room for a temporary suffix", QString(251, QChar('L')), true},
      {"83 kanji: 253 bytes on disk", Kanji(83), true},
      {"84 kanji: 172 bytes of CP932 but 256 on disk", Kanji(84), false},
  };
  qv::TfrmBanner& form = Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool stayed = false;
    user_->OnEditor([&](QDialog& dialog) {
      TfrmBannerEdit& editor = Editor(dialog);
      editor.SplitFrames(Strip(2));
      SetEditorText(dialog, "edtName", c.name);
      editor.actOK->trigger();
    });
    if (!c.fits)
      user_->OnEditor([&](QDialog& dialog) {
        stayed = dialog.isVisible();
        EXPECT_TRUE(Editor(dialog).edtName->hasFocus());
        dialog.done(2);
      });
    const int before = form.ItemCount();
    form.actAdd->trigger();
    EXPECT_FALSE(user_->StepsLeft());
    const std::string file = qv::ThemeFileName(qv::cp932::FromUtf8(c.name.toStdString()));
    TBannerData saved;
    if (c.fits) {
      EXPECT_TRUE(TakeBoxes().empty());
      ASSERT_TRUE(qv::LoadBannerIndex(ThemePath(file), saved));
      EXPECT_EQ(saved.Bitmap, Strip(2));
      EXPECT_EQ(form.ItemCount(), before + 1);
    } else {
      EXPECT_TRUE(stayed);
      EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"テーマ名が長すぎます。"});
      EXPECT_EQ(form.ItemCount(), before);
    }
  }
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(ThemeDir())) entries += !e.path().empty();
  EXPECT_EQ(entries, 2u) << "the two themes, no temporary file";
}

TEST_F(ThemeWindowTest, ThemeFilesUnderUtf8NamesAreListedLoadedAndChosenByTheirCp932Names) {
  WriteTheme(Sjis("春.qvt"), Theme(Sjis("春"), 2));
  // Put there by hand: under its UTF-8 name, and one CP932 has no form for.
  ASSERT_TRUE(qv::SaveBannerIndex(ThemeDir() / "夏.qvt", Theme("", 3)));
  ASSERT_TRUE(qv::SaveBannerIndex(ThemeDir() / "caf\xC3\xA9.qvt", Theme("cafe", 2)));
  // Left by an earlier version under its CP932 name, and named in the list.
  ASSERT_TRUE(qv::SaveBannerIndex(ThemeDir() / Sjis("冬.qvt"), Theme(Sjis("冬"), 2)));
  WriteIni("ThemeList", "1", Sjis("冬.qvt"));
  qv::TfrmBanner& form = Open();
  std::vector<std::string> files = RowFiles();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], Sjis("冬.qvt"));
  std::sort(files.begin() + 1, files.end());
  EXPECT_EQ(std::vector<std::string>(files.begin() + 1, files.end()),
            (std::vector<std::string>{Sjis("夏.qvt"), Sjis("春.qvt"), qv::StoredName("caf\xC3\xA9.qvt")}));
  EXPECT_TRUE(std::filesystem::exists(ThemeDir() / "冬.qvt")) << "renamed to its UTF-8 name";
  EXPECT_FALSE(std::filesystem::exists(ThemeDir() / Sjis("冬.qvt")));
  auto rowOf = [&](const std::string& file) {
    files = RowFiles();
    return int(std::find(files.begin(), files.end(), file) - files.begin());
  };
  const int summer = rowOf(Sjis("夏.qvt"));
  EXPECT_EQ(RowNames()[size_t(summer)], Sjis("夏")) << "a theme without a name takes its file's";
  ClickRow(summer);
  EXPECT_EQ(form.aniPreview->GetRowCount(), 3);
  form.actSelectBanner->trigger();
  EXPECT_EQ(ReadIni("Theme", "File"), Sjis("夏.qvt"));
  TAnimationImage launcherBanner;
  ASSERT_TRUE(qv::LoadThemeAnimation(launcherBanner));
  EXPECT_EQ(launcherBanner.GetRowCount(), 3);
  ClickRow(rowOf(qv::StoredName("caf\xC3\xA9.qvt")));
  form.actDel->trigger();
  EXPECT_FALSE(std::filesystem::exists(ThemeDir() / "caf\xC3\xA9.qvt"));
}

TEST_F(ThemeWindowTest, ThePreviewKeepsTheTimerWithinItsRange) {
  struct Case {
    const char* interval;
    int speed;
  } cases[] = {{"0", 500}, {"", 500}, {"nan", 500}, {"-1", 500}, {"1e12", INT32_MAX}, {"0.03", 30}};
  int key = 1;
  for (const Case& c : cases) {
    const std::string file = "t" + std::to_string(key) + ".qvt";
    WriteTheme(file, Theme(file, 2, true, c.interval));
    WriteIni("ThemeList", std::to_string(key++), file);
  }
  qv::TfrmBanner& form = Open();
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(cases[i].interval);
    ClickRow(i);
    EXPECT_EQ(form.aniPreview->GetSpeed(), cases[i].speed);
    EXPECT_TRUE(form.aniPreview->Timer().isActive());
  }
  // A key other than a modifier alone refreshes the preview; so do arrows.
  PressKey(Qt::Key_Up);
  EXPECT_EQ(form.aniPreview->GetSpeed(), INT32_MAX);
}
