// Attachment kinds and icons, colour text, the picture-part header lines,
// attachment items from parts and copies, and the answer helpers.
#include "core/data/MailAttachments.h"
#include "core/data/MailForm.h"
#include "core/ui/QtText.h"
#include "plugins/mail/compose/MailPictures.h"

#include "controls/ImageList.h"
#include "core/data/Settings.h"
#include "core/data/TextFunctions.h"
#include "core/data/SettingsKeys.h"

#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>

using namespace qv;
using composetest::Attachment;
using composetest::BitmapBytes;
using qvtest::Sjis;

TEST(MailForm, MediaFileKindByExtensionThenName) {
  const std::pair<const char*, int> cases[] = {
      {"a.bmp", kMediaBitmap},      {"A.BMP", kMediaBitmap},   {"x.jpg", kMediaJpeg},      {"x.JPEG", kMediaJpeg},
      {"t.Txt", kMediaText},        {"r.dxm", kMediaRingtone}, {"m.flm", kMediaFlm},       {"MMCTRL.DAT", kMediaMixCtrl},
      {"mmctrl.dat", kMediaMixCtrl}, {"x/mmctrl.dat", kMediaMixCtrl}, {"OPTCHAR.DAT", kMediaOther},
      {"a.bmp.txt", kMediaText},    {"noext", kMediaOther},    {"a.jpg.", kMediaOther},    {"", kMediaOther},
      {"dir.bmp/file", kMediaOther},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(MediaFileKind(name), kind) << name;
  EXPECT_EQ(MediaFileKind(Sjis("写真.BMP")), kMediaBitmap);
}

TEST(MailForm, ColourText) {
  EXPECT_EQ(ColorToHexRGB(RGB(0x12, 0xAB, 0xFF)), "12ABFF");
  EXPECT_EQ(ColorToHexRGB(clRed), "FF0000");
  // A system colour is resolved to what it is now.
  EXPECT_EQ(ColorToHexRGB(clWindow).size(), 6u);
  const std::tuple<const char*, TColor> cases[] = {
      {"FF0000", clRed},         {"0000ff", clBlue},        {"FF", clBlue},
      {"00FF00FFFF", clLime},    {"", clBlack},             {"GG0000", clGray},
      {"12 456", clGray},        {"ABCDEF", RGB(0xAB, 0xCD, 0xEF)},
  };
  for (const auto& [text, colour] : cases) EXPECT_EQ(HexRGBToColor(text, clGray), colour) << text;
  EXPECT_EQ(ValueAfterEquals("SLIDE(1,2)=3"), "3");
  EXPECT_EQ(ValueAfterEquals("a=b=c"), "b=c");
  EXPECT_EQ(ValueAfterEquals("none"), "");
}

TEST(MailForm, SixPageLayouts) {
  struct Case {
    const char* cbmp;
    bool hasLayout;
    std::array<TDXPane, 6> panes;
    bool readsBack = true;  // a slide of one pane is written as a plain pane
  };
  const TDXPane def{}, v{kPaneVoid, 0, 0, 1};
  const Case cases[] = {
      {"PAGE=6;PLAIN(96,43);SLIDE(50,20)=3;VOID", true,
       {def, TDXPane{kPaneSlide, 50, 20, 3}, TDXPane{kPanePlain, 50, 20, 1}, TDXPane{kPanePlain, 50, 20, 1}, v, v}},
      // Blanks and letter case do not matter; bad sizes take the defaults.
      {" page = 6 ; plain( 0 , 44 ); Plain(97,1) ", true,
       {def, TDXPane{kPanePlain, 96, 1, 1}, v, v, v, v}},
      // A slide longer than the panes left is cut; a count below 1 is 1.
      {"PAGE=6;VOID;VOID;VOID;VOID;SLIDE(10,10)=9", true,
       {v, v, v, v, TDXPane{kPaneSlide, 10, 10, 2}, TDXPane{kPanePlain, 10, 10, 1}}},
      {"PAGE=6;SLIDE(10,10)=0;PLAIN(1,1)", true,
       {TDXPane{kPaneSlide, 10, 10, 1}, TDXPane{kPanePlain, 1, 1, 1}, v, v, v, v}, false},
      {"PAGE=6;SLIDE(10,10)=x", true, {TDXPane{kPaneSlide, 10, 10, 1}, v, v, v, v, v}, false},
      // Seven entries: the last has no pane.
      {"PAGE=6;PLAIN();PLAIN();PLAIN();PLAIN();PLAIN();PLAIN();VOID", true, {def, def, def, def, def, def}},
      // All void, or no PAGE=6: the defaults, without a layout.
      {"PAGE=6;VOID;VOID", false, {def, def, def, def, def, def}},
      {"PAGE=5;PLAIN(1,1)", false, {def, def, def, def, def, def}},
      {"", false, {def, def, def, def, def, def}},
  };
  for (const auto& c : cases) {
    TDXPictureInfo info =
        ParseDXHeaders(kDiv6Width, kDiv6Height, std::string("X-KmailDX-Info: div6 \r\nX-KmailDX-CBMP: ") + c.cbmp);
    EXPECT_TRUE(info.IsDiv6) << c.cbmp;
    EXPECT_EQ(info.HasPageLayout, c.hasLayout) << c.cbmp;
    EXPECT_EQ(info.Panes, c.panes) << c.cbmp;
    EXPECT_FALSE(info.IsAnimation) << c.cbmp;
    // What is written reads back the same.
    if (c.readsBack) {
      EXPECT_EQ(ParseDXHeaders(kDiv6Width, kDiv6Height, BuildDXHeaders(info)), info) << c.cbmp;
    }
  }
  // Six pages only on a picture of the six-page size; animation is not read then.
  TDXPictureInfo wrongSize = ParseDXHeaders(96, 72, "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(1,1)");
  EXPECT_EQ(wrongSize, TDXPictureInfo{});
  TDXPictureInfo both = ParseDXHeaders(kDiv6Width, kDiv6Height,
                                       "X-KmailDX-Info: DIV6\r\nX-KmailDX-Animation: Page=2;Wait=1;Loop=1");
  EXPECT_TRUE(both.IsDiv6);
  EXPECT_FALSE(both.IsAnimation);
  EXPECT_EQ(BuildDXHeaders(both), "X-KmailDX-Info: DIV6");
  EXPECT_EQ(BuildDXHeaders(ParseDXHeaders(kDiv6Width, kDiv6Height,
                                          "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;SLIDE(96,43)=1;VOID")),
            "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);VOID;VOID;VOID;VOID;VOID");
}

TEST(MailForm, AnimationTimesAreClampedBeforeTheyAreTruncated) {
  struct Case {
    const char* line;
    bool animation;
    int pages, wait, loop;
  };
  const Case cases[] = {
      {"Page=3;Wait=0.5;Loop=2", true, 3, 500, 2000},
      {"page=12;wait=1.2345;loop=0", true, 8, 1234, 1234},
      {"Page=1;Wait=0;Loop=0", true, 1, 500, 500},
      {"Page=2", true, 2, 500, 500},
      {"Page=2;Wait=1e400;Loop=nan", true, 2, 500, 500},
      {"Page=2;Wait=inf;Loop=-inf", true, 2, 500, 500},
      {"Page=2;Wait=-3;Loop=abc", true, 2, 500, 500},
      {"Page=2;Wait=99999999999999999999999;Loop=2147483.648", true, 2, INT_MAX, INT_MAX},
      {"Page=2;Wait=0.0009;Loop= 3 ", true, 2, 500, 3000},
      {"Page=99999999999999999999;Wait=1", true, 8, 1000, 1000},
      {"Page=0;Wait=1", false, 0, 0, 0},
      {"Page=-1;Wait=1", false, 0, 0, 0},
      {"Page=x;Wait=1", false, 0, 0, 0},
      {"Wait=1;Loop=1", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    TDXPictureInfo info = ParseDXHeaders(20, 10, std::string("X-KmailDX-Animation: ") + c.line);
    EXPECT_EQ(info.IsAnimation, c.animation) << c.line;
    EXPECT_EQ(info.PageCount, c.pages) << c.line;
    EXPECT_EQ(info.WaitTime, c.wait) << c.line;
    EXPECT_EQ(info.LoopTime, c.loop) << c.line;
    if (c.animation) {
      EXPECT_EQ(ParseDXHeaders(20, 10, BuildDXHeaders(info)), info) << c.line;
    }
  }
  TDXPictureInfo info;
  info.IsAnimation = true;
  info.PageCount = 2;
  info.WaitTime = 1500;
  info.LoopTime = 1;
  EXPECT_EQ(BuildDXHeaders(info), "X-KmailDX-Animation: Page=2;Wait=1.5;Loop=0.001");
  EXPECT_EQ(BuildDXHeaders(TDXPictureInfo{}), "");
}

TEST(MailForm, AttachmentIcons) {
  struct Case {
    const char* name;
    const char* headers;
    bool broken;
    int icon;
  };
  const Case cases[] = {
      {"p.bmp", "X-KmailDX-Info: div6", false, kIconDiv6},
      {"p.bmp", "X-KmailDX-Info: DIV6", true, kIconPicture},
      {"p.bmp", "X-KmailDX-Animation: Page=2;Wait=1", false, kIconAnimation},
      {"p.bmp", "X-KmailDX-Animation: Page=0", false, kIconPicture},
      {"p.bmp", "", false, kIconPicture},
      {"p.jpg", "X-KmailDX-Info: DIV6", false, kIconPicture},
      {"m.flm", "", false, kIconPicture},
      {"r.dxm", "", false, kIconRingtone},
      {"MMCTRL.DAT", "", false, kIconMediaMix},
      {"optchar.dat", "", false, kIconUserCharacters},
      {"a.txt", "", false, kIconFile},
      {"a.zip", "", false, kIconFile},
  };
  for (const auto& c : cases) EXPECT_EQ(AttachIconIndex(c.name, c.headers, c.broken), c.icon) << c.name << c.headers;
}

TEST(MailForm, AttachmentPartsBecomeItems) {
  AttachmentList list;
  TImageList userImages(12, 12);
  const std::string sheet = BitmapBytes(96, 30);
  // A picture that loads keeps only its normalised picture lines.
  EXPECT_EQ(AddAttachmentPart("Content-Type: Application/Octet-stream; Name=\"a.bmp\"\r\nContent-Transfer-Encoding: "
                              "Base64\r\nX-KmailDX-Animation: page=2 ; wait=2\r\nX-Other: 1\r\n",
                              qv::Base64Encode(BitmapBytes(8, 8)), list, -1, &userImages),
            0);
  EXPECT_EQ(list[0].headers, "X-KmailDX-Animation: Page=2;Wait=2;Loop=2");
  EXPECT_FALSE(list[0].broken);
  EXPECT_EQ(list[0].icon, kIconAnimation);
  // One that does not load keeps the lines it came with and is broken.
  const std::string badHead = "Content-Type: Image/Bmp;Name=\"b.bmp\"\r\nContent-Transfer-Encoding: Base64\r\n"
                              "X-KmailDX-Info: DIV6\r\n";
  EXPECT_EQ(AddAttachmentPart(badHead, qv::Base64Encode("not a bitmap"), list, 0, &userImages), 0);
  EXPECT_EQ(list[0].name, "b.bmp");
  EXPECT_TRUE(list[0].broken);
  EXPECT_EQ(list[0].headers, badHead);
  EXPECT_EQ(list[0].icon, kIconPicture);
  // The user-character sheet fills the images: two full rows of 8.
  AddAttachmentPart("Content-Type: X;Name=\"OptChar.Dat\"\r\nContent-Transfer-Encoding: Base64\r\n",
                    qv::Base64Encode(sheet), list, 99, &userImages);
  EXPECT_EQ(list[2].name, "OptChar.Dat");
  EXPECT_EQ(userImages.Count(), 16);
  // Copies get unique captions in the target; a broken picture stays broken.
  AttachmentList target;
  TImageList targetImages(12, 12);
  target.Insert(Attachment("b.bmp", "x"));
  for (size_t i = 0; i < list.Count(); ++i) CopyAttachment(list[i], target, &targetImages);
  ASSERT_EQ(target.Count(), 4u);
  EXPECT_EQ(target[1].name, "b2.bmp");
  EXPECT_TRUE(target[1].broken);
  EXPECT_EQ(target[2].name, "a.bmp");
  EXPECT_EQ(target[2].headers, list[1].headers);
  EXPECT_EQ(target[3].bytes, sheet);
  EXPECT_EQ(targetImages.Count(), 16);
}

TEST(MailForm, UserCharacterSheets) {
  TImageList images(12, 12);
  EXPECT_FALSE(LoadUserCharacters("OPTCHAR.DAT", BitmapBytes(96, 24), nullptr));
  EXPECT_FALSE(LoadUserCharacters("other.dat", BitmapBytes(96, 24), &images));
  EXPECT_TRUE(LoadUserCharacters("optchar.dat", BitmapBytes(96, 30), &images));
  EXPECT_EQ(images.Count(), 16);
  // The cells are cut row by row: cell 9 is row 1, column 1.
  QImage sheet;
  ASSERT_TRUE(LoadAttachmentBitmap(BitmapBytes(96, 30), sheet));
  EXPECT_EQ(images.Image(9).pixel(3, 4), sheet.pixel(12 + 3, 12 + 4));
  EXPECT_TRUE(LoadUserCharacters("OPTCHAR.DAT", BitmapBytes(100, 24), &images));
  EXPECT_EQ(images.Count(), 0);
  EXPECT_TRUE(LoadUserCharacters("OPTCHAR.DAT", "garbage", &images));
  EXPECT_EQ(images.Count(), 0);
}

TEST(MailForm, SafeFileNamesStayOneFileInTheFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.txt", "a.txt"},
      {"..", "notitle.dat"},
      {".", "notitle.dat"},
      {"...", "notitle.dat"},
      {"", "notitle.dat"},
      {"tab\there", "tab_here"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(SafeFileName(in), out) << in;
  for (const char* in : {"../../x", "/etc/passwd", "a\\b", "..\\..\\x", "..//", "\x81/x", "..\x81/..\x81/x"}) {
    std::string name = SafeFileName(in);
    EXPECT_EQ(name.find('/'), std::string::npos) << in;
    EXPECT_EQ(name.find('\\'), std::string::npos) << in;
    EXPECT_NE(name, "..") << in;
    EXPECT_FALSE(name.empty()) << in;
  }
}
