// Decorated-mail markup: read into parts that are all whole, written back
// as markup that reads into the same parts, and written the same again; text
// in changing colours written and read back with every line break.
#include "FuzzSupport.h"
#include "plugins/mail/editor/KMailParts.h"

using namespace qv;
using namespace qv::kmail;

namespace {
const PicTextList& PicText() {
  static const PicTextList list = BuiltInPicTextList();
  return list;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const uint8_t flags = input.Byte();
  const std::string_view markup = input.Rest();
  MarkupContext ctx;
  ctx.cmCut = flags & 1;
  ctx.deleteVoidTag = flags & 2;
  ctx.userCharCount = (flags & 4) ? 3 : -1;
  ctx.hasPicture = [](std::string_view name) { return name.size() % 2 == 0; };
  const std::string parts = ReadMarkup(markup, clBlack, flags & 8, ctx);
  QV_FUZZ_ROUND_TRIP(ValidPartsPrefix(parts) == parts);
  const std::string written = WriteMarkup(parts, ctx.fontColor, ctx.color, ctx.bgImage);
  MarkupContext ctx2;
  ctx2.cmCut = ctx.cmCut;
  ctx2.deleteVoidTag = ctx.deleteVoidTag;
  ctx2.userCharCount = ctx.userCharCount;
  ctx2.hasPicture = ctx.hasPicture;
  // Written markup starts not blinking, so it is read back from there.
  const std::string again = ReadMarkup(written, clBlack, false, ctx2);
  QV_FUZZ_ROUND_TRIP(ValidPartsPrefix(again) == again);
  const std::string second = WriteMarkup(again, ctx2.fontColor, ctx2.color, ctx2.bgImage);
  MarkupContext ctx3 = ctx2;
  // Empty lines at the very start read back as nothing after a BODY line (a
  // limit of the format).
  const bool bodyThenEmptyLine =
      second.rfind("<BODY=", 0) == 0 && !again.empty() && PartType(again, 0) == ttLineBreak;
  QV_FUZZ_ROUND_TRIP(bodyThenEmptyLine ||
                     WriteMarkup(ReadMarkup(second, clBlack, false, ctx3), ctx3.fontColor, ctx3.color, ctx3.bgImage) ==
                second);
  // Text in changing colours and blink, pieces split at 0x01 whose first byte
  // sets the look: every line break reads back, empty lines included.
  std::string mixed;
  for (std::string_view piece : qvfuzz::Input::Split(markup, "\x01")) {
    const uint8_t look = piece.empty() ? 0 : static_cast<uint8_t>(piece[0]);
    if (!piece.empty()) piece.remove_prefix(1);
    mixed += PlainToParts(piece, (look & 1) ? TColor(0x0000FF) : clBlack, look & 2, PicText());
  }
  MarkupContext ctx4;
  const std::string mixedAgain = ReadMarkup(WriteMarkup(mixed, clBlack, clWhite, ""), clBlack, false, ctx4);
  QV_FUZZ_ROUND_TRIP(PartsToPlain(mixedAgain, PicText()) == PartsToPlain(mixed, PicText()));
  // Plain text both ways, and the links found in the parts.
  std::string linked = again;
  DetectLinks(linked, flags & 16, flags & 32);
  QV_FUZZ_ROUND_TRIP(ValidPartsPrefix(linked) == linked);
  const std::string plain = PartsToPlain(again, PicText());
  const std::string fromPlain = PlainToParts(markup, clBlack, false, PicText());
  QV_FUZZ_ROUND_TRIP(ValidPartsPrefix(fromPlain) == fromPlain);
  QV_FUZZ_ROUND_TRIP(PartsArePlain(PlainToParts(plain, clBlack, false, PicText())) || !plain.empty());
  return 0;
}
