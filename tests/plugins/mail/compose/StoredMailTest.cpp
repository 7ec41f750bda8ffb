// The stored mail form: what the encoder writes, byte for byte where the form
// is fixed, and that the parser gives every form back; received mails written
// by hand from the centre's form.
#include "core/data/MailForm.h"
#include "core/data/StoredMail.h"
#include "plugins/mail/compose/MailPictures.h"

#include "core/data/TextFunctions.h"

#include "MailComposeTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv;
using composetest::AllBytes;
using composetest::Attachment;
using composetest::BitmapBytes;
using qvtest::Sjis;

namespace {

const std::string kMailerLine = "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\n";

std::string Encode(const OutgoingMail& mail) {
  std::string text;
  EXPECT_EQ(EncodeStoredMail(mail, text), 0);
  return text;
}

StoredMailFields Parse(std::string_view text, AttachmentList* list = nullptr) {
  StoredMailFields mail;
  ParseStoredMail(text, mail, list, nullptr);
  return mail;
}

OutgoingMail EMail(std::string to, std::string subject, std::string body) {
  OutgoingMail mail;
  mail.email = true;
  mail.to = std::move(to);
  mail.subject = std::move(subject);
  mail.body = std::move(body);
  return mail;
}

}  // namespace

TEST(StoredMailForm, EMailWithAttachmentsIsWrittenInTheStoredForm) {
  AttachmentList list;
  list.Insert(Attachment("a.txt", "hello\r\n"));
  list.Insert(Attachment("p.jpg", "\xFF\xD8"));
  OutgoingMail mail = EMail("a@example.jp", "Hi", "Body");
  mail.cc = "c@example.jp";
  mail.replyTo = "  r@example.jp ";
  mail.attachments = &list;
  EXPECT_EQ(Encode(mail),
            "To: a@example.jp\r\n"
            "CC: c@example.jp\r\n"
            "Reply-to: r@example.jp\r\n"
            "Subject: Hi\r\n" +
                kMailerLine +
                "Content-Type: Multipart/Mixed;Boundary=\"kmaildx00\"\r\n"
                "\r\n"
                "--kmaildx00\r\n"
                "Content-Type: Text/Plain\r\n"
                "\r\n"
                "Body\r\n"
                "--kmaildx00\r\n"
                "Content-Type: Text/Plain;Name=\"a.txt\"\r\n"
                "\r\n"
                "hello\r\n"
                "\r\n"
                "--kmaildx00\r\n"
                "Content-Type: Image/Jpeg;Name=\"p.jpg\"\r\n"
                "Content-Transfer-Encoding: Base64\r\n"
                "\r\n"
                "/9g=\r\n"
                "--kmaildx00--\r\n");
}

TEST(StoredMailForm, DirectMailHasOnlyToAndItsBodyIsDotStuffed) {
  OutgoingMail mail;
  mail.email = false;
  mail.to = "09012345678";
  mail.cc = "ignored@example.jp";
  mail.replyTo = "ignored@example.jp";
  mail.body = ".\r\n..two\r\nplain";
  EXPECT_EQ(Encode(mail), "To: 09012345678\r\nSubject: \r\n" + kMailerLine +
                              "Content-Type: Text/Plain\r\n\r\n..\r\n...two\r\nplain\r\n");
  // Stored once per recipient: only the first line changes.
  EXPECT_EQ(WithRecipient(Encode(mail), "07011112222").substr(0, 17), "To: 07011112222\r\n");
  EXPECT_EQ(WithRecipient(Encode(mail), "07011112222").substr(17), Encode(mail).substr(17));
}

TEST(StoredMailForm, EmptyBodies) {
  // Without attachments an empty plain body leaves the empty line only.
  EXPECT_EQ(Encode(EMail("a@example.jp", "s", "")),
            "To: a@example.jp\r\nSubject: s\r\n" + kMailerLine + "Content-Type: Text/Plain\r\n\r\n");
  // With one it becomes a single blank.
  AttachmentList list;
  list.Insert(Attachment("x.dat", "x"));
  OutgoingMail mail = EMail("a@example.jp", "s", "");
  mail.attachments = &list;
  EXPECT_NE(Encode(mail).find("--kmaildx00\r\nContent-Type: Text/Plain\r\n\r\n \r\n--kmaildx00\r\n"), std::string::npos);
  // A decorated body is written with its content type.
  OutgoingMail deco = EMail("a@example.jp", "s", "<C=FF0000>red</C>");
  deco.plainBody = false;
  EXPECT_EQ(Encode(deco), "To: a@example.jp\r\nSubject: s\r\n" + kMailerLine +
                              "Content-Type: Text/X-KmailDX\r\n\r\n<C=FF0000>red</C>\r\n");
}

TEST(StoredMailForm, BoundaryAvoidsLinesOfTheBodyAndOfPartsWrittenAsText) {
  struct Case {
    const char* what;
    std::string body;
    MailAttachment attachment;
    const char* boundary;
  };
  const Case cases[] = {
      {"plain", "text", Attachment("x.dat", "--kmaildx00\r\n"), "kmaildx00"},  // Base64 hides it
      {"body", "a\r\n--kmaildx00\r\nb", Attachment("x.dat", "x"), "kmaildx01"},
      {"body closing", "--kmaildx00--", Attachment("x.dat", "x"), "kmaildx01"},
      {"text part", "text", Attachment("t.txt", "--kmaildx00--\r\n--kmaildx01\r\n"), "kmaildx02"},
      {"media-mix part", "text", Attachment("MMCTRL.DAT", "--kmaildx00\r\n"), "kmaildx01"},
      {"forwarded 7bit", "text", Attachment("n.htm", "--kmaildx00\r\n", "Content-Transfer-Encoding: 7bit"),
       "kmaildx01"},
  };
  for (const auto& c : cases) {
    AttachmentList list;
    list.Insert(c.attachment);
    OutgoingMail mail = EMail("a@example.jp", "s", c.body);
    mail.attachments = &list;
    std::string text = Encode(mail);
    EXPECT_NE(text.find(std::string("Boundary=\"") + c.boundary + "\""), std::string::npos) << c.what;
    AttachmentList back;
    StoredMailFields parsed = Parse(text, &back);
    EXPECT_EQ(parsed.body, c.body) << c.what;
    ASSERT_EQ(back.Count(), 1u) << c.what;
    EXPECT_EQ(back[0].bytes, c.attachment.bytes) << c.what;
  }
}

TEST(StoredMailForm, HeaderAndBodyPartLimitIs2299Bytes) {
  // Header: "To: a@example.jp\r\n" (18) + "Subject: \r\n" (11) + mailer (44);
  // part: "Content-Type: Text/Plain\r\n\r\n" (28) + body + CR LF.
  const size_t fixed = 18 + 11 + kMailerLine.size() + 28 + 2;
  std::string text;
  EXPECT_EQ(EncodeStoredMail(EMail("a@example.jp", "", std::string(2299 - fixed, 'x')), text), 0);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(EncodeStoredMail(EMail("a@example.jp", "", std::string(2300 - fixed, 'x')), text), kWarnHeadTooLong);
  EXPECT_TRUE(text.empty());
}

TEST(StoredMailForm, EMailMayHold511999Bytes) {
  // Every byte of the stored text counts, line breaks and dot-stuffing included.
  auto sized = [](size_t attachmentBytes, bool email) {
    AttachmentList list;
    list.Insert(Attachment("big.dat", std::string(attachmentBytes, 'z')));
    OutgoingMail mail = EMail("a@example.jp", "", "b");
    mail.email = email;
    mail.attachments = &list;
    std::string text;
    int code = EncodeStoredMail(mail, text);
    return std::make_pair(code, text.size());
  };
  auto [code, size] = sized(100000, true);
  ASSERT_EQ(code, 0);
  // Grow the attachment until the text passes the limit: 54 bytes add a line of 74.
  size_t bytes = 100000 + (kMaxEMailSize - size) / 74 * 54;
  while (sized(bytes, true).first == 0) bytes += 3;
  EXPECT_EQ(sized(bytes, true).first, kWarnEMailTooLarge);
  EXPECT_LE(sized(bytes - 3, true).second, kMaxEMailSize);
  EXPECT_EQ(sized(bytes - 3, true).first, 0);
  // Direct mail has no such limit here.
  EXPECT_EQ(sized(bytes, false).first, 0);
}

TEST(StoredMailForm, AttachmentPartHeaders) {
  struct Case {
    const char* name;
    const char* headers;
    const char* expectedHead;
    bool base64;
  };
  const Case cases[] = {
      // Remembered Base64 parts keep their type; a missing one comes from the kind.
      {"a.jpg", "Content-Transfer-Encoding: base64", "Content-Type: Image/Jpeg;Name=\"a.jpg\"\r\n"
                                                     "Content-Transfer-Encoding: Base64\r\n", true},
      {"a.dxm", "Content-Transfer-Encoding: BASE64", "Content-Type: Audio/X-KdxMidi;Name=\"a.dxm\"\r\n"
                                                     "Content-Transfer-Encoding: Base64\r\n", true},
      {"a.bin", "Content-Transfer-Encoding: Base64", "Content-Type: Application/Octet-stream;Name=\"a.bin\"\r\n"
                                                     "Content-Transfer-Encoding: Base64\r\n", true},
      {"a.gif", "Content-Type: Image/Gif;Name=\"old.gif\"\r\nContent-Transfer-Encoding: Base64",
       "Content-Type: Image/Gif;Name=\"a.gif\"\r\nContent-Transfer-Encoding: Base64\r\n", true},
      // Another encoding goes as text under its own name.
      {"q.txt", "Content-Transfer-Encoding: 7bit", "Content-Type: Application/Octet-stream;Name=\"q.txt\"\r\n"
                                                   "Content-Transfer-Encoding: 7bit\r\n", false},
      {"h.htm", "Content-Type: Text/Html; charset=\"iso-2022-jp\"", "Content-Type: Text/Html;charset=\"iso-2022-jp\";"
                                                                    "Name=\"h.htm\"\r\n", false},
      // Nothing remembered: by the attachment kind.
      {"n.TXT", "", "Content-Type: Text/Plain;Name=\"n.TXT\"\r\n", false},
      {"mmctrl.dat", "", "Content-Type: X-KmailDX/X-MMCTRL;Name=\"mmctrl.dat\"\r\n", false},
      {"p.bmp", "", "Content-Type: Application/Octet-stream;Name=\"p.bmp\"\r\nContent-Transfer-Encoding: Base64\r\n",
       true},
      {"p.bmp", "X-KmailDX-Info:  DIV6 \r\nX-KmailDX-CBMP: PAGE=6;VOID\r\nX-KmailDX-Animation: ",
       "Content-Type: Application/Octet-stream;Name=\"p.bmp\"\r\nContent-Transfer-Encoding: Base64\r\n"
       "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;VOID\r\n", true},
      {"j.jpeg", "", "Content-Type: Image/Jpeg;Name=\"j.jpeg\"\r\nContent-Transfer-Encoding: Base64\r\n", true},
      {"r.dxm", "", "Content-Type: Audio/X-KdxMidi;Name=\"r.dxm\"\r\nContent-Transfer-Encoding: Base64\r\n", true},
      {"m.flm", "", "Content-Type: Application/Octet-stream;Name=\"m.flm\"\r\nContent-Transfer-Encoding: Base64\r\n",
       true},
      {"OptChar.dat", "", "Content-Type: Application/Octet-stream;Name=\"OptChar.dat\"\r\n"
                          "Content-Transfer-Encoding: Base64\r\n", true},
  };
  const std::string bytes = "line\r\n";
  for (const auto& c : cases) {
    std::string part = EncodeAttachmentPart(Attachment(c.name, bytes, c.headers));
    std::string data = c.base64 ? qv::Base64Encode(bytes) : bytes;
    EXPECT_EQ(part, std::string(c.expectedHead) + "\r\n" + data + "\r\n") << c.name << " / " << c.headers;
  }
}

namespace {

struct RoundTrip {
  const char* what;
  OutgoingMail mail;
  std::vector<MailAttachment> attachments;
};

std::vector<RoundTrip> RoundTrips() {
  std::vector<RoundTrip> cases;
  auto add = [&cases](const char* what, OutgoingMail mail, std::vector<MailAttachment> attachments = {}) {
    cases.push_back({what, std::move(mail), std::move(attachments)});
  };
  OutgoingMail direct;
  direct.email = false;
  direct.to = "09012345678";
  direct.subject = Sjis("直送");
  direct.body = Sjis("こんにちは\r\n表示とソフト");
  add("direct mail", direct);
  OutgoingMail full = EMail(Sjis("山田<yamada@example.jp>,b@example.jp"), Sjis("件名 ｶﾀｶﾅ"), Sjis("本文 ﾊﾝｶｸ\r\n二行目"));
  full.cc = "c@example.jp";
  full.bcc = "d@example.jp";
  full.replyTo = "r@example.jp";
  add("e-mail with every header", full);
  add("dot lines", EMail("a@example.jp", "s", ".\r\n..\r\n.x\r\nend"));
  add("a line that is exactly a dot", EMail("a@example.jp", "s", "first\r\n.\r\nlast"));
  add("long line", EMail("a@example.jp", "s", std::string(2000, 'L')));
  add("trailing empty lines", EMail("a@example.jp", "s", "a\r\n\r\n\r\n"));
  OutgoingMail deco = EMail("a@example.jp", "s", "<BODY=FF0000;BG=000000>\r\n<BL>blink</BL>\r\n<#HEART>");
  deco.plainBody = false;
  add("decorated body", deco);

  const std::string bmp = BitmapBytes(16, 8);
  const std::string div6 = BitmapBytes(kDiv6Width, kDiv6Height);
  add("bitmap", EMail("a@example.jp", "s", "b"), {Attachment("p.bmp", bmp)});
  add("six-page bitmap", EMail("a@example.jp", "s", "b"),
      {Attachment("six.bmp", div6,
                  "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);SLIDE(90,40)=3;VOID;VOID")});
  add("animation", EMail("a@example.jp", "s", "b"),
      {Attachment("anim.bmp", bmp, "X-KmailDX-Animation: Page=3;Wait=0.5;Loop=2")});
  add("jpeg", EMail("a@example.jp", "s", "b"), {Attachment("p.jpg", AllBytes(1000))});
  add("text", EMail("a@example.jp", "s", "b"),
      {Attachment("t.txt", Sjis("テキスト ｶﾅ\r\n.dot\r\n") + std::string(5000, 'w') + "\r\n")});
  add("ringtone", EMail("a@example.jp", "s", "b"), {Attachment("r.dxm", AllBytes(333))});
  add("media mix", EMail("a@example.jp", "s", "b"), {Attachment("MMCTRL.DAT", "MM\r\n0,1,text\r\n")});
  add("flm", EMail("a@example.jp", "s", "b"), {Attachment("m.flm", AllBytes(55))});
  add("user characters", EMail("a@example.jp", "s", "b"), {Attachment("OPTCHAR.DAT", BitmapBytes(96, 24))});
  add("other file", EMail("a@example.jp", "s", "b"), {Attachment("data.bin", AllBytes(54 * 3))});
  add("empty file", EMail("a@example.jp", "s", "b"), {Attachment("empty.bin", "")});
  add("several", EMail("a@example.jp", "s", Sjis("複数")),
      {Attachment("1.jpg", AllBytes(10)), Attachment("2.txt", "two\r\n"), Attachment("3.dat", AllBytes(100)),
       Attachment("4.bmp", bmp)});
  OutgoingMail directAttached = direct;
  add("direct mail with attachment", directAttached, {Attachment("x.jpg", AllBytes(77))});
  return cases;
}

}  // namespace

TEST(StoredMailForm, EveryFormTheEncoderWritesParsesBack) {
  for (auto& c : RoundTrips()) {
    AttachmentList list;
    for (const auto& a : c.attachments) list.Insert(a);
    c.mail.attachments = &list;
    std::string text = Encode(c.mail);
    // The store keeps lines each ended by CR LF, which this text already is.
    ASSERT_TRUE(text.ends_with("\r\n")) << c.what;
    AttachmentList back;
    StoredMailFields parsed = Parse(text, &back);
    EXPECT_EQ(parsed.to, c.mail.to) << c.what;
    EXPECT_EQ(parsed.cc, c.mail.email ? c.mail.cc : "") << c.what;
    EXPECT_EQ(parsed.bcc, c.mail.email ? c.mail.bcc : "") << c.what;
    EXPECT_EQ(parsed.replyTo, c.mail.email ? c.mail.replyTo : "") << c.what;
    EXPECT_EQ(parsed.subject, c.mail.subject) << c.what;
    EXPECT_EQ(parsed.body, c.mail.body) << c.what;
    EXPECT_EQ(!parsed.markup, c.mail.plainBody) << c.what;
    ASSERT_EQ(back.Count(), c.attachments.size()) << c.what;
    for (size_t i = 0; i < back.Count(); ++i) {
      EXPECT_EQ(back[i].name, c.attachments[i].name) << c.what;
      EXPECT_EQ(back[i].bytes, c.attachments[i].bytes) << c.what << " " << back[i].name;
      EXPECT_FALSE(back[i].broken) << c.what;
      // Picture lines come back in their normal form, which is how they went.
      if (MediaFileKind(back[i].name) == kMediaBitmap) {
        EXPECT_EQ(back[i].headers, c.attachments[i].headers) << c.what;
      }
    }
    // Writing the parsed mail again gives the same text.
    OutgoingMail again = c.mail;
    again.attachments = &back;
    EXPECT_EQ(Encode(again), text) << c.what;
  }
}

TEST(StoredMailForm, Base64PartsOfFullLinesReadInTheFormsOfOldAndNewFiles) {
  // A part whose bytes fill its last Base64 line ends that line with CR LF
  // before the part's own; files written before that have no such break.
  for (size_t size : {size_t(54), size_t(108), size_t(109), size_t(53)}) {
    SCOPED_TRACE(size);
    const std::string bytes = AllBytes(size);
    AttachmentList list;
    list.Insert(Attachment("b.dat", bytes));
    OutgoingMail mail = EMail("a@example.jp", "s", "body");
    mail.attachments = &list;
    const std::string text = Encode(mail);
    const std::string encoded = Base64Encode(bytes);
    const std::string part = "Content-Transfer-Encoding: Base64\r\n\r\n" + encoded + "\r\n--kmaildx00--\r\n";
    ASSERT_TRUE(text.ends_with(part)) << text;
    EXPECT_EQ(encoded.ends_with("\r\n"), size % 54 == 0);
    std::string old = text;
    if (size % 54 == 0) old.erase(old.size() - part.size() + part.find(encoded) + encoded.size() - 2, 2);
    for (const std::string& stored : {text, old}) {
      AttachmentList back;
      EXPECT_EQ(Parse(stored, &back).body, "body");
      ASSERT_EQ(back.Count(), 1u);
      EXPECT_EQ(back[0].bytes, bytes);
    }
  }
}

TEST(StoredMailForm, EmptyBodyWithAttachmentReadsAsTheBlankItWasStoredAs) {
  AttachmentList list;
  list.Insert(Attachment("x.jpg", "x"));
  OutgoingMail mail = EMail("a@example.jp", "s", "");
  mail.attachments = &list;
  EXPECT_EQ(Parse(Encode(mail)).body, " ");
}

// Received mails, written by hand in the centre's form.
TEST(ReceivedMail, HeaderFieldsAndDecoratedFirstPart) {
  const std::string text =
      "From: Sender <sender@example.jp>\r\n"
      "To: me@example.jp,\r\n"
      "\tother@example.jp\r\n"
      "cc: c@example.jp\r\n"
      "reply-to: back@example.jp\r\n"
      "Subject:   " + Sjis("お知らせ") + "  \r\n"
      "Date:  2024/05/06 07:08:09 \r\n"
      "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
      "\r\n"
      "This is a multi-part message.\r\n"
      "--b1\r\n"
      "Content-Type: Text/X-KmailDX\r\n"
      "\r\n"
      "<C=FF0000>red</C>\r\n"
      "...dots\r\n"
      "--b1\r\n"
      "Content-Type: Text/Plain; Name=\"first.txt\"\r\n"
      "\r\n"
      "one\r\n"
      "--b1\r\n"
      "Content-Type: Image/Jpeg; Name=\"second.jpg\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "\r\n"
      "/9g=\r\n"
      "--b1--\r\n"
      "epilogue is not read\r\n";
  AttachmentList list;
  StoredMailFields mail = Parse(text, &list);
  EXPECT_EQ(mail.from, "Sender <sender@example.jp>");
  EXPECT_EQ(mail.to, "me@example.jp, other@example.jp");
  EXPECT_EQ(mail.cc, "c@example.jp");
  EXPECT_EQ(mail.replyTo, "back@example.jp");
  EXPECT_EQ(mail.subject, Sjis("お知らせ"));
  EXPECT_EQ(mail.date, "2024/05/06 07:08:09");
  EXPECT_TRUE(mail.markup);
  EXPECT_EQ(mail.body, "<C=FF0000>red</C>\r\n..dots");
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list[0].name, "first.txt");
  EXPECT_EQ(list[0].bytes, "one\r\n");
  EXPECT_EQ(list[0].icon, kIconFile);
  EXPECT_EQ(list[1].name, "second.jpg");
  EXPECT_EQ(list[1].bytes, "\xFF\xD8");
  EXPECT_EQ(list[1].icon, kIconPicture);
  // Parsing without a list reads the same fields.
  EXPECT_EQ(Parse(text).body, mail.body);
}

TEST(ReceivedMail, SinglePictureIsTheOnlyAttachmentAndTheBodyIsEmpty) {
  const std::string bmp = BitmapBytes(20, 10);
  const std::string text = "From: 09011112222\r\nContent-Type: Application/Octet-stream; Name=\"pic.bmp\"\r\n"
                           "Content-Transfer-Encoding: Base64\r\nX-KmailDX-Animation: Page=2;Wait=1;Loop=3\r\n\r\n" +
                           qv::Base64Encode(bmp) + "\r\n";
  AttachmentList list;
  StoredMailFields mail = Parse(text, &list);
  EXPECT_FALSE(mail.markup);
  EXPECT_EQ(mail.body, "");
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list[0].name, "pic.bmp");
  EXPECT_EQ(list[0].bytes, bmp);
  EXPECT_EQ(list[0].headers, "X-KmailDX-Animation: Page=2;Wait=1;Loop=3");
  EXPECT_EQ(list[0].icon, kIconAnimation);
}

TEST(ReceivedMail, ContentTypesOfTheBody) {
  struct Case {
    const char* what;
    std::string text;
    const char* body;
    bool plain;
  };
  const Case cases[] = {
      {"no content type", "From: a\r\n\r\n<b>bold?</b>\r\n", "<b>bold?</b>", true},
      {"plain", "Content-Type: text/plain; charset=x\r\n\r\nline\r\n", "line", true},
      {"decorated", "Content-Type: TEXT/X-KMAILDX\r\n\r\n<BL>x</BL>\r\n", "<BL>x</BL>", false},
      {"other, not Base64", "Content-Type: Text/Html\r\n\r\n<p>hi</p>\r\n", "<p>hi</p>", true},
      {"dots", "From: a\r\n\r\n..\r\n.\r\n...\r\n", ".\r\n.\r\n..", true},
      {"no empty line at all", "From: a\r\nSubject: cut off", "", true},
      {"no header", "\r\nbody only\r\n", "body only", true},
  };
  for (const auto& c : cases) {
    StoredMailFields mail = Parse(c.text);
    EXPECT_EQ(mail.body, c.body) << c.what;
    EXPECT_EQ(!mail.markup, c.plain) << c.what;
  }
  EXPECT_EQ(Parse("From: a\r\nSubject: cut off").subject, "cut off");
}

// Direct mails from a handset were stored as the caller's From line straight
// followed by their text: the header ends where its lines end.
TEST(ReceivedMail, ADirectMailStoredWithoutTheBlankLineAfterFromReadsItsTextAsTheBody) {
  struct Case {
    const char* what;
    std::string text;
    const char* from;
    const char* subject;
    std::string body;
  };
  const Case cases[] = {
      {"one line", "From: 09012345678\r\nHello by direct mail\r\n", "09012345678", "", "Hello by direct mail"},
      {"Japanese lines and a blank line in the text",
       "From: 09012345678\r\n" + Sjis("七時に駅で\r\n\r\n遅れます\r\n"), "09012345678", "",
       Sjis("七時に駅で\r\n\r\n遅れます")},
      {"a continued header line", "From: 0901\r\nSubject: a\r\n b\r\ntext: with a colon later\r\n", "0901", "a b",
       ""},
      {"stored with its blank line", "From: 0901\r\n\r\nHello\r\n", "0901", "", "Hello"},
      {"header lines of its own", "From: 0901\r\nSubject: hi\r\n\r\nHello\r\n", "0901", "hi", "Hello"},
      {"dot-stuffed text", "From: 0901\r\n..dots\r\n", "0901", "", ".dots"},
  };
  for (const auto& c : cases) {
    StoredMailFields mail = Parse(c.text);
    EXPECT_EQ(mail.from, c.from) << c.what;
    EXPECT_EQ(mail.subject, c.subject) << c.what;
    EXPECT_EQ(mail.body, c.body) << c.what;
  }
}

TEST(ReceivedMail, HeaderLinesAreToldFromText) {
  struct Case {
    std::string text;
    size_t header;  // bytes of leading header lines
    bool withBlankLine;
  };
  const Case cases[] = {
      {"From: a\r\nSubject: b\r\n\r\nbody\r\n", 21, true},
      {"From: a\r\n continued\r\n\r\n", 21, true},
      {"X-Any_Name.1:\r\n\r\n", 15, true},
      {"Hello by direct mail\r\n", 0, false},
      {" indented: first\r\n\r\n", 0, false},
      {"From: a\r\nHello\r\n", 9, false},
      {"From: a\r\n", 9, false},
      {"no colon here\r\n\r\n", 0, false},
      {"two words: x\r\n\r\n", 0, false},
      {Sjis("件名: 日本語\r\n\r\n"), 0, false},
      {":no name\r\n\r\n", 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LeadingHeaderLength(c.text), c.header) << c.text;
    EXPECT_EQ(StartsWithHeader(c.text), c.withBlankLine) << c.text;
  }
}

TEST(ReceivedMail, MultipartWithoutClosingDelimiter) {
  auto parts = [](const std::string& lastPart) {
    const std::string text = "Content-Type: Multipart/Mixed;Boundary=\"zz\"\r\n\r\n--zz\r\nContent-Type: Text/Plain\r\n"
                             "\r\nbody\r\n--zz\r\n" + lastPart;
    AttachmentList list;
    StoredMailFields mail = Parse(text, &list);
    EXPECT_EQ(mail.body, "body");
    return list;
  };
  // Two lines are too few to be a part; three are kept.
  EXPECT_EQ(parts("Content-Type: Text/Plain;Name=\"a.txt\"\r\n\r\n").Count(), 0u);
  AttachmentList kept = parts("Content-Type: Text/Plain;Name=\"a.txt\"\r\n\r\nlast\r\n");
  ASSERT_EQ(kept.Count(), 1u);
  EXPECT_EQ(kept[0].bytes, "last\r\n");
  // A body part that never ends still gives the body.
  AttachmentList none;
  EXPECT_EQ(Parse("Content-Type: Multipart/Mixed;Boundary=q\r\n\r\n--q\r\nContent-Type: Text/Plain\r\n\r\nb1\r\nb2\r\n",
                  &none)
                .body,
            "b1\r\nb2");
  // A multipart without a single delimiter shows its text.
  EXPECT_EQ(Parse("Content-Type: Multipart/Mixed;Boundary=q\r\n\r\njust text\r\n").body, "just text");
}

TEST(ReceivedMail, PartNamesAndEncodings) {
  const std::string text =
      "Content-Type: Multipart/Mixed;Boundary=\"b\"\r\n\r\n--b\r\nContent-Type: Text/Plain\r\n\r\nx\r\n"
      "--b\r\nContent-Type: Application/Octet-stream\r\nContent-Transfer-Encoding: Base64\r\n\r\nYWJj\r\n"
      "--b\r\nContent-Type: Text/Plain;Name=\"same.txt\"\r\n\r\n1\r\n"
      "--b\r\nContent-Type: Text/Plain;Name=\"same.txt\"\r\n\r\n2\r\n"
      "--b\r\nContent-Type: Application/Octet-stream;Name=\"pad.dat\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n"
      "Y===\r\n"
      "--b\r\nContent-Type: Application/Octet-stream;Name=\"optchar.dat\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n"
      "YWJj\r\n"
      "--b--\r\n";
  AttachmentList list;
  Parse(text, &list);
  ASSERT_EQ(list.Count(), 5u);
  EXPECT_EQ(list[0].name, "notitle.dat");
  EXPECT_EQ(list[0].bytes, "abc");
  EXPECT_EQ(list[1].name, "same.txt");
  EXPECT_EQ(list[2].name, "same2.txt");
  EXPECT_EQ(list[2].bytes, "2\r\n");
  // Padding in the wrong place gives an empty attachment.
  EXPECT_EQ(list[3].name, "pad.dat");
  EXPECT_EQ(list[3].bytes, "");
  EXPECT_EQ(list[4].icon, kIconUserCharacters);
  // A part's header lines are remembered as received.
  EXPECT_EQ(list[2].headers, "Content-Type: Text/Plain;Name=\"same.txt\"\r\n");
}
