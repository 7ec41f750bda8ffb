#include "image/QkDIB.h"

#include "platform/FileUtil.h"

#include <algorithm>
#include <sstream>

namespace qv {
namespace {

bool g_defaultUseFMO = true;

const char* FormatName(TQkPixelFormat f) {
  switch (f) {
    case qkpf1Bit: return "1Bit";
    case qkpf4Bit: return "4Bit";
    case qkpf4BitRLE: return "4BitRLE";
    case qkpf8Bit: return "8Bit";
    case qkpf8BitRLE: return "8BitRLE";
    case qkpf24Bit: return "24Bit";
    default: return "Halftone";
  }
}

// The uncompressed format a packed one unpacks to.
TQkPixelFormat Unpacked(TQkPixelFormat f) {
  return f == qkpf4BitRLE ? qkpf4Bit : f == qkpf8BitRLE ? qkpf8Bit : f;
}

int Depth(TQkPixelFormat f) {
  switch (Unpacked(f)) {
    case qkpf1Bit: return 1;
    case qkpf4Bit: return 4;
    case qkpf8Bit: return 8;
    default: return 24;
  }
}

TQkPalette SharedPalette(const std::vector<TQkRGBQuad>& colors) {
  std::vector<TQkPaletteEntry> entries;
  for (const TQkRGBQuad& c : colors) entries.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
  return MakePalette(std::move(entries));
}

const TQkPalette& HalftonePalette() {
  static const TQkPalette palette =
      SharedPalette(std::vector<TQkRGBQuad>(HalftoneColors().begin(), HalftoneColors().end()));
  return palette;
}

const TQkPalette& BlackAndWhitePalette() {
  static const TQkPalette palette = SharedPalette({{0, 0, 0, 0}, {255, 255, 255, 0}});
  return palette;
}

}  // namespace

TQkPalette MakePalette(std::vector<TQkPaletteEntry> entries) {
  return std::make_shared<const std::vector<TQkPaletteEntry>>(std::move(entries));
}

bool DefaultUseFMO() { return g_defaultUseFMO; }
void SetDefaultUseFMO(bool value) { g_defaultUseFMO = value; }

// ---- TQkGraphic -----------------------------------------------------------

void TQkGraphic::SetModified(bool value) {
  if (value)
    Changed();
  else
    modified_ = false;
}

void TQkGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(*this);
}

void TQkGraphic::Progress(TProgressStage stage, uint8_t percentDone, bool redrawNow, const TQkRect& r,
                          const std::string& msg) {
  if (OnProgress) OnProgress(*this, stage, percentDone, redrawNow, r, msg);
}

void TQkGraphic::LoadFromFile(const std::filesystem::path& path) {
  // Read whole first: what is no file (a FIFO, a device) is refused unread.
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) throw EFOpenError("Cannot open file \"" + path.string() + "\"");
  std::istringstream in(std::move(bytes));
  LoadFromStream(in);
}

void TQkGraphic::SaveToFile(const std::filesystem::path& path) const {
  std::ostringstream out(std::ios::binary);
  SaveToStream(out);
  if (!WriteFileAtomically(path, out.str())) throw EFCreateError("Cannot create file \"" + path.string() + "\"");
}

// ---- TQkInternalDIB -------------------------------------------------------

TQkInternalDIB::TQkInternalDIB(bool useFMO) : UseFMO(useFMO) {
  CreateDIB(1, 1, 256, 8);
}

void TQkInternalDIB::CreateDIB(int32_t width, int32_t height, int32_t clrUsed, int bitCount) {
  Image = CreateDIBImage(width, height, clrUsed, bitCount, UseFMO);
  Width = width;
  Height = Image.Rows();
  Palette.reset();
  PaletteModified = true;
}

void TQkInternalDIB::FreeDIB() {
  Image.Memory.ReleaseMemory();
  Palette.reset();
}

void TQkInternalDIB::UpdatePalette() {
  Palette.reset();
  PaletteModified = true;
}

void TQkInternalDIB::TakeImage(TQkDIBImage&& image) {
  Image = std::move(image);
  Width = Image.Width();
  Height = Image.Rows();
  UpdatePalette();
}

TQkPixelFormat TQkInternalDIB::GetPixelFormat() const {
  const uint32_t c = Image.Header.biCompression;
  switch (Image.Header.biBitCount) {
    case 1:
      if (c == kBiRgb) return qkpf1Bit;
      throw EQkDIBInvalidDIB("TQkInternalDIB.GetPixelFormat: Invalid DIB(1Bit)");
    case 4:
      if (c == kBiRgb) return qkpf4Bit;
      if (c == kBiRle4) return qkpf4BitRLE;
      throw EQkDIBInvalidDIB("TQkInternalDIB.GetPixelFormat: Invalid DIB(4Bit)");
    case 8:
      if (c == kBiRgb) return qkpf8Bit;
      if (c == kBiRle8) return qkpf8BitRLE;
      throw EQkDIBInvalidDIB("TQkInternalDIB.GetPixelFormat: Invalid DIB(8Bit)");
    case 24:
      if (c == kBiRgb) return qkpf24Bit;
      throw EQkDIBInvalidDIB("TQkInternalDIB.GetPixelFormat: Invalid DIB(24Bit)");
    default:
      throw EQkDIBInvalidDIB("TQkInternalDIB.GetPixelFormat: Invalid DIB(Illegal BitCount)");
  }
}

void TQkInternalDIB::SetPixelsFormat(TQkPixelFormat target, uint8_t convertMode, const TQkProgressStep& step,
                                     uint32_t maskRGB) {
  static const char* const kRoutingError = "TQkIntenalDIB.SetPixelsFormat: PixelFormat Error";
  const TQkPixelFormat from = GetPixelFormat();
  if (target == from) throw EAssertionFailed(kRoutingError);
  const bool fmo = UseFMO;
  using Step = TQkDIBImage (*)(const TQkDIBImage&, bool);
  // A chain runs left to right; each intermediate image goes as soon as the
  // next one is made.
  TQkDIBImage current;
  const TQkDIBImage* in = &Image;
  auto run = [&](auto&& convert) {
    TQkDIBImage next = convert(*in);
    current = std::move(next);
    in = &current;
  };
  auto plain = [&](Step s) { run([&](const TQkDIBImage& i) { return s(i, fmo); }); };

  if (from == qkpf4BitRLE) plain(Convert4BitRLETo4BitRGB);
  if (from == qkpf8BitRLE) plain(Convert8BitRLETo8BitRGB);

  if (target == qkpfHalftone || target == qkpfHalftoneBW) {
    plain(target == qkpfHalftone ? ConvertToHalfTone : ConvertToHalfToneBW);
  } else {
    const int a = Depth(from), b = Depth(target);
    if (a == 1 && b == 4) plain(Convert1BitRGBTo4BitRGB);
    if (a == 1 && b == 8) plain(Convert1BitRGBTo8BitRGB);
    if (a == 4 && b == 8) plain(Convert4BitRGBTo8BitRGB);
    if (a == 1 && b == 24) plain(Convert1BitRGBToTrueColor);
    if (a == 4 && b == 24) plain(Convert4BitRGBToTrueColor);
    if (a == 8 && b == 24) plain(Convert8BitRGBToTrueColor);
    if (b == 1 && a > 1) {
      auto mask = a == 4 ? Convert4BitRGBTo1BitRGB : a == 8 ? Convert8BitTo1BitRGB : ConvertTrueColorTo1BitRGB;
      run([&](const TQkDIBImage& i) { return mask(i, fmo, maskRGB); });
    }
    if (a == 8 && b == 4) run([&](const TQkDIBImage& i) { return Convert8BitRGBTo4BitRGB(i, fmo, step); });
    if (a == 24 && (b == 4 || b == 8)) {
      using Reduce = TQkDIBImage (*)(const TQkDIBImage&, bool, const TQkProgressStep&);
      Reduce reduce = nullptr;
      if (convertMode == 0) reduce = b == 8 ? ConvertTrueColorTo8BitRGBLow : ConvertTrueColorTo4BitRGBLow;
      if (convertMode == 1) reduce = b == 8 ? ConvertTrueColorTo8BitRGBHigh : ConvertTrueColorTo4BitRGBHigh;
      if (!reduce) throw EAssertionFailed(kRoutingError);
      run([&](const TQkDIBImage& i) { return reduce(i, fmo, step); });
    }
    if (target == qkpf4BitRLE) plain(Convert4BitRGBTo4BitRLE);
    if (target == qkpf8BitRLE) plain(Convert8BitRGBTo8BitRLE);
  }
  TakeImage(std::move(current));
}

TQkPalette TQkInternalDIB::GetPaletteFromDIBInfos() const {
  const uint32_t n = std::min<uint32_t>(Image.Header.biClrUsed, 256);
  std::vector<TQkPaletteEntry> entries;
  entries.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    const TQkRGBQuad& c = Image.ColorTable[i];
    entries.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
  }
  return MakePalette(std::move(entries));
}

// ---- TQkDIB ---------------------------------------------------------------

TQkDIB::TQkDIB() : internal_(std::make_shared<TQkInternalDIB>(DefaultUseFMO())) { UpdatePaletteModified(); }

TQkDIB::TQkDIB(const TQkDIB& other)
    : TQkGraphic(other),
      internal_(other.internal_),
      convertMode_(other.convertMode_),
      maskColor_(other.maskColor_),
      halftoneMode_(other.halftoneMode_) {}

TQkDIB& TQkDIB::operator=(const TQkDIB& other) {
  Assign(other);
  return *this;
}

TQkDIB::~TQkDIB() { ReleaseInternalDIB(); }

TQkInternalDIB& TQkDIB::Storage() const {
  if (!internal_) throw EAssertionFailed("TQkDIB: InternalDIB is nil");
  return *internal_;
}

void TQkDIB::ReleaseInternalDIB() { internal_.reset(); }

void TQkDIB::TakeInternalDIB(std::shared_ptr<TQkInternalDIB> storage) {
  ReleaseInternalDIB();
  internal_ = std::move(storage);
}

std::shared_ptr<TQkInternalDIB> TQkDIB::NewStorage() const {
  return std::make_shared<TQkInternalDIB>(Storage().UseFMO);
}

void TQkDIB::Assign(std::nullptr_t) {
  TakeInternalDIB(NewStorage());
  UpdatePaletteModified();
  SetModified(true);
}

void TQkDIB::Assign(const TQkDIB& source) {
  if (&source == this) return;
  source.Storage();
  TakeInternalDIB(source.internal_);
  maskColor_ = source.maskColor_;
  convertMode_ = source.convertMode_;
  halftoneMode_ = source.halftoneMode_;
  SetPaletteModified(true);
  SetModified(true);
}

int32_t TQkDIB::GetWidth() const { return Storage().Width; }
int32_t TQkDIB::GetHeight() const { return Storage().Height; }
int TQkDIB::GetBitCount() const { return Storage().Image.Header.biBitCount; }
bool TQkDIB::GetUseFMO() const { return Storage().UseFMO; }
TQkPixelFormat TQkDIB::GetPixelFormat() const { return Storage().GetPixelFormat(); }

const TQkBitmapInfoHeader& TQkDIB::Header() const { return Storage().Image.Header; }
const TQkRGBQuad* TQkDIB::ColorTable() const { return Storage().Image.ColorTable.data(); }
const uint8_t* TQkDIB::Bits() const { return Storage().Image.Bits(); }
uint32_t TQkDIB::BitsSize() const { return Storage().Image.BitsSize; }

void TQkDIB::Resize(int32_t width, int32_t height, int bitCount) {
  const TQkInternalDIB& old = Storage();
  const int32_t colors = bitCount == old.Image.Header.biBitCount
                             ? static_cast<int32_t>(old.Image.Header.biClrUsed)
                             : (bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0);
  auto fresh = NewStorage();
  fresh->CreateDIB(width, height, colors, bitCount);
  TakeInternalDIB(std::move(fresh));
  UpdatePaletteModified();
  SetModified(true);
}

void TQkDIB::SetWidth(int32_t value) {
  if (value <= 0) throw EQkDIBInvalidDIBPara("TQkDIB.SetWidth: Invalid Width");
  if (value == GetWidth()) return;
  Resize(value, Header().biHeight, GetBitCount());
}

void TQkDIB::SetHeight(int32_t value) {
  if (value == 0) throw EQkDIBInvalidDIBPara("TQkDIB.SetHeight: Invalid Height");
  if (value == GetHeight()) return;
  Resize(GetWidth(), value, GetBitCount());
}

void TQkDIB::SetBitCount(int value) {
  if (value != 1 && value != 4 && value != 8 && value != 24)
    throw EQkDIBInvalidDIBPara("TQkDIB.SetBitCount: Invalid BitCount");
  if (value == GetBitCount()) return;
  Resize(GetWidth(), Header().biHeight, value);
}

void TQkDIB::UniqueDIB() {
  TQkInternalDIB& shared = Storage();
  if (internal_.use_count() == 1) return;
  auto fresh = std::make_shared<TQkInternalDIB>(shared.UseFMO);
  fresh->Image = shared.Image.Clone(shared.UseFMO);
  fresh->Width = shared.Width;
  fresh->Height = shared.Height;
  TakeInternalDIB(std::move(fresh));
  UpdatePaletteModified();
}

void TQkDIB::UpdatePaletteModified() {
  TQkInternalDIB& st = Storage();
  if (internal_.use_count() != 1) throw EAssertionFailed("TQkDIB.UpdatePaletteModified RefCount Must be 1");
  if (st.PaletteModified) {
    st.PaletteModified = false;
    SetPaletteModified(true);
  }
}

TQkPalette TQkDIB::GetPalette() {
  if (halftoneMode_ == 1) return HalftonePalette();
  if (halftoneMode_ == 2) return BlackAndWhitePalette();
  return OwnPalette();
}

TQkPalette TQkDIB::OwnPalette() {
  TQkInternalDIB& st = Storage();
  if (!st.Palette && st.Image.Header.biClrUsed > 0) st.Palette = st.GetPaletteFromDIBInfos();
  return st.Palette;
}

void TQkDIB::SetPalette(TQkPalette value) {
  if (value && value->empty()) throw EQkDIBInvalidPalette("TQkDIB.SetPalette: Invalid Palette");
  UniqueDIB();
  TQkInternalDIB& st = Storage();
  if (!value) {
    st.Image.Header.biClrUsed = 0;
  } else {
    const size_t n = std::min<size_t>(value->size(), 256);
    st.Image.Header.biClrUsed = static_cast<uint32_t>(n);
    for (size_t i = 0; i < n; ++i) {
      const TQkPaletteEntry& e = (*value)[i];
      st.Image.ColorTable[i] = {e.peBlue, e.peGreen, e.peRed, 0};
    }
  }
  // The storage owns the palette it was given (none for none).
  st.Palette = std::move(value);
  st.PaletteModified = true;
  UpdatePaletteModified();
  SetModified(true);
}

void TQkDIB::SetPixelFormat(TQkPixelFormat value) {
  const TQkPixelFormat from = GetPixelFormat();
  if (value == from) return;
  UniqueDIB();
  const TQkPixelFormat to = Unpacked(value);
  const bool buildsPalette =
      (Unpacked(from) == qkpf8Bit && to == qkpf4Bit) || (from == qkpf24Bit && (to == qkpf4Bit || to == qkpf8Bit));
  if (buildsPalette) {
    StartProgress(to == qkpf4Bit ? 16 : 256, std::string("PixelFormat ") + FormatName(from) + " -> " + FormatName(value));
    BeginProgress();
  }
  try {
    Storage().SetPixelsFormat(value, convertMode_, [this] { StepProgress(); }, maskColor_ & 0xFFFFFF);
  } catch (...) {
    UpdatePaletteModified();
    if (buildsPalette) EndProgress();
    throw;
  }
  UpdatePaletteModified();
  if (buildsPalette) EndProgress();
  UpdatePaletteModified();
  SetModified(true);
}

void TQkDIB::StartProgress(int32_t total, std::string msg) {
  progressTotal_ = total;
  progressMessage_ = std::move(msg);
  progressCounter_ = 0;
}

void TQkDIB::BeginProgress() {
  Progress(TProgressStage::psStarting, 0, false, {0, 0, GetWidth(), GetHeight()}, progressMessage_);
}

void TQkDIB::StepProgress() {
  ++progressCounter_;
  if (progressTotal_ <= 0 || progressCounter_ == progressTotal_) return;
  Progress(TProgressStage::psRunning, static_cast<uint8_t>(int64_t(progressCounter_) * 100 / progressTotal_), false,
           {0, 0, GetWidth(), GetHeight()}, progressMessage_);
}

void TQkDIB::EndProgress() {
  Progress(TProgressStage::psEnding, 100, true, {0, 0, GetWidth(), GetHeight()}, progressMessage_);
}

// ---- stream and clipboard entry points ----------------------------------

void TQkDIB::TakeLoaded(std::shared_ptr<TQkInternalDIB> storage) {
  TakeInternalDIB(std::move(storage));
  UpdatePaletteModified();
  SetModified(true);
}

void TQkDIB::LoadFromStream(std::istream& stream) {
  auto fresh = NewStorage();
  fresh->LoadFromStream(stream);
  TakeLoaded(std::move(fresh));
}

void TQkDIB::SaveToStream(std::ostream& stream) const { Storage().SaveToStream(stream); }

void TQkDIB::LoadFromClipboardFormat(uint16_t format, std::span<const uint8_t> data, const TQkPalette&) {
  if (format != kClipboardFormatDIB || data.empty())
    throw EInvalidGraphic("TQkDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  auto fresh = NewStorage();
  fresh->LoadFromClipboardFormat(data);
  TakeLoaded(std::move(fresh));
}

void TQkDIB::SaveToClipboardFormat(uint16_t& format, std::vector<uint8_t>& data, TQkPalette& palette) const {
  data = Storage().SaveToClipboardFormat();
  format = kClipboardFormatDIB;
  palette.reset();
}

}  // namespace qv
