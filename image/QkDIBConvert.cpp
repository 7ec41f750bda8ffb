// Pixel-format converters: expansion, true colour, masks, colour reduction
// and halftoning. Each builds a new image and leaves the source alone.
#include "image/QkDIBError.h"
#include "image/QkDIBImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qv {
namespace {

void Require(const TQkDIBImage& src, int bitCount, const char* message) {
  if (src.Header.biBitCount != bitCount || src.Header.biCompression != kBiRgb) throw EQkDIBBadDIBType(message);
}

uint8_t Index(const uint8_t* row, int32_t x, int bitCount) {
  switch (bitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    default: return row[x];
  }
}

void PutIndex(uint8_t* row, int32_t x, int bitCount, uint8_t v) {
  switch (bitCount) {
    case 1: {
      const uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = v ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (v & 0x0F)) : uint8_t((row[x >> 1] & 0x0F) | (v << 4));
      break;
    default: row[x] = v;
  }
}

// Calls fn(x, blue, green, red) for each pixel of a stored row of an
// uncompressed 1, 4, 8 or 24-bit image.
template <typename Fn>
void ForEachColor(const TQkDIBImage& src, int32_t y, Fn fn) {
  const uint8_t* row = src.Row(y);
  const int bits = src.Header.biBitCount;
  for (int32_t x = 0; x < src.Width(); ++x) {
    if (bits == 24) {
      fn(x, row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
    } else {
      const TQkRGBQuad& c = src.ColorTable[Index(row, x, bits)];
      fn(x, c.rgbBlue, c.rgbGreen, c.rgbRed);
    }
  }
}

TQkDIBImage Expand(const TQkDIBImage& src, int from, int to, bool useFMO, const char* message) {
  Require(src, from, message);
  TQkDIBImage out = NewImageLike(src, to, useFMO);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* in = src.Row(y);
    uint8_t* row = out.Row(y);
    for (int32_t x = 0; x < src.Width(); ++x) PutIndex(row, x, to, Index(in, x, from));
  }
  return out;
}

TQkDIBImage ToTrueColor(const TQkDIBImage& src, int from, bool useFMO, const char* message) {
  Require(src, from, message);
  TQkDIBImage out = NewImageLike(src, 24, useFMO);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    uint8_t* row = out.Row(y);
    ForEachColor(src, y, [&](int32_t x, uint8_t b, uint8_t g, uint8_t r) {
      row[x * 3] = b;
      row[x * 3 + 1] = g;
      row[x * 3 + 2] = r;
    });
  }
  return out;
}

void SetBlackAndWhite(TQkDIBImage& out) {
  out.Header.biClrUsed = 2;
  out.ColorTable[0] = {0, 0, 0, 0};
  out.ColorTable[1] = {255, 255, 255, 0};
}

TQkDIBImage Mask(const TQkDIBImage& src, int from, bool useFMO, uint32_t maskRGB, const char* message) {
  Require(src, from, message);
  const uint8_t mr = maskRGB & 0xFF, mg = (maskRGB >> 8) & 0xFF, mb = (maskRGB >> 16) & 0xFF;
  TQkDIBImage out = NewImageLike(src, 1, useFMO);
  SetBlackAndWhite(out);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    uint8_t* row = out.Row(y);
    ForEachColor(src, y, [&](int32_t x, uint8_t b, uint8_t g, uint8_t r) {
      if (r == mr && g == mg && b == mb) PutIndex(row, x, 1, 1);
    });
  }
  return out;
}

// ---- colour-split trees -------------------------------------------------

enum Channel { kRed = 0, kGreen = 1, kBlue = 2, kLeaf = 3, kUnknown = -1 };

struct Color {
  uint8_t v[3];        // red, green, blue
  uint32_t weight;     // pixels of this colour
  uint32_t id;         // histogram cell or colour-table index
  uint32_t index = 0;  // palette index, set by the split
};

struct Stats {
  long double mean[3];
  long double var[3];
};

// Weighted sums of a list of colours: exact integers, so the statistics do
// not depend on the order of the list or on how the sums were gathered.
struct Sums {
  uint64_t n = 0;
  uint64_t s[3] = {0, 0, 0};
  uint64_t q[3] = {0, 0, 0};

  void Add(uint64_t w, const uint8_t (&v)[3]) {
    n += w;
    for (int k = 0; k < 3; ++k) {
      s[k] += w * v[k];
      q[k] += w * v[k] * v[k];
    }
  }
  Sums operator-(const Sums& o) const {
    Sums d;
    d.n = n - o.n;
    for (int k = 0; k < 3; ++k) {
      d.s[k] = s[k] - o.s[k];
      d.q[k] = q[k] - o.q[k];
    }
    return d;
  }
};

// Means and variances, E[x^2] - mean^2, in extended precision: the split
// rules compare variances, and ties must fall the same way every time.
Stats StatsOf(const Sums& m) {
  Stats st;
  for (int k = 0; k < 3; ++k) {
    st.mean[k] = static_cast<long double>(m.s[k]) / m.n;
    st.var[k] = static_cast<long double>(m.q[k]) / m.n - st.mean[k] * st.mean[k];
  }
  return st;
}

template <typename T, typename Weight>
Stats Measure(std::span<T> list, Weight weight) {
  Sums m;
  for (const T& c : list) m.Add(weight(c), c.v);
  return StatsOf(m);
}

// Channel values are whole numbers, so v <= mean exactly when v <= floor(mean).
int Threshold(long double mean) { return static_cast<int>(std::floor(mean)); }

// Values at or below the mean first; both indexes stay inside the list.
template <typename T>
size_t Partition(std::span<T> list, int ch, long double mean) {
  const int t = Threshold(mean);
  size_t l = 0, r = list.size();
  for (;;) {
    while (l < r && list[l].v[ch] <= t) ++l;
    while (r > l && list[r - 1].v[ch] > t) --r;
    if (l >= r) return l;
    std::swap(list[l], list[r - 1]);
  }
}

TQkRGBQuad Rounded(const Stats& st) {
  auto round = [](long double m) { return static_cast<uint8_t>(std::clamp(std::nearbyintl(m), 0.0L, 255.0L)); };
  return {round(st.mean[kBlue]), round(st.mean[kGreen]), round(st.mean[kRed]), 0};
}

// Every position of the full tree below an empty list is one progress step.
void EmptySteps(int depth, int target, const TQkProgressStep& step) {
  const uint64_t n = uint64_t(1) << (target - depth);
  if (step)
    for (uint64_t i = 0; i < n; ++i) step();
}

class WeightedSplit {
 public:
  WeightedSplit(int target, const TQkProgressStep& step) : target_(target), step_(step) {}
  std::vector<TQkRGBQuad> palette;

  void Split(std::span<Color> list, int depth) {
    if (list.empty()) return EmptySteps(depth, target_, step_);
    const Stats st = Measure(list, [](const Color& c) { return c.weight; });
    if (depth == target_) {
      const uint32_t index = static_cast<uint32_t>(palette.size());
      palette.push_back(Rounded(st));
      for (Color& c : list) c.index = index;
      if (step_) step_();
      return;
    }
    const long double vr = st.var[kRed], vg = st.var[kGreen], vb = st.var[kBlue];
    int ch = kGreen;
    if (3 * vr >= 4 * vg && 3 * vr >= 2 * vb)
      ch = kRed;
    else if (3 * vr > 4 * vg || 2 * vb > 3 * vg)
      ch = kBlue;
    const size_t mid = Partition(list, ch, st.mean[ch]);
    Split(list.subspan(mid), depth + 1);
    Split(list.first(mid), depth + 1);
  }

 private:
  int target_;
  const TQkProgressStep& step_;
};

// The result of a reduction: indexes at the given depth, the palette made.
TQkDIBImage Indexed(const TQkDIBImage& src, int bitCount, bool useFMO, const std::vector<TQkRGBQuad>& palette) {
  TQkDIBImage out = NewImageLike(src, bitCount, useFMO);
  out.ColorTable.fill({});
  std::copy(palette.begin(), palette.end(), out.ColorTable.begin());
  out.Header.biClrUsed = static_cast<uint32_t>(palette.size());
  return out;
}

uint32_t Cell(uint8_t b, uint8_t g, uint8_t r) { return (uint32_t(r >> 3) << 11) | (uint32_t(g >> 2) << 5) | (b >> 3); }

TQkDIBImage ReduceLow(const TQkDIBImage& src, int depth, bool useFMO, const TQkProgressStep& step) {
  // Sums of the dropped low bits per 5-6-5 cell; 64-bit so that no image
  // size can overflow them.
  struct HistCell {
    uint64_t r, g, b;
    uint32_t count;
  };
  std::vector<HistCell> hist(65536);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* row = src.Row(y);
    for (int32_t x = 0; x < src.Width(); ++x) {
      const uint8_t b = row[x * 3], g = row[x * 3 + 1], r = row[x * 3 + 2];
      HistCell& h = hist[Cell(b, g, r)];
      h.r += r & 7;
      h.g += g & 3;
      h.b += b & 7;
      ++h.count;
    }
  }
  std::vector<Color> colors;
  for (uint32_t cell = 0; cell < hist.size(); ++cell) {
    const HistCell& h = hist[cell];
    if (!h.count) continue;
    const uint8_t r = static_cast<uint8_t>(h.r / h.count + (cell >> 11) * 8);
    const uint8_t g = static_cast<uint8_t>(h.g / h.count + ((cell >> 5) & 63) * 4);
    const uint8_t b = static_cast<uint8_t>(h.b / h.count + (cell & 31) * 8);
    colors.push_back({{r, g, b}, h.count, cell});
  }
  WeightedSplit split(depth, step);
  split.Split(colors, 0);
  std::vector<uint8_t> map(65536, 0);
  for (const Color& c : colors) map[c.id] = static_cast<uint8_t>(c.index);
  TQkDIBImage out = Indexed(src, depth, useFMO, split.palette);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* in = src.Row(y);
    uint8_t* row = out.Row(y);
    for (int32_t x = 0; x < src.Width(); ++x)
      PutIndex(row, x, depth, map[Cell(in[x * 3], in[x * 3 + 1], in[x * 3 + 2])]);
  }
  return out;
}

// The high-quality reduction works on runs of equal pixels: a run is one
// 32-bit word, the colour in the low 24 bits (red 16-23, green 8-15, blue
// 0-7) and the pixel count (1-255) in the top byte. The split tree only
// depends on the colours and their counts, so runs give the tree that every
// single pixel would, and a picture with flat areas has far fewer runs.
constexpr int kShift[3] = {16, 8, 0};  // red, green, blue
inline uint32_t RunWeight(uint32_t run) { return run >> 24; }
inline uint32_t RunValue(uint32_t run, int ch) { return (run >> kShift[ch]) & 0xFF; }

Sums SumsOf(const uint32_t* runs, size_t count) {
  // Register sums; each product fits 32 bits (255^3 < 2^32).
  uint64_t n = 0, s0 = 0, s1 = 0, s2 = 0, q0 = 0, q1 = 0, q2 = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t run = runs[i], w = RunWeight(run);
    const uint32_t r = RunValue(run, kRed), g = RunValue(run, kGreen), b = RunValue(run, kBlue);
    const uint32_t wr = w * r, wg = w * g, wb = w * b;
    n += w;
    s0 += wr;
    s1 += wg;
    s2 += wb;
    q0 += wr * r;
    q1 += wg * g;
    q2 += wb * b;
  }
  Sums m;
  m.n = n;
  m.s[0] = s0, m.s[1] = s1, m.s[2] = s2;
  m.q[0] = q0, m.q[1] = q1, m.q[2] = q2;
  return m;
}

// Collects the runs of a 24-bit image into runs; returns their number.
size_t CollectRuns(const TQkDIBImage& src, uint32_t* runs) {
  size_t count = 0;
  uint32_t colour = 0, length = 0;
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* in = src.Row(y);
    for (int32_t x = 0; x < src.Width(); ++x, in += 3) {
      const uint32_t c = uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
      if (c == colour && length < 255) {
        ++length;
        continue;
      }
      if (length) runs[count++] = length << 24 | colour;
      colour = c;
      length = 1;
    }
  }
  if (length) runs[count++] = length << 24 | colour;
  return count;
}

struct Node {
  int kind = kUnknown;  // kUnknown: no pixel reaches the node
  int split = 0;        // the channel mean, rounded down
  uint32_t index = 0;
  uint32_t below = 0;
  uint32_t above = 0;
};

class SplitTree {
 public:
  SplitTree(int target, const TQkProgressStep& step) : target_(target), step_(step) { nodes.resize(1); }
  std::vector<Node> nodes;
  std::vector<TQkRGBQuad> palette;

  // Builds the node for count runs, whose sums are given.
  void Build(uint32_t* runs, size_t count, const Sums& sums, uint32_t node, int depth) {
    if (count == 0) return EmptySteps(depth, target_, step_);
    const Stats st = StatsOf(sums);
    if (depth == target_) {
      nodes[node].kind = kLeaf;
      nodes[node].index = static_cast<uint32_t>(palette.size());
      palette.push_back(Rounded(st));
      if (step_) step_();
      return;
    }
    const long double vr = st.var[kRed], vg = st.var[kGreen], vb = st.var[kBlue];
    int ch = kGreen;
    if (3 * vr >= 4 * vg && 3 * vr >= 2 * vb)
      ch = kRed;
    else if (4 * vg < 3 * vr || 4 * vg < 2 * vb)
      ch = kBlue;
    const int t = Threshold(st.mean[ch]);
    nodes[node].kind = ch;
    nodes[node].split = t;

    // Lower part first, in place and without branches: which side a run
    // goes to is unpredictable. [0, lo) is lower, [lo, i) upper.
    size_t lo = 0;
    const int shift = kShift[ch];
    for (size_t i = 0; i < count; ++i) {
      const uint32_t run = runs[i];
      runs[i] = runs[lo];
      runs[lo] = run;
      lo += int((run >> shift) & 0xFF) <= t;
    }
    // Sum the smaller part; the other is what remains of the node's sums.
    const Sums lower = lo <= count - lo ? SumsOf(runs, lo) : sums - SumsOf(runs + lo, count - lo);
    const Sums upper = sums - lower;

    const uint32_t above = NewNode();
    nodes[node].above = above;
    Build(runs + lo, count - lo, upper, above, depth + 1);
    const uint32_t below = NewNode();
    nodes[node].below = below;
    Build(runs, lo, lower, below, depth + 1);
  }

 private:
  uint32_t NewNode() {
    nodes.emplace_back();
    return static_cast<uint32_t>(nodes.size() - 1);
  }
  int target_;
  const TQkProgressStep& step_;
};

// The tree as a table: the split values of each channel cut its 256 values
// into bands, and the tree's boxes fill a grid of band triples with palette
// indexes. With at most 255 splits the grid has at most 86^3 cells, and a
// pixel costs four table reads instead of a walk down the tree.
class TreeTable {
 public:
  explicit TreeTable(const SplitTree& tree) : tree_(tree) {
    for (const Node& n : tree.nodes)
      if (n.kind >= kRed && n.kind <= kBlue) cuts_[n.kind].push_back(n.split);
    for (int k = 0; k < 3; ++k) {
      std::sort(cuts_[k].begin(), cuts_[k].end());
      cuts_[k].erase(std::unique(cuts_[k].begin(), cuts_[k].end()), cuts_[k].end());
      bands_[k] = uint32_t(cuts_[k].size()) + 1;
    }
    const uint32_t stride[3] = {bands_[kGreen] * bands_[kBlue], bands_[kBlue], 1};
    for (int k = 0; k < 3; ++k) {
      uint32_t band = 0;
      for (int v = 0; v < 256; ++v) {
        while (band < cuts_[k].size() && v > cuts_[k][band]) ++band;
        offset_[k][v] = band * stride[k];
      }
    }
    grid_.assign(size_t(bands_[kRed]) * bands_[kGreen] * bands_[kBlue], 0);
    const uint32_t lo[3] = {0, 0, 0};
    Fill(0, lo, bands_);
  }

  uint8_t operator()(uint8_t b, uint8_t g, uint8_t r) const {
    return grid_[offset_[kRed][r] + offset_[kGreen][g] + offset_[kBlue][b]];
  }

 private:
  // Fills the bands [lo, hi) of each channel that lead to node n.
  void Fill(uint32_t n, const uint32_t (&lo)[3], const uint32_t (&hi)[3]) {
    const Node& node = tree_.nodes[n];
    if (node.kind == kLeaf) {
      for (uint32_t r = lo[kRed]; r < hi[kRed]; ++r)
        for (uint32_t g = lo[kGreen]; g < hi[kGreen]; ++g)
          std::fill_n(&grid_[(size_t(r) * bands_[kGreen] + g) * bands_[kBlue] + lo[kBlue]], hi[kBlue] - lo[kBlue],
                      static_cast<uint8_t>(node.index));
      return;
    }
    if (node.kind < kRed || node.kind > kBlue) return;  // no pixel gets here
    const int ch = node.kind;
    // Values at or below the split are the bands up to and including its own.
    const std::vector<int>& cuts = cuts_[ch];
    const uint32_t last = uint32_t(std::lower_bound(cuts.begin(), cuts.end(), node.split) - cuts.begin());
    uint32_t belowHi[3] = {hi[0], hi[1], hi[2]}, aboveLo[3] = {lo[0], lo[1], lo[2]};
    belowHi[ch] = std::min(hi[ch], last + 1);
    aboveLo[ch] = std::max(lo[ch], last + 1);
    if (lo[ch] < belowHi[ch]) Fill(node.below, lo, belowHi);
    if (aboveLo[ch] < hi[ch]) Fill(node.above, aboveLo, hi);
  }

  const SplitTree& tree_;
  std::vector<int> cuts_[3];
  uint32_t bands_[3];
  uint32_t offset_[3][256];
  std::vector<uint8_t> grid_;
};

TQkDIBImage ReduceHigh(const TQkDIBImage& src, int depth, bool useFMO, const TQkProgressStep& step) {
  const size_t pixels = std::max<size_t>(1, size_t(src.Width()) * size_t(src.Rows()));
  // Left uninitialised: only the runs found are written and read.
  std::unique_ptr<uint32_t[]> runs(new uint32_t[pixels]);
  const size_t count = CollectRuns(src, runs.get());
  SplitTree tree(depth, step);
  tree.Build(runs.get(), count, SumsOf(runs.get(), count), 0, 0);
  runs.reset();

  const TreeTable table(tree);
  TQkDIBImage out = Indexed(src, depth, useFMO, tree.palette);
  const int32_t w = src.Width();
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* in = src.Row(y);
    uint8_t* row = out.Row(y);
    if (depth == 8) {
      for (int32_t x = 0; x < w; ++x, in += 3) row[x] = table(in[0], in[1], in[2]);
    } else {
      for (int32_t x = 0; x + 1 < w; x += 2, in += 6)
        row[x >> 1] = static_cast<uint8_t>(table(in[0], in[1], in[2]) << 4 | table(in[3], in[4], in[5]));
      if (w & 1) row[w >> 1] = static_cast<uint8_t>(table(in[0], in[1], in[2]) << 4);
    }
  }
  return out;
}

// ---- halftoning ---------------------------------------------------------

// Levels for values -256..511; anything outside takes the nearest end.
class LevelTable {
 public:
  LevelTable(std::initializer_list<int> upperBounds) {
    for (int v = -256; v <= 511; ++v) {
      int level = 0;
      for (int bound : upperBounds)
        if (v > bound) ++level;
      table_[v + 256] = static_cast<uint8_t>(level);
    }
  }
  uint8_t operator()(int v) const { return table_[std::clamp(v, -256, 511) + 256]; }

 private:
  uint8_t table_[768];
};

void RequireHalftoneSource(const TQkDIBImage& src, const std::string& name) {
  if (src.Header.biCompression != kBiRgb) throw EAssertionFailed(name + ": Invalid DIB Format");
  const int b = src.Header.biBitCount;
  if (b != 1 && b != 4 && b != 8 && b != 24) throw EAssertionFailed(name + ": Invalid Bit Count");
}

// Serpentine error diffusion over two error rows; quantize(x, value[3],
// error[3]) chooses the output for the adjusted values and sets the errors.
template <typename Quantize>
void Diffuse(const TQkDIBImage& src, Quantize quantize) {
  const int32_t w = src.Width();
  struct Err {
    int16_t c[3];
  };
  std::vector<Err> prev(size_t(w) + 2, Err{{0, 0, 0}}), cur(size_t(w) + 2, Err{{0, 0, 0}});
  std::vector<uint8_t> rgb(size_t(w) * 3);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    prev = cur;
    ForEachColor(src, y, [&](int32_t x, uint8_t b, uint8_t g, uint8_t r) {
      rgb[size_t(x) * 3] = r;
      rgb[size_t(x) * 3 + 1] = g;
      rgb[size_t(x) * 3 + 2] = b;
    });
    const bool even = y % 2 == 0;
    int last[3] = {0, 0, 0};
    for (int32_t i = 0; i < w; ++i) {
      const int32_t x = even ? i : w - 1 - i;
      int value[3], error[3];
      for (int k = 0; k < 3; ++k) {
        const int side = even ? prev[x].c[k] : prev[x + 2].c[k];
        const int sum = 12 * prev[x + 1].c[k] + 12 * last[k] + 5 * side;
        value[k] = rgb[size_t(x) * 3 + k] - sum / 32;
      }
      quantize(y, x, value, error);
      for (int k = 0; k < 3; ++k) {
        last[k] = error[k];
        cur[x + 1].c[k] = static_cast<int16_t>(std::clamp(error[k], -32768, 32767));
      }
    }
  }
}

}  // namespace

TQkDIBImage Convert1BitRGBTo4BitRGB(const TQkDIBImage& src, bool useFMO) {
  return Expand(src, 1, 4, useFMO, "Convert1BitRGBTo4BitRGB: Invalid Bitcount & Compression Combination");
}
TQkDIBImage Convert1BitRGBTo8BitRGB(const TQkDIBImage& src, bool useFMO) {
  return Expand(src, 1, 8, useFMO, "Convert1BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination");
}
TQkDIBImage Convert4BitRGBTo8BitRGB(const TQkDIBImage& src, bool useFMO) {
  return Expand(src, 4, 8, useFMO, "Convert4BitRGBTo8BitRGB: Invalid Bitcount & Compression Combination");
}
TQkDIBImage Convert1BitRGBToTrueColor(const TQkDIBImage& src, bool useFMO) {
  return ToTrueColor(src, 1, useFMO, "Convert1BitRGBToTrueColor: Invalid Bitcount & Compression Combination");
}
TQkDIBImage Convert4BitRGBToTrueColor(const TQkDIBImage& src, bool useFMO) {
  return ToTrueColor(src, 4, useFMO, "Convert4BitRGBToTrueColor: Invalid Bitcount & Compression Combination");
}
TQkDIBImage Convert8BitRGBToTrueColor(const TQkDIBImage& src, bool useFMO) {
  return ToTrueColor(src, 8, useFMO, "Convert8BitRGBToTrueColor: Invalid Bitcount & Compression Combination");
}

TQkDIBImage ConvertTrueColorTo1BitRGB(const TQkDIBImage& src, bool useFMO, uint32_t maskRGB) {
  return Mask(src, 24, useFMO, maskRGB, "ConvertTrueColorTo1BitRGB: Invalid Bitcount");
}
TQkDIBImage Convert8BitTo1BitRGB(const TQkDIBImage& src, bool useFMO, uint32_t maskRGB) {
  return Mask(src, 8, useFMO, maskRGB, "Convert8BitTo1BitRGB: Invalid Bitcount or Compression");
}
TQkDIBImage Convert4BitRGBTo1BitRGB(const TQkDIBImage& src, bool useFMO, uint32_t maskRGB) {
  return Mask(src, 4, useFMO, maskRGB, "Convert4BitRGBTo1BitRGB: Invalid Bitcount");
}

TQkDIBImage ConvertTrueColorTo8BitRGBLow(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step) {
  Require(src, 24, "ConvertTrueColorTo8BitRGBLow: Invalid Bitcount");
  return ReduceLow(src, 8, useFMO, step);
}
TQkDIBImage ConvertTrueColorTo4BitRGBLow(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step) {
  Require(src, 24, "ConvertTrueColorTo4BitRGBLow: Invalid Bitcount");
  return ReduceLow(src, 4, useFMO, step);
}
TQkDIBImage ConvertTrueColorTo8BitRGBHigh(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step) {
  Require(src, 24, "ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount");
  return ReduceHigh(src, 8, useFMO, step);
}
TQkDIBImage ConvertTrueColorTo4BitRGBHigh(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step) {
  Require(src, 24, "ConvertTrueColorTo4BitRGBHigh: Invalid Bitcount");
  return ReduceHigh(src, 4, useFMO, step);
}

TQkDIBImage Convert8BitRGBTo4BitRGB(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step) {
  Require(src, 8, "Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression");
  uint32_t counts[256] = {};
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* row = src.Row(y);
    for (int32_t x = 0; x < src.Width(); ++x) ++counts[row[x]];
  }
  std::vector<Color> colors;
  for (uint32_t i = 0; i < 256; ++i)
    if (counts[i]) {
      const TQkRGBQuad& c = src.ColorTable[i];
      colors.push_back({{c.rgbRed, c.rgbGreen, c.rgbBlue}, counts[i], i});
    }
  WeightedSplit split(4, step);
  split.Split(colors, 0);
  uint8_t map[256] = {};
  for (const Color& c : colors) map[c.id] = static_cast<uint8_t>(c.index);
  TQkDIBImage out = Indexed(src, 4, useFMO, split.palette);
  for (int32_t y = 0; y < src.Rows(); ++y) {
    const uint8_t* in = src.Row(y);
    uint8_t* row = out.Row(y);
    for (int32_t x = 0; x < src.Width(); ++x) PutIndex(row, x, 4, map[in[x]]);
  }
  return out;
}

TQkDIBImage ConvertToHalfTone(const TQkDIBImage& src, bool useFMO) {
  RequireHalftoneSource(src, "ConvertToHalfTone");
  static const LevelTable red{25, 76, 127, 178, 230};
  static const LevelTable green{21, 63, 106, 149, 192, 233};
  static const LevelTable blue{31, 95, 159, 223};
  static constexpr int kRedLevels[6] = {0, 51, 102, 153, 204, 255};
  static constexpr int kGreenLevels[7] = {0, 43, 85, 128, 171, 214, 255};
  static constexpr int kBlueLevels[5] = {0, 64, 128, 192, 255};
  TQkDIBImage out = NewImageLike(src, 8, useFMO);
  out.ColorTable.fill({});
  std::copy(HalftoneColors().begin(), HalftoneColors().end(), out.ColorTable.begin());
  out.Header.biClrUsed = 215;
  Diffuse(src, [&](int32_t y, int32_t x, const int (&value)[3], int (&error)[3]) {
    const uint8_t lr = red(value[0]), lg = green(value[1]), lb = blue(value[2]);
    error[0] = kRedLevels[lr] - value[0];
    error[1] = kGreenLevels[lg] - value[1];
    error[2] = kBlueLevels[lb] - value[2];
    out.Row(y)[x] = static_cast<uint8_t>(lr * 35 + lg * 5 + lb);
  });
  return out;
}

TQkDIBImage ConvertToHalfToneBW(const TQkDIBImage& src, bool useFMO) {
  RequireHalftoneSource(src, "ConvertToHalfToneBW");
  TQkDIBImage out = NewImageLike(src, 1, useFMO);
  SetBlackAndWhite(out);
  Diffuse(src, [&](int32_t y, int32_t x, const int (&value)[3], int (&error)[3]) {
    const bool white = value[0] + value[1] + value[2] >= 384;
    for (int k = 0; k < 3; ++k) error[k] = (white ? 255 : 0) - value[k];
    PutIndex(out.Row(y), x, 1, white ? 1 : 0);
  });
  return out;
}

}  // namespace qv
