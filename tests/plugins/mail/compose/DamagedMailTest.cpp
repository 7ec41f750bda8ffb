// Received text is never trusted: damaged mails give what can be read, and
// nothing in them makes the parser or the picture loading read or write out
// of bounds. In the suite the random rounds are a short smoke test without a
// sanitizer; QV_MAIL_DAMAGE_ROUNDS raises them for a run under the address
// sanitizer by hand.
#include "core/data/MailAttachments.h"
#include "core/data/MailForm.h"
#include "plugins/mail/compose/MailPictures.h"
#include "core/data/StoredMail.h"

#include "controls/ImageList.h"
#include "core/data/TextFunctions.h"

#include "MailComposeTestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <random>

using namespace qv;
using composetest::AllBytes;
using composetest::Attachment;
using composetest::BitmapBytes;

namespace {

int Rounds(int defaultRounds) {
  const char* env = std::getenv("QV_MAIL_DAMAGE_ROUNDS");
  return env ? std::max(1, std::atoi(env)) : defaultRounds;
}

std::string SampleMail() {
  AttachmentList list;
  list.Insert(Attachment("p.bmp", BitmapBytes(24, 12), "X-KmailDX-Animation: Page=2;Wait=1;Loop=2"));
  list.Insert(Attachment("six.bmp", BitmapBytes(kDiv6Width, kDiv6Height),
                         "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);SLIDE(96,43)=2;VOID"));
  list.Insert(Attachment("t.txt", "line\r\n.dot\r\n"));
  list.Insert(Attachment("OPTCHAR.DAT", BitmapBytes(96, 24)));
  list.Insert(Attachment("r.dxm", AllBytes(300)));
  OutgoingMail mail;
  mail.to = "a@example.jp";
  mail.subject = "s";
  mail.body = "body\r\n.\r\n";
  mail.attachments = &list;
  std::string text;
  EncodeStoredMail(mail, text);
  return text;
}

void PutU32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void PutU16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}

}  // namespace

TEST(DamagedMail, TruncatedBase64GivesTheBytesItHolds) {
  const std::string bytes = AllBytes(100);
  std::string encoded = qv::Base64Encode(bytes);
  for (size_t cut : {encoded.size() - 1, encoded.size() - 2, encoded.size() / 2 + 1, size_t{1}}) {
    const std::string text = "Content-Type: Multipart/Mixed;Boundary=\"b\"\r\n\r\n--b\r\nContent-Type: Text/Plain\r\n\r\n"
                             "x\r\n--b\r\nContent-Type: A/B;Name=\"cut.bin\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n" +
                             encoded.substr(0, cut) + "\r\n";
    AttachmentList list;
    StoredMailFields mail;
    ParseStoredMail(text, mail, &list, nullptr);
    EXPECT_EQ(mail.body, "x");
    ASSERT_EQ(list.Count(), 1u) << cut;
    // Whatever was decoded is the front of the original bytes.
    EXPECT_LE(list[0].bytes.size(), bytes.size());
    EXPECT_EQ(list[0].bytes, bytes.substr(0, list[0].bytes.size())) << cut;
  }
}

TEST(DamagedMail, BoundaryThatNeverClosesKeepsEveryPart) {
  std::string text = "Content-Type: Multipart/Mixed;Boundary=\"open\"\r\n\r\n--open\r\nContent-Type: Text/Plain\r\n\r\n"
                     "body\r\n";
  for (int i = 0; i < 3; ++i)
    text += "--open\r\nContent-Type: Text/Plain;Name=\"p" + std::to_string(i) + ".txt\"\r\n\r\n" + std::to_string(i) +
            "\r\n";
  AttachmentList list;
  StoredMailFields mail;
  ParseStoredMail(text, mail, &list, nullptr);
  EXPECT_EQ(mail.body, "body");
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(list[2].name, "p2.txt");
  EXPECT_EQ(list[2].bytes, "2\r\n");
}

TEST(DamagedMail, AttachmentNamesNeverNameAnotherFolder) {
  const char* names[] = {"../../etc/passwd", "/abs/path.txt", "..", ".", "a\\..\\b.txt", "dir/..", ""};
  std::string text = "Content-Type: Multipart/Mixed;Boundary=\"b\"\r\n\r\n--b\r\nContent-Type: Text/Plain\r\n\r\nx\r\n";
  for (const char* name : names)
    text += std::string("--b\r\nContent-Type: Text/Plain;Name=\"") + name + "\"\r\n\r\ndata\r\n";
  text += "--b--\r\n";
  AttachmentList list;
  StoredMailFields mail;
  ParseStoredMail(text, mail, &list, nullptr);
  ASSERT_EQ(list.Count(), std::size(names));
  for (size_t i = 0; i < list.Count(); ++i) {
    const std::string safe = SafeFileName(list[i].name);
    EXPECT_EQ(safe.find('/'), std::string::npos) << list[i].name;
    EXPECT_EQ(safe.find('\\'), std::string::npos) << list[i].name;
    EXPECT_NE(safe, "..");
    EXPECT_NE(safe, ".");
    EXPECT_FALSE(safe.empty());
    // The captions stay unique.
    for (size_t j = 0; j < i; ++j) EXPECT_NE(list[i].name, list[j].name);
  }
}

TEST(DamagedMail, HugeHeaderLines) {
  const std::string big(100 * 1024, 'S');
  // One line of 100 KB, and 100 KB of continuation lines.
  std::string continued;
  for (int i = 0; i < 25 * 1024; ++i) continued += "\r\n\tab";
  const std::string text = "From: f@example.jp\r\nSubject: " + big + "\r\nX-Long: x" + continued +
                           "\r\nContent-Type: Text/Plain\r\n\r\nbody\r\n";
  StoredMailFields mail;
  ParseStoredMail(text, mail, nullptr, nullptr);
  EXPECT_EQ(mail.subject, big);
  EXPECT_EQ(mail.from, "f@example.jp");
  EXPECT_EQ(mail.body, "body");
  // A 100 KB boundary parameter and part header.
  const std::string b(100 * 1024, 'B');
  const std::string multi = "Content-Type: Multipart/Mixed;Boundary=\"" + b + "\"\r\n\r\n--" + b +
                            "\r\nContent-Type: Text/Plain\r\n\r\nbody\r\n--" + b + "\r\nContent-Type: A/B;Name=\"" +
                            std::string(100 * 1024, 'n') + ".txt\"\r\n\r\nz\r\n--" + b + "--\r\n";
  AttachmentList list;
  ParseStoredMail(multi, mail, &list, nullptr);
  EXPECT_EQ(mail.body, "body");
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list[0].bytes, "z\r\n");
}

TEST(DamagedMail, DamagedBitmapsAreBrokenPictures) {
  const std::string good = BitmapBytes(16, 16);
  std::vector<std::string> bad;
  bad.push_back(good.substr(0, 20));                  // header cut short
  bad.push_back(good.substr(0, good.size() / 2));     // pixels cut short
  std::string huge = good;
  PutU32(huge, 18, 0x7FFFFFFF);  // width
  PutU32(huge, 22, 0x7FFFFFFF);  // height
  bad.push_back(huge);
  std::string negative = good;
  PutU32(negative, 18, 0x80000000u);
  bad.push_back(negative);
  std::string depth = good;
  PutU16(depth, 28, 7);  // no such bit count
  bad.push_back(depth);
  std::string rle = good;
  PutU16(rle, 28, 8);
  PutU32(rle, 30, 1);  // packed, with pixel bytes that are no valid packing
  bad.push_back(rle);
  std::string offset = good;
  PutU32(offset, 10, 0xFFFFFFF0u);  // pixels far past the end
  bad.push_back(offset);
  std::string colours = good;
  PutU16(colours, 28, 8);
  PutU32(colours, 46, 0xFFFFFFFFu);  // colour count beyond any table
  bad.push_back(colours);
  for (size_t i = 0; i < bad.size(); ++i) {
    AttachmentList list;
    TImageList images(12, 12);
    AddAttachmentPart("Content-Type: X;Name=\"p.bmp\"\r\nContent-Transfer-Encoding: Base64\r\n"
                      "X-KmailDX-Info: DIV6\r\n",
                      qv::Base64Encode(bad[i]), list, -1, &images);
    ASSERT_EQ(list.Count(), 1u);
    QImage image;
    const bool loads = LoadAttachmentBitmap(bad[i], image);
    EXPECT_EQ(list[0].broken, !loads) << i;
    if (!loads) {
      EXPECT_EQ(list[0].icon, kIconPicture) << i;
    }
    // The same bytes as user characters leave the images empty or whole cells.
    EXPECT_TRUE(LoadUserCharacters("OPTCHAR.DAT", bad[i], &images));
    EXPECT_EQ(images.Count() % 8, 0) << i;
  }
}

TEST(DamagedMail, RandomDamageNeverBreaksTheParser) {
  const std::string sample = SampleMail();
  std::mt19937 random(20240506);
  const int rounds = Rounds(200);
  for (int round = 0; round < rounds; ++round) {
    std::string text = sample;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      const size_t at = random() % text.size();
      switch (random() % 6) {
        case 0:
          text[at] = static_cast<char>(random());
          break;
        case 1:
          text.erase(at, random() % 200);
          break;
        case 2:
          text.insert(at, "\r\n--kmaildx00\r\n");
          break;
        case 3:
          text.resize(at);
          break;
        case 4:
          text.insert(at, std::string(random() % 3000, static_cast<char>(random())));
          break;
        default:
          text.insert(at, "\r\n\r\n..\r\n=\r\n");
          break;
      }
    }
    AttachmentList list;
    TImageList images(12, 12);
    StoredMailFields mail;
    ParseStoredMail(text, mail, &list, &images);
    // Whatever came out can be written again and read once more.
    OutgoingMail again;
    again.to = "a@example.jp";
    again.body = mail.body.substr(0, 1000);
    again.plainBody = !mail.markup;
    again.attachments = &list;
    std::string written;
    if (EncodeStoredMail(again, written) == 0) {
      AttachmentList back;
      ParseStoredMail(written, mail, &back, &images);
      EXPECT_EQ(back.Count(), list.Count()) << "round " << round;
    }
  }
}
