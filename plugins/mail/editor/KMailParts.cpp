#include "plugins/mail/editor/KMailParts.h"

#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/Text.h"
#include "core/data/MailForm.h"
#include "core/ui/QtText.h"

#include <algorithm>

namespace qv::kmail {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Hex2(std::string_view s, size_t pos) { return HexValue(s[pos]) * 16 + HexValue(s[pos + 1]); }

// Type, attribute and colour of a new part; the colour text is made once per
// colour, since reading markup makes one part per character.
class PartHeads {
 public:
  const std::string& Head(int type, TColor color, bool blink) {
    if (color != color_ || rgb_.empty()) {
      color_ = color;
      rgb_ = ColorToHexRGB(color);
    }
    head_.clear();
    head_ += static_cast<char>('0' + type);
    head_ += blink ? '1' : '0';
    head_ += rgb_;
    return head_;
  }

 private:
  TColor color_ = 0;
  std::string rgb_;
  std::string head_;
};

bool AppendWithHead(std::string& out, const std::string& head, int type, std::string_view text) {
  if (type >= ttPictogram) {
    if (text.size() > kMaxPartText) return false;
    out += head;
    out += kHex[text.size() >> 4];
    out += kHex[text.size() & 15];
  } else {
    out += head;
  }
  out += text;
  return true;
}

int CharType(std::string_view ch) { return ch.size() == 2 ? ttDoubleChar : ttSingleChar; }

// The next character of markup: a double-byte character, CR with what follows
// it, or one byte.
size_t MarkupCharLength(std::string_view s, size_t i) {
  if (s[i] == '\r' && i + 1 < s.size()) return 2;
  return cp932::CharLength(s, i);
}

std::string Unquoted(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '"') out += c;
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Characters of mail and web addresses.
bool IsAddressChar(char c) {
  return (c >= '#' && c <= '\'') || c == '+' || (c >= '-' && c <= '9') || c == '=' || c == '?' ||
         (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') || c == '~';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a tag's text comes back as the same tag once written: a ">" of its
// own would end the tag early, a lead byte or CR at its end would take the
// closing ">" with it, and a kept tag written as "<<" would read as a literal "<".
bool WritableTagText(std::string_view text, bool kept) {
  if (kept && (text.empty() || text[0] == '<')) return false;
  for (size_t i = 0; i < text.size();) {
    const size_t n = MarkupCharLength(text, i);
    const std::string_view ch = text.substr(i, n);
    if (ch == ">" || ch == "\r\n") return false;
    if (n == 1 && (cp932::IsLeadByte(ch[0]) || ch[0] == '\r')) return false;
    i += n;
  }
  return true;
}

enum LinkKind : uint8_t { kNoLink = 0, kPhone = 1, kMailAddress = 2, kWebAddress = 3, kMenuLine = 4 };

void Mark(std::vector<uint8_t>& kinds, size_t from, size_t to, LinkKind kind) {
  for (size_t i = from; i < to; ++i) kinds[i] = kind;
}

// Marks menu lines: up to four digits then a circled number, or digits then "⇒".
void MarkMenuLines(std::string_view parts, const std::vector<size_t>& starts, std::vector<uint8_t>& kinds) {
  bool armed = true;
  int digits = 0;
  size_t digitStart = 0;
  auto markToLineEnd = [&](size_t from) {
    size_t k = from;
    while (k < starts.size() && PartType(parts, starts[k]) != ttLineBreak) kinds[k++] = kMenuLine;
  };
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t pos = starts[k];
    const int type = PartType(parts, pos);
    if (type == ttLineBreak) {
      armed = true;
      digits = 0;
      continue;
    }
    if (!armed) continue;
    const std::string_view text = PartText(parts, pos);
    if (type == ttSingleChar && IsDigit(text[0]) && digits < 4) {
      if (digits++ == 0) digitStart = k;
      continue;
    }
    armed = false;
    if (type != ttDoubleChar) continue;
    const int code = (static_cast<unsigned char>(text[0]) << 8) | static_cast<unsigned char>(text[1]);
    if (code >= 0x8740 && code <= 0x8753)
      markToLineEnd(k);
    else if (code == 0x81CB && digits > 0)  // "⇒"
      markToLineEnd(digitStart);
  }
}

void MarkClickLines(std::string& shadow, std::vector<uint8_t>& kinds) {
  const size_t n = shadow.size();
  for (size_t at = shadow.find('@'); at != std::string::npos; at = shadow.find('@', at + 1)) {
    size_t left = at;
    while (left > 0 && IsAddressChar(shadow[left - 1])) --left;
    size_t right = at + 1;
    while (right < n && IsAddressChar(shadow[right])) ++right;
    const std::string_view domain = std::string_view(shadow).substr(at + 1, right - at - 1);
    const size_t local = at - left;
    if (right - left <= 64 && local > 0 && domain.find('.') != std::string_view::npos) {
      Mark(kinds, left, right, kMailAddress);
    } else if (local == 0 && domain.size() <= 95 && domain.find('/') != std::string_view::npos &&
               !(at > 0 && (kinds[at - 1] == kMailAddress || kinds[at - 1] == kWebAddress))) {
      Mark(kinds, at, right, kWebAddress);
    } else {
      shadow[at] = ' ';
    }
  }
  static constexpr std::string_view kHttp = "http://";
  for (size_t pos = shadow.find(kHttp); pos != std::string::npos; pos = shadow.find(kHttp, pos + 1)) {
    if (pos > 0 && IsAddressChar(shadow[pos - 1])) continue;
    size_t right = pos + kHttp.size();
    while (right < n && IsAddressChar(shadow[right])) ++right;
    const size_t count = right - pos - kHttp.size();
    if (count >= 1 && count <= 89) Mark(kinds, pos, right, kWebAddress);
  }
  static constexpr std::string_view kTel = "TEL:";
  for (size_t pos = shadow.find(kTel); pos != std::string::npos; pos = shadow.find(kTel, pos + 1)) {
    const size_t from = pos + kTel.size();
    size_t right = from;
    size_t digits = 0;
    while (right < n && (IsDigit(shadow[right]) || shadow[right] == '#' || shadow[right] == '*' || shadow[right] == '-')) {
      if (shadow[right] != '-') ++digits;
      ++right;
    }
    if (digits >= 1 && digits <= 32) Mark(kinds, from, right, kPhone);
  }
  for (size_t i = 0; i < n; ++i) {
    if (shadow[i] != '0' || (i > 0 && (IsDigit(shadow[i - 1]) || shadow[i - 1] == '-'))) continue;
    size_t right = i;
    size_t digits = 0;
    while (right < n && (IsDigit(shadow[right]) || shadow[right] == '-')) {
      if (shadow[right] != '-') ++digits;
      ++right;
    }
    if (digits >= 10 && digits <= 32) Mark(kinds, i, right, kPhone);
  }
}

// The one well-formed part at data[pos], or 0.
// A background picture's name is written in quotes in the BODY tag, after
// both colours: the whole tag must fit a tag's length and read back as one.
bool WritableBackgroundName(std::string_view name) {
  const std::string tag = "BODY=000000;BG=000000;IMG=\"" + std::string(name) + "\"";
  return name.find(';') == std::string_view::npos && tag.size() < kMaxPartText && WritableTagText(tag, false);
}

size_t ValidPartLength(std::string_view data, size_t pos) {
  const size_t left = data.size() - pos;
  if (left < kPartHead) return 0;
  const char type = data[pos];
  if (type < '0' || type > '6') return 0;
  if (data[pos + 1] < '0' || data[pos + 1] > '3') return 0;
  for (size_t i = 2; i < kPartHead; ++i)
    if (HexValue(data[pos + i]) < 0) return 0;
  switch (type) {
    case '0':
      return kPartHead;
    case '1': {
      if (left < kPartHead + 1) return 0;
      const char c = data[pos + kPartHead];
      // A lead byte alone would swallow the next character once written out.
      if (cp932::IsLeadByte(c) || c == '\r') return 0;
      return kPartHead + 1;
    }
    case '2': {
      if (left < kPartHead + 2) return 0;
      const char lead = data[pos + kPartHead];
      const char trail = data[pos + kPartHead + 1];
      // A double-byte character, whose trail byte is one the text reads back
      // as such, or a CR that is no line break.
      if (!((cp932::IsLeadByte(lead) && cp932::IsTrailByte(trail)) || (lead == '\r' && trail != '\n'))) return 0;
      return kPartHead + 2;
    }
    default: {
      if (left < kPartHead + 2) return 0;
      if (HexValue(data[pos + kPartHead]) < 0 || HexValue(data[pos + kPartHead + 1]) < 0) return 0;
      const size_t length = static_cast<size_t>(Hex2(data, pos + kPartHead));
      if (left < kPartHead + 2 + length) return 0;
      // The text must come back as the same tag once written as markup.
      if (!WritableTagText(data.substr(pos + kPartHead + 2, length), type == '6')) return 0;
      return kPartHead + 2 + length;
    }
  }
}

}  // namespace

int PartAttr(std::string_view s, size_t pos) { return HexValue(s[pos + 1]); }

TColor PartColor(std::string_view s, size_t pos) {
  return RGB(Hex2(s, pos + 2), Hex2(s, pos + 4), Hex2(s, pos + 6));
}

size_t PartLength(std::string_view s, size_t pos) {
  switch (s[pos]) {
    case '0':
      return kPartHead;
    case '1':
      return kPartHead + 1;
    case '2':
      return kPartHead + 2;
    default:
      return kPartHead + 2 + static_cast<size_t>(Hex2(s, pos + kPartHead));
  }
}

std::string_view PartText(std::string_view s, size_t pos) {
  switch (s[pos]) {
    case '0':
      return {};
    case '1':
      return s.substr(pos + kPartHead, 1);
    case '2':
      return s.substr(pos + kPartHead, 2);
    default:
      return s.substr(pos + kPartHead + 2, static_cast<size_t>(Hex2(s, pos + kPartHead)));
  }
}

bool IsTabPart(std::string_view s, size_t pos) { return s[pos] == '1' && s[pos + kPartHead] == '\t'; }

bool AppendPart(std::string& out, int type, TColor color, bool blink, std::string_view text) {
  if (type == ttSingleChar || type == ttDoubleChar) type = CharType(text);
  PartHeads heads;
  return AppendWithHead(out, heads.Head(type, color, blink), type, type == ttLineBreak ? std::string_view() : text);
}

std::string MakePart(int type, TColor color, bool blink, std::string_view text) {
  std::string out;
  AppendPart(out, type, color, blink, text);
  return out;
}

void SetPartAttr(std::string& s, size_t pos, int attr) { s[pos + 1] = kHex[attr & 3]; }

void SetPartColor(std::string& s, size_t pos, TColor color) {
  const std::string rgb = ColorToHexRGB(color);
  s.replace(pos + 2, 6, rgb);
}

size_t CountParts(std::string_view parts) {
  size_t count = 0;
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) ++count;
  return count;
}

PicTextList BuiltInPicTextList() {
  static const char* const kNames[] = {
      "HEART",   "CLOCK",    "TELEPHONE", "CUP",      "STAR",    "VSEL",     "HSEL",   "DENPA",     "FINE",
      "RAIN",    "CLOUD",    "TEAR",      "SMILE",    "KISS",    "MELODY",   "CAR",    "TRAIN",     "PLANE",
      "BIKE",    "HOME",     "BUIL",      "PEACE",    "DINNER",  "GLASS",    "CRY",    "TULIP",     "BASEBALL",
      "BALL",    "PUNCH",    "THUNDER",   "ANGRY",    "BEER",    "NOTE",     "PEN",    "DOKURO",    "MAIL",
      "NOSMOKING", "BELL",   "FLOWER",    "SPA",      "MOON",    "FLAG",     "MASK",   "RECORD",    "MEAT",
      "DOG",     "CAT",      "MONKEY",    "ELEPHANT", "TAKO",    "NOODLE",   "MIC",    "PIKI",      "PIYOPIYO",
      "SLEEP",   "COFFEE",   "TABACCO",   "AUAU",     "ONIGIRI", "BAG",      "UNCHI",  "TIE",       "SHIRT",
      "SUIKA",   "ICE",      "BIKINI",    "HASAMI",   "CHUSHA",  "MARINE",   "FROG",   "BYEBYE",    "BHEART",
      "DIA",     "CLUBS",    "SPADE"};
  PicTextList list;
  list.reserve(std::size(kNames));
  for (const char* name : kNames) list.push_back(std::string(name) + "=");
  return list;
}

std::string_view PicTextName(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(0, eq);
}

int PictogramIndex(const PicTextList& list, std::string_view name) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].find('=') != std::string::npos && PicTextName(list[i]) == name) return static_cast<int>(i);
  }
  return -1;
}

std::string PictogramCode(const PicTextList& list, std::string_view name) {
  for (const std::string& line : list) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || !SameTextNoCase(std::string_view(line).substr(0, eq), name)) continue;
    if (std::string_view(line).substr(0, eq) != name) return {};
    return line.substr(eq + 1);
  }
  return {};
}

int UserCharIndex(std::string_view text) { return NumberOrZero(text); }

std::string PictureFileName(std::string_view text) { return Unquoted(text.substr(0, text.find(';'))); }

int PicturePage(std::string_view text) {
  const size_t semi = text.find(';');
  if (semi == std::string_view::npos) return 1;
  const int page = NumberOrZero(TrimText(text.substr(semi + 1)));
  return page >= 1 && page <= 6 ? page : 1;
}

std::string ReadMarkup(std::string_view markup, TColor c, bool b, MarkupContext& ctx) {
  std::string out;
  out.reserve(markup.size() * 10);
  PartHeads heads;
  bool inTag = false;
  bool cutting = false;
  std::string body;
  int closed = 0;   // tags closed since the last line break emitted
  int content = 0;  // content parts emitted since then
  auto emitChar = [&](std::string_view ch) {
    const int type = CharType(ch);
    AppendWithHead(out, heads.Head(type, c, b), type, ch);
    ++content;
  };
  auto emitTag = [&](int type, std::string_view text) {
    if (type == ttLineBreak || WritableTagText(text, false))
      AppendWithHead(out, heads.Head(type, c, b), type, text);
  };
  // A kept tag is written back as it came, so a line that holds one keeps
  // its break like a line of text.
  auto emitKept = [&](std::string_view text) {
    if (!WritableTagText(text, true)) return;
    AppendWithHead(out, heads.Head(ttKeptTag, c, b), ttKeptTag, text);
    ++content;
  };

  auto closeTag = [&](std::string_view tag) {
    if (tag.empty()) return;
    if (tag == "CM" || tag == "/CM") {
      if (ctx.cmCut)
        cutting = tag == "CM";
      else if (!cutting)
        emitKept(tag);
      return;
    }
    if (cutting) return;
    if (tag[0] == '#') {
      emitTag(ttPictogram, tag.substr(1));
      ++content;
    } else if (tag[0] == '?') {
      const std::string_view number = tag.substr(1);
      const int index = UserCharIndex(number);
      if (!ctx.deleteVoidTag || (ctx.userCharCount >= 0 && index >= 0 && index < ctx.userCharCount)) {
        emitTag(ttUserChar, number);
        ++content;
      }
    } else if (StartsWith(tag, "IMG=")) {
      const std::string_view rest = tag.substr(4);
      const bool has = ctx.hasPicture && ctx.hasPicture(PictureFileName(rest));
      if (has || !ctx.deleteVoidTag) {
        emitTag(ttPicture, rest);
        ++content;
      }
    } else if (SameTextNoCase(tag.substr(0, 5), "BODY=")) {
      size_t from = 0;
      while (from <= tag.size()) {
        size_t semi = tag.find(';', from);
        if (semi == std::string_view::npos) semi = tag.size();
        const std::string_view pair = tag.substr(from, semi - from);
        const size_t eq = pair.find('=');
        const std::string name = TrimText(pair.substr(0, eq == std::string_view::npos ? pair.size() : eq));
        const std::string value = eq == std::string_view::npos ? std::string() : TrimText(pair.substr(eq + 1));
        if (SameTextNoCase(name, "BODY")) {
          ctx.fontColor = HexRGBToColor(value, ctx.fontColor);
          c = ctx.fontColor;
        } else if (SameTextNoCase(name, "BG")) {
          ctx.color = HexRGBToColor(value, ctx.color);
        } else if (SameTextNoCase(name, "IMG")) {
          // Only a name that the BODY tag can give back once written.
          std::string image = Unquoted(value);
          if (WritableBackgroundName(image)) ctx.bgImage = std::move(image);
        }
        from = semi + 1;
      }
    } else if (StartsWith(tag, "C=")) {
      c = HexRGBToColor(TrimText(tag.substr(2)), ctx.fontColor);
    } else if (tag == "/C") {
      c = ctx.fontColor;
    } else if (tag == "BL") {
      b = true;
    } else if (tag == "/BL") {
      b = false;
    } else {
      bool del = ctx.deleteVoidTag;
      if (ctx.unknownTag) ctx.unknownTag(tag, del);
      if (!del) emitKept(tag);
    }
  };

  for (size_t i = 0; i < markup.size();) {
    const size_t len = MarkupCharLength(markup, i);
    const std::string_view ch = markup.substr(i, len);
    i += len;
    // A lead byte or CR cut off at the very end is no character, nor is a
    // lead byte without a trail byte in the text (inside a tag it makes the
    // tag one that cannot be written back, which drops it).
    if (i == markup.size() && len == 1 && (cp932::IsLeadByte(ch[0]) || ch[0] == '\r')) break;
    if (!inTag && len == 1 && cp932::IsLeadByte(ch[0])) continue;
    const bool lineEnd = ch == "\r\n";
    if (!inTag) {
      if (ch == "<") {
        inTag = true;
        body.clear();
      } else if (cutting) {
        continue;
      } else if (lineEnd) {
        // A line of tags alone, and the empty lines after it, give no break
        // until content or a break comes.
        if (closed == 0 || content > 0) {
          emitTag(ttLineBreak, {});
          closed = content = 0;
        }
      } else {
        emitChar(ch);
      }
      continue;
    }
    if (ch == "<" && body.empty()) {
      if (!cutting) emitChar(ch);
      inTag = false;
    } else if (ch == ">") {
      inTag = false;
      ++closed;
      closeTag(TrimText(body));
    } else if (lineEnd) {
      continue;
    } else if (body.size() + ch.size() < kMaxPartText) {
      body += ch;
    } else {
      // Too long for a tag: it is abandoned and this character stays as text
      // (a lead byte without its trail byte is no character, as outside a tag).
      if (!cutting && !(len == 1 && cp932::IsLeadByte(ch[0]))) emitChar(ch);
      inTag = false;
    }
  }
  return out;
}

std::string WriteMarkup(std::string_view parts, TColor fontColor, TColor color, std::string_view bgImage) {
  std::string out;
  out.reserve(parts.size() / 4 + 64);
  if (fontColor != clBlack || color != clWhite || !bgImage.empty()) {
    out += "<BODY=" + ColorToHexRGB(fontColor);
    if (color != clWhite) out += ";BG=" + ColorToHexRGB(color);
    if (!bgImage.empty()) {
      out += ";IMG=\"";
      out += bgImage;
      out += '"';
    }
    out += ">\r\n";
  }
  TColor p = fontColor;
  bool q = false;
  bool lineHasContent = false;
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) {
    // The break of an empty line takes no colour or blink tags: they wait for
    // the next content, since a line of tags alone reads back without its break.
    const bool lineBreak = PartType(parts, i) == ttLineBreak;
    if (lineBreak && !lineHasContent) {
      out += "\r\n";
      continue;
    }
    lineHasContent = !lineBreak;
    const TColor c = PartColor(parts, i);
    const bool b = PartBlinks(parts, i);
    if (c != p && c == fontColor) out += "</C>";
    if (b != q) out += b ? "<BL>" : "</BL>";
    if (c != p && c != fontColor) out += "<C=" + ColorToHexRGB(c) + ">";
    p = c;
    q = b;
    const std::string_view text = PartText(parts, i);
    switch (PartType(parts, i)) {
      case ttLineBreak:
        out += "\r\n";
        break;
      case ttSingleChar:
        out += text == "<" ? std::string_view("<<") : text;
        break;
      case ttDoubleChar:
        out += text;
        break;
      case ttPictogram:
        out += "<#";
        out += text;
        out += '>';
        break;
      case ttUserChar:
        out += "<?";
        out += text;
        out += '>';
        break;
      case ttPicture:
        out += "<IMG=";
        out += text;
        out += '>';
        break;
      default:
        out += '<';
        out += text;
        out += '>';
        break;
    }
  }
  if (p != fontColor) out += "</C>";
  if (q) out += "</BL>";
  return out;
}

std::string PlainToParts(std::string_view text, TColor c, bool b, const PicTextList& picText) {
  std::string out;
  out.reserve(text.size() * 10);
  PartHeads heads;
  for (size_t i = 0; i < text.size();) {
    const size_t len = cp932::CharLength(text, i);
    const std::string_view ch = text.substr(i, len);
    i += len;
    if (len == 1 && cp932::IsLeadByte(ch[0])) {
      continue;  // no trail byte after it (cut off at the end, or damaged)
    } else if (ch == "\r") {
      AppendWithHead(out, heads.Head(ttLineBreak, c, b), ttLineBreak, {});
    } else if (ch == "\n") {
      continue;
    } else if (len == 2 && static_cast<unsigned char>(ch[0]) == 0xF0) {
      for (const std::string& line : picText) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || std::string_view(line).substr(eq + 1) != ch) continue;
        // A name too long for a part, or that no tag could hold, makes none.
        const std::string_view name = std::string_view(line).substr(0, eq);
        if (name.find_first_of(">\r\n") == std::string_view::npos && WritableTagText(name, false))
          AppendWithHead(out, heads.Head(ttPictogram, c, b), ttPictogram, name);
        break;
      }
    } else {
      const int type = CharType(ch);
      AppendWithHead(out, heads.Head(type, c, b), type, ch);
    }
  }
  return out;
}

std::string PartsToPlain(std::string_view parts, const PicTextList& picText) {
  std::string out;
  out.reserve(parts.size() / 8);
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) {
    switch (PartType(parts, i)) {
      case ttLineBreak:
        out += "\r\n";
        break;
      case ttSingleChar:
      case ttDoubleChar:
        out += PartText(parts, i);
        break;
      case ttPictogram:
        out += PictogramCode(picText, PartText(parts, i));
        break;
      default:
        break;
    }
  }
  return out;
}

bool PartsArePlain(std::string_view parts) {
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) {
    if (PartType(parts, i) > ttDoubleChar || PartBlinks(parts, i) || PartColor(parts, i) != clBlack) return false;
  }
  return true;
}

void DetectLinks(std::string& parts, bool menuLines, bool clickLines) {
  std::vector<size_t> starts;
  std::string shadow;
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) {
    starts.push_back(i);
    shadow += PartType(parts, i) == ttSingleChar ? parts[i + kPartHead] : ' ';
  }
  std::vector<uint8_t> kinds(starts.size(), kNoLink);
  if (menuLines) MarkMenuLines(parts, starts, kinds);
  if (clickLines) MarkClickLines(shadow, kinds);
  for (size_t k = 0; k < starts.size(); ++k) {
    const int attr = PartAttr(parts, starts[k]);
    const int want = kinds[k] != kNoLink ? (attr | kAttrClickable) : (attr & ~kAttrClickable);
    if (want != attr) SetPartAttr(parts, starts[k], want);
  }
}

std::string_view ValidPartsPrefix(std::string_view data) {
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t length = ValidPartLength(data, pos);
    if (length == 0) break;
    pos += length;
  }
  return data.substr(0, pos);
}

}  // namespace qv::kmail
