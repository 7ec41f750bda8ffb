// Writes the seed corpora of the fuzz targets, made by the project's own
// writers (and the tests' builders), one folder per target:
//   fuzz_seeds <folder>
#include "BmpBuilder.h"
#include "SmfTestFile.h"

#include "converter/Converter.h"
#include "core/data/CSVData.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailAttachments.h"
#include "core/data/MailStore.h"
#include "core/data/NamedRecordFile.h"
#include "core/data/StoredMail.h"
#include "core/ui/Theme.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "platform/Cp932.h"
#include "plugins/mail/editor/KMailParts.h"
#include "plugins/mail/picedit/MediaMix.h"
#include "seriallink/Ddd.h"

#include <QImage>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;
using qv::Sjis;

namespace {

fs::path g_out;

void Seed(const std::string& target, const std::string& name, std::string_view bytes) {
  const fs::path dir = g_out / target;
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A piece as qvfuzz::Input::Piece takes it: a 16-bit length, then the bytes.
std::string Piece(std::string_view bytes) {
  std::string out{static_cast<char>(bytes.size() & 0xFF), static_cast<char>((bytes.size() >> 8) & 0xFF)};
  return out + std::string(bytes);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

qv::MailIndexRow IndexRow(int kind, const char* subject) {
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, kind, 0, 1, 0, 0, 0, 0, "from@example.jp", "to@example.jp", Sjis(subject),
                    "2024/05/06 07:08:09", "");
  return row;
}

std::string SmallBitmap(int bits) {
  qvtest::Bmp b;
  b.bitCount = static_cast<uint16_t>(bits);
  b.width = 6;
  b.height = 3;
  const uint32_t colors = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  for (uint32_t i = 0; i < colors; ++i) b.colors.push_back(i * 0x010203);
  qvtest::Grid grid(3, std::vector<uint32_t>(6));
  for (size_t y = 0; y < 3; ++y)
    for (size_t x = 0; x < 6; ++x) grid[y][x] = colors ? (x + y) % colors : 0x102030 * (x + 1);
  b.pixels = qvtest::PackRows(bits, grid);
  return b.Build();
}

std::string SaveDib(qv::TQkDIB& dib) {
  std::ostringstream out;
  dib.SaveToStream(out);
  return out.str();
}

qv::TQkDIB LoadDib(const std::string& bytes) {
  qv::TQkDIB dib;
  std::istringstream in(bytes);
  dib.LoadFromStream(in);
  return dib;
}

tcvtest::Bytes Song() {
  tcvtest::SmfBuilder smf;
  smf.Meta(0, 0x03, "Seed song").Tempo(0, 500000).Program(0, 0, 5).Program(0, 1, 40);
  for (int i = 0; i < 8; ++i) smf.NoteOn(0, i % 2, 60 + i).NoteOff(48, i % 2, 60 + i);
  smf.NoteOn(0, 9, 36).NoteOff(24, 9, 36);
  return smf.File();
}

void MailSeeds() {
  // Folders as the store writes them.
  const fs::path dir = fs::temp_directory_path() / "qvseeds";
  fs::remove_all(dir);
  fs::create_directories(dir);
  {
    qv::MailFolder f;
    if (!f.OpenIn(dir, "box")) std::abort();
    std::string id;
    qv::AppendMessage(f, "From: a@example.jp\r\nSubject: one\r\n\r\nbody", IndexRow(3, "one"), id);
    qv::AppendMessage(f, Sjis("直送の本文"), IndexRow(1, "直送"), id);
    qv::AppendMessage(f, "third\r\nmail", IndexRow(3, "three"), id);
    qv::MarkMessage(f.Index(), id);
    f.SaveIndex();
  }
  const std::string index = ReadAll(dir / "box.qvm"), store = ReadAll(dir / "box.qvs");
  Seed("MailFolder", "folder", Piece(index) + Piece(store) + Piece("a new mail\r\nline two"));
  Seed("MailFolder", "cut-short", Piece(index) + Piece(store.substr(0, store.size() / 2)) + Piece("new"));
  fs::remove_all(dir);

  // Stored mails as the compose window writes them.
  qv::AttachmentList list;
  qv::MailAttachment picture;
  picture.name = "notitle.bmp";
  picture.bytes = SmallBitmap(8);
  picture.headers = "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;SLIDE(3,3)=2;PLAIN(0,0);VOID";
  list.Insert(picture);
  qv::MailAttachment file;
  file.name = "mmctrl.dat";
  file.bytes = "Type=Promotion; Image=2; Sound=1\r\n000.0,0,hello\r\n";
  list.Insert(file);
  qv::OutgoingMail mail;
  mail.to = "to@example.jp";
  mail.cc = "cc@example.jp";
  mail.subject = Sjis("件名");
  mail.plainBody = false;
  mail.body = "<BODY=FF0000;BG=000080>\r\n<C=00FF00>" + Sjis("色") + "</C><#HEART><BL>blink</BL>";
  mail.attachments = &list;
  std::string text;
  if (qv::EncodeStoredMail(mail, text) == 0) {
    Seed("StoredMail", "multipart", text);
    Seed("ReceivedMail", "multipart", text);
    // A sample part the handset marks, and a closing boundary cut off.
    const size_t close = text.rfind("--");
    Seed("ReceivedMail", "cut-short", text.substr(0, close == std::string::npos ? text.size() / 2 : close - 4));
  }
  mail.attachments = nullptr;
  mail.plainBody = true;
  mail.body = Sjis("本文です\r\n.dot line\r\n");
  if (qv::EncodeStoredMail(mail, text) == 0) Seed("StoredMail", "plain", text);
  Seed("ReceivedMail", "sample",
       "Content-Type: Multipart/Mixed; boundary=\"b1\"\r\n\r\n--b1\r\nContent-Type: text/plain\r\n\r\nkeep\r\n"
       "--b1\r\nX-KmailDx-CPGFLG: ON\r\nContent-Type: image/bmp\r\n\r\nQk0=\r\n--b1--\r\n");
}

void TableSeeds() {
  qv::TCSVData table;
  const qv::MailIndexRow row = IndexRow(3, "件名, \"quoted\"");
  for (size_t c = 0; c < row.size(); ++c) table.SetCell(0, static_cast<int>(c), row[c]);
  table.SetCell(1, 0, "line\r\nbreak");
  table.SetCell(1, 1, "\x83\x5C");
  table.SetCell(1, 2, "");
  Seed("Csv", "index", table.GetText());

  std::ostringstream records;
  qv::AppendRecord(records, "Address.idx", "0,1,2\r\n");
  qv::AppendRecord(records, "banner.bmp", SmallBitmap(24));
  Seed("NamedRecord", "records", records.str());

  qv::TBannerData theme;
  theme.Name = Sjis("テーマ");
  theme.Interval = "0.5";
  theme.Balloon = Sjis("ようこそ");
  theme.Editable = true;
  theme.Bitmap = QImage(8, 100, QImage::Format_RGB32);
  theme.Bitmap.fill(Qt::blue);
  const fs::path file = fs::temp_directory_path() / "qvseed-theme.qvt";
  if (qv::SaveBannerIndex(file, theme)) Seed("Theme", "theme", ReadAll(file));
  fs::remove(file);

  Seed("SettingsFiles", "ini",
       Piece("[File]\r\nDllFile=Portvine.so\r\nMessageFile=Message.txt\r\n[Port]\r\nSerialPort=COM9\r\n"
             "[Environment]\r\nBackColor=$00FF8080\r\nPlaySound=1\r\n") +
           "I00101=" + Sjis("ポートが見つかりました") + "\r\nW01005=a<br>b\r\nE01130=x<BR>y\r\n");
}

void ExchangeSeeds() {
  std::vector<std::string> lines;
  std::vector<qv::HandsetItem> items = {qv::EncodeAddressField(0x0001, Sjis("佐藤花子")),
                                        qv::EncodeAddressField(0x0002, Sjis("ｻﾄｳﾊﾅｺ")),
                                        qv::EncodeAddressField(0x0003, "07011112222"),
                                        qv::EncodeAddressField(0x0004, "hanako@example.jp")};
  qv::BuildHandsetListFrames(lines, items, qv::HandsetRecordParity(0), false);
  qv::BuildHandsetListFrames(lines, {qv::EncodeAddressField(0x0001, "x")}, qv::HandsetRecordParity(1), true);
  std::string file;
  for (const auto& l : lines) file += l + "\r\n";
  Seed("Exchange", "phone-book", file);
  lines.clear();
  const std::string header = qv::EncodeRecordHeader("2024/05/06 07:08:09", 8, 1, 1, 0, 1, 3);
  qv::BuildHandsetFrames(lines, 0x0101, header, qv::StrToHex(qv::EncodeHandsetText(Sjis("履歴のメール"))),
                         qv::HandsetRecordParity(0), true);
  file.clear();
  for (const auto& l : lines) file += l + "\r\n";
  Seed("Exchange", "history", file);
  char digits[247 * 3 + 1];
  const uint8_t bytes[] = {0x41, 0x82, 0xA0, 0x0D, 0x0A, 0xFF};
  portvine::ddd::BintoStrDDD(bytes, sizeof bytes, digits);
  Seed("Ddd", "bytes", digits);
}

void LineSeeds() {
  // Mode byte, room, then what the far end sends.
  auto line = [](uint8_t mode, uint16_t room, const std::string& wire) {
    return std::string{static_cast<char>(mode), static_cast<char>(room & 0xFF), static_cast<char>(room >> 8)} + wire;
  };
  using namespace std::string_literals;
  Seed("CentreLine", "modem", line(0, 232, "\r\nOK\r\n\r\nCONNECT 64000\r\nRING\r\nNO CARRIER\r\nPAGING CONFIG 1:1\r\n"));
  Seed("CentreLine", "centre",
       line(0, 232, "SOCKET_25_CONNECTION\0READY_RECEIVE\0MAILLIST 2\0TURN\0MAIL\0NO_MORE\0SOCKET_25_DISCONNECTION\0"s));
  Seed("CentreLine", "body", line(1, 232, "From: a@example.jp\r\nSubject: s\r\n\r\nbody\r\n..dot\r\n.\r\n"));
  Seed("CentreLine", "long-body", line(3, 100, std::string(9000, 'x') + "\r\n.\r\n"));
  auto kwx = [](uint16_t room, const std::string& wire) {
    return std::string{static_cast<char>(room & 0xFF), static_cast<char>(room >> 8)} + wire;
  };
  Seed("KwxLine", "modem", kwx(232, "\r\nOK\r\nCONNECT 32000\r\nRING\r\nBUSY\r\nDELAYED\r\n"));
  Seed("KwxLine", "signup", kwx(232, "SOCKET_25_CONNECTION\0READY\0TURN\0MAIL\0SOCKET_25_DISCONNECTION\0"s));
}

void PictureSeeds() {
  for (int bits : {1, 4, 8, 24}) Seed("Bitmap", "bmp" + std::to_string(bits), std::string(1, '\0') + SmallBitmap(bits));
  for (int bits : {4, 8}) {
    // The encoder refuses a picture that RLE would not make smaller.
    try {
      qv::TQkDIB dib = LoadDib(SmallBitmap(bits));
      dib.SetPixelFormat(bits == 4 ? qv::qkpf4BitRLE : qv::qkpf8BitRLE);
      Seed("Bitmap", "rle" + std::to_string(bits), std::string(1, '\0') + SaveDib(dib));
    } catch (const std::exception&) {
    }
  }
  qv::TQkDIB dib = LoadDib(SmallBitmap(24));
  std::ostringstream jpeg;
  qv::SaveJPEGToStream(dib, jpeg, 75);
  Seed("Jpeg", "small", jpeg.str());
  Seed("StoredMail", "picture-lines",
       "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;SLIDE(3,3)=2;PLAIN(0,0);VOID\r\n"
       "X-KmailDX-Animation: PAGE=4;WAIT=500;LOOP=3000\r\n");
}

void SongSeeds() {
  const tcvtest::Bytes song = Song();
  const std::string smf(song.begin(), song.end());
  Seed("MidiScan", "song", smf);
  Seed("MidiConvert", "song", smf);
  tcv::Converter converter;
  converter.Initial();
  if (!converter.ScanSmf(song.data(), song.size())) std::abort();
  std::vector<uint8_t> ringtone(converter.RingtoneSize(song.data(), song.size()));
  converter.ConvertToRingtone(song.data(), song.size(), ringtone.data());
  Seed("Ringtone", "ringtone", std::string(ringtone.begin(), ringtone.end()));
}

void MailTextSeeds() {
  Seed("Markup", "decorated",
       std::string(1, '\x02') + "<BODY=FF0000;BG=000080;IMG=\"bg.bmp\">\r\n<C=00FF00>" + Sjis("色の文字") +
           "</C>\r\n<BL>blink</BL><#HEART><#NOSUCH><&2><IMG=\"p.bmp\";3>http://example.jp/ a@example.jp 0312345678\r\n"
           "<<literal <KEEP ME>\r\n①メニュー\r\n");
  std::string parts = qv::kmail::MakePart(qv::kmail::ttSingleChar, clRed, true, "a") +
                      qv::kmail::MakePart(qv::kmail::ttDoubleChar, clBlue, false, "\x82\xA0") +
                      qv::kmail::MakePart(qv::kmail::ttPictogram, clBlack, false, "HEART") +
                      qv::kmail::MakePart(qv::kmail::ttLineBreak, clBlack, false, "") +
                      qv::kmail::MakePart(qv::kmail::ttPicture, clBlack, false, "p.bmp;1");
  Seed("Clipboard", "parts", parts + std::string(1, '\0'));
  qv::MediaMixScript script;
  script.imageCount = 3;
  script.sound = true;
  script.events = {{0, 0, "start"}, {5, 1, Sjis("歌詞")}, {40, 2, ""}};
  Seed("MediaMix", "script", qv::FormatMediaMixText(script));
  Seed("SignupPage", "menu",
       "Content-Type: text/x-kmaildx\r\n\r\n" + Sjis("オンラインサインアップへようこそ") + "<#HEART>\r\n" +
           Sjis("①新規登録\r\n②登録内容の変更\r\n10⇒解約") + "\r\n");
  Seed("SignupPage", "input",
       "Content-Type: text/plain\r\nX-KMAILDX-INPUT: KANJI\r\nReply-To: signup@example.jp\r\n\r\n" +
           Sjis("お名前を入力して「決定」を押してください。") + "\r\n");
  Seed("SignupPage", "multipart",
       "Content-Type: multipart/mixed; boundary=\"sep\"\r\n\r\n--sep\r\nContent-Type: text/plain\r\n\r\nA\r\n--sep\r\n"
       "Content-Type: text/x-kmaildx\r\n\r\n<#STAR>B\r\n--sep--\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds <folder>\n";
    return 2;
  }
  g_out = argv[1];
  MailSeeds();
  TableSeeds();
  ExchangeSeeds();
  LineSeeds();
  PictureSeeds();
  SongSeeds();
  MailTextSeeds();
  return 0;
}
