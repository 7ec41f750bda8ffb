// The sign-up terminal fed what a centre (or a damaged line) may send:
// random and truncated pages, over-long tags, lone lead bytes, NULs, and pages
// larger than the terminal keeps. Built with AddressSanitizer and
// UndefinedBehaviorSanitizer: nothing is read or written outside its buffer,
// a 20 KB page arrives whole and a 150 KB one is kept to its first 102,400
// bytes. QV_SIGNUP_FUZZ_ITERATIONS raises the short default number of trials.
#include "SignupWindowFixture.h"

#include "core/ui/MessageBox.h"
#include "platform/Cp932.h"
#include "plugins/signup/QvSignupFRM.h"
#include "plugins/signup/SignupPageList.h"
#include "plugins/signup/SignupPages.h"

#include <QAction>
#include <QPlainTextEdit>
#include <cstdlib>
#include <random>

using namespace signuptest;
using namespace qv::signup;
using handsetsim::SimConfig;

namespace {

int Iterations(int fallback) {
  const char* value = std::getenv("QV_SIGNUP_FUZZ_ITERATIONS");
  return value ? std::max(1, std::atoi(value)) : fallback;
}

// What pages are made of, and what breaks them.
const std::vector<std::string>& Tokens() {
  static const std::vector<std::string> tokens = {
      "Content-Type: text/plain\r\n", "Content-Type: Text/X-KMAILDX\r\n",
      "Content-Type: multipart/mixed; boundary=\"bb\"\r\n", "Content-Type: multipart/mixed; boundary=\r\n",
      "Content-Type: multipart/mixed; boundary=\"\r\n", "Content-Type: image/jpeg\r\n", "Reply-To: x@y\r\n",
      "Reply-To:\r\n", "X-KMAILDX-INPUT: ALPHA\r\n", "X-KMAILDX-INPUT: KANJI\r\n", " continued\r\n", "\tboundary=bb\r\n",
      "--bb\r\n", "--bb--\r\n", "--\r\n", "\r\n", "\r", "\n", ": ", ";", "=", "\"", "..", ".", "<", ">", "<<", "<#",
      "<#HEART>", "<#STAR>", "<#NOPE>", "<C=FF0000>", "<BODY=", "<" + std::string(255, 'a') + ">",
      "<#" + std::string(253, 'b') + ">", "<" + std::string(254, 'c'), "\x82\xA0", "\x82", "\xF0\x40", "\xF9\xFC",
      "\x87\x40", "\x87\x53", "\x81\xCB", "12\x81\xCB", "\xB1", std::string(1, '\0'), "\xFF", "\x80", "a", "0", " "};
  return tokens;
}

std::string RandomPage(std::mt19937& rng, int tokens) {
  std::uniform_int_distribution<size_t> pick(0, Tokens().size() - 1);
  std::string out;
  for (int i = 0; i < tokens; ++i) out += Tokens()[pick(rng)];
  return out;
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(byte(rng));
  return out;
}

// A decorated multipart page with everything a page may hold.
std::string RichPage() {
  return "Content-Type: multipart/mixed;\r\n boundary=\"part\"\r\nReply-To: next@centre\r\n\r\npreamble\r\n--part\r\n"
         "Content-Type: text/x-kmaildx\r\nX-KMAILDX-INPUT: NUM\r\n\r\n<BODY=FF0000>\r\n" +
         Sjis("①はい<#HEART>\r\n12⇒いいえ<#STAR>\r\n") + "<<" + std::string(300, 'z') + ">\r\n..dots\r\n--part\r\n"
         "Content-Type: image/jpeg\r\n\r\n/9j/4AAQ\r\n--part--\r\nepilogue\r\n";
}

const std::vector<std::string> kPicText = {"HEART=\xF0\x40", "STAR=\xF0\x44", std::string(300, 'N') + "=\xF0\x41",
                                           "NOVALUE", "=\xF0\x42", "X=\x82"};

void Exercise(const std::string& page) {
  std::vector<std::string> lines = PageLines(page);
  std::string value, params;
  FindHeader(lines, "Reply-To", -3, 1 << 20, value, params);
  FindHeader(lines, "Content-Type", 2, 1, value, params);
  ParsePage(lines, kPicText);
  for (const std::string& line : lines) {
    ParseChoice(line);
    CheckInput(line);
  }
  ExpandTags(page, kPicText);
  const std::string cut = CutRequest(page);
  EXPECT_LE(cut.size(), kRequestLimit);
  if (page.size() > kRequestLimit) {
    // What is kept is the request's start, cut between characters, then a line break.
    ASSERT_GE(cut.size(), 2u);
    EXPECT_EQ(cut.substr(cut.size() - 2), "\r\n");
    const std::string kept = page.compare(0, cut.size(), cut) == 0 ? cut : cut.substr(0, cut.size() - 2);
    EXPECT_EQ(page.compare(0, kept.size(), kept), 0);
    EXPECT_FALSE(qv::cp932::IsTrailPosition(page, kept.size()));
  }
}

TEST(SignupRobustness, RandomAndTruncatedPagesThroughTheRules) {
  std::mt19937 rng(24);
  const int n = Iterations(300);
  for (int i = 0; i < n; ++i) {
    Exercise(RandomPage(rng, 1 + i % 120));
    Exercise(RandomBytes(rng, static_cast<size_t>(i % 700)));
  }
  const std::string rich = RichPage();
  for (size_t cut = 0; cut <= rich.size(); ++cut) Exercise(rich.substr(0, cut));
  // Lone lead bytes at every end a scan may reach.
  for (const char* tail : {"\x82", "\xF0", "<\x82", "<#\x82", "\r", "<\r"}) Exercise(rich + tail);
}

class SignupRobustnessTest : public SignupWindowTest {
 protected:
  qv::TfrmSignup& Open() {
    auto& w = SignupWindowTest::Open();
    w.resize(240, 600);
    return w;
  }
};

// A plain page of lines of text up to size bytes in all.
std::string BigPage(size_t size) {
  std::string page = "Content-Type: text/plain\r\n\r\n";
  for (int n = 0; page.size() < size; ++n) {
    std::string line = "line " + std::to_string(n) + " " + std::string(80, static_cast<char>('a' + n % 26)) +
                       Sjis("あ") + "\r\n";
    page += line;
  }
  page.resize(size - 2);
  page += "\r\n";
  return page;
}

TEST_F(SignupRobustnessTest, LargePagesArriveWholeOrCutAtTheBufferSize) {
  const std::string twenty = BigPage(20 * 1024), big = BigPage(150 * 1024);
  SimConfig c;
  c.signupPages = {twenty, big, "Content-Type: text/plain\r\n\r\nafter\r\n"};
  StartSim(c);
  auto& w = Open();
  w.actConnect->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }));
  ASSERT_EQ(w.History().Count(), 1);
  EXPECT_EQ(w.History()[0].text, twenty) << "20 KB arrive whole";
  w.actCall->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }, 30000));
  ASSERT_EQ(w.History().Count(), 2);
  // The page keeps its first 102,400 bytes (as lines with CR LF breaks).
  std::string kept;
  for (const std::string& line : PageLines(big.substr(0, kPageLimit))) kept += line + "\r\n";
  EXPECT_EQ(w.History()[1].text, kept);
  EXPECT_GT(w.lstMain->count(), 1000);
  w.grab();
  // The call goes on after it.
  w.actCall->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }));
  EXPECT_EQ(w.History()[2].text, "Content-Type: text/plain\r\n\r\nafter\r\n");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(SignupRobustnessTest, RandomPagesOverTheLineAndOnTheScreen) {
  std::mt19937 rng(11);
  SimConfig c;
  // What goes over the line: body lines that are not a lone "." (that ends a
  // body), and no Reply-To (the terminal would answer each at once).
  auto overTheLine = [](const std::string& page) {
    std::string safe;
    for (std::string_view line : PageLines(page)) {
      if (line.starts_with("Reply-To")) continue;
      safe += (line == "." ? std::string("..") : std::string(line)) + "\r\n";
    }
    return safe;
  };
  for (int i = 0; i < 4; ++i) c.signupPages.push_back(overTheLine(RandomPage(rng, 80)));
  c.signupPages.push_back(overTheLine(RichPage()));
  StartSim(c);
  auto& w = Open();
  w.actConnect->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }));
  for (int i = 0; i < 4 && w.Online(); ++i) {
    w.actCall->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }));
    w.grab();
  }
  // Pages as the window keeps them, shown and drawn: NULs, lone lead bytes, long tags.
  const int n = Iterations(60);
  for (int i = 0; i < n; ++i) {
    const std::string page = i % 3 == 0 ? RandomBytes(rng, static_cast<size_t>(i * 37 % 3000))
                                        : RandomPage(rng, 1 + i % 150);
    w.ShowPage(w.PushPage(page));
    w.resize(120 + i % 300, 300 + i % 200);
    w.grab();
    if (w.lstMain->count() > 0) w.lstMain->setCurrentRow(i % w.lstMain->count());
    w.memInput->setPlainText(QString::fromStdString(RandomPage(rng, 5)));
  }
  for (int i = 0; i < w.History().Count(); ++i) {
    w.ShowPage(i);
    w.grab();
  }
}

}  // namespace
