#include "core/ui/QtText.h"

#include "controls/Graphics.h"
#include "core/data/MailForm.h"
#include "platform/Cp932.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace qv {
namespace {

constexpr char16_t kNoChar = 0xFFFF;  // not a character of its own in CP932's range

// The one character (BMP) the codec makes of a CP932 sequence, or kNoChar.
char16_t CodecChar(std::string_view bytes) {
  const QString one = QString::fromUtf8(QByteArray::fromStdString(cp932::ToUtf8(bytes)));
  return one.size() == 1 && one[0] != QChar::ReplacementCharacter && one[0].unicode() != kNoChar ? one[0].unicode()
                                                                                                   : kNoChar;
}

// What the codec makes of each single byte and each double-byte character,
// learnt from the codec itself, a lead byte's row when it is first met. Text
// with anything else goes through the codec whole, so both give the same.
class DecodeTable {
 public:
  DecodeTable() {
    for (int b = 0; b < 256; ++b)
      single_[static_cast<size_t>(b)] =
          cp932::IsLeadByte(static_cast<unsigned char>(b)) ? kNoChar : CodecChar(std::string(1, static_cast<char>(b)));
  }
  char16_t Single(unsigned char b) const { return single_[b]; }
  char16_t Pair(unsigned char lead, unsigned char trail) {
    const Row* row = rows_[lead].load(std::memory_order_acquire);
    if (!row) row = Learn(lead);
    return (*row)[trail];
  }

 private:
  using Row = std::array<char16_t, 256>;
  const Row* Learn(unsigned char lead) {
    std::lock_guard lock(mutex_);
    if (const Row* row = rows_[lead].load(std::memory_order_acquire)) return row;
    auto row = std::make_unique<Row>();
    row->fill(kNoChar);
    for (int trail = 0x40; trail <= 0xFC; ++trail)
      if (trail != 0x7F) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        (*row)[static_cast<size_t>(trail)] = CodecChar(std::string_view(pair, 2));
      }
    const Row* made = row.get();
    owned_.push_back(std::move(row));
    rows_[lead].store(made, std::memory_order_release);
    return made;
  }
  std::array<char16_t, 256> single_{};
  std::array<std::atomic<const Row*>, 256> rows_{};
  std::vector<std::unique_ptr<Row>> owned_;
  std::mutex mutex_;
};

DecodeTable& Table() {
  static DecodeTable table;
  return table;
}

}  // namespace

QString ToQString(std::string_view cp932) {
  // Lists show thousands of cells: a table lookup a character instead of a
  // codec call a cell.
  DecodeTable& table = Table();
  QString out(static_cast<qsizetype>(cp932.size()), Qt::Uninitialized);
  char16_t* to = reinterpret_cast<char16_t*>(out.data());
  qsizetype n = 0;
  bool whole = true;
  for (size_t i = 0; i < cp932.size() && whole;) {
    const auto b = static_cast<unsigned char>(cp932[i]);
    char16_t c = kNoChar;
    if (!cp932::IsLeadByte(b)) {
      c = table.Single(b);
      ++i;
    } else if (i + 1 < cp932.size()) {
      c = table.Pair(b, static_cast<unsigned char>(cp932[i + 1]));
      i += 2;
    }
    whole = c != kNoChar;
    to[n++] = c;
  }
  if (whole) {
    out.truncate(n);
    return out;
  }
  std::string utf8 = cp932::ToUtf8(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return cp932::FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

bool TryFromQString(const QString& text, std::string& out) {
  QByteArray utf8 = text.toUtf8();
  return cp932::TryFromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), out);
}

std::string ColorToHexRGB(TColor color) { return RGBToHexRGB(ColorToRGB(color)); }

}  // namespace qv
