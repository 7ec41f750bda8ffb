// Speed of the DIB library on a full-HD 24-bit bitmap: loading, reduction to
// 256 colours in both qualities, halftoning and RLE8 packing, with
// ImageMagick's convert reducing the same file to 256 colours alongside.
// Run by hand: build/bench/image_bench [--benchmark_filter=...]
#include "image/QkDIB.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace qv;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kMegapixels = kWidth * kHeight / 1e6;

// A picture like a screen or a drawing: a gradient sky, flat shapes and a
// shaded band, so that reduction has work to do and RLE8 still packs it.
std::string MakePicture() {
  std::string file(54 + size_t(kWidth) * 3 * kHeight, '\0');
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) file[at + size_t(i)] = char(v >> (8 * i));
  };
  put(0, 'B' | 'M' << 8, 2);
  put(2, uint32_t(file.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, kWidth, 4);
  put(22, kHeight, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = reinterpret_cast<uint8_t*>(file.data()) + 54 + size_t(y) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x) {
      int r = 40 + y * 120 / kHeight, g = 90 + y * 100 / kHeight, b = 200 - y * 60 / kHeight;
      const int dx = x - 1300, dy = y - 600;
      if (dx * dx + dy * dy < 250 * 250) r = 240, g = 200, b = 40;
      if (x > 200 && x < 800 && y > 150 && y < 500) r = 180, g = 40, b = 60;
      if (y > 800 && y < 950) {
        const int shade = (x * 255 / kWidth) & ~15;
        r = shade, g = 255 - shade, b = 128;
      }
      row[x * 3] = uint8_t(b);
      row[x * 3 + 1] = uint8_t(g);
      row[x * 3 + 2] = uint8_t(r);
    }
  }
  return file;
}

const std::filesystem::path& PictureFile() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / ("qv_image_bench_" + std::to_string(::getpid()) + ".bmp");
    std::ofstream(p, std::ios::binary) << MakePicture();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove(PictureFile(), ec);
      std::filesystem::remove(PictureFile().string() + ".magick.bmp", ec);
    });
    return p;
  }();
  return path;
}

const TQkDIB& Loaded() {
  static const TQkDIB dib = [] {
    TQkDIB d;
    d.LoadFromFile(PictureFile());
    return d;
  }();
  return dib;
}

void Rate(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(kMegapixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_LoadBitmap(benchmark::State& state) {
  for (auto _ : state) {
    TQkDIB dib;
    dib.LoadFromFile(PictureFile());
    benchmark::DoNotOptimize(dib.Bits());
  }
  Rate(state);
}

void Convert(benchmark::State& state, const TQkDIB& source, TQkPixelFormat target, uint8_t mode) {
  for (auto _ : state) {
    TQkDIB dib(source);
    dib.SetConvertMode(mode);
    dib.SetPixelFormat(target);
    benchmark::DoNotOptimize(dib.Bits());
  }
  Rate(state);
}

void BM_Reduce8BitLow(benchmark::State& state) { Convert(state, Loaded(), qkpf8Bit, 0); }
void BM_Reduce8BitHigh(benchmark::State& state) { Convert(state, Loaded(), qkpf8Bit, 1); }
void BM_Halftone(benchmark::State& state) { Convert(state, Loaded(), qkpfHalftone, 0); }
void BM_HalftoneBW(benchmark::State& state) { Convert(state, Loaded(), qkpfHalftoneBW, 0); }

void BM_PackRLE8(benchmark::State& state) {
  static const TQkDIB eight = [] {
    TQkDIB d(Loaded());
    d.SetPixelFormat(qkpf8Bit);
    return d;
  }();
  Convert(state, eight, qkpf8BitRLE, 0);
  TQkDIB packed(eight);
  packed.SetPixelFormat(qkpf8BitRLE);
  state.counters["packed %"] = 100.0 * packed.BitsSize() / eight.BitsSize();
}

// The whole road a user's file takes: load, reduce to 256 colours, save;
// what the convert command below does too.
void BM_LoadReduceSaveLow(benchmark::State& state) {
  for (auto _ : state) {
    TQkDIB dib;
    dib.LoadFromFile(PictureFile());
    dib.SetPixelFormat(qkpf8Bit);
    std::ostringstream out(std::ios::binary);
    dib.SaveToStream(out);
    benchmark::DoNotOptimize(out.str().size());
  }
  Rate(state);
}

void BM_ImageMagickConvert256(benchmark::State& state) {
  const std::string command = "convert '" + PictureFile().string() + "' +dither -colors 256 BMP3:'" +
                              PictureFile().string() + ".magick.bmp' 2>/dev/null";
  if (std::system("command -v convert >/dev/null 2>&1") != 0) {
    state.SkipWithError("ImageMagick's convert is not installed (scripts/install-deps --bench)");
    return;
  }
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("convert failed");
  Rate(state);
}

}  // namespace

BENCHMARK(BM_LoadBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reduce8BitLow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reduce8BitHigh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Halftone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftoneBW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackRLE8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadReduceSaveLow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMagickConvert256)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
