#pragma once
// The device-independent bitmap. A TQkDIB holds its pixels in a shared,
// reference-counted TQkInternalDIB: copies share the storage until one of
// them changes (copy on write). Reading and writing bitmap files, streams
// and clipboard data, pixel-format conversion and drawing live here too;
// the QImage/QPainter edge is in QkDIBQt.cpp and TQkDIBCanvas.
#include "image/QkDIBError.h"
#include "image/QkDIBImage.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QClipboard;
class QImage;
class QPainter;
class QRect;

namespace qv {

// $00BBGGRR, red in the low byte.
using TColor = uint32_t;

enum TQkPixelFormat : uint8_t {
  qkpf1Bit,
  qkpf4Bit,
  qkpf4BitRLE,
  qkpf8Bit,
  qkpf8BitRLE,
  qkpf24Bit,
  qkpfHalftone,    // conversion target only: 8 bits, 215 halftone colours
  qkpfHalftoneBW,  // conversion target only: 1 bit, black and white
};

// CF_DIB.
inline constexpr uint16_t kClipboardFormatDIB = 8;

// A logical palette; shared, never changed once made. No palette is null.
struct TQkPaletteEntry {
  uint8_t peRed = 0;
  uint8_t peGreen = 0;
  uint8_t peBlue = 0;
  uint8_t peFlags = 0;
  friend bool operator==(const TQkPaletteEntry&, const TQkPaletteEntry&) = default;
};
using TQkPalette = std::shared_ptr<const std::vector<TQkPaletteEntry>>;
TQkPalette MakePalette(std::vector<TQkPaletteEntry> entries);

struct TQkRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TQkRect&, const TQkRect&) = default;
};

enum class TProgressStage { psStarting, psRunning, psEnding };

// The graphic base: change and progress notification, file helpers, and the
// operations every graphic of the library has.
class TQkGraphic {
 public:
  using TNotifyEvent = std::function<void(TQkGraphic& sender)>;
  using TProgressEvent = std::function<void(TQkGraphic& sender, TProgressStage stage, uint8_t percentDone,
                                            bool redrawNow, const TQkRect& r, const std::string& msg)>;

  TQkGraphic() = default;
  TQkGraphic(const TQkGraphic&) {}  // events and flags belong to each object
  TQkGraphic& operator=(const TQkGraphic&) { return *this; }
  virtual ~TQkGraphic() = default;

  // Reads the clipboard's data of GetClipboardFormat and loads it.
  void Assign(const QClipboard& clipboard);

  virtual void Draw(QPainter& canvas, const QRect& rect) = 0;
  virtual bool GetEmpty() const = 0;
  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  virtual void SetWidth(int32_t value) = 0;
  virtual void SetHeight(int32_t value) = 0;
  virtual TQkPalette GetPalette() = 0;
  virtual void SetPalette(TQkPalette value) = 0;
  virtual void LoadFromStream(std::istream& stream) = 0;
  virtual void SaveToStream(std::ostream& stream) const = 0;
  // Data is the clipboard block; an empty span is no data.
  virtual void LoadFromClipboardFormat(uint16_t format, std::span<const uint8_t> data, const TQkPalette& palette) = 0;
  virtual void SaveToClipboardFormat(uint16_t& format, std::vector<uint8_t>& data, TQkPalette& palette) const = 0;
  virtual uint16_t GetClipboardFormat() const = 0;

  void LoadFromFile(const std::filesystem::path& path);
  // Written whole or not at all: the old file stays when anything fails.
  void SaveToFile(const std::filesystem::path& path) const;

  bool Modified() const { return modified_; }
  void SetModified(bool value);
  bool PaletteModified() const { return paletteModified_; }
  void SetPaletteModified(bool value) { paletteModified_ = value; }

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  void Changed();
  void Progress(TProgressStage stage, uint8_t percentDone, bool redrawNow, const TQkRect& r, const std::string& msg);

 private:
  bool modified_ = false;
  bool paletteModified_ = false;
};

class TQkDIB;
struct TJPEGPart;
void LoadJPEGFromBytes(std::string_view bytes, TQkDIB& dib, int eighths, const TJPEGPart& part, int64_t maxPixels);
void SaveJPEGToStream(const TQkDIB& dib, std::ostream& stream, int quality);

// The shared pixel storage of TQkDIB.
class TQkInternalDIB {
 public:
  explicit TQkInternalDIB(bool useFMO);

  void CreateDIB(int32_t width, int32_t height, int32_t clrUsed, int bitCount);
  void FreeDIB();
  void UpdatePalette();
  TQkPixelFormat GetPixelFormat() const;
  void SetPixelsFormat(TQkPixelFormat target, uint8_t convertMode, const TQkProgressStep& step, uint32_t maskRGB);
  void LoadFromStream(std::istream& stream);
  void SaveToStream(std::ostream& stream) const;
  void LoadFromClipboardFormat(std::span<const uint8_t> data);
  std::vector<uint8_t> SaveToClipboardFormat() const;
  TQkPalette GetPaletteFromDIBInfos() const;
  // Takes a finished image: the old pixels go, the palette is forgotten.
  void TakeImage(TQkDIBImage&& image);

  int32_t Width = 1;
  int32_t Height = 1;
  TQkPalette Palette;
  TQkDIBImage Image;
  bool PaletteModified = false;
  bool UseFMO = true;
};

// The default storage kind of new DIBs (a mapping, so a canvas can draw).
bool DefaultUseFMO();
void SetDefaultUseFMO(bool value);

class TQkDIB : public TQkGraphic {
 public:
  TQkDIB();
  // Copies share the pixels until one of them changes.
  TQkDIB(const TQkDIB& other);
  TQkDIB& operator=(const TQkDIB& other);
  ~TQkDIB() override;

  void Assign(std::nullptr_t);
  void Assign(const TQkDIB& source);
  // A bitmap of the class library: 1 and 8-bit indexed images keep their
  // depth and colours, every other format becomes 24 bits.
  void Assign(const QImage& source);
  using TQkGraphic::Assign;
  void AssignTo(TQkDIB& dest) const { dest.Assign(*this); }
  void AssignTo(QImage& dest) const;
  void AssignTo(QClipboard& dest) const;
  // The picture as a QImage: 1, 4 and 8 bits indexed with the colour table,
  // 24 bits as RGB32; packed images are unpacked.
  QImage ToQImage() const;

  void Draw(QPainter& canvas, const QRect& rect) override;
  bool GetEmpty() const override { return false; }
  int32_t GetWidth() const override;
  int32_t GetHeight() const override;
  void SetWidth(int32_t value) override;
  void SetHeight(int32_t value) override;
  TQkPalette GetPalette() override;
  void SetPalette(TQkPalette value) override;
  void LoadFromStream(std::istream& stream) override;
  void SaveToStream(std::ostream& stream) const override;
  void LoadFromClipboardFormat(uint16_t format, std::span<const uint8_t> data, const TQkPalette& palette) override;
  void SaveToClipboardFormat(uint16_t& format, std::vector<uint8_t>& data, TQkPalette& palette) const override;
  uint16_t GetClipboardFormat() const override { return kClipboardFormatDIB; }

  int GetBitCount() const;
  void SetBitCount(int value);
  TQkPixelFormat GetPixelFormat() const;
  void SetPixelFormat(TQkPixelFormat value);
  bool GetUseFMO() const;

  uint8_t ConvertMode() const { return convertMode_; }
  void SetConvertMode(uint8_t value) { convertMode_ = value; }
  TColor MaskColor() const { return maskColor_; }
  void SetMaskColor(TColor value) { maskColor_ = value; }
  uint8_t HalftoneMode() const { return halftoneMode_; }
  void SetHalftoneMode(uint8_t value) { halftoneMode_ = value; }

  void UniqueDIB();
  void UpdatePaletteModified();
  void StartProgress(int32_t total, std::string msg);
  void StepProgress();
  void BeginProgress();
  void EndProgress();

  // The image as stored: header, colour table (256 entries) and pixels.
  const TQkBitmapInfoHeader& Header() const;
  const TQkRGBQuad* ColorTable() const;
  const uint8_t* Bits() const;
  uint32_t BitsSize() const;
  // Number of TQkDIB objects sharing this one's storage.
  long RefCount() const { return internal_.use_count(); }

 private:
  friend class TQkDIBCanvas;
  friend void LoadJPEGFromBytes(std::string_view bytes, TQkDIB& dib, int eighths, const TJPEGPart& part,
                                int64_t maxPixels);
  friend void SaveJPEGToStream(const TQkDIB& dib, std::ostream& stream, int quality);
  // Takes a storage filled by a reader: the old one goes, the change is told.
  void TakeLoaded(std::shared_ptr<TQkInternalDIB> storage);
  // The palette of the colour table, whatever HalftoneMode says.
  TQkPalette OwnPalette();
  void ReleaseInternalDIB();
  void TakeInternalDIB(std::shared_ptr<TQkInternalDIB> storage);
  std::shared_ptr<TQkInternalDIB> NewStorage() const;
  void Resize(int32_t width, int32_t height, int bitCount);
  TQkInternalDIB& Storage() const;

  std::shared_ptr<TQkInternalDIB> internal_;
  uint8_t convertMode_ = 0;
  TColor maskColor_ = 0xFFFFFF;
  uint8_t halftoneMode_ = 0;
  int32_t progressCounter_ = 0;
  int32_t progressTotal_ = 0;
  std::string progressMessage_;
};

}  // namespace qv
