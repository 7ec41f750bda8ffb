#include "ContactData.h"

#include "platform/Cp932.h"

#include <cstdint>

namespace qvtest {
namespace {

void Le(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string N(int n) { return std::to_string(n); }

// Two digits of n.
std::string D2(int n) { return (n < 10 ? "0" : "") + N(n); }

}  // namespace

std::string TestBitmap(int seed, int w, int h) {
  const int stride = (w * 3 + 3) & ~3;
  std::string bmp = "BM";
  Le(bmp, static_cast<uint32_t>(54 + stride * h), 4);
  Le(bmp, 0, 4);
  Le(bmp, 54, 4);
  Le(bmp, 40, 4);
  Le(bmp, static_cast<uint32_t>(w), 4);
  Le(bmp, static_cast<uint32_t>(h), 4);
  Le(bmp, 1, 2);
  Le(bmp, 24, 2);
  Le(bmp, 0, 4);
  Le(bmp, static_cast<uint32_t>(stride * h), 4);
  Le(bmp, 2835, 4);
  Le(bmp, 2835, 4);
  Le(bmp, 0, 4);
  Le(bmp, 0, 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bmp += static_cast<char>((x * 5 + seed * 37) & 0xFF);   // blue
      bmp += static_cast<char>((y * 7 + seed * 11) & 0xFF);   // green
      bmp += static_cast<char>(((x + y) * 3 + seed) & 0xFF);  // red
    }
    bmp.append(static_cast<size_t>(stride - w * 3), '\0');
  }
  return bmp;
}

qv::PhoneBookEntry FullEntry(int n, bool withPicture) {
  using qv::Sjis;
  qv::PhoneBookEntry e;
  static const char* const kinds[] = {"", "FAX: ", "PHS: ", "携帯: ", "ポケベル: ", "文字電話: "};
  auto phone = [&](int i) {
    return Sjis(kinds[(n + i) % 6]) + ((n + i) % 2 ? Sjis("分計ON; ") : "") + "0" + N(90 + i) + N(1000000 + n) +
           (i == 5 ? "#P*1" : "");
  };
  e.SetField(qv::kPbKana, Sjis("ﾔﾏﾀﾞ ﾀﾛｳ") + N(n));
  e.SetField(qv::kPbKanji, Sjis("山田 \"太郎\", 第") + N(n));
  for (int i = 0; i < qv::kPbNumbers; ++i) {
    e.SetField(qv::kPbPhone1 + i, phone(i));
    e.SetField(qv::kPbMail1 + i, "user" + N(n) + "." + N(i) + "@example.jp");
    e.SetField(qv::kPbCompanyPhone1 + i, phone(i + 3));
    e.SetField(qv::kPbCompanyMail1 + i, "work" + N(n) + "." + N(i) + "@corp.example.jp");
  }
  e.SetField(qv::kPbPostCode, N(1000001 + n % 8000000));
  e.SetField(qv::kPbAddress, Sjis("東京都千代田区1-2-") + N(n) + Sjis(", 3階"));
  e.SetField(qv::kPbBirthDate, N(1950 + n % 50) + "/" + D2(1 + n % 12) + "/" + D2(1 + n % 28));
  static const char* const blood[] = {"A", "B", "AB", "O", ""};
  e.SetField(qv::kPbBloodType, blood[n % 5]);
  e.SetField(qv::kPbMemo, Sjis("メモ ") + N(n) + "\r\n" + Sjis("二行目, \"引用\""));
  static const char* const sex[] = {"男", "女", ""};
  e.SetField(qv::kPbSex, Sjis(sex[n % 3]));
  e.SetField(qv::kPbAge, N(20 + n % 60));
  e.SetField(qv::kPbHobby, Sjis("釣り、読書"));
  e.SetField(qv::kPbCompanyKana, Sjis("ｶﾌﾞｼｷｶﾞｲｼｬ") + N(n));
  e.SetField(qv::kPbCompanyKanji, Sjis("株式会社 見本"));
  e.SetField(qv::kPbCompanyPostCode, "1500002");
  e.SetField(qv::kPbCompanyAddress, Sjis("渋谷区渋谷2-") + N(n));
  e.SetField(qv::kPbCompanyDate, "2001/04/" + D2(1 + n % 28));
  e.SetField(qv::kPbCompanyMemo, Sjis("会社のメモ"));
  e.SetField(qv::kPbCompanyAge, N(n % 100));
  e.SetField(qv::kPbTitle, Sjis("課長"));
  e.SetField(qv::kPbDepartment, Sjis("営業部"));
  e.SetField(qv::kPbSecret, n % 2 ? "ON" : "OFF");
  e.SetField(qv::kPbGroup, n % 11 ? Sjis("グループ") + N(n % 11) : "");
  static const char* const lists[] = {"", "ホワイトリスト", "ブラックリスト"};
  e.SetField(qv::kPbListKind, Sjis(lists[n % 3]));
  for (int i = 0; i < 4; ++i)
    e.SetField(qv::kPbUpdated + i, "20" + D2(10 + i) + "/" + D2(1 + n % 12) + "/" + D2(1 + n % 28) + " " +
                                       D2(n % 24) + ":" + D2(n % 60) + ":" + D2((n + i) % 60));
  if (withPicture) e.picture = TestBitmap(n);
  e.SetField(qv::kPbPictureFlag, Sjis(withPicture ? "有" : "無"));
  return e;
}

qv::PhoneBookList FullPhoneBook(int count, bool pictures) {
  qv::PhoneBookList book;
  book.reserve(static_cast<size_t>(count));
  for (int n = 0; n < count; ++n) book.push_back(FullEntry(n, pictures && n % 10 == 0));
  return book;
}

qv::BookmarkEntry FullBookmark(int n) {
  qv::BookmarkEntry b;
  b.fields = {qv::Sjis("ニュース, \"速報\" ") + N(n), qv::Sjis("ﾆｭｰｽ") + N(n),
              "http://example.jp/news/" + N(n) + "?a=1&b=2", qv::Sjis("毎朝見る\r\n二行目 ") + N(n)};
  return b;
}

}  // namespace qvtest
