// Speed of the DIB library on full-HD 24-bit bitmaps: loading, reduction to
// 256 colours in both qualities, halftoning and RLE8 packing, with
// ImageMagick reducing the same files to 256 colours alongside.
// Run by hand: build/bench/image_bench [--benchmark_filter=...]
// ImageMagick's convert is taken from QV_CONVERT, else /usr/bin/convert,
// else the PATH (scripts/install-deps --bench installs it).
#include "image/QkDIB.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

enum Picture { kDrawing = 0, kPhoto = 1 };

// kDrawing: like a screen or a drawing, a gradient sky, flat shapes and a
// shaded band, so that reduction has work to do and RLE8 still packs it.
// kPhoto: smooth shading with grain, so that most pixels differ from their
// neighbours and there are hundreds of thousands of colours.
std::string MakePicture(Picture kind) {
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
  uint32_t seed = 4242;
  auto grain = [&seed](int scale) { return int(((seed = seed * 1103515245u + 12345u) >> 8) % uint32_t(scale)) - scale / 2; };
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = reinterpret_cast<uint8_t*>(file.data()) + 54 + size_t(y) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x) {
      int r, g, b;
      if (kind == kDrawing) {
        r = 40 + y * 120 / kHeight, g = 90 + y * 100 / kHeight, b = 200 - y * 60 / kHeight;
        const int dx = x - 1300, dy = y - 600;
        if (dx * dx + dy * dy < 250 * 250) r = 240, g = 200, b = 40;
        if (x > 200 && x < 800 && y > 150 && y < 500) r = 180, g = 40, b = 60;
        if (y > 800 && y < 950) {
          const int shade = (x * 255 / kWidth) & ~15;
          r = shade, g = 255 - shade, b = 128;
        }
      } else {
        auto shade = [&](int phase) {
          const int t = (x + y * 2 + phase) % 1024, u = (y * 3 - x + 8192 + phase) % 768;
          return 20 + std::abs(t - 512) / 4 + std::abs(u - 384) / 4;
        };
        r = std::clamp(shade(0) + grain(17), 0, 255);
        g = std::clamp(shade(341) + grain(9), 0, 255);
        b = std::clamp(shade(682) + grain(25), 0, 255);
      }
      row[x * 3] = uint8_t(b);
      row[x * 3 + 1] = uint8_t(g);
      row[x * 3 + 2] = uint8_t(r);
    }
  }
  return file;
}

const std::filesystem::path& PictureFile(Picture kind = kDrawing) {
  static const std::filesystem::path paths[2] = {
      std::filesystem::temp_directory_path() / ("qv_image_bench_" + std::to_string(::getpid()) + ".bmp"),
      std::filesystem::temp_directory_path() / ("qv_image_bench_photo_" + std::to_string(::getpid()) + ".bmp")};
  static bool written[2] = {false, false};
  if (!written[kind]) {
    std::ofstream(paths[kind], std::ios::binary) << MakePicture(kind);
    if (!written[0] && !written[1])
      std::atexit([] {
        std::error_code ec;
        for (const auto& p : paths) {
          std::filesystem::remove(p, ec);
          std::filesystem::remove(p.string() + ".magick.bmp", ec);
        }
      });
    written[kind] = true;
  }
  return paths[kind];
}

const TQkDIB& Loaded(Picture kind = kDrawing) {
  static TQkDIB dibs[2];
  static bool loaded[2] = {false, false};
  if (!loaded[kind]) {
    dibs[kind].LoadFromFile(PictureFile(kind));
    loaded[kind] = true;
  }
  return dibs[kind];
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
void BM_Reduce8BitHigh(benchmark::State& state) { Convert(state, Loaded(Picture(state.range(0))), qkpf8Bit, 1); }
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

std::string ConvertCommand() {
  if (const char* c = std::getenv("QV_CONVERT"); c && *c) return c;
  if (::access("/usr/bin/convert", X_OK) == 0) return "/usr/bin/convert";
  return "convert";
}

// ImageMagick's reduction to 256 colours without dithering, as if in
// process: each iteration times the reduction command and, right before it,
// a command that only starts, reads the same file and writes nothing; the
// difference is what the reduction (and writing its small result) costs.
void BM_ImageMagickColors256(benchmark::State& state) {
  const std::string convert = ConvertCommand();
  const std::string in = "'" + PictureFile(Picture(state.range(0))).string() + "'";
  const std::string noop = convert + " " + in + " null: 2>/dev/null";
  const std::string reduce = convert + " " + in + " +dither -colors 256 BMP3:" + in.substr(0, in.size() - 1) +
                             ".magick.bmp' 2>/dev/null";
  if (std::system(noop.c_str()) != 0) {
    state.SkipWithError("ImageMagick's convert is not installed (scripts/install-deps --bench)");
    return;
  }
  using Clock = std::chrono::steady_clock;
  double startSeconds = 0, wholeSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (std::system(noop.c_str()) != 0) state.SkipWithError("convert failed");
    const auto t1 = Clock::now();
    if (std::system(reduce.c_str()) != 0) state.SkipWithError("convert failed");
    const auto t2 = Clock::now();
    const double start = std::chrono::duration<double>(t1 - t0).count();
    const double whole = std::chrono::duration<double>(t2 - t1).count();
    startSeconds += start;
    wholeSeconds += whole;
    state.SetIterationTime(std::max(whole - start, 1e-6));
  }
  const double n = double(state.iterations());
  state.counters["process ms"] = 1000 * wholeSeconds / n;
  state.counters["no-op ms"] = 1000 * startSeconds / n;
  Rate(state);
}

}  // namespace

BENCHMARK(BM_LoadBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reduce8BitLow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reduce8BitHigh)->Arg(kDrawing)->Arg(kPhoto)->ArgName("photo")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Halftone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftoneBW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackRLE8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadReduceSaveLow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMagickColors256)->Arg(kDrawing)->Arg(kPhoto)->ArgName("photo")->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
